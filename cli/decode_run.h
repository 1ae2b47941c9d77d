#pragma once
// The decode step shared by "decode" and "read": raw log into folder/TraceLog.ltp, progress on a
// terminal, then the trace summary on standard output.
#include <string>

namespace pelmora::cli {

// Returns kExitSuccess after printing the four summary lines, or kExitFailure after printing the
// message ("Open raw log file failed! (...)", "No log data!", ...) on standard error. After a
// download, announceCompletion prints "Decompress is completed..." first, as the window does.
// printSummary false decodes without a word on success (sync says what is new instead).
int DecodeAndSummarize(const std::string& rawPath, const std::string& folder,
                       bool announceCompletion = false, bool printSummary = true);

}  // namespace pelmora::cli
