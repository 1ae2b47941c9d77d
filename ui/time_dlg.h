#pragma once
// The Application Setting dialog: time zone, output formats, speed unit, stop-point and
// over-speed settings. Reads the profile section "Setting" on opening and writes it only on OK;
// the caller then reloads its ConversionSettings.
#include <QDialog>
#include <memory>

#include "core/conversion_settings.h"
#include "core/profile_store.h"
#include "core/time_zone_catalogue.h"
#include "ui/prompter.h"

class QButtonGroup;
class QLineEdit;

namespace Ui {
class CTimeDlg;
}

namespace pelmora {

class CTimeDlg : public QDialog {
    Q_OBJECT

  public:
    // The catalogue is read from zones here, once. prompter may be null: a message box is used.
    // The profile, the zone source and the prompter must outlive the dialog.
    CTimeDlg(ProfileStore& profile, const TimeZoneSource& zones, Prompter* prompter = nullptr,
             QWidget* parent = nullptr);
    ~CTimeDlg() override;

    const CTimeZoneInfoManager& catalogue() const { return m_zoneManager; }

  public slots:
    void accept() override;

  private:
    void OnInitDialog();
    void OnSelchangeSpeedUnit(int index);
    void SetUnitLabels(int speedUnit);
    bool ExchangeInteger(QLineEdit* edit, const SettingRange& range, int& value);
    void FilterZones(const QString& text);
    void WriteTimeZone(int choice);

    std::unique_ptr<Ui::CTimeDlg> m_ui;
    ProfileStore& m_profile;
    const TimeZoneSource& m_zones;
    MessageBoxPrompter m_defaultPrompter;
    Prompter* m_prompter;
    QButtonGroup* m_zoneChoice = nullptr;
    QLineEdit* m_zoneFilter = nullptr;
    CTimeZoneInfoManager m_zoneManager;
    int m_speedUnit = 0;
    int m_conversion = 0;
    int m_stopPeriod = 0;
    int m_stopDistance = 0;
    int m_overSpeed = 0;
};

}  // namespace pelmora
