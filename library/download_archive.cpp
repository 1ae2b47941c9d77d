#include "library/download_archive.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
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

bool ReadWhole(const std::string& path, std::vector<std::uint8_t>& bytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok) {
        bytes.resize(static_cast<std::size_t>(st.st_size));
        std::size_t done = 0;
        while (ok && done < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
            ok = n > 0 || (n < 0 && errno == EINTR);
            done += n > 0 ? static_cast<std::size_t>(n) : 0;
        }
    }
    ::close(fd);
    return ok;
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

// One piece of a download: where its bytes are (in the pack of the sectors one download added).
struct Piece {
    std::string key;
    std::string pack;
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

struct Manifest {
    std::uint64_t size = 0;
    std::vector<Piece> pieces;
};

// The same bytes: each piece was compared with what it stands for when stored.
bool SameKeys(const Manifest& a, const Manifest& b) {
    return a.pieces.size() == b.pieces.size() &&
           std::equal(a.pieces.begin(), a.pieces.end(), b.pieces.begin(),
                      [](const Piece& x, const Piece& y) { return x.key == y.key; });
}

bool ReadManifest(const std::string& path, Manifest& manifest) {
    std::ifstream in(path);
    std::string line;
    if (!std::getline(in, line) || line != kManifestMagic || !std::getline(in, line) ||
        line.rfind("size ", 0) != 0) {
        return false;
    }
    manifest.size = std::strtoull(line.c_str() + 5, nullptr, 10);
    while (std::getline(in, line)) {
        std::istringstream words(line);
        Piece p;
        if (words >> p.key >> p.pack >> p.offset >> p.length) {
            manifest.pieces.push_back(p);
        } else if (!line.empty()) {
            return false;
        }
    }
    return true;
}

std::string ManifestText(const Manifest& m) {
    std::ostringstream text;
    text << kManifestMagic << '\n' << "size " << m.size << '\n';
    for (const Piece& p : m.pieces) {
        text << p.key << ' ' << p.pack << ' ' << p.offset << ' ' << p.length << '\n';
    }
    return text.str();
}

std::string ArchiveFolder(const std::string& dataFolder) {
    return JoinPath(dataFolder, kDownloadsFolderName);
}

std::string SectorsFolder(const std::string& dataFolder) {
    return JoinPath(ArchiveFolder(dataFolder), kSectorsFolderName);
}

std::string NameFor(std::time_t utc, int clash) {
    std::tm tm{};
    gmtime_r(&utc, &tm);
    char name[48];
    std::strftime(name, sizeof name, "%Y-%m-%dT%H%M%SZ", &tm);
    return clash > 0 ? std::string(name) + "-" + std::to_string(clash + 1) : std::string(name);
}

bool ReadPiece(const std::string& dataFolder, const Piece& p, std::vector<std::uint8_t>& bytes) {
    if (p.length > kArchiveSectorSize || p.pack.find('/') != std::string::npos) {
        return false;
    }
    const std::string path = JoinPath(SectorsFolder(dataFolder), p.pack);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    bytes.resize(static_cast<std::size_t>(p.length));
    const ssize_t n = ::pread(fd, bytes.data(), bytes.size(), static_cast<off_t>(p.offset));
    ::close(fd);
    return n == static_cast<ssize_t>(bytes.size());
}

// Splits the log into pieces; those no archived download holds go, in order, into one new pack,
// synced before any manifest names it. The stored pieces are found through the manifests and
// compared byte for byte, so two sectors of one hash cost only space.
bool StorePieces(const std::string& dataFolder, std::span<const std::uint8_t> log, Manifest& m,
                 std::uint64_t& newBytes, std::string& error) {
    m.size = log.size();
    std::map<std::string, Piece> known;
    for (const std::string& file : FolderNames(ArchiveFolder(dataFolder))) {
        Manifest other;
        if (EndsWith(file, kManifestExtension) && file[0] != '.' &&
            ReadManifest(JoinPath(ArchiveFolder(dataFolder), file), other)) {
            for (const Piece& p : other.pieces) {
                known.emplace(p.key, p);
            }
        }
    }
    // A name no pack has: packs are never replaced.
    static std::atomic<unsigned> serial{0};
    std::string packName;
    struct stat st {};
    do {
        packName = "pack-" + std::to_string(std::time(nullptr)) + "-" + std::to_string(::getpid()) +
                   "-" + std::to_string(serial++) + ".bin";
    } while (::stat(JoinPath(SectorsFolder(dataFolder), packName).c_str(), &st) == 0);
    std::vector<std::uint8_t> pack;
    std::vector<std::uint8_t> stored;
    for (std::size_t at = 0; at < log.size(); at += kArchiveSectorSize) {
        const auto bytes = log.subspan(at, std::min(kArchiveSectorSize, log.size() - at));
        Piece piece;
        piece.key = SectorKey(bytes);
        const auto it = known.find(piece.key);
        const bool pending = it != known.end() && it->second.pack == packName;
        if (pending) {  // a repeat of a piece of this very download
            stored.assign(pack.begin() + static_cast<long>(it->second.offset),
                          pack.begin() + static_cast<long>(it->second.offset + it->second.length));
        }
        if (it != known.end() && (pending || ReadPiece(dataFolder, it->second, stored)) &&
            std::equal(stored.begin(), stored.end(), bytes.begin(), bytes.end())) {
            m.pieces.push_back(it->second);
            continue;
        }
        piece.pack = packName;
        piece.offset = pack.size();
        piece.length = bytes.size();
        pack.insert(pack.end(), bytes.begin(), bytes.end());
        known.emplace(piece.key, piece);
        m.pieces.push_back(piece);
    }
    newBytes = pack.size();
    if (!pack.empty()) {
        const std::string path = JoinPath(SectorsFolder(dataFolder), packName);
        if (!EnsureFolder(SectorsFolder(dataFolder)) ||
            !WriteWhole(path, pack.data(), pack.size())) {
            error = Cause("Cannot write the archive's sectors", path, errno);
            return false;
        }
    }
    return true;
}

bool Assemble(const std::string& dataFolder, const Manifest& m, std::vector<std::uint8_t>& bytes,
              std::string& error) {
    bytes.clear();
    std::vector<std::uint8_t> piece;
    for (const Piece& p : m.pieces) {
        if (!ReadPiece(dataFolder, p, piece)) {
            error = Cause("Cannot read the archive's sectors",
                          JoinPath(SectorsFolder(dataFolder), p.pack), errno != 0 ? errno : EIO);
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
    if (!WriteWhole(path, text.data(), text.size())) {
        error = Cause("Cannot write", path, errno);
        return false;
    }
    return true;
}

}  // namespace

std::vector<std::string> ArchivedDownloads(const std::string& dataFolder) {
    std::vector<std::string> names;
    for (const std::string& file : FolderNames(ArchiveFolder(dataFolder))) {
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
    for (const std::string& file : FolderNames(archive)) {
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
            if (!StorePieces(dataFolder, log, m, ignored, error) ||
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
    if (!EnsureFolder(archive)) {
        error = Cause("Cannot create", archive, errno);
        return result;
    }
    if (!TakeInWholeCopies(dataFolder, error)) {
        return result;
    }
    Manifest m;
    if (!StorePieces(dataFolder, log, m, result.newBytes, error)) {
        return result;
    }
    const std::vector<std::string> names = ArchivedDownloads(dataFolder);
    if (!names.empty()) {
        Manifest last;
        if (ReadManifest(JoinPath(archive, names.back() + kManifestExtension), last) &&
            last.size == m.size && SameKeys(last, m)) {
            result.ok = true;
            result.identical = true;
            result.name = names.back();
            result.path = JoinPath(archive, names.back() + kManifestExtension);
            return result;
        }
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
