#pragma once
// A numbered text of the string table as a QString.
#include <QString>

#include "core/string_table.h"

namespace pelmora {

inline QString QtText(int id) {
    const std::string_view text = LoadString(id);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace pelmora
