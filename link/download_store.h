#pragma once
// The download files of the data folder: data.log (the latest complete log), the archive
// downloads/ (one copy per completed Read, never overwritten) and data.log.sectors, which says
// how data.log was cut from the logger's sectors so that the next Read can fetch only what is new.
//
// Thread contract: plain functions on files; one Read at a time per folder.
#include <cstdint>
#include <ctime>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace pelmora {

inline constexpr const char* kDataLogName = "data.log";
inline constexpr const char* kSectorMapName = "data.log.sectors";
inline constexpr const char* kArchiveFolderName = "downloads";

std::string DataFolderPath(const std::string& folder, const std::string& name);

// What the last complete download held: the logger's used bytes then, and the bytes each sector
// kept after the record filter (data.log is their concatenation, in sector order).
struct SectorMap {
    std::uint64_t usedLogBytes = 0;
    std::vector<std::uint32_t> keptBytes;
    std::uint32_t totalSectors = 0;  // the logger's flash then (0: not known, an older map)
    std::uint64_t logSize = 0;  // data.log's size and hash when the map was written: a data.log
    std::uint64_t logHash = 0;  // replaced by other means makes the map void
    std::uint64_t KeptBefore(std::size_t sector) const;
};

std::uint64_t LogHash(std::span<const std::uint8_t> bytes);
// The map of the folder when it still describes its data.log; nullopt otherwise.
std::optional<SectorMap> LoadSectorMap(const std::string& folder);
// The folder's data.log, or nullopt when it cannot be read.
std::optional<std::vector<std::uint8_t>> LoadDataLog(const std::string& folder);

// Replaces data.log, then its sector map, each atomically. False with errno when data.log could
// not be written (the old one is untouched); a map that cannot be written is removed, which only
// costs the next Read its shortcut.
bool StoreDownload(const std::string& folder, std::span<const std::uint8_t> log, SectorMap map);

// "2026-12-08T101500Z.log" for that UTC time.
std::string ArchiveName(std::time_t utc, int clash = 0);
// Archives the log in folder/downloads/ under its UTC time (see library/download_archive.h): its
// new sectors and a manifest, "-2", "-3"... on a clash, never overwriting. The manifest's path,
// the last download's when this one is identical to it (identical set; nothing is added), or
// empty with errno.
std::string ArchiveDownload(const std::string& folder, std::span<const std::uint8_t> log,
                            std::time_t utc, bool* identical = nullptr);

}  // namespace pelmora
