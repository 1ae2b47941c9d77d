#pragma once
// Texts of the core (UTF-8) and numbered texts of the string table as QStrings.
#include <QString>
#include <string_view>

#include "core/string_table.h"

namespace pelmora {

inline QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline QString QtText(int id) {
    return Q(LoadString(id));
}

}  // namespace pelmora
