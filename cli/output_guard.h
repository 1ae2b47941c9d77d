#pragma once
// What pelmora-cli may write to: never over the data folder's own files (data.log and what
// belongs to it, the trace, the archive, the library) and never over anything that is not a
// regular file. One typo must not cost a download that the README promises is never overwritten.
#include <string>

namespace pelmora::cli {

// Empty when path may be written; otherwise why not ("<path> is the data folder's own file ...").
std::string OutputProblem(const std::string& path, const std::string& dataFolder);

// path, with extension (".png") added unless it already ends in it (in any case).
std::string WithExtension(const std::string& path, const std::string& extension);

}  // namespace pelmora::cli
