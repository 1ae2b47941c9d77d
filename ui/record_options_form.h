#pragma once
// The Record Option fields and the device ID as the window exchanges them: each field is checked
// when it loses the focus and all of them before a command, with the prompts "Enter an integer."
// and "Enter an integer between %1 and %2."; a field at fault keeps the focus.
//
// Thread contract: the GUI thread only.
#include <QObject>
#include <QString>

#include "link/device_session.h"

class QLineEdit;
class QWidget;

namespace pelmora {

class MessageBoxes;

class RecordOptionsForm : public QObject {
  public:
    struct Widgets {
        QLineEdit* distance = nullptr;  // metres
        QLineEdit* time = nullptr;      // seconds
        QLineEdit* speed = nullptr;     // km/h
        QLineEdit* id = nullptr;
    };

    RecordOptionsForm(Widgets widgets, MessageBoxes* boxes, QWidget* dialog);

    // Reads every field; false after a prompt, the focus then in the field at fault.
    bool Save();
    // Shows the values in hand.
    void Load();
    // The logger's own values (its status), shown at once.
    void Fill(int minTime, int minDistance, int minSpeed);
    void SetId(const QString& id);

    RecordOptionsCommand options() const { return m_options; }
    QString id() const { return m_id; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool Field(QLineEdit* edit, int minimum, int maximum, int& value);

    Widgets m_w;
    MessageBoxes* m_boxes;
    QWidget* m_dialog;
    RecordOptionsCommand m_options;
    QString m_id;
    bool m_inExchange = false;
};

}  // namespace pelmora
