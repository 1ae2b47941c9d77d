#pragma once
// Text that reaches a file or the logger is clean: names taken from file names carry no control
// characters and are valid UTF-8 (an XML reader refuses the whole document otherwise), and the
// device ID, written before NMEA sentences, can never forge a line.
#include <cstddef>
#include <string>
#include <string_view>

namespace pelmora {

inline constexpr std::size_t kDeviceIdLimit = 32;  // bytes of UTF-8: what the logger keeps

// name without control characters (C0, DEL, C1) and with every byte that does not belong to a
// valid UTF-8 sequence replaced by U+FFFD.
std::string CleanName(std::string_view name);

// Empty when id may be sent to the logger and written into outputs; otherwise why not: valid
// UTF-8, no C0 or C1 control character, no line or paragraph separator, at most 32 bytes. The one
// rule of the window's Set ID, `set-id` and `convert --id`.
std::string DeviceIdProblem(std::string_view id);

}  // namespace pelmora
