#pragma once
// Texts of the main window that the shared string table does not hold, used verbatim.
namespace pelmora {

inline constexpr const char* kWindowTitle = "Pelmora";
inline constexpr const char* kAboutMenuText = "About %s";  // string 101, added unformatted
inline constexpr const char* kTextSpeed = "Speed";         // string 125
inline constexpr const char* kTextDistance = "Distance";   // string 145

inline constexpr const char* kStatusReady = "Ready";
inline constexpr const char* kStatusReading = "Reading......";
inline constexpr const char* kStatusReadingDone = "Reading done";
inline constexpr const char* kStatusConverting = "Converting......";
inline constexpr const char* kStatusConvertingDone = "Converting done";

// "read successful..." and "read fail..." are the download's own (receiver/log_download.h).
inline constexpr const char* kLineDecompressDone = "Decompress is completed...";
inline constexpr const char* kLineWholeLogBeforeStop =
    "The whole log had arrived before the stop: kept and decoded...";

inline constexpr const char* kAskStopReadAndQuit =
    "A download is running. Stop it, switch the logger back and quit?";
inline constexpr const char* kRangePrompt = "Enter an integer between %1 and %2.";
inline constexpr const char* kIntegerPrompt = "Enter an integer.";

}  // namespace pelmora
