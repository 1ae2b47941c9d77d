#include "library/download_archive.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "core/app_paths.h"
#include "core/atomic_file.h"

namespace pelmora {
namespace {

constexpr const char* kManifestMagic = "pelmora-download 1";
constexpr const char* kSectorsFolderName = "sectors";

std::string Cause(const std::string& what, const std::string& path, int error) {
    return what + " " + path + ": " + std::strerror(error);
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            names.emplace_back(entry->d_name);
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool ReadWhole(const std::string& path, std::vector<std::uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool WriteWhole(const std::string& path, const void* data, std::size_t size) {
    AtomicFile file;
    return file.Open(path) && file.Write(data, size) && file.Commit();
}

// Two independent 64-bit hashes; a collision is still caught by comparing contents.
std::string SectorKey(std::span<const std::uint8_t> bytes) {
    std::uint64_t a = 14695981039346656037ull;
    std::uint64_t b = 0x9E3779B97F4A7C15ull ^ bytes.size();
    for (const std::uint8_t byte : bytes) {
        a = (a ^ byte) * 1099511628211ull;
        b = (b + byte) * 0xBF58476D1CE4E5B9ull;
        b ^= b >> 29;
    }
    char key[40];
    std::snprintf(key, sizeof key, "%016" PRIx64 "%016" PRIx64 "-%zu", a, b, bytes.size());
    return key;
}

struct Manifest {
    std::uint64_t size = 0;
    std::vector<std::string> sectors;
};

bool ReadManifest(const std::string& path, Manifest& manifest) {
    std::ifstream in(path);
    std::string line;
    if (!std::getline(in, line) || line != kManifestMagic || !std::getline(in, line) ||
        line.rfind("size ", 0) != 0) {
        return false;
    }
    manifest.size = std::strtoull(line.c_str() + 5, nullptr, 10);
    while (std::getline(in, line)) {
        if (!line.empty()) {
            manifest.sectors.push_back(line);
        }
    }
    return true;
}

std::string ManifestText(const Manifest& m) {
    std::ostringstream text;
    text << kManifestMagic << '\n' << "size " << m.size << '\n';
    for (const std::string& key : m.sectors) {
        text << key << '\n';
    }
    return text.str();
}

std::string ArchiveFolder(const std::string& dataFolder) {
    return JoinPath(dataFolder, kDownloadsFolderName);
}

std::string NameFor(std::time_t utc, int clash) {
    std::tm tm{};
    gmtime_r(&utc, &tm);
    char name[48];
    std::strftime(name, sizeof name, "%Y-%m-%dT%H%M%SZ", &tm);
    return clash > 0 ? std::string(name) + "-" + std::to_string(clash + 1) : std::string(name);
}

// Stores the log's sectors that are not there yet; the keys in order. Pieces are written under
// a private name and renamed; the caller syncs the folder before a manifest names them.
bool StoreSectors(const std::string& sectors, std::span<const std::uint8_t> log, Manifest& m,
                  std::uint64_t& newBytes, std::string& error) {
    m.size = log.size();
    std::vector<std::uint8_t> existing;
    for (std::size_t at = 0; at < log.size(); at += kArchiveSectorSize) {
        const auto piece = log.subspan(at, std::min(kArchiveSectorSize, log.size() - at));
        std::string key = SectorKey(piece);
        for (int clash = 0;; ++clash) {
            const std::string name = clash == 0 ? key : key + "." + std::to_string(clash);
            const std::string path = JoinPath(sectors, name);
            if (ReadWhole(path, existing)) {
                if (std::equal(existing.begin(), existing.end(), piece.begin(), piece.end())) {
                    key = name;
                    break;
                }
                continue;  // the same hash for other bytes
            }
            const std::string part = path + ".part-" + std::to_string(::getpid());
            std::FILE* f = std::fopen(part.c_str(), "wb");
            const bool written =
                f != nullptr && std::fwrite(piece.data(), 1, piece.size(), f) == piece.size();
            const bool closed = f != nullptr && std::fclose(f) == 0;
            if (!written || !closed || ::rename(part.c_str(), path.c_str()) != 0) {
                error = Cause("Cannot write the archive's sector", path, errno);
                ::unlink(part.c_str());
                return false;
            }
            newBytes += piece.size();
            key = name;
            break;
        }
        m.sectors.push_back(key);
    }
    return true;
}

bool SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool ok = ::syncfs(fd) == 0;
    ::close(fd);
    return ok;
}

bool Assemble(const std::string& dataFolder, const Manifest& m, std::vector<std::uint8_t>& bytes,
              std::string& error) {
    const std::string sectors = JoinPath(ArchiveFolder(dataFolder), kSectorsFolderName);
    bytes.clear();
    bytes.reserve(static_cast<std::size_t>(m.size));
    std::vector<std::uint8_t> piece;
    for (const std::string& key : m.sectors) {
        if (!ReadWhole(JoinPath(sectors, key), piece)) {
            error = Cause("Cannot read the archive's sector", JoinPath(sectors, key), errno);
            return false;
        }
        bytes.insert(bytes.end(), piece.begin(), piece.end());
    }
    if (bytes.size() != m.size) {
        error = "The archive's sectors of this download do not add up to its size (" +
                std::to_string(bytes.size()) + " of " + std::to_string(m.size) + " bytes)";
        return false;
    }
    return true;
}

bool WriteManifest(const std::string& dataFolder, const std::string& name, const Manifest& m,
                   std::string& error) {
    const std::string path = JoinPath(ArchiveFolder(dataFolder), name + kManifestExtension);
    const std::string text = ManifestText(m);
    if (!SyncFolder(JoinPath(ArchiveFolder(dataFolder), kSectorsFolderName)) ||
        !WriteWhole(path, text.data(), text.size())) {
        error = Cause("Cannot write", path, errno);
        return false;
    }
    return true;
}

}  // namespace

std::vector<std::string> ArchivedDownloads(const std::string& dataFolder) {
    std::vector<std::string> names;
    for (const std::string& file : Names(ArchiveFolder(dataFolder))) {
        if (EndsWith(file, kManifestExtension)) {
            names.push_back(file.substr(0, file.size() - std::strlen(kManifestExtension)));
        } else if (EndsWith(file, ".log") && file[0] != '.') {
            names.push_back(file.substr(0, file.size() - 4));
        }
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

bool ReadArchivedDownload(const std::string& dataFolder, const std::string& name,
                          std::vector<std::uint8_t>& bytes, std::string& error) {
    const std::string base = JoinPath(ArchiveFolder(dataFolder), name);
    Manifest m;
    if (ReadManifest(base + kManifestExtension, m)) {
        return Assemble(dataFolder, m, bytes, error);
    }
    if (ReadWhole(base + ".log", bytes)) {
        return true;
    }
    error = "No archived download " + name + " in " + ArchiveFolder(dataFolder) +
            " (ls it for the names)";
    return false;
}

bool ExportArchivedDownload(const std::string& dataFolder, const std::string& name,
                            const std::string& out, std::string& error) {
    std::vector<std::uint8_t> bytes;
    if (!ReadArchivedDownload(dataFolder, name, bytes, error)) {
        return false;
    }
    if (!WriteWhole(out, bytes.data(), bytes.size())) {
        error = Cause("Cannot write", out, errno);
        return false;
    }
    return true;
}

bool TakeInWholeCopies(const std::string& dataFolder, std::string& error) {
    const std::string archive = ArchiveFolder(dataFolder);
    const std::string sectors = JoinPath(archive, kSectorsFolderName);
    for (const std::string& file : Names(archive)) {
        if (!EndsWith(file, ".log") || file[0] == '.') {
            continue;
        }
        const std::string path = JoinPath(archive, file);
        const std::string name = file.substr(0, file.size() - 4);
        std::vector<std::uint8_t> log;
        if (!ReadWhole(path, log)) {
            error = Cause("Cannot read", path, errno);
            return false;
        }
        if (!log.empty()) {
            Manifest m;
            std::uint64_t ignored = 0;
            std::vector<std::uint8_t> back;
            if (!EnsureFolder(sectors) || !StoreSectors(sectors, log, m, ignored, error) ||
                !WriteManifest(dataFolder, name, m, error) ||
                !Assemble(dataFolder, m, back, error)) {
                return false;
            }
            if (back != log) {
                error = "The archive's copy of " + path + " differs from it; the file is kept";
                return false;
            }
        }
        ::unlink(path.c_str());
    }
    return true;
}

ArchiveResult ArchiveLog(const std::string& dataFolder, std::span<const std::uint8_t> log,
                         std::time_t utc, std::string& error) {
    ArchiveResult result;
    if (log.empty()) {
        result.ok = true;
        return result;
    }
    const std::string archive = ArchiveFolder(dataFolder);
    const std::string sectors = JoinPath(archive, kSectorsFolderName);
    if (!EnsureFolder(sectors)) {
        error = Cause("Cannot create", sectors, errno);
        return result;
    }
    if (!TakeInWholeCopies(dataFolder, error)) {
        return result;
    }
    Manifest m;
    if (!StoreSectors(sectors, log, m, result.newBytes, error)) {
        return result;
    }
    const std::vector<std::string> names = ArchivedDownloads(dataFolder);
    if (!names.empty()) {
        Manifest last;
        if (ReadManifest(JoinPath(archive, names.back() + kManifestExtension), last) &&
            last.size == m.size && last.sectors == m.sectors) {
            result.ok = true;
            result.identical = true;
            result.name = names.back();
            result.path = JoinPath(archive, names.back() + kManifestExtension);
            return result;
        }
    }
    if (!SyncFolder(sectors)) {
        error = Cause("Cannot write", sectors, errno);
        return result;
    }
    const std::string text = ManifestText(m);
    // Linked to its name from a private one: link() never replaces a file, so two Reads in the
    // same second cannot overwrite each other's manifest.
    const std::string part = JoinPath(archive, ".part-" + std::to_string(::getpid()) + ".manifest");
    if (!WriteWhole(part, text.data(), text.size())) {
        error = Cause("Cannot write", part, errno);
        return result;
    }
    for (int clash = 0; clash < 1000; ++clash) {
        const std::string name = NameFor(utc, clash);
        const std::string path = JoinPath(archive, name + kManifestExtension);
        bool exists = false;
        for (const std::string& other : names) {
            exists = exists || other == name;  // a whole copy of that name not taken in
        }
        if (!exists && ::link(part.c_str(), path.c_str()) == 0) {
            ::unlink(part.c_str());
            result.ok = true;
            result.stored = true;
            result.name = name;
            result.path = path;
            return result;
        }
        if (!exists && errno != EEXIST) {
            break;
        }
    }
    error = Cause("Cannot write", JoinPath(archive, NameFor(utc, 0) + kManifestExtension), errno);
    ::unlink(part.c_str());
    return result;
}

ArchiveResult ArchiveLogFile(const std::string& dataFolder, const std::string& path,
                             std::time_t utc, std::string& error) {
    std::vector<std::uint8_t> log;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || !ReadWhole(path, log)) {
        error = Cause("Cannot read", path, errno != 0 ? errno : EINVAL);
        return {};
    }
    return ArchiveLog(dataFolder, log, utc, error);
}

}  // namespace pelmora
