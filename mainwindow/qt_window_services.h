#pragma once
// The desktop's own answers: QMessageBox, QFileDialog, QDesktopServices, the system clock.
#include "mainwindow/window_services.h"

namespace pelmora {

class QtMessageBoxes : public MessageBoxes {
  public:
    void Show(QWidget* parent, const QString& caption, const QString& text, BoxIcon icon) override;
    bool AskYesNo(QWidget* parent, const QString& caption, const QString& text) override;
    bool AskOkCancel(QWidget* parent, const QString& caption, const QString& text) override;
};

class QtSaveFileChooser : public SaveFileChooser {
  public:
    QString ChooseSaveFile(QWidget* parent, const QStringList& filters) override;
};

class DesktopFolderOpener : public FolderOpener {
  public:
    void OpenFolder(const QString& folder) override;
};

class SystemClock : public Clock {
  public:
    TimeValue Now() const override;
};

}  // namespace pelmora
