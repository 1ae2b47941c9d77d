#pragma once
// The Convert Time Period: local times of the chosen zone as the date pickers and hour lists show
// them, and the instants they stand for. The instants are the truth: a change of zone moves only
// the clock values, so "the whole trace" stays whole in the new zone.
//
// Thread contract: the GUI thread only.
#include <QObject>

#include "core/time_value.h"
#include "core/zone_rules.h"

class QComboBox;
class QDateEdit;
class QLabel;

namespace pelmora {

class PeriodPicker : public QObject {
    Q_OBJECT

  public:
    struct Widgets {
        QDateEdit* beginDate = nullptr;
        QDateEdit* endDate = nullptr;
        QComboBox* beginHour = nullptr;
        QComboBox* endHour = nullptr;
        QLabel* beginExact = nullptr;  // the hour lists hide minutes and seconds
        QLabel* endExact = nullptr;
    };

    explicit PeriodPicker(Widgets widgets, QObject* parent = nullptr);

    // The zone of the clock values; the instants are kept.
    void SetZone(const ZoneRules& zone);
    void SetUtc(TimeValue beginUtc, TimeValue endUtc);
    // Local times of the zone, to whole minutes: begin from the start of its minute, end to the
    // last second of its minute.
    void SetLocal(TimeValue beginLocal, TimeValue endLocal);
    // Before any trace: today in the zone, rather than 1970 (nothing changes once set).
    void ShowToday(TimeValue nowUtc);
    bool IsSet() const { return m_beginLocal != 0 || m_endLocal != 0; }
    // A period that ends before it begins is made empty at its begin; false when it had to be.
    bool MakeValid();
    void SetEnabled(bool on);

    TimeValue beginLocal() const { return m_beginLocal; }
    TimeValue endLocal() const { return m_endLocal; }
    TimeValue beginUtc() const { return m_beginUtc; }
    TimeValue endUtc() const { return m_endUtc; }

  signals:
    // The instants changed (by the user or by a call).
    void changed(TimeValue beginUtc, TimeValue endUtc);

  private:
    void OnDateOrHour();
    void Show();

    Widgets m_w;
    ZoneRules m_zone;
    TimeValue m_beginLocal = 0;
    TimeValue m_endLocal = 0;
    TimeValue m_beginUtc = 0;
    TimeValue m_endUtc = 0;
};

}  // namespace pelmora
