#include "ui/time_dlg.h"

#include <QButtonGroup>
#include <QDateTime>
#include <QGridLayout>
#include <QLineEdit>
#include <QListView>

#include "core/conversion_settings.h"
#include "core/int_text.h"
#include "core/zone_bias.h"
#include "core/zone_rules.h"
#include "ui/qt_text.h"
#include "ui_time_dlg.h"

namespace pelmora {
namespace {

constexpr int kKnownConversionBits =
    ConvKmlPath | ConvKmlPoint | ConvNmea | ConvCsv | ConvNmeaWithId | ConvGpx;

QString WithColon(int id) {
    return QtText(id) + QLatin1Char(':');
}

// The catalogue's label names the standard offset; in daylight-saving time the offset in force
// now is added, as the clock shows it: "(UTC+01:00) Europe/Berlin, now UTC+02:00".
QString ZoneItemText(const CRegTimeZoneInfo& zone, std::int64_t nowUtc) {
    QString text = QString::fromStdString(zone.Display);
    const std::optional<ZoneRules> rules = ZoneRules::Named(zone.Id);
    if (!rules) {
        return text;
    }
    const std::int64_t now = rules->OffsetAt(nowUtc) / 60;
    if (now != -static_cast<std::int64_t>(zone.TZI.Bias)) {
        const std::int64_t magnitude = now < 0 ? -now : now;
        text += QStringLiteral(", now UTC%1%2:%3")
                    .arg(now < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                    .arg(magnitude / 60, 2, 10, QLatin1Char('0'))
                    .arg(magnitude % 60, 2, 10, QLatin1Char('0'));
    }
    return text;
}

}  // namespace

CTimeDlg::CTimeDlg(ProfileStore& profile, const TimeZoneSource& zones, Prompter* prompter,
                   QWidget* parent)
    : QDialog(parent),
      m_ui(std::make_unique<Ui::CTimeDlg>()),
      m_profile(profile),
      m_zones(zones),
      m_prompter(prompter != nullptr ? prompter : &m_defaultPrompter),
      m_zoneManager(zones) {
    m_ui->setupUi(this);
    m_zoneChoice = new QButtonGroup(this);
    m_zoneChoice->addButton(m_ui->zoneUtc, ZoneUtc);
    m_zoneChoice->addButton(m_ui->zoneComputer, ZoneComputer);
    m_zoneChoice->addButton(m_ui->zoneCountry, ZoneCountry);
    m_zoneChoice->addButton(m_ui->zoneBias, ZoneBias);
    // Several hundred zones: typing any part of a name keeps only the zones that match.
    m_zoneFilter = new QLineEdit(this);
    m_zoneFilter->setObjectName(QStringLiteral("zoneFilter"));
    m_zoneFilter->setPlaceholderText(tr("Search zones"));
    m_zoneFilter->setClearButtonEnabled(true);
    static_cast<QGridLayout*>(m_ui->timeZoneGroup->layout())->addWidget(m_zoneFilter, 2, 5);
    connect(m_zoneFilter, &QLineEdit::textChanged, this, &CTimeDlg::FilterZones);
    // A zone picked from the list by hand is chosen with it.
    connect(m_ui->zoneList, &QComboBox::activated, this,
            [this] { m_ui->zoneCountry->setChecked(true); });
    OnInitDialog();
    connect(m_ui->speedUnitList, &QComboBox::currentIndexChanged, this,
            &CTimeDlg::OnSelchangeSpeedUnit);
}

CTimeDlg::~CTimeDlg() = default;

void CTimeDlg::OnInitDialog() {
    setWindowTitle(QtText(IDS_APPLICATION_SETTING));
    m_ui->timeZoneGroup->setTitle(QtText(IDS_TIME_ZONE_SETTING));
    m_ui->zoneUtc->setText(QStringLiteral("UTC"));
    m_ui->zoneComputer->setText(QtText(IDS_COMPUTER_TIME));
    m_ui->zoneCountry->setText(WithColon(IDS_COUNTRY_ZONE));
    m_ui->zoneBias->setText(WithColon(IDS_BIAS));
    m_ui->hourLabel->setText(QtText(IDS_HOUR));
    m_ui->minuteLabel->setText(QtText(IDS_MINUTE));
    m_ui->conversionTypeGroup->setTitle(QtText(IDS_CONVERSION_TYPE));
    m_ui->kmlPathCheck->setText(QStringLiteral("KML(%1)").arg(QtText(IDS_PATH)));
    m_ui->kmlPointCheck->setText(QStringLiteral("KML(%1)").arg(QtText(IDS_POINT)));
    m_ui->nmeaCheck->setText(QStringLiteral("NMEA"));
    m_ui->nmeaIdCheck->setText(QStringLiteral("NMEA %1").arg(QtText(IDS_WITH_ID)));
    m_ui->csvCheck->setText(QStringLiteral("CSV"));
    m_ui->gpxCheck->setText(QStringLiteral("GPX"));
    m_ui->conversionOptionGroup->setTitle(QtText(IDS_CONVERSION_OPTION));
    m_ui->speedUnitSettingLabel->setText(WithColon(IDS_SPEED_UNIT_SETTING));
    m_ui->stopPeriodLabel->setText(WithColon(IDS_STOP_MIN_PERIOD));
    m_ui->stopPeriodUnitLabel->setText(QtText(IDS_MINUTE));
    m_ui->stopDistanceLabel->setText(WithColon(IDS_STOP_MIN_DISTANCE));
    m_ui->overSpeedLabel->setText(WithColon(IDS_OVER_SPEED_SETTING));
    m_ui->okButton->setText(QtText(IDS_OK));
    m_ui->cancelButton->setText(QtText(IDS_CANCEL));

    m_ui->hoursList->clear();
    for (int i = 0; i < kHoursItemCount; ++i) {
        m_ui->hoursList->addItem(QString::fromStdString(HoursItemText(i)));
    }
    m_ui->hoursList->setCurrentIndex(kHoursItemZero);
    m_ui->minutesList->clear();
    for (int i = 0; i < kMinutesItemCount; ++i) {
        m_ui->minutesList->addItem(QString::fromStdString(MinutesItemText(i)));
    }
    m_ui->minutesList->setCurrentIndex(0);

    m_ui->zoneList->clear();
    const std::int64_t now = QDateTime::currentSecsSinceEpoch();
    for (int i = 0; i < m_zoneManager.Count(); ++i) {
        m_ui->zoneList->addItem(ZoneItemText(m_zoneManager.At(i), now));
    }
    if (m_zoneManager.Count() > 0) {
        m_ui->zoneList->setCurrentIndex(m_zoneManager.FindComputerZone(m_zones.ComputerZone()));
    }

    const int choice = m_profile.ProfileReadInt(kSectionSetting, "TimeZoneType", ZoneComputer);
    if (choice == ZoneCountry) {
        // A stale index (the zone list changed since) keeps the computer's zone proposed.
        const int stored = m_profile.ProfileReadInt(kSectionSetting, "TimeZoneCountry", 0);
        if (m_zoneManager.IsValidIndex(stored)) {
            m_ui->zoneList->setCurrentIndex(stored);
        }
    } else if (choice == ZoneBias) {
        const BiasPick pick =
            PickForBias(m_profile.ProfileReadInt(kSectionSetting, "TimeZoneBias", 0));
        // A bias beyond -12:59 .. +13:59 selects no hours item.
        m_ui->hoursList->setCurrentIndex(pick.hoursIndex);
        m_ui->minutesList->setCurrentIndex(pick.minutesIndex);
    }

    m_conversion = m_profile.ProfileReadInt(kSectionSetting, "Conversion", 0);
    m_ui->kmlPathCheck->setChecked((m_conversion & ConvKmlPath) != 0);
    m_ui->kmlPointCheck->setChecked((m_conversion & ConvKmlPoint) != 0);
    m_ui->nmeaCheck->setChecked((m_conversion & ConvNmea) != 0);
    m_ui->csvCheck->setChecked((m_conversion & ConvCsv) != 0);
    m_ui->nmeaIdCheck->setChecked((m_conversion & ConvNmeaWithId) != 0);
    m_ui->gpxCheck->setChecked((m_conversion & ConvGpx) != 0);

    m_speedUnit = m_profile.ProfileReadInt(kSectionSetting, "SpeedUnit", UnitKmh);
    m_ui->speedUnitList->clear();
    m_ui->speedUnitList->addItem(QtText(IDS_MPS));
    m_ui->speedUnitList->addItem(QtText(IDS_KMH));
    m_ui->speedUnitList->addItem(QtText(IDS_MPH));
    const bool knownUnit = m_speedUnit >= UnitMps && m_speedUnit <= UnitMph;
    m_ui->speedUnitList->setCurrentIndex(knownUnit ? m_speedUnit : -1);

    // Values outside what OK accepts read as missing, as the window and pelmora-cli read them.
    m_stopPeriod = ReadSetting(m_profile, kStopPeriodRange);
    m_stopDistance = ReadSetting(m_profile, kStopDistanceRange);
    m_overSpeed = ReadSetting(m_profile, kOverSpeedRange);
    SetUnitLabels(m_speedUnit);
    // Rows in the order of HeightReference; anything but "ellipsoid" reads as the sea.
    HeightReference heights = HeightReference::Sea;
    (void)ParseHeightReference(
        m_profile.ProfileReadText(kSectionSetting, kHeightReferenceKey, "sea"), heights);
    m_ui->heightsList->setCurrentIndex(heights == HeightReference::Ellipsoid ? 1 : 0);

    if (QAbstractButton* button = m_zoneChoice->button(choice)) {
        button->setChecked(true);
    } else {
        // An exclusive group cannot be emptied by unchecking its checked button.
        m_zoneChoice->setExclusive(false);
        for (QAbstractButton* b : m_zoneChoice->buttons()) {
            b->setChecked(false);
        }
        m_zoneChoice->setExclusive(true);
    }
    m_ui->stopPeriodEdit->setText(QString::number(m_stopPeriod));
    m_ui->stopDistanceEdit->setText(QString::number(m_stopDistance));
    m_ui->overSpeedEdit->setText(QString::number(m_overSpeed));
}

void CTimeDlg::FilterZones(const QString& text) {
    // Rows are hidden, not removed, so an item's index stays its catalogue position.
    auto* view = qobject_cast<QListView*>(m_ui->zoneList->view());
    if (view == nullptr) {
        return;
    }
    int firstShown = -1;
    for (int i = 0; i < m_ui->zoneList->count(); ++i) {
        const bool shown = m_ui->zoneList->itemText(i).contains(text, Qt::CaseInsensitive);
        view->setRowHidden(i, !shown);
        if (shown && firstShown < 0) {
            firstShown = i;
        }
    }
    if (firstShown < 0) {
        return;  // nothing to pick: the choice stays as it was
    }
    const int current = m_ui->zoneList->currentIndex();
    if (current < 0 || view->isRowHidden(current)) {
        m_ui->zoneList->setCurrentIndex(firstShown);
    }
    // Filtering is picking a zone: the one left shown in the box is the one OK saves.
    if (!text.isEmpty()) {
        m_ui->zoneCountry->setChecked(true);
    }
}

void CTimeDlg::SetUnitLabels(int speedUnit) {
    if (speedUnit < UnitMps || speedUnit > UnitMph) {
        return;
    }
    m_ui->distanceUnitLabel->setText(QString::fromStdString(DistanceUnitText(speedUnit)));
    m_ui->speedUnitTextLabel->setText(QString::fromStdString(SpeedUnitText(speedUnit)));
}

void CTimeDlg::OnSelchangeSpeedUnit(int index) {
    if (index < 0) {
        return;
    }
    // The numbers stay as typed: they are taken in the new unit.
    m_speedUnit = index;
    SetUnitLabels(index);
}

bool CTimeDlg::ExchangeInteger(QLineEdit* edit, const SettingRange& range, int& value) {
    const std::optional<int> parsed = ParseDecimalInt(edit->text().toStdString());
    QString prompt;
    if (!parsed) {
        prompt = QStringLiteral("Enter an integer.");
    } else if (*parsed < range.min || *parsed > range.max) {
        prompt =
            QStringLiteral("Enter an integer between %1 and %2.").arg(range.min).arg(range.max);
    }
    if (!prompt.isEmpty()) {
        m_prompter->Warn(this, prompt);
        edit->setFocus(Qt::OtherFocusReason);
        edit->selectAll();
        return false;
    }
    value = *parsed;
    return true;
}

void CTimeDlg::WriteTimeZone(int choice) {
    switch (choice) {
        case ZoneUtc:
            m_profile.ProfileWriteText(kSectionSetting, "TimeZoneDisplay", "UTC");
            m_profile.ProfileWriteInt(kSectionSetting, "TimeZoneBias", 0);
            m_profile.ProfileWriteText(kSectionSetting, "TimeZoneId", "");
            break;
        case ZoneComputer:
            // Read now, at confirming; the standard offset only, even in daylight saving time.
            m_profile.ProfileWriteText(kSectionSetting, "TimeZoneDisplay",
                                       std::string(LoadString(IDS_COMPUTER_TIME)));
            m_profile.ProfileWriteInt(kSectionSetting, "TimeZoneBias",
                                      -m_zones.ComputerZone().Bias);
            // The bias stays for older versions; this version follows the computer's rules.
            m_profile.ProfileWriteText(kSectionSetting, "TimeZoneId", kLocalZoneId);
            break;
        case ZoneCountry: {
            // With no zone to pick (an empty catalogue) the stored zone stays as it was, so the
            // stored index is always a valid position of the list it was picked from.
            const int p = m_ui->zoneList->currentIndex();
            if (!m_zoneManager.IsValidIndex(p)) {
                break;
            }
            const CRegTimeZoneInfo& e = m_zoneManager.At(p);
            m_profile.ProfileWriteText(kSectionSetting, "TimeZoneDisplay", e.Display);
            m_profile.ProfileWriteInt(kSectionSetting, "TimeZoneBias", -e.TZI.Bias);
            m_profile.ProfileWriteInt(kSectionSetting, "TimeZoneCountry", p);
            m_profile.ProfileWriteText(kSectionSetting, "TimeZoneId", e.Id);
            break;
        }
        case ZoneBias: {
            // A stored bias outside the hours list opens with no hours item: confirming without
            // picking one keeps the stored bias and display.
            const int h = m_ui->hoursList->currentIndex();
            const int m = m_ui->minutesList->currentIndex();
            if (h < 0 || h >= kHoursItemCount || m < 0 || m >= kMinutesItemCount) {
                break;
            }
            const ZoneBiasResult result = BiasForPick(h, m);
            m_profile.ProfileWriteText(kSectionSetting, "TimeZoneDisplay", result.display);
            m_profile.ProfileWriteInt(kSectionSetting, "TimeZoneBias", result.bias);
            m_profile.ProfileWriteText(kSectionSetting, "TimeZoneId", "");
            break;
        }
        default:
            break;  // no choice made: the stored display and bias stay
    }
}

void CTimeDlg::accept() {
    int stopPeriod = 0;
    int stopDistance = 0;
    int overSpeed = 0;
    if (!ExchangeInteger(m_ui->stopPeriodEdit, kStopPeriodRange, stopPeriod) ||
        !ExchangeInteger(m_ui->stopDistanceEdit, kStopDistanceRange, stopDistance) ||
        !ExchangeInteger(m_ui->overSpeedEdit, kOverSpeedRange, overSpeed)) {
        return;
    }
    m_stopPeriod = stopPeriod;
    m_stopDistance = stopDistance;
    m_overSpeed = overSpeed;

    const int choice = m_zoneChoice->checkedId();  // -1 when no button is checked
    m_profile.ProfileWriteInt(kSectionSetting, "TimeZoneType", choice);
    WriteTimeZone(choice);

    // Bits this version does not know (written by a newer one) survive a confirm.
    int bits = m_conversion & ~kKnownConversionBits;
    if (m_ui->kmlPathCheck->isChecked())
        bits |= ConvKmlPath;
    if (m_ui->kmlPointCheck->isChecked())
        bits |= ConvKmlPoint;
    if (m_ui->nmeaCheck->isChecked())
        bits |= ConvNmea;
    if (m_ui->nmeaIdCheck->isChecked())
        bits |= ConvNmeaWithId;
    if (m_ui->csvCheck->isChecked())
        bits |= ConvCsv;
    if (m_ui->gpxCheck->isChecked())
        bits |= ConvGpx;
    m_conversion = bits;
    m_profile.ProfileWriteInt(kSectionSetting, "Conversion", bits);

    // No unit selected (a stored unit unknown here): the stored value is kept as it was.
    const int listed = m_ui->speedUnitList->currentIndex();
    if (listed >= 0) {
        m_speedUnit = listed;
    }
    m_profile.ProfileWriteInt(kSectionSetting, "SpeedUnit", m_speedUnit);
    m_profile.ProfileWriteInt(kSectionSetting, "StopPeriod", m_stopPeriod);
    m_profile.ProfileWriteInt(kSectionSetting, "StopDistance", m_stopDistance);
    m_profile.ProfileWriteInt(kSectionSetting, "OverSpeed", m_overSpeed);
    m_profile.ProfileWriteText(
        kSectionSetting, kHeightReferenceKey,
        HeightReferenceName(m_ui->heightsList->currentIndex() == 1 ? HeightReference::Ellipsoid
                                                                   : HeightReference::Sea));
    QDialog::accept();
}

}  // namespace pelmora
