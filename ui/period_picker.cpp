#include "ui/period_picker.h"

#include <QComboBox>
#include <QDate>
#include <QDateEdit>
#include <QLabel>
#include <QSignalBlocker>

namespace pelmora {
namespace {

QDate DateOf(TimeValue t) {
    const CalendarFields f = BreakTimeValue(t);
    return QDate(f.year, f.month, f.day);
}

// The picker's date and the list's hour, with minutes and seconds kept from t.
TimeValue WithDateAndHour(TimeValue t, QDate date, int hour) {
    const CalendarFields f = BreakTimeValue(t);
    return MakeTimeValue(date.year(), date.month(), date.day(), hour, f.minute, f.second);
}

TimeValue FloorMod(TimeValue t, TimeValue n) {
    return ((t % n) + n) % n;
}

}  // namespace

PeriodPicker::PeriodPicker(Widgets widgets, QObject* parent) : QObject(parent), m_w(widgets) {
    for (QComboBox* list : {m_w.beginHour, m_w.endHour}) {
        list->clear();
        for (int hour = 0; hour < 24; ++hour) {
            list->addItem(QString::number(hour));
        }
        connect(list, &QComboBox::activated, this, &PeriodPicker::OnDateOrHour);
    }
    for (QDateEdit* picker : {m_w.beginDate, m_w.endDate}) {
        connect(picker, &QDateEdit::dateChanged, this, &PeriodPicker::OnDateOrHour);
    }
}

void PeriodPicker::SetZone(const ZoneRules& zone) {
    m_zone = zone;
    if (IsSet()) {
        SetUtc(m_beginUtc, m_endUtc);
    }
}

void PeriodPicker::SetUtc(TimeValue beginUtc, TimeValue endUtc) {
    m_beginUtc = beginUtc;
    m_endUtc = endUtc;
    m_beginLocal = m_zone.ToLocal(beginUtc);
    m_endLocal = m_zone.ToLocal(endUtc);
    Show();
}

void PeriodPicker::SetLocal(TimeValue beginLocal, TimeValue endLocal) {
    m_beginLocal = beginLocal - FloorMod(beginLocal, 60);
    m_endLocal = endLocal - FloorMod(endLocal, 60) + 59;
    m_beginUtc = m_zone.ToUtc(m_beginLocal);
    m_endUtc = m_zone.ToUtc(m_endLocal);
    Show();
}

void PeriodPicker::ShowToday(TimeValue nowUtc) {
    if (IsSet()) {
        return;
    }
    const TimeValue local = m_zone.ToLocal(nowUtc);
    m_beginLocal = local - FloorMod(local, 86400);
    m_endLocal = m_beginLocal;
    m_beginUtc = m_zone.ToUtc(m_beginLocal);
    m_endUtc = m_beginUtc;
    Show();
}

bool PeriodPicker::MakeValid() {
    if (m_beginLocal <= m_endLocal) {
        return true;
    }
    m_endLocal = m_beginLocal;
    m_endUtc = m_beginUtc;
    Show();
    return false;
}

void PeriodPicker::SetEnabled(bool on) {
    for (QWidget* w :
         std::initializer_list<QWidget*>{m_w.beginDate, m_w.endDate, m_w.beginHour, m_w.endHour}) {
        w->setEnabled(on);
    }
}

void PeriodPicker::OnDateOrHour() {
    m_beginLocal =
        WithDateAndHour(m_beginLocal, m_w.beginDate->date(), m_w.beginHour->currentIndex());
    m_endLocal = WithDateAndHour(m_endLocal, m_w.endDate->date(), m_w.endHour->currentIndex());
    m_beginUtc = m_zone.ToUtc(m_beginLocal);
    m_endUtc = m_zone.ToUtc(m_endLocal);
    Show();
}

void PeriodPicker::Show() {
    const QSignalBlocker b1(m_w.beginDate);
    const QSignalBlocker b2(m_w.endDate);
    m_w.beginExact->setText(QString::fromStdString(FormatTime(m_beginLocal, "%Y/%m/%d %H:%M:%S")));
    m_w.endExact->setText(QString::fromStdString(FormatTime(m_endLocal, "%Y/%m/%d %H:%M:%S")));
    m_w.beginDate->setDate(DateOf(m_beginLocal));
    m_w.endDate->setDate(DateOf(m_endLocal));
    m_w.beginHour->setCurrentIndex(BreakTimeValue(m_beginLocal).hour);
    m_w.endHour->setCurrentIndex(BreakTimeValue(m_endLocal).hour);
    emit changed(m_beginUtc, m_endUtc);
}

}  // namespace pelmora
