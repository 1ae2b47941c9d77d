#pragma once
// The archive of downloads (data folder's downloads/): every completed Read, stored as a manifest
// per download (NAME.manifest, NAME the download's UTC time, e.g. 2026-12-08T101500Z) listing its
// 4096-byte pieces, each distinct piece stored once under its hash in downloads/sectors/. A log
// that grows adds about its new sectors, a download identical to the last archived one adds
// nothing, an empty one is never archived, and every download can be written out byte for byte.
// Older archives of whole copies (NAME.log) are taken in on first use, each checked before its
// copy goes.
//
// Thread contract: plain functions on files; one writer at a time per folder.
#include <cstdint>
#include <ctime>
#include <span>
#include <string>
#include <vector>

namespace pelmora {

inline constexpr const char* kDownloadsFolderName = "downloads";
inline constexpr const char* kManifestExtension = ".manifest";
inline constexpr std::size_t kArchiveSectorSize = 4096;

struct ArchiveResult {
    bool ok = false;
    // False when nothing new was stored: an empty log, or the same as the last archived download.
    bool stored = false;
    bool identical = false;      // the same bytes as the last archived download
    std::string name;            // the download's name (the last one's when identical)
    std::string path;            // its manifest
    std::uint64_t newBytes = 0;  // of sectors not stored before
};

// Archives a download under its UTC time (with -2, -3... on a clash); error says the cause.
[[nodiscard]] ArchiveResult ArchiveLog(const std::string& dataFolder,
                                       std::span<const std::uint8_t> log, std::time_t utc,
                                       std::string& error);
[[nodiscard]] ArchiveResult ArchiveLogFile(const std::string& dataFolder, const std::string& path,
                                           std::time_t utc, std::string& error);

// Names of the archived downloads, oldest first (whole copies not yet taken in included).
std::vector<std::string> ArchivedDownloads(const std::string& dataFolder);
// The download's bytes as they were read.
[[nodiscard]] bool ReadArchivedDownload(const std::string& dataFolder, const std::string& name,
                                        std::vector<std::uint8_t>& bytes, std::string& error);
// Writes it to out (a temporary renamed into place).
[[nodiscard]] bool ExportArchivedDownload(const std::string& dataFolder, const std::string& name,
                                          const std::string& out, std::string& error);
// Turns whole copies (NAME.log) into manifests, each read back and compared before the copy is
// removed; empty copies hold nothing and go.
[[nodiscard]] bool TakeInWholeCopies(const std::string& dataFolder, std::string& error);

}  // namespace pelmora
