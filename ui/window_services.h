#pragma once
// What the main window asks of the desktop, behind small interfaces so tests can answer:
// message boxes, the save dialog's file choice, opening a folder, the port choice, the
// Application Setting dialog and the clock. Every call comes on the GUI thread.
#include <QString>
#include <QStringList>

#include "core/time_value.h"

class QWidget;

namespace pelmora {

enum class BoxIcon { None, Information, Warning, Error };

class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    // A box with one OK button.
    virtual void Show(QWidget* parent, const QString& caption, const QString& text,
                      BoxIcon icon) = 0;
    // Yes/No question; true for Yes.
    virtual bool AskYesNo(QWidget* parent, const QString& caption, const QString& text) = 0;
    // The same for a question whose Yes erases or resets something: No is the default answer.
    virtual bool AskYesNoDefaultNo(QWidget* parent, const QString& caption,
                                   const QString& text) = 0;
    // OK/Cancel question with a warning icon and Cancel as the default button; true for OK.
    virtual bool AskOkCancel(QWidget* parent, const QString& caption, const QString& text) = 0;
    // An information box with a "Copy Path" button beside OK; true when it was pressed.
    virtual bool OfferCopy(QWidget* parent, const QString& caption, const QString& text) = 0;
};

class SaveFileChooser {
  public:
    virtual ~SaveFileChooser() = default;
    // The chosen path, empty on Cancel. The dialog opens in folder (the current one when empty);
    // filters are Qt name filters, the first one selected. It does not ask before replacing:
    // the window asks once for all the files a conversion writes.
    virtual QString ChooseSaveFile(QWidget* parent, const QString& folder,
                                   const QStringList& filters) = 0;
    // An existing file to open, empty on Cancel.
    virtual QString ChooseOpenFile(QWidget* parent, const QString& folder,
                                   const QStringList& filters) = 0;
};

class FolderOpener {
  public:
    virtual ~FolderOpener() = default;
    // False when no program answered.
    virtual bool OpenFolder(const QString& folder) = 0;
};

struct PortChoice {
    bool accepted = false;
    QString port;      // "None" or a device path
    QString baudRate;  // "4800"
};

class PortChooser {
  public:
    virtual ~PortChooser() = default;
    virtual PortChoice ChoosePort(QWidget* parent) = 0;
};

class SettingsEditor {
  public:
    virtual ~SettingsEditor() = default;
    // Runs the Application Setting dialog; true when it closed with OK (the profile is written).
    virtual bool EditSettings(QWidget* parent) = 0;
};

class Clock {
  public:
    virtual ~Clock() = default;
    // Now on the zone-free calendar, as UTC fields.
    virtual TimeValue Now() const = 0;
};

struct WindowServices {
    MessageBoxes* boxes = nullptr;
    SaveFileChooser* saveFile = nullptr;
    FolderOpener* folders = nullptr;
    PortChooser* ports = nullptr;
    SettingsEditor* settings = nullptr;
    const Clock* clock = nullptr;
};

}  // namespace pelmora
