#include "ui/record_options_form.h"

#include <QEvent>
#include <QLineEdit>
#include <QWidget>

#include "core/int_text.h"
#include "ui/window_services.h"
#include "ui/window_texts.h"

namespace pelmora {
namespace {

constexpr const char* kAppTitle = "pelmora";  // the application-level boxes' caption

// The ranges the logger's configure command takes.
constexpr int kMaxDistance = 20000;
constexpr int kMaxTime = 65535;
constexpr int kMaxSpeed = 4000;

}  // namespace

RecordOptionsForm::RecordOptionsForm(Widgets widgets, MessageBoxes* boxes, QWidget* dialog)
    : QObject(dialog), m_w(widgets), m_boxes(boxes), m_dialog(dialog) {
    for (QLineEdit* edit : {m_w.distance, m_w.time, m_w.speed}) {
        edit->installEventFilter(this);
    }
}

bool RecordOptionsForm::Field(QLineEdit* edit, int minimum, int maximum, int& value) {
    const std::optional<int> parsed = ParseDecimalInt(edit->text().toStdString());
    QString prompt;
    if (!parsed) {
        prompt = QString::fromLatin1(kIntegerPrompt);
    } else if (*parsed < minimum || *parsed > maximum) {
        prompt = QString::fromLatin1(kRangePrompt).arg(minimum).arg(maximum);
    } else {
        value = *parsed;
        return true;
    }
    m_boxes->Show(m_dialog, QLatin1String(kAppTitle), prompt, BoxIcon::Warning);
    edit->setFocus();
    edit->selectAll();
    return false;
}

bool RecordOptionsForm::Save() {
    if (m_inExchange) {
        return false;
    }
    m_inExchange = true;
    RecordOptionsCommand o = m_options;
    const bool ok = Field(m_w.distance, 0, kMaxDistance, o.minDistance) &&
                    Field(m_w.time, 0, kMaxTime, o.minTime) &&
                    Field(m_w.speed, 0, kMaxSpeed, o.minSpeed);
    if (ok) {
        m_options = o;
        m_id = m_w.id->text().left(32);
    }
    m_inExchange = false;
    return ok;
}

void RecordOptionsForm::Load() {
    m_w.distance->setText(QString::number(m_options.minDistance));
    m_w.time->setText(QString::number(m_options.minTime));
    m_w.speed->setText(QString::number(m_options.minSpeed));
    m_w.id->setText(m_id);
}

void RecordOptionsForm::Fill(int minTime, int minDistance, int minSpeed) {
    m_options = {minTime, minDistance, minSpeed};
    m_w.distance->setText(QString::number(minDistance));
    m_w.time->setText(QString::number(minTime));
    m_w.speed->setText(QString::number(minSpeed));
}

void RecordOptionsForm::SetId(const QString& id) {
    m_id = id.left(32);
    m_w.id->setText(m_id);
}

bool RecordOptionsForm::eventFilter(QObject* watched, QEvent* event) {
    // Leaving a field checks it; a value out of range keeps the focus there.
    if (event->type() == QEvent::FocusOut && !m_inExchange && m_dialog->isVisible()) {
        m_inExchange = true;
        if (watched == m_w.distance) {
            Field(m_w.distance, 0, kMaxDistance, m_options.minDistance);
        } else if (watched == m_w.time) {
            Field(m_w.time, 0, kMaxTime, m_options.minTime);
        } else if (watched == m_w.speed) {
            Field(m_w.speed, 0, kMaxSpeed, m_options.minSpeed);
        }
        m_inExchange = false;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace pelmora
