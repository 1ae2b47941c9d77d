#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "core/conversion_settings.h"
#include "core/profile_store.h"
#include "tests/core/fake_time_zone_source.h"
#include "ui/qt_profile_store.h"
#include "ui/set_dlg.h"
#include "ui/settings_summary.h"
#include "ui/time_dlg.h"

namespace pelmora {
namespace {

class FakePorts : public PortEnumerator {
  public:
    explicit FakePorts(std::vector<std::string> paths) : paths_(std::move(paths)) {}
    std::vector<std::string> EnumerateComPorts() const override { return paths_; }
    std::vector<std::string> paths_;
};

// Ports with what is behind them; a test plugs devices in and out.
class DescribedPorts : public PortEnumerator {
  public:
    std::vector<std::string> EnumerateComPorts() const override { return {}; }
    std::vector<PortInfo> EnumeratePorts() const override { return ports; }
    std::vector<PortInfo> ports;
};

class RecordingPrompter : public Prompter {
  public:
    void Warn(QWidget* /*parent*/, const QString& text) override { texts.append(text); }
    QStringList texts;
};

FakeTimeZoneSource ThreeZones() {
    return FakeTimeZoneSource(
        {
            MakeZone("Asia/Taipei", -480, "CST", "(UTC+08:00) Asia/Taipei"),
            MakeZone("America/New_York", 300, "EST", "(UTC-05:00) America/New_York"),
            MakeZone("Asia/Kolkata", -330, "IST", "(UTC+05:30) Asia/Kolkata"),
        },
        {-480, 0, "CST", "Asia/Taipei"});
}

QStringList Items(const QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i) {
        items.append(box->itemText(i));
    }
    return items;
}

template <typename T>
T* Child(QWidget& dlg, const char* name) {
    T* w = dlg.findChild<T*>(QLatin1String(name));
    if (w == nullptr) {
        qFatal("no child %s", name);
    }
    return w;
}

}  // namespace

class SettingsDialogsTest : public QObject {
    Q_OBJECT

  private slots:
    // The Application Setting dialog.
    void timeDlgEmptyProfileDefaults();
    void timeDlgTexts();
    void timeDlgBiasReopens_data();
    void timeDlgBiasReopens();
    void timeDlgConfirmBias_data();
    void timeDlgConfirmBias();
    void timeDlgSingleFormat_data();
    void timeDlgSingleFormat();
    void timeDlgOlderProfileLoadsUnchanged();
    void timeDlgUnitRelabelsWithoutConverting();
    void timeDlgNonIntegerStaysOpen();
    void timeDlgCancelWritesNothing();
    void timeDlgUtcAndComputerChoices();
    void timeDlgCountryChoice();
    void timeDlgZoneFilterStoresTheZoneId();
    void timeDlgFilteredZoneIsSaved_data();
    void timeDlgFilteredZoneIsSaved();
    void timeDlgStaleCountryIndex();
    void timeDlgOutOfRangeTypeStoresMinusOne();
    void timeDlgUnknownSpeedUnitIsKept();
    void timeDlgBiasOutsideHoursList();
    void timeDlgEmptyCatalogue();
    // The Serial Port Setting dialog.
    void setDlgEmptyProfile();
    void setDlgStoredChoice();
    void setDlgNoneStoredAsComPort();
    void setDlgUnenumeratedStoredPort();
    void setDlgTypedPort();
    void setDlgTypedPortIsNotCompleted_data();
    void setDlgTypedPortIsNotCompleted();
    void setDlgCancelWritesNothing();
    void setDlgNamesThePortsAndFollowsThem();
    // The main window's texts of these settings.
    void recordOptionLabelsNameTheLoggersUnits();
    // Both dialogs on the profile file.
    void profileFileRoundTrip();
};

void SettingsDialogsTest::timeDlgEmptyProfileDefaults() {
    MemoryProfileStore profile;
    const FakeTimeZoneSource zones = ThreeZones();
    CTimeDlg dlg(profile, zones);
    QVERIFY(Child<QRadioButton>(dlg, "zoneComputer")->isChecked());
    QCOMPARE(Child<QComboBox>(dlg, "zoneList")->currentText(), QString("(UTC+08:00) Asia/Taipei"));
    QCOMPARE(Child<QComboBox>(dlg, "hoursList")->currentText(), QString("0"));
    QCOMPARE(Child<QComboBox>(dlg, "minutesList")->currentText(), QString("00"));
    for (const char* box :
         {"kmlPathCheck", "kmlPointCheck", "nmeaCheck", "nmeaIdCheck", "csvCheck", "gpxCheck"}) {
        QVERIFY2(!Child<QCheckBox>(dlg, box)->isChecked(), box);
    }
    QCOMPARE(Child<QComboBox>(dlg, "speedUnitList")->currentText(), QString("KM/h"));
    QCOMPARE(Child<QLabel>(dlg, "distanceUnitLabel")->text(), QString("Meter"));
    QCOMPARE(Child<QLabel>(dlg, "speedUnitTextLabel")->text(), QString("KM/h"));
    QCOMPARE(Child<QLineEdit>(dlg, "stopPeriodEdit")->text(), QString("10"));
    QCOMPARE(Child<QLineEdit>(dlg, "stopDistanceEdit")->text(), QString("0"));
    QCOMPARE(Child<QLineEdit>(dlg, "overSpeedEdit")->text(), QString("0"));
    // Opening reads only.
    QVERIFY(!profile.Contains(kSectionSetting, "TimeZoneType"));
}

void SettingsDialogsTest::timeDlgTexts() {
    MemoryProfileStore profile;
    const FakeTimeZoneSource zones = ThreeZones();
    CTimeDlg dlg(profile, zones);
    QCOMPARE(dlg.windowTitle(), QString("Application Setting"));
    QCOMPARE(Child<QGroupBox>(dlg, "timeZoneGroup")->title(), QString("Time zone setting"));
    QCOMPARE(Child<QRadioButton>(dlg, "zoneUtc")->text(), QString("UTC"));
    QCOMPARE(Child<QRadioButton>(dlg, "zoneComputer")->text(), QString("Computer Time"));
    QCOMPARE(Child<QRadioButton>(dlg, "zoneCountry")->text(), QString("Country/Zone:"));
    QCOMPARE(Child<QRadioButton>(dlg, "zoneBias")->text(), QString("Bias:"));
    QCOMPARE(Child<QLabel>(dlg, "hourLabel")->text(), QString("Hour"));
    QCOMPARE(Child<QLabel>(dlg, "minuteLabel")->text(), QString("Minute"));
    QCOMPARE(Child<QGroupBox>(dlg, "conversionTypeGroup")->title(), QString("Conversion type"));
    QCOMPARE(Child<QCheckBox>(dlg, "kmlPathCheck")->text(), QString("KML(Path)"));
    QCOMPARE(Child<QCheckBox>(dlg, "kmlPointCheck")->text(), QString("KML(Point)"));
    QCOMPARE(Child<QCheckBox>(dlg, "nmeaCheck")->text(), QString("NMEA"));
    QCOMPARE(Child<QCheckBox>(dlg, "nmeaIdCheck")->text(), QString("NMEA with ID"));
    QCOMPARE(Child<QCheckBox>(dlg, "csvCheck")->text(), QString("CSV"));
    QCOMPARE(Child<QCheckBox>(dlg, "gpxCheck")->text(), QString("GPX"));
    QCOMPARE(Child<QGroupBox>(dlg, "conversionOptionGroup")->title(), QString("Conversion Option"));
    QCOMPARE(Child<QLabel>(dlg, "speedUnitSettingLabel")->text(), QString("Speed unit setting:"));
    QCOMPARE(Child<QLabel>(dlg, "stopPeriodLabel")->text(), QString("Stop point minimum period:"));
    QCOMPARE(Child<QLabel>(dlg, "stopPeriodUnitLabel")->text(), QString("Minute"));
    QCOMPARE(Child<QLabel>(dlg, "stopDistanceLabel")->text(),
             QString("Stop point minimum distance:"));
    QCOMPARE(Child<QLabel>(dlg, "overSpeedLabel")->text(), QString("Over-speed setting:"));
    QCOMPARE(Child<QPushButton>(dlg, "okButton")->text(), QString("OK"));
    QCOMPARE(Child<QPushButton>(dlg, "cancelButton")->text(), QString("Cancel"));

    // The GPX box sits right after CSV in the tab order.
    QCOMPARE(Child<QCheckBox>(dlg, "csvCheck")->nextInFocusChain(),
             Child<QCheckBox>(dlg, "gpxCheck"));

    const QComboBox* hours = Child<QComboBox>(dlg, "hoursList");
    QCOMPARE(hours->count(), 27);
    QCOMPARE(hours->itemText(0), QString("-12"));
    QCOMPARE(hours->itemText(12), QString("-0"));
    QCOMPARE(hours->itemText(13), QString("0"));
    QCOMPARE(hours->itemText(26), QString("13"));
    const QComboBox* minutes = Child<QComboBox>(dlg, "minutesList");
    QCOMPARE(minutes->count(), 60);
    QCOMPARE(minutes->itemText(59), QString("59"));
    QCOMPARE(Items(Child<QComboBox>(dlg, "speedUnitList")), (QStringList{"m/s", "KM/h", "MPH"}));
    // West to east.
    QCOMPARE(Items(Child<QComboBox>(dlg, "zoneList")),
             (QStringList{"(UTC-05:00) America/New_York", "(UTC+05:30) Asia/Kolkata",
                          "(UTC+08:00) Asia/Taipei"}));
}

void SettingsDialogsTest::timeDlgBiasReopens_data() {
    QTest::addColumn<int>("bias");
    QTest::addColumn<QString>("hours");
    QTest::addColumn<QString>("minutes");
    QTest::newRow("-30") << -30 << "-0"
                         << "30";
    QTest::newRow("330") << 330 << "5"
                         << "30";
    QTest::newRow("-330") << -330 << "-5"
                          << "30";
    QTest::newRow("0") << 0 << "0"
                       << "00";
    QTest::newRow("-779") << -779 << "-12"
                          << "59";
    QTest::newRow("839") << 839 << "13"
                         << "59";
}

void SettingsDialogsTest::timeDlgBiasReopens() {
    QFETCH(int, bias);
    QFETCH(QString, hours);
    QFETCH(QString, minutes);
    MemoryProfileStore profile;
    profile.ProfileWriteInt(kSectionSetting, "TimeZoneType", ZoneBias);
    profile.ProfileWriteInt(kSectionSetting, "TimeZoneBias", bias);
    const FakeTimeZoneSource zones = ThreeZones();
    CTimeDlg dlg(profile, zones);
    QVERIFY(Child<QRadioButton>(dlg, "zoneBias")->isChecked());
    QCOMPARE(Child<QComboBox>(dlg, "hoursList")->currentText(), hours);
    QCOMPARE(Child<QComboBox>(dlg, "minutesList")->currentText(), minutes);
}

void SettingsDialogsTest::timeDlgConfirmBias_data() {
    QTest::addColumn<int>("hoursIndex");
    QTest::addColumn<int>("minutes");
    QTest::addColumn<int>("bias");
    QTest::addColumn<QString>("display");
    QTest::newRow("-0:45") << 12 << 45 << -45 << "Bias -0:45";
    QTest::newRow("0:45") << 13 << 45 << 45 << "Bias +0:45";
    QTest::newRow("-0:30") << 12 << 30 << -30 << "Bias -0:30";
    QTest::newRow("+8:00") << 21 << 0 << 480 << "Bias +8:00";
    QTest::newRow("-5:30") << 7 << 30 << -330 << "Bias -5:30";
}

void SettingsDialogsTest::timeDlgConfirmBias() {
    QFETCH(int, hoursIndex);
    QFETCH(int, minutes);
    QFETCH(int, bias);
    QFETCH(QString, display);
    MemoryProfileStore profile;
    const FakeTimeZoneSource zones = ThreeZones();
    CTimeDlg dlg(profile, zones);
    Child<QRadioButton>(dlg, "zoneBias")->click();
    Child<QComboBox>(dlg, "hoursList")->setCurrentIndex(hoursIndex);
    Child<QComboBox>(dlg, "minutesList")->setCurrentIndex(minutes);
    Child<QPushButton>(dlg, "okButton")->click();
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QCOMPARE(profile.ProfileReadInt(kSectionSetting, "TimeZoneType", -9), 3);
    QCOMPARE(profile.ProfileReadInt(kSectionSetting, "TimeZoneBias", -9999), bias);
    QCOMPARE(
        QString::fromStdString(profile.ProfileReadText(kSectionSetting, "TimeZoneDisplay", "")),
        display);
    QVERIFY(!profile.Contains(kSectionSetting, "TimeZoneCountry"));
    // The rest of the section is written with what the dialog showed.
    QCOMPARE(profile.ProfileReadInt(kSectionSetting, "Conversion", -1), 0);
    QCOMPARE(profile.ProfileReadInt(kSectionSetting, "SpeedUnit", -1), 1);
    QCOMPARE(profile.ProfileReadInt(kSectionSetting, "StopPeriod", -1), 10);
    QCOMPARE(profile.ProfileReadInt(kSectionSetting, "StopDistance", -1), 0);
    QCOMPARE(profile.ProfileReadInt(kSectionSetting, "OverSpeed", -1), 0);

    // And reopens on the same items.
    CTimeDlg again(profile, zones);
    QCOMPARE(Child<QComboBox>(again, "minutesList")->currentIndex(), minutes);
    QCOMPARE(Child<QComboBox>(again, "hoursList")->currentIndex(), hoursIndex);
}

void SettingsDialogsTest::timeDlgSingleFormat_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("bits");
    QTest::newRow("KML path") << "kmlPathCheck" << 1;
    QTest::newRow("KML point") << "kmlPointCheck" << 2;
    QTest::newRow("NMEA") << "nmeaCheck" << 4;
    QTest::newRow("CSV") << "csvCheck" << 8;
    QTest::newRow("NMEA with ID") << "nmeaIdCheck" << 16;
    QTest::newRow("GPX") << "gpxCheck" << 32;
}

void SettingsDialogsTest::timeDlgSingleFormat() {
    QFETCH(QString, box);
    QFETCH(int, bits);
    MemoryProfileStore profile;
    const FakeTimeZoneSource zones = ThreeZones();
    {
        CTimeDlg dlg(profile, zones);
        Child<QCheckBox>(dlg, box.toLatin1().constData())->click();
        dlg.accept();
    }
    QCOMPARE(profile.ProfileReadInt(kSectionSetting, "Conversion", -1), bits);
    CTimeDlg again(profile, zones);
    QVERIFY(Child<QCheckBox>(again, box.toLatin1().constData())->isChecked());
}

void SettingsDialogsTest::timeDlgOlderProfileLoadsUnchanged() {
    MemoryProfileStore profile;
    // Written before the GPX box existed; 64 is a bit this version does not know.
    profile.ProfileWriteInt(kSectionSetting, "Conversion", 1 | 8 | 16 | 64);
    const FakeTimeZoneSource zones = ThreeZones();
    CTimeDlg dlg(profile, zones);
    QVERIFY(Child<QCheckBox>(dlg, "kmlPathCheck")->isChecked());
    QVERIFY(!Child<QCheckBox>(dlg, "kmlPointCheck")->isChecked());
    QVERIFY(!Child<QCheckBox>(dlg, "nmeaCheck")->isChecked());
    QVERIFY(Child<QCheckBox>(dlg, "csvCheck")->isChecked());
    QVERIFY(Child<QCheckBox>(dlg, "nmeaIdCheck")->isChecked());
    QVERIFY(!Child<QCheckBox>(dlg, "gpxCheck")->isChecked());
    dlg.accept();
    QCOMPARE(profile.ProfileReadInt(kSectionSetting, "Conversion", -1), 1 | 8 | 16 | 64);
}

void SettingsDialogsTest::timeDlgUnitRelabelsWithoutConverting() {
    MemoryProfileStore profile;
    profile.ProfileWriteInt(kSectionSetting, "StopDistance", 100);
    profile.ProfileWriteInt(kSectionSetting, "OverSpeed", 90);
    const FakeTimeZoneSource zones = ThreeZones();
    CTimeDlg dlg(profile, zones);
    QComboBox* unit = Child<QComboBox>(dlg, "speedUnitList");
    QCOMPARE(unit->currentText(), QString("KM/h"));
    unit->setCurrentIndex(UnitMph);
    QCOMPARE(Child<QLabel>(dlg, "distanceUnitLabel")->text(), QString("Feet"));
    QCOMPARE(Child<QLabel>(dlg, "speedUnitTextLabel")->text(), QString("MPH"));
    QCOMPARE(Child<QLineEdit>(dlg, "stopDistanceEdit")->text(), QString("100"));
    QCOMPARE(Child<QLineEdit>(dlg, "overSpeedEdit")->text(), QString("90"));
    unit->setCurrentIndex(UnitMps);
    QCOMPARE(Child<QLabel>(dlg, "distanceUnitLabel")->text(), QString("Meter"));
    QCOMPARE(Child<QLabel>(dlg, "speedUnitTextLabel")->text(), QString("m/s"));
    unit->setCurrentIndex(UnitMph);
    dlg.accept();
    QCOMPARE(profile.ProfileReadInt(kSectionSetting, "SpeedUnit", -1), 2);
    QCOMPARE(profile.ProfileReadInt(kSectionSetting, "StopDistance", -1), 100);
    QCOMPARE(profile.ProfileReadInt(kSectionSetting, "OverSpeed", -1), 90);
}

void SettingsDialogsTest::timeDlgNonIntegerStaysOpen() {
    for (const char* editName : {"stopPeriodEdit", "stopDistanceEdit", "overSpeedEdit"}) {
        for (const char* typed : {"12a", "", "1.5", "99999999999"}) {
            MemoryProfileStore profile;
            const FakeTimeZoneSource zones = ThreeZones();
            RecordingPrompter prompter;
            CTimeDlg dlg(profile, zones, &prompter);
            dlg.show();
            QLineEdit* edit = Child<QLineEdit>(dlg, editName);
            edit->setText(QString::fromLatin1(typed));
            Child<QPushButton>(dlg, "okButton")->click();
            QCOMPARE(prompter.texts, QStringList{"Enter an integer."});
            QVERIFY(dlg.isVisible());
            QCOMPARE(dlg.focusWidget(), edit);
            QVERIFY(!profile.Contains(kSectionSetting, "TimeZoneType"));
            QVERIFY(!profile.Contains(kSectionSetting, "Conversion"));
            // A number outside the range the profile accepts is refused too.
            edit->setText(QStringLiteral(" -7 "));
            Child<QPushButton>(dlg, "okButton")->click();
            QCOMPARE(prompter.texts.size(), 2);
            QVERIFY(
                prompter.texts.at(1).startsWith(QStringLiteral("Enter an integer between 0 and ")));
            QVERIFY(dlg.isVisible());
            // Mended text goes through.
            edit->setText(QStringLiteral(" 7 "));
            Child<QPushButton>(dlg, "okButton")->click();
            QCOMPARE(prompter.texts.size(), 2);
            QCOMPARE(dlg.result(), int(QDialog::Accepted));
            QCOMPARE(profile.ProfileReadInt(kSectionSetting,
                                            editName == std::string("stopPeriodEdit") ? "StopPeriod"
                                            : editName == std::string("stopDistanceEdit")
                                                ? "StopDistance"
                                                : "OverSpeed",
                                            0),
                     7);
        }
    }
}

void SettingsDialogsTest::timeDlgCancelWritesNothing() {
    MemoryProfileStore profile;
    const FakeTimeZoneSource zones = ThreeZones();
    CTimeDlg dlg(profile, zones);
    Child<QRadioButton>(dlg, "zoneUtc")->click();
    Child<QCheckBox>(dlg, "csvCheck")->click();
    Child<QPushButton>(dlg, "cancelButton")->click();
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
    for (const char* key : {"TimeZoneType", "TimeZoneDisplay", "TimeZoneBias", "Conversion",
                            "SpeedUnit", "StopPeriod"}) {
        QVERIFY2(!profile.Contains(kSectionSetting, key), key);
    }
}

void SettingsDialogsTest::timeDlgUtcAndComputerChoices() {
    MemoryProfileStore profile;
    FakeTimeZoneSource zones = ThreeZones();
    {
        CTimeDlg dlg(profile, zones);
        Child<QRadioButton>(dlg, "zoneUtc")->click();
        dlg.accept();
    }
    QCOMPARE(profile.ProfileReadInt(kSectionSetting, "TimeZoneType", -9), 0);
    QCOMPARE(profile.ProfileReadText(kSectionSetting, "TimeZoneDisplay", ""), std::string("UTC"));
    QCOMPARE(profile.ProfileReadInt(kSectionSetting, "TimeZoneBias", -9), 0);
    {
        // The computer's zone is read when OK is pressed, standard offset only.
        CTimeDlg dlg(profile, zones);
        QVERIFY(Child<QRadioButton>(dlg, "zoneUtc")->isChecked());
        Child<QRadioButton>(dlg, "zoneComputer")->click();
        zones.computer_ = {300, 0, "EST", "America/New_York"};
        dlg.accept();
    }
    QCOMPARE(profile.ProfileReadInt(kSectionSetting, "TimeZoneType", -9), 1);
    QCOMPARE(profile.ProfileReadText(kSectionSetting, "TimeZoneDisplay", ""),
             std::string("Computer Time"));
    QCOMPARE(profile.ProfileReadInt(kSectionSetting, "TimeZoneBias", -9), -300);
}

void SettingsDialogsTest::timeDlgCountryChoice() {
    MemoryProfileStore profile;
    const FakeTimeZoneSource zones = ThreeZones();
    {
        CTimeDlg dlg(profile, zones);
        Child<QRadioButton>(dlg, "zoneCountry")->click();
        Child<QComboBox>(dlg, "zoneList")->setCurrentIndex(1);  // Kolkata
        dlg.accept();
    }
    QCOMPARE(profile.ProfileReadInt(kSectionSetting, "TimeZoneType", -9), 2);
    QCOMPARE(profile.ProfileReadText(kSectionSetting, "TimeZoneDisplay", ""),
             std::string("(UTC+05:30) Asia/Kolkata"));
    QCOMPARE(profile.ProfileReadInt(kSectionSetting, "TimeZoneBias", -9), 330);
    QCOMPARE(profile.ProfileReadInt(kSectionSetting, "TimeZoneCountry", -9), 1);
    CTimeDlg again(profile, zones);
    QVERIFY(Child<QRadioButton>(again, "zoneCountry")->isChecked());
    QCOMPARE(Child<QComboBox>(again, "zoneList")->currentIndex(), 1);
}

// Typing part of a name keeps the matching zones; the zone's IANA name is stored with it.
void SettingsDialogsTest::timeDlgZoneFilterStoresTheZoneId() {
    MemoryProfileStore profile;
    const FakeTimeZoneSource zones = ThreeZones();
    {
        CTimeDlg dlg(profile, zones);
        auto* list = Child<QComboBox>(dlg, "zoneList");
        auto* view = qobject_cast<QListView*>(list->view());
        Child<QRadioButton>(dlg, "zoneCountry")->click();
        Child<QLineEdit>(dlg, "zoneFilter")->setText(QStringLiteral("york"));
        QCOMPARE(list->currentIndex(), 0);  // New York, the only match
        QVERIFY(view->isRowHidden(1) && view->isRowHidden(2));
        Child<QLineEdit>(dlg, "zoneFilter")->setText(QStringLiteral("ASIA/"));
        QCOMPARE(list->currentIndex(), 1);
        QVERIFY(view->isRowHidden(0) && !view->isRowHidden(2));
        dlg.accept();
    }
    QCOMPARE(profile.ProfileReadText(kSectionSetting, "TimeZoneId", ""),
             std::string("Asia/Kolkata"));
    {
        CTimeDlg dlg(profile, zones);
        Child<QRadioButton>(dlg, "zoneComputer")->click();
        dlg.accept();
    }
    QCOMPARE(profile.ProfileReadText(kSectionSetting, "TimeZoneId", ""), std::string("local"));
}

// Whatever was chosen before, the zone the filter leaves in the box is the one OK saves.
void SettingsDialogsTest::timeDlgFilteredZoneIsSaved_data() {
    QTest::addColumn<int>("storedType");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("id");
    QTest::newRow("one match") << int(ZoneComputer) << "Kolk" << int(ZoneCountry) << "Asia/Kolkata";
    QTest::newRow("current among them")
        << int(ZoneUtc) << "asia" << int(ZoneCountry) << "Asia/Taipei";
    QTest::newRow("current filtered out")
        << int(ZoneBias) << "America" << int(ZoneCountry) << "America/New_York";
    QTest::newRow("no match") << int(ZoneComputer) << "Berl" << int(ZoneComputer) << "local";
}

void SettingsDialogsTest::timeDlgFilteredZoneIsSaved() {
    QFETCH(int, storedType);
    QFETCH(QString, typed);
    QFETCH(int, type);
    QFETCH(QString, id);
    MemoryProfileStore profile;
    profile.ProfileWriteInt(kSectionSetting, "TimeZoneType", storedType);
    const FakeTimeZoneSource zones = ThreeZones();
    {
        CTimeDlg dlg(profile, zones);
        QTest::keyClicks(Child<QLineEdit>(dlg, "zoneFilter"), typed);
        Child<QPushButton>(dlg, "okButton")->click();
    }
    QCOMPARE(profile.ProfileReadInt(kSectionSetting, "TimeZoneType", -9), type);
    QCOMPARE(QString::fromStdString(profile.ProfileReadText(kSectionSetting, "TimeZoneId", "")),
             id);
    // A zone picked from the list by hand is chosen too.
    CTimeDlg dlg(profile, zones);
    Child<QRadioButton>(dlg, "zoneUtc")->click();
    auto* list = Child<QComboBox>(dlg, "zoneList");
    emit list->activated(0);
    QVERIFY(Child<QRadioButton>(dlg, "zoneCountry")->isChecked());
}

void SettingsDialogsTest::timeDlgStaleCountryIndex() {
    MemoryProfileStore profile;
    profile.ProfileWriteInt(kSectionSetting, "TimeZoneType", ZoneCountry);
    profile.ProfileWriteInt(kSectionSetting, "TimeZoneCountry", 50);
    const FakeTimeZoneSource zones = ThreeZones();
    CTimeDlg dlg(profile, zones);
    // The computer's zone stays proposed.
    QCOMPARE(Child<QComboBox>(dlg, "zoneList")->currentText(), QString("(UTC+08:00) Asia/Taipei"));
    dlg.accept();
    QCOMPARE(profile.ProfileReadInt(kSectionSetting, "TimeZoneCountry", -9), 2);
    QCOMPARE(profile.ProfileReadInt(kSectionSetting, "TimeZoneBias", -9), 480);
}

void SettingsDialogsTest::timeDlgOutOfRangeTypeStoresMinusOne() {
    MemoryProfileStore profile;
    profile.ProfileWriteInt(kSectionSetting, "TimeZoneType", 7);
    profile.ProfileWriteText(kSectionSetting, "TimeZoneDisplay", "Bias +1:00");
    profile.ProfileWriteInt(kSectionSetting, "TimeZoneBias", 60);
    const FakeTimeZoneSource zones = ThreeZones();
    CTimeDlg dlg(profile, zones);
    for (const char* radio : {"zoneUtc", "zoneComputer", "zoneCountry", "zoneBias"}) {
        QVERIFY2(!Child<QRadioButton>(dlg, radio)->isChecked(), radio);
    }
    dlg.accept();
    QCOMPARE(profile.ProfileReadInt(kSectionSetting, "TimeZoneType", 0), -1);
    QCOMPARE(profile.ProfileReadText(kSectionSetting, "TimeZoneDisplay", ""),
             std::string("Bias +1:00"));
    QCOMPARE(profile.ProfileReadInt(kSectionSetting, "TimeZoneBias", 0), 60);
}

void SettingsDialogsTest::timeDlgUnknownSpeedUnitIsKept() {
    MemoryProfileStore profile;
    profile.ProfileWriteInt(kSectionSetting, "SpeedUnit", 9);
    const FakeTimeZoneSource zones = ThreeZones();
    {
        CTimeDlg dlg(profile, zones);
        QCOMPARE(Child<QComboBox>(dlg, "speedUnitList")->currentIndex(), -1);
        dlg.accept();
    }
    QCOMPARE(profile.ProfileReadInt(kSectionSetting, "SpeedUnit", 0), 9);
    CTimeDlg dlg(profile, zones);
    Child<QComboBox>(dlg, "speedUnitList")->setCurrentIndex(UnitMps);
    QCOMPARE(Child<QLabel>(dlg, "speedUnitTextLabel")->text(), QString("m/s"));
    dlg.accept();
    QCOMPARE(profile.ProfileReadInt(kSectionSetting, "SpeedUnit", -1), 0);
}

void SettingsDialogsTest::timeDlgBiasOutsideHoursList() {
    MemoryProfileStore profile;
    profile.ProfileWriteInt(kSectionSetting, "TimeZoneType", ZoneBias);
    profile.ProfileWriteInt(kSectionSetting, "TimeZoneBias", 900);
    profile.ProfileWriteText(kSectionSetting, "TimeZoneDisplay", "Bias +15:00");
    const FakeTimeZoneSource zones = ThreeZones();
    {
        CTimeDlg dlg(profile, zones);
        QCOMPARE(Child<QComboBox>(dlg, "hoursList")->currentIndex(), -1);
        QCOMPARE(Child<QComboBox>(dlg, "minutesList")->currentText(), QString("00"));
        dlg.accept();
    }
    QCOMPARE(profile.ProfileReadInt(kSectionSetting, "TimeZoneBias", 0), 900);
    QCOMPARE(profile.ProfileReadText(kSectionSetting, "TimeZoneDisplay", ""),
             std::string("Bias +15:00"));
    // The most negative stored number opens without harm.
    profile.ProfileWriteInt(kSectionSetting, "TimeZoneBias", INT32_MIN);
    CTimeDlg dlg(profile, zones);
    QCOMPARE(Child<QComboBox>(dlg, "hoursList")->currentIndex(), -1);
}

void SettingsDialogsTest::timeDlgEmptyCatalogue() {
    MemoryProfileStore profile;
    profile.ProfileWriteInt(kSectionSetting, "TimeZoneType", ZoneCountry);
    profile.ProfileWriteInt(kSectionSetting, "TimeZoneCountry", 4);
    profile.ProfileWriteText(kSectionSetting, "TimeZoneDisplay", "UTC");
    profile.ProfileWriteInt(kSectionSetting, "TimeZoneBias", 0);
    const FakeTimeZoneSource zones({}, {-480, 0, "CST", "Asia/Taipei"});
    CTimeDlg dlg(profile, zones);
    QCOMPARE(Child<QComboBox>(dlg, "zoneList")->count(), 0);
    QVERIFY(Child<QRadioButton>(dlg, "zoneCountry")->isChecked());
    dlg.accept();
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QCOMPARE(profile.ProfileReadInt(kSectionSetting, "TimeZoneType", -9), 2);
    QCOMPARE(profile.ProfileReadText(kSectionSetting, "TimeZoneDisplay", ""), std::string("UTC"));
    QCOMPARE(profile.ProfileReadInt(kSectionSetting, "TimeZoneBias", -9), 0);
    QCOMPARE(profile.ProfileReadInt(kSectionSetting, "TimeZoneCountry", -9), 4);
}

void SettingsDialogsTest::setDlgEmptyProfile() {
    MemoryProfileStore profile;
    const FakePorts ports({"/dev/ttyS10", "/dev/ttyUSB0", "/dev/ttyS2"});
    CSetDlg dlg(profile, ports);
    QCOMPARE(dlg.windowTitle(), QString("Serial Port Setting"));
    QCOMPARE(Child<QLabel>(dlg, "comPortLabel")->text(), QString("Com Port:"));
    QCOMPARE(Child<QLabel>(dlg, "baudRateLabel")->text(), QString("Baud Rate:"));
    QCOMPARE(Child<QPushButton>(dlg, "okButton")->text(), QString("OK"));
    const QComboBox* portList = Child<QComboBox>(dlg, "portList");
    QCOMPARE(Items(portList), (QStringList{"None", "/dev/ttyS2", "/dev/ttyS10", "/dev/ttyUSB0"}));
    QCOMPARE(portList->currentText(), QString("None"));
    const QComboBox* rates = Child<QComboBox>(dlg, "baudRateList");
    QCOMPARE(Items(rates),
             (QStringList{"2400", "4800", "9600", "19200", "38400", "57600", "115200"}));
    QCOMPARE(rates->currentText(), QString("4800"));
    QVERIFY(!profile.Contains(kSectionSerial, "ComPort"));
}

void SettingsDialogsTest::setDlgStoredChoice() {
    MemoryProfileStore profile;
    profile.ProfileWriteText(kSectionSerial, "ComPort", "/dev/ttyS10");
    profile.ProfileWriteText(kSectionSerial, "BaudRate", "115200");
    const FakePorts ports({"/dev/ttyS10", "/dev/ttyS2"});
    {
        CSetDlg dlg(profile, ports);
        QCOMPARE(Child<QComboBox>(dlg, "portList")->currentText(), QString("/dev/ttyS10"));
        QCOMPARE(Child<QComboBox>(dlg, "baudRateList")->currentText(), QString("115200"));
        Child<QComboBox>(dlg, "baudRateList")->setCurrentIndex(2);
        Child<QPushButton>(dlg, "okButton")->click();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.portText(), QString("/dev/ttyS10"));
        QCOMPARE(dlg.baudRateText(), QString("9600"));
        QCOMPARE(dlg.baudRate(), 9600);
        QVERIFY(!dlg.isOffline());
    }
    QCOMPARE(profile.ProfileReadText(kSectionSerial, "BaudRate", ""), std::string("9600"));
    // A rate that is not one of the seven proposes 4800.
    profile.ProfileWriteText(kSectionSerial, "BaudRate", "300");
    CSetDlg dlg(profile, ports);
    QCOMPARE(Child<QComboBox>(dlg, "baudRateList")->currentText(), QString("4800"));
}

void SettingsDialogsTest::setDlgNoneStoredAsComPort() {
    MemoryProfileStore profile;
    const FakePorts ports({"/dev/ttyUSB0"});
    CSetDlg dlg(profile, ports);
    Child<QComboBox>(dlg, "portList")->setCurrentIndex(0);
    Child<QPushButton>(dlg, "okButton")->click();
    QCOMPARE(profile.ProfileReadText(kSectionSerial, "ComPort", ""), std::string("None"));
    QCOMPARE(profile.ProfileReadText(kSectionSerial, "BaudRate", ""), std::string("4800"));
    QCOMPARE(dlg.portText(), QString("None"));
    QVERIFY(dlg.isOffline());
}

void SettingsDialogsTest::setDlgUnenumeratedStoredPort() {
    MemoryProfileStore profile;
    profile.ProfileWriteText(kSectionSerial, "ComPort", "/dev/pts/7");
    const FakePorts ports({"/dev/ttyUSB0"});
    CSetDlg dlg(profile, ports);
    const QComboBox* portList = Child<QComboBox>(dlg, "portList");
    QCOMPARE(Items(portList), (QStringList{"None", "/dev/ttyUSB0", "/dev/pts/7"}));
    QCOMPARE(portList->currentText(), QString("/dev/pts/7"));
    dlg.accept();
    QCOMPARE(dlg.portText(), QString("/dev/pts/7"));
    QCOMPARE(profile.ProfileReadText(kSectionSerial, "ComPort", ""), std::string("/dev/pts/7"));
}

void SettingsDialogsTest::setDlgTypedPort() {
    MemoryProfileStore profile;
    const FakePorts ports({});
    {
        CSetDlg dlg(profile, ports);
        QCOMPARE(Items(Child<QComboBox>(dlg, "portList")), QStringList{"None"});
        Child<QComboBox>(dlg, "portList")->setEditText(QStringLiteral(" /dev/rfcomm0 "));
        dlg.accept();
        QCOMPARE(dlg.portText(), QString("/dev/rfcomm0"));
    }
    QCOMPARE(profile.ProfileReadText(kSectionSerial, "ComPort", ""), std::string("/dev/rfcomm0"));
    {
        // Typed in another case, "None" still means offline for the caller's exact comparison.
        CSetDlg dlg(profile, ports);
        Child<QComboBox>(dlg, "portList")->setEditText(QStringLiteral("none"));
        dlg.accept();
        QVERIFY(dlg.isOffline());
    }
    {
        CSetDlg dlg(profile, ports);
        Child<QComboBox>(dlg, "portList")->setEditText(QString());
        dlg.accept();
        QVERIFY(dlg.isOffline());
    }
    QCOMPARE(profile.ProfileReadText(kSectionSerial, "ComPort", ""), std::string("None"));
}

// The completer may propose a longer listed path; Return and OK keep what was typed.
void SettingsDialogsTest::setDlgTypedPortIsNotCompleted_data() {
    QTest::addColumn<QString>("typed");
    QTest::newRow("prefix of a listed port") << "/dev/pts/1";
    QTest::newRow("listed port") << "/dev/pts/10";
    QTest::newRow("listed but for case") << "/dev/ttyusb0";
}

void SettingsDialogsTest::setDlgTypedPortIsNotCompleted() {
    QFETCH(QString, typed);
    MemoryProfileStore profile;
    const FakePorts ports({"/dev/pts/10", "/dev/ttyUSB0"});
    CSetDlg dlg(profile, ports);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QComboBox* list = Child<QComboBox>(dlg, "portList");
    QLineEdit* edit = list->lineEdit();
    edit->setFocus();
    edit->clear();
    QTest::keyClicks(edit, typed);
    QCOMPARE(edit->text(), typed);
    // An open suggestion list takes the keys, as it does for the user.
    QWidget* popup = edit->completer() != nullptr ? edit->completer()->popup() : nullptr;
    QTest::keyClick(popup != nullptr && popup->isVisible() ? popup : edit, Qt::Key_Return);
    QCOMPARE(edit->text(), typed);
    Child<QPushButton>(dlg, "okButton")->click();
    QCOMPARE(dlg.portText(), typed);
    QCOMPARE(QString::fromStdString(profile.ProfileReadText(kSectionSerial, "ComPort", "")), typed);
}

void SettingsDialogsTest::setDlgCancelWritesNothing() {
    MemoryProfileStore profile;
    const FakePorts ports({"/dev/ttyUSB0"});
    CSetDlg dlg(profile, ports);
    Child<QComboBox>(dlg, "portList")->setCurrentIndex(1);
    dlg.reject();
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
    QVERIFY(!profile.Contains(kSectionSerial, "ComPort"));
    QVERIFY(!profile.Contains(kSectionSerial, "BaudRate"));
}

void SettingsDialogsTest::setDlgNamesThePortsAndFollowsThem() {
    MemoryProfileStore profile;
    DescribedPorts ports;
    ports.ports = {{"/dev/ttyUSB0", "Prolific PL2303 (usb-Prolific_PL2303-if00-port0)"},
                   {"/dev/pts/3", "Simulated logger"}};
    CSetDlg dlg(profile, ports);
    QComboBox* list = Child<QComboBox>(dlg, "portList");
    QCOMPARE(Items(list), (QStringList{"None", "/dev/pts/3", "/dev/ttyUSB0"}));
    QCOMPARE(list->model()->index(1, 1).data().toString(), QString("Simulated logger"));
    list->setCurrentIndex(2);
    QCOMPARE(Child<QLabel>(dlg, "portInfo")->text(),
             QString("Prolific PL2303 (usb-Prolific_PL2303-if00-port0)"));
    // A device plugged in is listed; the user's choice stays.
    ports.ports.push_back({"/dev/ttyACM0", "u-blox GNSS receiver"});
    dlg.RefreshPorts();
    QCOMPARE(Items(list), (QStringList{"None", "/dev/pts/3", "/dev/ttyACM0", "/dev/ttyUSB0"}));
    QCOMPARE(list->currentText(), QString("/dev/ttyUSB0"));
    dlg.accept();
    QCOMPARE(dlg.portText(), QString("/dev/ttyUSB0"));
}

// The logger takes the Record Option numbers in metres and km/h, unconverted, whatever unit the
// conversion uses.
void SettingsDialogsTest::recordOptionLabelsNameTheLoggersUnits() {
    for (const int unit : {UnitMps, UnitKmh, UnitMph}) {
        ConversionSettings settings;
        settings.SpeedUnit = unit;
        const SettingsSummaryTexts t = MakeSettingsSummary(settings);
        QCOMPARE(t.distanceLabel, std::string("Distance (Meter):"));
        QCOMPARE(t.speedLabel, std::string("Speed (KM/h):"));
    }
}

void SettingsDialogsTest::profileFileRoundTrip() {
    QTemporaryDir home;
    QVERIFY(home.isValid());
    const QByteArray oldHome = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    const FakeTimeZoneSource zones = ThreeZones();
    const FakePorts ports({"/dev/ttyUSB0"});
    {
        QtProfileStore profile;
        CTimeDlg timeDlg(profile, zones);
        Child<QRadioButton>(timeDlg, "zoneBias")->click();
        Child<QComboBox>(timeDlg, "hoursList")->setCurrentIndex(12);
        Child<QComboBox>(timeDlg, "minutesList")->setCurrentIndex(45);
        Child<QCheckBox>(timeDlg, "csvCheck")->click();
        Child<QCheckBox>(timeDlg, "gpxCheck")->click();
        timeDlg.accept();
        CSetDlg setDlg(profile, ports);
        Child<QComboBox>(setDlg, "portList")->setCurrentIndex(1);
        Child<QCheckBox>(setDlg, "autoSyncCheck")->click();
        setDlg.accept();
        QVERIFY(setDlg.autoSyncChanged());
    }
    QVERIFY(QFile::exists(home.filePath("Pelmora/Pelmora.ini")));
    {
        const QtProfileStore profile;
        QCOMPARE(profile.ProfileReadInt(kSectionSetting, "TimeZoneBias", 0), -45);
        QCOMPARE(profile.ProfileReadText(kSectionSetting, "TimeZoneDisplay", ""),
                 std::string("Bias -0:45"));
        QCOMPARE(profile.ProfileReadInt(kSectionSetting, "Conversion", 0), 8 | 32);
        QCOMPARE(profile.ProfileReadText(kSectionSerial, "ComPort", ""),
                 std::string("/dev/ttyUSB0"));
        // A port udev does not know is remembered by its path, and ticked again on reopening.
        QCOMPARE(profile.ProfileReadText(kSectionSerial, "AutoSyncDevice", ""),
                 std::string("/dev/ttyUSB0"));
        QtProfileStore again;
        CSetDlg setDlg(again, ports);
        QVERIFY(Child<QCheckBox>(setDlg, "autoSyncCheck")->isChecked());
        QtProfileStore writable;
        CTimeDlg timeDlg(writable, zones);
        QCOMPARE(Child<QComboBox>(timeDlg, "hoursList")->currentText(), QString("-0"));
        QCOMPARE(Child<QComboBox>(timeDlg, "minutesList")->currentText(), QString("45"));
    }
    if (oldHome.isNull()) {
        qunsetenv("XDG_CONFIG_HOME");
    } else {
        qputenv("XDG_CONFIG_HOME", oldHome);
    }
}

}  // namespace pelmora

QTEST_MAIN(pelmora::SettingsDialogsTest)
#include "settings_dialogs_test.moc"
