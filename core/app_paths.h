#pragma once
// Where the profile and the user's data live (XDG base directories).
#include <string>
#include <vector>

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
// The names in a folder (with "." and ".."), sorted; empty when it cannot be read.
std::vector<std::string> FolderNames(const std::string& folder);

}  // namespace pelmora
