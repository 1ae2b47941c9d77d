#include "settings/qt_profile_store.h"

#include <QDateTime>
#include <QTimeZone>

#include "settings/app_paths.h"

namespace pelmora {
namespace {
QString KeyOf(const std::string& section, const std::string& key) {
    return QString::fromStdString(section) + QLatin1Char('/') + QString::fromStdString(key);
}
}  // namespace

std::string DefaultProfilePath() { return JoinPath(ConfigFolder(), "Pelmora.ini"); }

QtProfileStore::QtProfileStore() : QtProfileStore(DefaultProfilePath()) {}

// QSettings writes its INI file through a temporary file and a rename, so a crash never
// leaves a half-written profile.
QtProfileStore::QtProfileStore(const std::string& iniPath)
    : settings_(std::make_unique<QSettings>(QString::fromStdString(iniPath), QSettings::IniFormat)) {}

int QtProfileStore::ProfileReadInt(const std::string& section, const std::string& key,
                                   int defaultValue) const {
    const QVariant v = settings_->value(KeyOf(section, key));
    if (!v.isValid()) {
        return defaultValue;
    }
    bool ok = false;
    const int value = v.toString().trimmed().toInt(&ok);
    return ok ? value : defaultValue;
}

void QtProfileStore::ProfileWriteInt(const std::string& section, const std::string& key,
                                     int value) {
    settings_->setValue(KeyOf(section, key), value);
    settings_->sync();
}

std::string QtProfileStore::ProfileReadText(const std::string& section, const std::string& key,
                                            const std::string& defaultValue) const {
    const QVariant v = settings_->value(KeyOf(section, key));
    if (!v.isValid()) {
        return defaultValue;
    }
    return v.toString().toStdString();
}

void QtProfileStore::ProfileWriteText(const std::string& section, const std::string& key,
                                      const std::string& value) {
    settings_->setValue(KeyOf(section, key), QString::fromStdString(value));
    settings_->sync();
}

std::string QtProfileStore::path() const { return settings_->fileName().toStdString(); }

int ComputerStandardOffsetMinutes() {
    return QTimeZone::systemTimeZone().standardTimeOffset(QDateTime::currentDateTimeUtc()) / 60;
}

}  // namespace pelmora
