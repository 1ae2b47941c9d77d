#pragma once
// The application profile: named sections of named integer and text values. A read returns its
// default when the value is absent or unreadable; writes report nothing.
#include <map>
#include <string>
#include <utility>

namespace pelmora {

class ProfileStore {
  public:
    virtual ~ProfileStore() = default;
    virtual int ProfileReadInt(const std::string& section, const std::string& key,
                               int defaultValue) const = 0;
    virtual void ProfileWriteInt(const std::string& section, const std::string& key, int value) = 0;
    virtual std::string ProfileReadText(const std::string& section, const std::string& key,
                                        const std::string& defaultValue) const = 0;
    virtual void ProfileWriteText(const std::string& section, const std::string& key,
                                  const std::string& value) = 0;
};

// For tests and for runs that must not touch the user's profile.
class MemoryProfileStore : public ProfileStore {
  public:
    int ProfileReadInt(const std::string& section, const std::string& key,
                       int defaultValue) const override;
    void ProfileWriteInt(const std::string& section, const std::string& key, int value) override;
    std::string ProfileReadText(const std::string& section, const std::string& key,
                                const std::string& defaultValue) const override;
    void ProfileWriteText(const std::string& section, const std::string& key,
                          const std::string& value) override;

    bool Contains(const std::string& section, const std::string& key) const;

  private:
    using Key = std::pair<std::string, std::string>;
    std::map<Key, std::string> values_;
};

}  // namespace pelmora
