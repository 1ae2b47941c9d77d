#include "settings/profile_store.h"

namespace pelmora {

int MemoryProfileStore::ProfileReadInt(const std::string& section, const std::string& key,
                                       int defaultValue) const {
    const auto it = ints_.find({section, key});
    return it == ints_.end() ? defaultValue : it->second;
}

void MemoryProfileStore::ProfileWriteInt(const std::string& section, const std::string& key,
                                         int value) {
    texts_.erase({section, key});
    ints_[{section, key}] = value;
}

std::string MemoryProfileStore::ProfileReadText(const std::string& section,
                                                const std::string& key,
                                                const std::string& defaultValue) const {
    const auto it = texts_.find({section, key});
    return it == texts_.end() ? defaultValue : it->second;
}

void MemoryProfileStore::ProfileWriteText(const std::string& section, const std::string& key,
                                          const std::string& value) {
    ints_.erase({section, key});
    texts_[{section, key}] = value;
}

bool MemoryProfileStore::Contains(const std::string& section, const std::string& key) const {
    return ints_.count({section, key}) != 0 || texts_.count({section, key}) != 0;
}

}  // namespace pelmora
