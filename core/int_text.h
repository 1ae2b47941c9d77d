#pragma once
// Decimal integers typed by the user or stored as profile text.
#include <optional>
#include <string_view>

namespace pelmora {

// Optional spaces, an optional sign, decimal digits, optional spaces; the value must fit 32 bits.
// Anything else ("12a", "0x10", "", "3000000000") is not an integer.
std::optional<int> ParseDecimalInt(std::string_view text);

}  // namespace pelmora
