#include "mainwindow/qt_window_services.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>
#include <chrono>

namespace pelmora {
namespace {

QMessageBox::Icon ToQt(BoxIcon icon) {
    switch (icon) {
        case BoxIcon::Information:
            return QMessageBox::Information;
        case BoxIcon::Warning:
            return QMessageBox::Warning;
        case BoxIcon::Error:
            return QMessageBox::Critical;
        case BoxIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

void QtMessageBoxes::Show(QWidget* parent, const QString& caption, const QString& text,
                          BoxIcon icon) {
    QMessageBox box(ToQt(icon), caption, text, QMessageBox::Ok, parent);
    box.exec();
}

bool QtMessageBoxes::AskYesNo(QWidget* parent, const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No,
                    parent);
    return box.exec() == QMessageBox::Yes;
}

bool QtMessageBoxes::AskOkCancel(QWidget* parent, const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Ok | QMessageBox::Cancel,
                    parent);
    return box.exec() == QMessageBox::Ok;
}

QString QtSaveFileChooser::ChooseSaveFile(QWidget* parent, const QStringList& filters) {
    // The native dialog asks before overwriting; read-only files are not offered for writing.
    return QFileDialog::getSaveFileName(parent, QString(), QString(), filters.join(";;"));
}

void DesktopFolderOpener::OpenFolder(const QString& folder) {
    // The desktop opens the folder itself: no command line is built from a path.
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

TimeValue SystemClock::Now() const {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace pelmora
