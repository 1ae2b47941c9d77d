#include "core/int_text.h"
#include "core/profile_store.h"

namespace pelmora {

// Values are kept as text, as in the INI file, so an integer written here reads back as text and
// a text holding a number reads back as an integer, the same as with the store on disk.
int MemoryProfileStore::ProfileReadInt(const std::string& section, const std::string& key,
                                       int defaultValue) const {
    const auto it = values_.find({section, key});
    if (it == values_.end()) {
        return defaultValue;
    }
    return ParseDecimalInt(it->second).value_or(defaultValue);
}

void MemoryProfileStore::ProfileWriteInt(const std::string& section, const std::string& key,
                                         int value) {
    values_[{section, key}] = std::to_string(value);
}

std::string MemoryProfileStore::ProfileReadText(const std::string& section, const std::string& key,
                                                const std::string& defaultValue) const {
    const auto it = values_.find({section, key});
    return it == values_.end() ? defaultValue : it->second;
}

void MemoryProfileStore::ProfileWriteText(const std::string& section, const std::string& key,
                                          const std::string& value) {
    values_[{section, key}] = value;
}

bool MemoryProfileStore::Contains(const std::string& section, const std::string& key) const {
    return values_.count({section, key}) != 0;
}

}  // namespace pelmora
