#pragma once
// The user's profile as an INI file shared by the window and the command-line tool.
#include <QSettings>
#include <memory>

#include "core/profile_store.h"

namespace pelmora {

class QtProfileStore : public ProfileStore {
  public:
    // Default: $XDG_CONFIG_HOME/Pelmora/Pelmora.ini.
    QtProfileStore();
    explicit QtProfileStore(const std::string& iniPath);

    int ProfileReadInt(const std::string& section, const std::string& key,
                       int defaultValue) const override;
    void ProfileWriteInt(const std::string& section, const std::string& key, int value) override;
    std::string ProfileReadText(const std::string& section, const std::string& key,
                                const std::string& defaultValue) const override;
    void ProfileWriteText(const std::string& section, const std::string& key,
                          const std::string& value) override;

    std::string path() const;

  private:
    std::unique_ptr<QSettings> settings_;
};

std::string DefaultProfilePath();

// The computer zone's standard (never daylight) offset east of UTC, in minutes.
int ComputerStandardOffsetMinutes();

}  // namespace pelmora
