#pragma once
// Where the profile and the user's data live (XDG base directories).
#include <string>

namespace pelmora {

// $XDG_CONFIG_HOME/Pelmora, default ~/.config/Pelmora.
std::string ConfigFolder();
// $XDG_DATA_HOME/Pelmora, default ~/.local/share/Pelmora.
std::string DefaultDataFolder();
// Creates the folder and its parents; false with errno kept when that fails.
bool EnsureFolder(const std::string& path);

inline constexpr const char* kRawLogName = "data.log";
inline constexpr const char* kTraceLogName = "TraceLog.ltp";
inline constexpr const char* kTraceLogExtendedName = "TraceLog.lte";

std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace pelmora
