#include "library/download_archive.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

namespace pelmora {
namespace {

namespace fs = std::filesystem;

std::uint64_t FolderBytes(const fs::path& folder) {
    std::uint64_t sum = 0;
    for (const auto& e : fs::recursive_directory_iterator(folder)) {
        sum += e.is_regular_file() ? e.file_size() : 0;
    }
    return sum;
}

// A season: ten downloads of a log growing from 1 MB to 2 MB, one of them identical to the one
// before and an empty one after a Clear, beside a whole copy archived by an older version.
TEST(DownloadArchive, GrowsWithNewDataOnlyAndGivesEveryDownloadBackWhole) {
    char name[] = "/tmp/pelmora-archive-XXXXXX";
    const std::string folder = mkdtemp(name);
    std::mt19937 random(7);
    std::vector<std::uint8_t> log(2'000'000);
    for (std::size_t i = 0; i < log.size(); i += 4) {
        const auto word = static_cast<std::uint32_t>(random());
        std::memcpy(&log[i], &word, 4);
    }
    fs::create_directories(folder + "/downloads");
    const std::vector<std::uint8_t> older(log.begin(), log.begin() + 900'000);
    std::ofstream(folder + "/downloads/2024-05-01T080000Z.log", std::ios::binary)
        .write(reinterpret_cast<const char*>(older.data()), static_cast<long>(older.size()));
    std::vector<std::vector<std::uint8_t>> downloads;
    std::string error;
    for (int i = 0; i < 10; ++i) {
        const std::size_t size = 1'000'000 + static_cast<std::size_t>(i) * 111'111;
        downloads.emplace_back(log.begin(), log.begin() + static_cast<long>(size));
        const ArchiveResult r = ArchiveLog(folder, downloads.back(), 1717228800 + i * 86400, error);
        ASSERT_TRUE(r.ok && r.stored) << error;
    }
    EXPECT_TRUE(ArchiveLog(folder, downloads.back(), 1717228800 + 20 * 86400, error).identical);
    EXPECT_FALSE(ArchiveLog(folder, {}, 1717228800 + 21 * 86400, error).stored);
    const std::vector<std::string> names = ArchivedDownloads(folder);
    ASSERT_EQ(names.size(), 11u);
    EXPECT_FALSE(fs::exists(folder + "/downloads/2024-05-01T080000Z.log"));
    EXPECT_LE(FolderBytes(folder + "/downloads"), 2'500'000u);
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::vector<std::uint8_t> back;
        ASSERT_TRUE(ReadArchivedDownload(folder, names[i], back, error)) << error;
        EXPECT_TRUE(back == (i == 0 ? older : downloads[i - 1])) << names[i];
    }
    const std::string out = folder + "/out.log";
    ASSERT_TRUE(ExportArchivedDownload(folder, names.back(), out, error)) << error;
    EXPECT_EQ(fs::file_size(out), downloads.back().size());
    fs::remove_all(folder);
}

}  // namespace
}  // namespace pelmora
