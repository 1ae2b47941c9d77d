#include "link/download_store.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "core/atomic_file.h"
#include "core/regular_file.h"
#include "library/download_archive.h"

namespace pelmora {
namespace {

constexpr const char* kMapMagic = "pelmora-sectors 2";
constexpr const char* kMapMagicWithoutTotal = "pelmora-sectors 1";
// A log has at most 65536 sectors (the request's 16-bit count): anything beyond is no map.
constexpr std::size_t kMaxMapSectors = 65536;

bool WriteWhole(const std::string& path, std::span<const std::uint8_t> bytes) {
    AtomicFile file;
    if (!file.Open(path)) {
        return false;
    }
    if (!file.Write(bytes.data(), bytes.size())) {
        const int saved = errno;
        file.Discard();
        errno = saved;
        return false;
    }
    return file.Commit();
}

}  // namespace

std::string DataFolderPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) {
        return name;
    }
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::uint64_t SectorMap::KeptBefore(std::size_t sector) const {
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < sector && i < keptBytes.size(); ++i) {
        sum += keptBytes[i];
    }
    return sum;
}

std::uint64_t LogHash(std::span<const std::uint8_t> bytes) {
    // FNV-1a: enough to notice a data.log that was replaced behind the map's back.
    std::uint64_t h = 0xcbf29ce484222325ULL;
    for (const std::uint8_t b : bytes) {
        h = (h ^ b) * 0x100000001b3ULL;
    }
    return h;
}

// A FIFO or a device under a data file's name neither blocks the Read nor counts as data.
std::optional<std::vector<std::uint8_t>> LoadDataLog(const std::string& folder) {
    return ReadRegularFile(DataFolderPath(folder, kDataLogName));
}

std::optional<SectorMap> LoadSectorMap(const std::string& folder) {
    const auto text = ReadRegularFile(DataFolderPath(folder, kSectorMapName));
    if (!text) {
        return std::nullopt;
    }
    std::istringstream in(std::string(text->begin(), text->end()));
    std::string magic;
    if (!std::getline(in, magic) || (magic != kMapMagic && magic != kMapMagicWithoutTotal)) {
        return std::nullopt;
    }
    SectorMap map;
    std::size_t count = 0;
    if (!(in >> map.usedLogBytes >> map.logSize >> map.logHash >> count) ||
        count > kMaxMapSectors) {
        return std::nullopt;
    }
    if (magic == kMapMagic && !(in >> map.totalSectors)) {
        return std::nullopt;
    }
    map.keptBytes.resize(count);
    for (auto& kept : map.keptBytes) {
        if (!(in >> kept) || kept > 4096) {
            return std::nullopt;
        }
    }
    if (map.KeptBefore(count) != map.logSize) {
        return std::nullopt;
    }
    const auto log = LoadDataLog(folder);
    if (!log || log->size() != map.logSize || LogHash(*log) != map.logHash) {
        return std::nullopt;
    }
    return map;
}

bool StoreDownload(const std::string& folder, std::span<const std::uint8_t> log, SectorMap map) {
    const std::string mapPath = DataFolderPath(folder, kSectorMapName);
    if (!WriteWhole(DataFolderPath(folder, kDataLogName), log)) {
        const int saved = errno;
        std::remove(mapPath.c_str());  // it may describe the old data.log no longer
        errno = saved;
        return false;
    }
    map.logSize = log.size();
    map.logHash = LogHash(log);
    std::ostringstream text;
    text << kMapMagic << '\n'
         << map.usedLogBytes << ' ' << map.logSize << ' ' << map.logHash << ' '
         << map.keptBytes.size() << ' ' << map.totalSectors << '\n';
    for (const std::uint32_t kept : map.keptBytes) {
        text << kept << '\n';
    }
    const std::string s = text.str();
    const int saved = errno;
    if (!WriteWhole(mapPath, {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()})) {
        std::remove(mapPath.c_str());
    }
    errno = saved;
    return true;
}

std::string ArchiveName(std::time_t utc, int clash) {
    std::tm tm{};
    gmtime_r(&utc, &tm);
    char name[48];
    std::strftime(name, sizeof name, "%Y-%m-%dT%H%M%SZ", &tm);
    std::string out = name;
    if (clash > 0) {
        out += "-" + std::to_string(clash + 1);
    }
    return out + ".log";
}

std::string ArchiveDownload(const std::string& folder, std::span<const std::uint8_t> log,
                            std::time_t utc, bool* identical) {
    std::string error;
    const ArchiveResult r = ArchiveLog(folder, log, utc, error);
    if (identical != nullptr) {
        *identical = r.identical;
    }
    if (!r.ok && errno == 0) {
        errno = EIO;
    }
    return r.ok ? r.path : std::string();
}

}  // namespace pelmora
