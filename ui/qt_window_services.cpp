#include "ui/qt_window_services.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
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

std::unique_ptr<QMessageBox> MakeOkCancelBox(QWidget* parent, const QString& caption,
                                             const QString& text) {
    auto box = std::make_unique<QMessageBox>(QMessageBox::Warning, caption, text,
                                             QMessageBox::Ok | QMessageBox::Cancel, parent);
    // These questions guard erasing or replacing data: Enter must not be the way to say yes.
    box->setDefaultButton(QMessageBox::Cancel);
    box->setEscapeButton(QMessageBox::Cancel);
    return box;
}

bool QtMessageBoxes::AskYesNoDefaultNo(QWidget* parent, const QString& caption,
                                       const QString& text) {
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No,
                    parent);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

bool QtMessageBoxes::AskOkCancel(QWidget* parent, const QString& caption, const QString& text) {
    return MakeOkCancelBox(parent, caption, text)->exec() == QMessageBox::Ok;
}

bool QtMessageBoxes::OfferCopy(QWidget* parent, const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::Information, caption, text, QMessageBox::Ok, parent);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    QPushButton* copy = box.addButton(QObject::tr("&Copy Path"), QMessageBox::ActionRole);
    box.exec();
    return box.clickedButton() == copy;
}

QString QtSaveFileChooser::ChooseSaveFile(QWidget* parent, const QString& folder,
                                          const QStringList& filters) {
    // Read-only files are not offered for writing; the window itself asks before replacing.
    return QFileDialog::getSaveFileName(parent, QString(), folder, filters.join(";;"), nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

QString QtSaveFileChooser::ChooseOpenFile(QWidget* parent, const QString& folder,
                                          const QStringList& filters) {
    return QFileDialog::getOpenFileName(parent, QString(), folder, filters.join(";;"));
}

bool DesktopFolderOpener::OpenFolder(const QString& folder) {
    // openUrl only tells whether the opener started: with no file manager installed it still
    // says yes and the reason goes to standard error. Ask first whether any program takes
    // folders; when that cannot be told, leave it to the opener.
    QProcess query;
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"),
                                             QStringLiteral("inode/directory")});
    if (query.waitForFinished(2000) && query.exitStatus() == QProcess::NormalExit &&
        query.readAllStandardOutput().trimmed().isEmpty()) {
        return false;
    }
    if (query.state() != QProcess::NotRunning) {
        query.kill();
        query.waitForFinished(1000);
    }
    // The desktop opens the folder itself: no command line is built from a path.
    return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

TimeValue SystemClock::Now() const {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace pelmora
