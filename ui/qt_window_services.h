#pragma once
// The desktop's own answers: QMessageBox, QFileDialog, QDesktopServices, the system clock.
#include <memory>

#include "ui/window_services.h"

class QMessageBox;

namespace pelmora {

class QtMessageBoxes : public MessageBoxes {
  public:
    void Show(QWidget* parent, const QString& caption, const QString& text, BoxIcon icon) override;
    bool AskYesNo(QWidget* parent, const QString& caption, const QString& text) override;
    bool AskYesNoDefaultNo(QWidget* parent, const QString& caption, const QString& text) override;
    bool AskOkCancel(QWidget* parent, const QString& caption, const QString& text) override;
    bool OfferCopy(QWidget* parent, const QString& caption, const QString& text) override;
};

// The boxes as they are built, for tests of their buttons.
std::unique_ptr<QMessageBox> MakeOkCancelBox(QWidget* parent, const QString& caption,
                                             const QString& text);

class QtSaveFileChooser : public SaveFileChooser {
  public:
    QString ChooseSaveFile(QWidget* parent, const QString& folder,
                           const QStringList& filters) override;
    QString ChooseOpenFile(QWidget* parent, const QString& folder,
                           const QStringList& filters) override;
};

class DesktopFolderOpener : public FolderOpener {
  public:
    bool OpenFolder(const QString& folder) override;
};

class SystemClock : public Clock {
  public:
    TimeValue Now() const override;
};

}  // namespace pelmora
