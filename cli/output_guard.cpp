#include "cli/output_guard.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "core/regular_file.h"

namespace pelmora::cli {
namespace {

namespace fs = std::filesystem;

// The folder's own: files whose names start so in the folder itself, and everything below these
// folders.
constexpr const char* kOwnFilePrefixes[] = {"data.log", "TraceLog."};
constexpr const char* kOwnFolders[] = {"downloads", "library"};

fs::path Resolved(const fs::path& path) {
    std::error_code ec;
    fs::path resolved = fs::weakly_canonical(fs::absolute(path, ec), ec);
    return ec ? path.lexically_normal() : resolved;
}

bool Within(const fs::path& path, const fs::path& folder) {
    auto p = path.begin();
    for (auto f = folder.begin(); f != folder.end(); ++f, ++p) {
        if (p == path.end() || *p != *f) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string OutputProblem(const std::string& path, const std::string& dataFolder) {
    const fs::path target = Resolved(path);
    const fs::path folder = Resolved(dataFolder);
    const std::string refused = path + ": refused: it is the data folder's own ";
    for (const char* own : kOwnFolders) {
        if (Within(target, folder / own)) {
            return refused + "'" + own + "' (" + (folder / own).string() + ")";
        }
    }
    if (target.parent_path() == folder) {
        const std::string name = target.filename().string();
        for (const char* prefix : kOwnFilePrefixes) {
            if (name.rfind(prefix, 0) == 0) {
                return refused + "file";
            }
        }
    }
    return NotRegularProblem(path);
}

std::string WithExtension(const std::string& path, const std::string& extension) {
    // "MAP.PNG" is a PNG's name too.
    if (path.size() >= extension.size() &&
        std::equal(extension.begin(), extension.end(),
                   path.end() - static_cast<std::ptrdiff_t>(extension.size()), [](char a, char b) {
                       return std::tolower(static_cast<unsigned char>(a)) ==
                              std::tolower(static_cast<unsigned char>(b));
                   })) {
        return path;
    }
    return path + extension;
}

}  // namespace pelmora::cli
