#include "ui/qt_profile_store.h"

#include <optional>

#include "core/app_paths.h"
#include "core/int_text.h"
#include "ui/qt_time_zone_source.h"

namespace pelmora {
namespace {
// Section and key names are the program's own literals: none holds '/' or '\\', which QSettings
// would take for a group separator. Other characters are percent-encoded in the file.
QString KeyOf(const std::string& section, const std::string& key) {
    return QString::fromStdString(section) + QLatin1Char('/') + QString::fromStdString(key);
}

// A hand-edited value with an unquoted comma ("a, b") reads back as a list; QSettings itself
// quotes such texts when it writes them.
std::optional<QString> TextOf(const QVariant& v) {
    if (!v.isValid()) {
        return std::nullopt;
    }
    if (v.typeId() == QMetaType::QStringList) {
        return v.toStringList().join(QStringLiteral(", "));
    }
    if (!v.canConvert<QString>()) {
        return std::nullopt;  // "@Rect(...)" and the like
    }
    return v.toString();
}
}  // namespace

std::string DefaultProfilePath() {
    return JoinPath(ConfigFolder(), "Pelmora.ini");
}

QtProfileStore::QtProfileStore() : QtProfileStore(DefaultProfilePath()) {}

// QSettings writes its INI file through a temporary file and a rename, so a crash never
// leaves a half-written profile.
QtProfileStore::QtProfileStore(const std::string& iniPath)
    : settings_(
          std::make_unique<QSettings>(QString::fromStdString(iniPath), QSettings::IniFormat)) {}

int QtProfileStore::ProfileReadInt(const std::string& section, const std::string& key,
                                   int defaultValue) const {
    const std::optional<QString> text = TextOf(settings_->value(KeyOf(section, key)));
    if (!text) {
        return defaultValue;
    }
    // Not a 32-bit decimal integer ("abc", "0x10", "1, 2"): the default, as for a missing value.
    return ParseDecimalInt(text->toStdString()).value_or(defaultValue);
}

void QtProfileStore::ProfileWriteInt(const std::string& section, const std::string& key,
                                     int value) {
    settings_->setValue(KeyOf(section, key), value);
    settings_->sync();
}

std::string QtProfileStore::ProfileReadText(const std::string& section, const std::string& key,
                                            const std::string& defaultValue) const {
    const std::optional<QString> text = TextOf(settings_->value(KeyOf(section, key)));
    return text ? text->toStdString() : defaultValue;
}

void QtProfileStore::ProfileWriteText(const std::string& section, const std::string& key,
                                      const std::string& value) {
    settings_->setValue(KeyOf(section, key), QString::fromStdString(value));
    settings_->sync();
}

std::string QtProfileStore::path() const {
    return settings_->fileName().toStdString();
}

int ComputerStandardOffsetMinutes() {
    return -QtTimeZoneSource().ComputerZone().Bias;
}

}  // namespace pelmora
