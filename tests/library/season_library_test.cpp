#include "library/season_library.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "sim/track/builtin_track.h"
#include "tests/library/library_fixes.h"

namespace pelmora {
namespace {

using testing::Drive;
using testing::TestFix;
using testing::WriteTrace;

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class SeasonLibraryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char name[] = "/tmp/pelmora-library-XXXXXX";
        folder_ = mkdtemp(name);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::unique_ptr<SeasonLibrary> OpenLibrary() {
        std::string error;
        auto library = SeasonLibrary::Open(folder_, error);
        EXPECT_TRUE(library) << error;
        return library;
    }
    std::uint64_t Import(SeasonLibrary& library, const std::vector<TestFix>& fixes) {
        const std::string path = folder_ + "/in.ltp";
        WriteTrace(path, fixes);
        const ImportResult r = library.ImportTrace(path);
        EXPECT_TRUE(r.ok) << r.error;
        return r.added;
    }
    void Archive(const std::string& name, const std::vector<std::uint8_t>& log) {
        std::filesystem::create_directories(folder_ + "/downloads");
        std::ofstream(folder_ + "/downloads/" + name, std::ios::binary)
            .write(reinterpret_cast<const char*>(log.data()), static_cast<long>(log.size()));
    }
    std::string FixesBytes(SeasonLibrary& library) {
        const std::string path = folder_ + "/all.ltp";
        std::string error;
        EXPECT_TRUE(library.WriteTrace(library.Whole(), path, error)) << error;
        return Slurp(path);
    }
    std::string folder_;
};

TEST_F(SeasonLibraryTest, HoldsEachFixOnce) {
    auto library = OpenLibrary();
    const TimeValue t0 = MakeTimeValue(2024, 5, 18, 7, 0, 0);
    const std::vector<TestFix> drive = Drive(t0, 150);
    EXPECT_EQ(Import(*library, {drive.begin(), drive.begin() + 100}), 100u);
    // Overlapping: only the new 50; the same again: nothing.
    const std::string path = folder_ + "/in.ltp";
    WriteTrace(path, {drive.begin() + 50, drive.end()});
    ImportResult r = library->ImportTrace(path);
    EXPECT_EQ(r.added, 50u);
    EXPECT_EQ(r.firstAddedUtc, t0 + 200);
    EXPECT_EQ(r.lastAddedUtc, t0 + 298);
    EXPECT_EQ(library->ImportTrace(path).added, 0u);
    // Unrelated, and in the same slots as known fixes but elsewhere: all new. Fed out of order.
    std::vector<TestFix> other = Drive(t0 - 86400, 20);
    std::vector<TestFix> moved = Drive(t0, 5);
    for (TestFix& f : moved) {
        f.x += 7;
    }
    other.insert(other.begin(), moved.begin(), moved.end());
    EXPECT_EQ(Import(*library, other), 25u);
    EXPECT_EQ(library->FixCount(), 175u);
    const FixRun whole = library->Whole();
    EXPECT_EQ(whole.beginUtc, t0 - 86400);
    EXPECT_EQ(whole.endUtc, t0 + 298);
    // Time order, and a slot's known fix before the one added later.
    const std::string bytes = FixesBytes(*library);
    ASSERT_EQ(bytes.size(), 175 * kTraceFixSize);
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
    EXPECT_EQ(ReadLe32(p + 20 * kTraceFixSize + 4), drive[0].x);
    EXPECT_EQ(ReadLe32(p + 21 * kTraceFixSize + 4), drive[0].x + 7);
}

TEST_F(SeasonLibraryTest, GrowingRawLogAddsItsNewFixesAndTripsReadOnlyTheirs) {
    const std::vector<RawRecord> records = BuiltinTrackRecords();
    std::vector<std::uint8_t> half, whole;
    for (std::size_t i = 0; i < records.size(); ++i) {
        (i < records.size() / 2 ? half : whole)
            .insert((i < records.size() / 2 ? half : whole).end(), records[i].begin(),
                    records[i].end());
    }
    whole.insert(whole.begin(), half.begin(), half.end());
    Archive("2024-05-18T090000Z.log", half);
    auto library = OpenLibrary();  // first use takes in the archive
    const std::uint64_t first = library->FixCount();
    EXPECT_EQ(first, records.size() / 2);
    const std::string raw = folder_ + "/data.log";
    std::ofstream(raw, std::ios::binary)
        .write(reinterpret_cast<const char*>(whole.data()), static_cast<long>(whole.size()));
    ImportResult r = library->ImportLog(raw);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.added, records.size() - first);
    EXPECT_EQ(library->ImportLog(raw).added, 0u);
    // The drive's three stops of over ten minutes make four trips; the second trip's trace is
    // exactly its fixes.
    const std::vector<FixRun> trips = library->Trips({600, 2000});
    ASSERT_EQ(trips.size(), 4u);
    std::uint64_t sum = 0;
    for (const FixRun& t : trips) {
        sum += t.fixes;
    }
    EXPECT_EQ(sum, records.size());
    std::string error;
    ASSERT_TRUE(library->WriteTrace(trips[1], folder_ + "/trip.ltp", error)) << error;
    const std::string trip = Slurp(folder_ + "/trip.ltp");
    EXPECT_EQ(trip, FixesBytes(*library).substr(trips[1].firstFix * kTraceFixSize,
                                                trips[1].fixes * kTraceFixSize));
    // The span of the last import's new fixes is what --new converts.
    const std::optional<FixRun> added = library->LastAdded();
    ASSERT_TRUE(added);
    EXPECT_EQ(added->beginUtc, r.firstAddedUtc);
    EXPECT_EQ(added->endUtc, trips.back().endUtc);
}

TEST_F(SeasonLibraryTest, RebuildsFromTheArchiveWhenItsFilesAreGoneOrDamaged) {
    Archive("2024-05-18T090000Z.log", BuiltinTrackLog());
    Archive("2024-05-19T090000Z.log", {});  // an empty download adds nothing
    std::string before;
    {
        auto library = OpenLibrary();
        before = FixesBytes(*library);
        EXPECT_EQ(before.size(), BuiltinTrackRecords().size() * kTraceFixSize);
    }
    std::filesystem::remove_all(folder_ + "/library");
    EXPECT_EQ(FixesBytes(*OpenLibrary()), before);
    std::ofstream(folder_ + "/library/index.sqlite", std::ios::binary) << "not a database";
    EXPECT_EQ(FixesBytes(*OpenLibrary()), before);
}

TEST_F(SeasonLibraryTest, KillDuringImportLeavesThePreviousOrTheNextLibrary) {
    const TimeValue t0 = MakeTimeValue(2024, 5, 18, 7, 0, 0);
    std::string before;
    {
        auto library = OpenLibrary();
        Import(*library, Drive(t0, 1000));
        before = FixesBytes(*library);
    }
    const std::string path = folder_ + "/big.ltp";
    WriteTrace(path, Drive(t0 + 2000, 200000));
    // Killed at growing moments of the import: never a state other than before or after.
    for (const int delayUs : {0, 3000, 10000, 30000, 100000}) {
        const pid_t child = fork();
        if (child == 0) {
            std::string error;
            auto library = SeasonLibrary::Open(folder_, error);
            if (library) {
                (void)library->ImportTrace(path);
            }
            _exit(0);
        }
        usleep(static_cast<useconds_t>(delayUs));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        auto library = OpenLibrary();
        ASSERT_TRUE(library);
        const std::uint64_t count = library->FixCount();
        ASSERT_TRUE(count == 1000 || count == 201000) << count;
        if (count == 1000) {
            EXPECT_EQ(FixesBytes(*library), before);
        }
    }
}

}  // namespace
}  // namespace pelmora
