#include "library/season_library.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/app_paths.h"
#include "decode/decompress.h"
#include "library/download_archive.h"
#include "library/fix_record.h"
#include "library/fix_sorter.h"

namespace pelmora {
namespace {

constexpr std::size_t kBlockFixes = 4096;

std::string SystemError(const std::string& what, const std::string& path, int error) {
    return what + " " + path + ": " + std::strerror(error);
}

std::uint64_t FileSize(const std::string& path, bool& exists) {
    struct stat st {};
    exists = ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    return exists ? static_cast<std::uint64_t>(st.st_size) : 0;
}

bool SyncPath(const std::string& path, int flags) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

// Fixes of a trace file, a block at a time.
class FixReader {
  public:
    explicit FixReader(const std::string& path) {
        if (!path.empty()) {
            file_ = std::fopen(path.c_str(), "rb");
        }
    }
    ~FixReader() {
        if (file_ != nullptr) {
            std::fclose(file_);
        }
    }
    FixReader(const FixReader&) = delete;
    FixReader& operator=(const FixReader&) = delete;
    bool open() const { return file_ != nullptr; }
    bool Seek(std::uint64_t fix) {
        return std::fseek(file_, static_cast<long>(fix * kTraceFixSize), SEEK_SET) == 0;
    }
    const std::uint8_t* Next() {
        if (pos_ >= have_) {
            if (file_ == nullptr) {
                return nullptr;
            }
            const std::size_t got = std::fread(buffer_.data(), 1, buffer_.size(), file_);
            failed_ = failed_ || std::ferror(file_) != 0;
            have_ = got - got % kTraceFixSize;
            pos_ = 0;
            if (have_ == 0) {
                return nullptr;
            }
        }
        const std::uint8_t* fix = &buffer_[pos_];
        pos_ += kTraceFixSize;
        return fix;
    }
    bool failed() const { return failed_; }

  private:
    std::FILE* file_ = nullptr;
    std::vector<std::uint8_t> buffer_ = std::vector<std::uint8_t>(kBlockFixes * kTraceFixSize);
    std::size_t pos_ = 0;
    std::size_t have_ = 0;
    bool failed_ = false;
};

class FixWriter {
  public:
    bool Open(const std::string& path) {
        ::unlink(path.c_str());  // a file a killed import left under the next name
        fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        return fd_ >= 0;
    }
    ~FixWriter() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FixWriter(const FixWriter&) = delete;
    FixWriter& operator=(const FixWriter&) = delete;
    FixWriter() = default;
    bool Put(const std::uint8_t* fix) {
        std::memcpy(&buffer_[used_], fix, kTraceFixSize);
        used_ += kTraceFixSize;
        return used_ < buffer_.size() || Flush();
    }
    bool Flush() {
        std::size_t done = 0;
        while (done < used_) {
            const ssize_t n = ::write(fd_, buffer_.data() + done, used_ - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return false;
            }
            done += static_cast<std::size_t>(n);
        }
        used_ = 0;
        return true;
    }
    // Flushes, syncs and closes: the file is complete on disk before the index names it.
    bool Finish() {
        const bool ok = Flush() && ::fsync(fd_) == 0;
        const bool closed = ::close(fd_) == 0;
        fd_ = -1;
        return ok && closed;
    }

  private:
    int fd_ = -1;
    std::vector<std::uint8_t> buffer_ = std::vector<std::uint8_t>(kBlockFixes * kTraceFixSize);
    std::size_t used_ = 0;
};

constexpr const char* kSchema = R"(
CREATE TABLE store(id INTEGER PRIMARY KEY CHECK (id = 1), fixes_file TEXT NOT NULL,
                   generation INTEGER NOT NULL, fix_count INTEGER NOT NULL);
INSERT INTO store VALUES (1, '', 0, 0);
CREATE TABLE runs(first_fix INTEGER PRIMARY KEY, fixes INTEGER NOT NULL,
                  begin_utc INTEGER NOT NULL, end_utc INTEGER NOT NULL, metres REAL NOT NULL,
                  max_speed INTEGER NOT NULL, first_x INTEGER, first_y INTEGER, first_z INTEGER,
                  last_x INTEGER, last_y INTEGER, last_z INTEGER);
CREATE TABLE imports(id INTEGER PRIMARY KEY, source TEXT NOT NULL, at_utc INTEGER NOT NULL,
                     added INTEGER NOT NULL, first_added_utc INTEGER, last_added_utc INTEGER);
CREATE TABLE archived(name TEXT PRIMARY KEY);
PRAGMA user_version = 1;
)";

// Rolls back unless committed.
class WriteTransaction {
  public:
    explicit WriteTransaction(SqliteDb& db) : db_(db) { open_ = db_.Exec("BEGIN IMMEDIATE"); }
    ~WriteTransaction() {
        if (open_) {
            (void)db_.Exec("ROLLBACK");
        }
    }
    WriteTransaction(const WriteTransaction&) = delete;
    WriteTransaction& operator=(const WriteTransaction&) = delete;
    bool open() const { return open_; }
    bool Commit() {
        open_ = false;
        return db_.Exec("COMMIT");
    }

  private:
    SqliteDb& db_;
    bool open_ = false;
};

FixRun RunFromRow(const SqliteStatement& s) {
    FixRun r;
    r.firstFix = static_cast<std::uint64_t>(s.Int(0));
    r.fixes = static_cast<std::uint64_t>(s.Int(1));
    r.beginUtc = s.Int(2);
    r.endUtc = s.Int(3);
    r.metres = s.Real(4);
    r.maxSpeedKmh = static_cast<int>(s.Int(5));
    r.firstX = static_cast<std::int32_t>(s.Int(6));
    r.firstY = static_cast<std::int32_t>(s.Int(7));
    r.firstZ = static_cast<std::int32_t>(s.Int(8));
    r.lastX = static_cast<std::int32_t>(s.Int(9));
    r.lastY = static_cast<std::int32_t>(s.Int(10));
    r.lastZ = static_cast<std::int32_t>(s.Int(11));
    return r;
}

// Scratch files of an import ("incoming-PID...", "sort-PID...") whose process is gone; those of a
// live one are in use (it decodes before it takes the write lock).
bool LeftByTheDead(const std::string& name) {
    for (const char* prefix : {"incoming-", "sort-"}) {
        const std::size_t length = std::strlen(prefix);
        if (name.compare(0, length, prefix) == 0) {
            const long pid = std::strtol(name.c_str() + length, nullptr, 10);
            return pid <= 0 || (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH);
        }
    }
    return false;
}

void RemoveLibraryFiles(const std::string& folder) {
    for (const std::string& name : FolderNames(folder)) {
        if (name != "." && name != "..") {
            ::unlink(JoinPath(folder, name).c_str());
        }
    }
}

}  // namespace

SeasonLibrary::SeasonLibrary(std::string dataFolder)
    : dataFolder_(std::move(dataFolder)),
      libraryFolder_(JoinPath(dataFolder_, kLibraryFolderName)) {}

std::unique_ptr<SeasonLibrary> SeasonLibrary::Open(const std::string& dataFolder,
                                                   std::string& error) {
    std::unique_ptr<SeasonLibrary> library(new SeasonLibrary(dataFolder));
    if (!library->OpenIndex(error) || !library->TakeInArchive(error)) {
        return nullptr;
    }
    return library;
}

std::unique_ptr<SeasonLibrary> SeasonLibrary::Rebuild(const std::string& dataFolder,
                                                      std::string& error) {
    RemoveLibraryFiles(JoinPath(dataFolder, kLibraryFolderName));
    return Open(dataFolder, error);
}

bool SeasonLibrary::OpenIndex(std::string& error) {
    if (!EnsureFolder(libraryFolder_)) {
        error = SystemError("Cannot create the library folder", libraryFolder_, errno);
        return false;
    }
    const std::string indexPath = JoinPath(libraryFolder_, kLibraryIndexName);
    bool exists = false;
    FileSize(indexPath, exists);
    bool sound = false;
    if (exists && db_.Open(indexPath) && db_.QueryText("PRAGMA quick_check") == "ok" &&
        db_.QueryInt("PRAGMA user_version") == kLibrarySchemaVersion) {
        SqliteStatement s(db_.handle(), "SELECT fixes_file, fix_count FROM store WHERE id = 1");
        if (s.Step()) {
            const std::string file = s.Text(0);
            const auto count = static_cast<std::uint64_t>(s.Int(1));
            bool fileThere = false;
            const std::uint64_t size = FileSize(JoinPath(libraryFolder_, file), fileThere);
            sound = file.empty() ? count == 0 : fileThere && size == count * kTraceFixSize;
        }
    }
    if (!sound) {
        // Missing, damaged, or of another version: everything in it comes back from the archive.
        db_.Close();
        RemoveLibraryFiles(libraryFolder_);
        if (!db_.Open(indexPath) || !db_.Exec("PRAGMA journal_mode=WAL") ||
            !db_.Exec(std::string("BEGIN;") + kSchema + "COMMIT;")) {
            error = "Cannot create the library index " + db_.Error();
            return false;
        }
    }
    if (!db_.Exec("PRAGMA journal_mode=WAL") || !db_.Exec("PRAGMA synchronous=FULL")) {
        error = "Cannot open the library index " + db_.Error();
        return false;
    }
    // Files of imports that were killed: only removed under the write lock, which a running
    // import holds.
    WriteTransaction lock(db_);
    if (lock.open()) {
        const std::string current = db_.QueryText("SELECT fixes_file FROM store WHERE id = 1");
        for (const std::string& name : FolderNames(libraryFolder_)) {
            if ((name.rfind("fixes-", 0) == 0 && name != current) || LeftByTheDead(name)) {
                ::unlink(JoinPath(libraryFolder_, name).c_str());
            }
        }
        (void)lock.Commit();
    }
    return true;
}

bool SeasonLibrary::TakeInArchive(std::string& error) {
    if (!TakeInWholeCopies(dataFolder_, error)) {
        return false;
    }
    for (const std::string& name : ArchivedDownloads(dataFolder_)) {
        SqliteStatement known(db_.handle(), "SELECT 1 FROM archived WHERE name = ?");
        known.Bind(1, name);
        if (known.Step()) {
            continue;
        }
        std::vector<std::uint8_t> log;
        if (!ReadArchivedDownload(dataFolder_, name, log, error)) {
            return false;
        }
        const std::string raw =
            JoinPath(libraryFolder_, "incoming-" + std::to_string(::getpid()) + ".log");
        std::FILE* f = std::fopen(raw.c_str(), "wb");
        const bool written =
            f != nullptr && std::fwrite(log.data(), 1, log.size(), f) == log.size();
        if (f == nullptr || std::fclose(f) != 0 || !written) {
            error = SystemError("Cannot write", raw, errno);
            ::unlink(raw.c_str());
            return false;
        }
        ImportOptions options;
        options.source = JoinPath(JoinPath(dataFolder_, kDownloadsFolderName), name);
        options.archiveName = name;
        // The week of a download's fixes is resolved against the time of that download.
        TimeValue at = 0;
        if (name.size() >= 17 &&
            ParseTimeValue(name.substr(0, 10) + " " + name.substr(11, 2) + ":" +
                               name.substr(13, 2) + ":" + name.substr(15, 2),
                           at)) {
            options.nowUtc = at;
        }
        const ImportResult r = ImportLog(raw, options);
        ::unlink(raw.c_str());
        if (!r.ok) {
            error = r.error;
            return false;
        }
    }
    return true;
}

std::string SeasonLibrary::FixesPath() {
    const std::string file = db_.QueryText("SELECT fixes_file FROM store WHERE id = 1");
    return file.empty() ? std::string() : JoinPath(libraryFolder_, file);
}

ImportResult SeasonLibrary::ImportLog(const std::string& rawPath, const ImportOptions& options) {
    ImportResult result;
    const std::string incoming =
        JoinPath(libraryFolder_, "incoming-" + std::to_string(::getpid()) + ".ltp");
    DecompressOptions decode;
    decode.nowUtc = options.nowUtc;
    const DecompressResult decoded = DecompressLog(rawPath, incoming, decode, options.progress);
    if (decoded.status == DecompressStatus::NoFix) {
        // An empty log adds nothing; the archive name is still taken as done.
        ::unlink(incoming.c_str());
        return Merge(std::string(), options);
    }
    if (!decoded.ok() && decoded.status != DecompressStatus::BadRecord) {
        ::unlink(incoming.c_str());
        result.error =
            decoded.message + " (" + rawPath +
            (decoded.systemError != 0 ? std::string(": ") + std::strerror(decoded.systemError)
                                      : std::string()) +
            ")";
        return result;
    }
    result = Merge(incoming, options);
    ::unlink(incoming.c_str());
    return result;
}

ImportResult SeasonLibrary::ImportTrace(const std::string& tracePath,
                                        const ImportOptions& options) {
    bool exists = false;
    FileSize(tracePath, exists);
    if (!exists) {
        ImportResult result;
        result.error = SystemError("Cannot read", tracePath, ENOENT);
        return result;
    }
    return Merge(tracePath, options);
}

ImportResult SeasonLibrary::Merge(const std::string& tracePath, const ImportOptions& options) {
    ImportResult result;
    WriteTransaction transaction(db_);
    if (!transaction.open()) {
        result.error = "The library is busy or damaged: " + db_.Error();
        return result;
    }
    std::int64_t generation = 0;
    std::uint64_t count = 0;
    std::string currentFile;
    {
        SqliteStatement s(db_.handle(),
                          "SELECT fixes_file, generation, fix_count FROM store WHERE id = 1");
        if (!s.Step()) {
            result.error = "The library index has no store: " + db_.Error();
            return result;
        }
        currentFile = s.Text(0);
        generation = s.Int(1);
        count = static_cast<std::uint64_t>(s.Int(2));
    }

    // A logger records in time order: such a log is merged straight from its file, any other
    // goes through the sorter.
    bool sorted = true;
    std::uint64_t incoming = 0;
    if (!tracePath.empty()) {
        FixReader in(tracePath);
        if (!in.open()) {
            result.error = SystemError("Cannot read", tracePath, errno);
            return result;
        }
        std::uint32_t last = 0;
        while (const std::uint8_t* fix = in.Next()) {
            sorted = sorted && FixHasValidTime(fix) && FixSlot(fix) >= last;
            last = FixSlot(fix);
            ++incoming;
        }
        if (in.failed()) {
            result.error = SystemError("Cannot read", tracePath, EIO);
            return result;
        }
    }
    FixSorter sorter(JoinPath(libraryFolder_, "sort-" + std::to_string(::getpid()) + ".tmp"));
    FixReader direct(sorted ? tracePath : std::string());
    if (!sorted) {
        FixReader in(tracePath);
        while (const std::uint8_t* fix = in.Next()) {
            if (FixHasValidTime(fix) && !sorter.Add(fix)) {
                result.error = SystemError("Cannot write", libraryFolder_, errno);
                return result;
            }
        }
        if (in.failed() || !sorter.Finish()) {
            result.error = SystemError(in.failed() ? "Cannot read" : "Cannot write",
                                       in.failed() ? tracePath : libraryFolder_, errno);
            return result;
        }
    }
    auto nextIncoming = [&]() { return sorted ? direct.Next() : sorter.Next(); };

    const std::string newName = "fixes-" + std::to_string(generation + 1) + ".ltp";
    const std::string newPath = JoinPath(libraryFolder_, newName);
    const std::string oldPath =
        currentFile.empty() ? std::string() : JoinPath(libraryFolder_, currentFile);
    FixReader library(oldPath);
    if (!oldPath.empty() && !library.open()) {
        result.error = SystemError("Cannot read", oldPath, errno);
        return result;
    }
    // Nothing is written until the first new fix: a log the library holds already costs reads
    // only. Then the library's fixes before it are copied and the merge writes on.
    FixWriter out;
    bool writing = false;
    TripSplitter runs(kStoredRunGaps);
    FixClockReader clock;
    std::uint64_t written = 0;
    std::vector<TraceFixBytes> slot;  // the library's fixes of the slot being merged
    const std::uint8_t* a = incoming > 0 ? library.Next() : nullptr;
    const std::uint8_t* b = incoming > 0 ? nextIncoming() : nullptr;
    bool writeFailed = false;
    auto put = [&](const std::uint8_t* fix) {
        if (writing) {
            runs.Add(fix, written);
            writeFailed = writeFailed || !out.Put(fix);
        }
        ++written;
    };
    auto startWriting = [&]() {
        writing = true;
        if (!out.Open(newPath)) {
            writeFailed = true;
            return;
        }
        FixReader prefix(oldPath);
        for (std::uint64_t i = 0; i < written && !writeFailed; ++i) {
            const std::uint8_t* fix = prefix.Next();
            writeFailed = fix == nullptr || !out.Put(fix);
            if (fix != nullptr) {
                runs.Add(fix, i);
            }
        }
    };
    while ((a != nullptr || b != nullptr) && !writeFailed) {
        const std::uint32_t key = a == nullptr   ? FixSlot(b)
                                  : b == nullptr ? FixSlot(a)
                                                 : std::min(FixSlot(a), FixSlot(b));
        slot.clear();
        while (a != nullptr && FixSlot(a) == key) {
            TraceFixBytes copy;
            std::memcpy(copy.data(), a, kTraceFixSize);
            slot.push_back(copy);
            put(a);
            a = library.Next();
        }
        while (b != nullptr && FixSlot(b) == key) {
            const bool known = std::any_of(slot.begin(), slot.end(), [&](const TraceFixBytes& f) {
                return SamePosition(f.data(), b);
            });
            if (!known && !writing) {
                startWriting();
            }
            if (!known) {
                TraceFixBytes copy;
                std::memcpy(copy.data(), b, kTraceFixSize);
                slot.push_back(copy);
                put(b);
                const TimeValue t = clock.Utc(b);
                if (result.added == 0) {
                    result.firstAddedUtc = t;
                }
                result.firstAddedUtc = std::min(result.firstAddedUtc, t);
                result.lastAddedUtc = std::max(result.lastAddedUtc, t);
                ++result.added;
            }
            b = nextIncoming();
        }
    }
    if (writeFailed) {
        ::unlink(newPath.c_str());
        result.error = SystemError("Cannot write", newPath, errno);
        return result;
    }
    if (library.failed() || sorter.failed() || direct.failed()) {
        ::unlink(newPath.c_str());
        result.error = SystemError("Cannot read", library.failed() ? oldPath : libraryFolder_, EIO);
        return result;
    }

    if (result.added > 0) {
        if (!out.Finish() || !SyncPath(libraryFolder_, O_RDONLY | O_DIRECTORY)) {
            ::unlink(newPath.c_str());
            result.error = SystemError("Cannot write", newPath, errno);
            return result;
        }
        SqliteStatement store(db_.handle(),
                              "UPDATE store SET fixes_file = ?, generation = ?, fix_count = ?");
        store.Bind(1, newName);
        store.Bind(2, generation + 1);
        store.Bind(3, static_cast<std::int64_t>(written));
        bool ok = !store.Step() && store.Done() && db_.Exec("DELETE FROM runs");
        SqliteStatement insert(db_.handle(),
                               "INSERT INTO runs VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        for (const FixRun& r : runs.Finish()) {
            if (!ok) {
                break;
            }
            insert.Bind(1, static_cast<std::int64_t>(r.firstFix));
            insert.Bind(2, static_cast<std::int64_t>(r.fixes));
            insert.Bind(3, r.beginUtc);
            insert.Bind(4, r.endUtc);
            insert.Bind(5, r.metres);
            insert.Bind(6, std::int64_t{r.maxSpeedKmh});
            insert.Bind(7, std::int64_t{r.firstX});
            insert.Bind(8, std::int64_t{r.firstY});
            insert.Bind(9, std::int64_t{r.firstZ});
            insert.Bind(10, std::int64_t{r.lastX});
            insert.Bind(11, std::int64_t{r.lastY});
            insert.Bind(12, std::int64_t{r.lastZ});
            ok = !insert.Step() && insert.Done();
            insert.Reset();
        }
        if (!ok) {
            ::unlink(newPath.c_str());
            result.error = "Cannot update the library index " + db_.Error();
            return result;
        }
        count = written;
    }
    SqliteStatement import(db_.handle(),
                           "INSERT INTO imports(source, at_utc, added, first_added_utc, "
                           "last_added_utc) VALUES (?, ?, ?, ?, ?)");
    import.Bind(1, options.source.empty() ? tracePath : options.source);
    import.Bind(2, static_cast<std::int64_t>(::time(nullptr)));
    import.Bind(3, static_cast<std::int64_t>(result.added));
    import.Bind(4, result.firstAddedUtc);
    import.Bind(5, result.lastAddedUtc);
    bool ok = !import.Step() && import.Done();
    if (ok && !options.archiveName.empty()) {
        SqliteStatement archived(db_.handle(), "INSERT OR IGNORE INTO archived VALUES (?)");
        archived.Bind(1, options.archiveName);
        ok = !archived.Step() && archived.Done();
    }
    if (!ok || !transaction.Commit()) {
        if (result.added > 0) {
            ::unlink(newPath.c_str());
        }
        result.error = "Cannot update the library index " + db_.Error();
        return result;
    }
    if (result.added > 0 && !oldPath.empty()) {
        ::unlink(oldPath.c_str());
    }
    result.ok = true;
    result.total = count;
    return result;
}

std::uint64_t SeasonLibrary::FixCount() {
    return static_cast<std::uint64_t>(db_.QueryInt("SELECT fix_count FROM store WHERE id = 1"));
}

std::vector<FixRun> SeasonLibrary::StoredRuns() {
    std::vector<FixRun> runs;
    SqliteStatement s(db_.handle(), "SELECT * FROM runs ORDER BY first_fix");
    while (s.Step()) {
        runs.push_back(RunFromRow(s));
    }
    return runs;
}

std::vector<FixRun> SeasonLibrary::Trips(TripGaps gaps) {
    if (gaps.seconds >= kStoredRunGaps.seconds && gaps.metres >= kStoredRunGaps.metres) {
        const std::vector<FixRun> runs = StoredRuns();
        return JoinRuns(runs, gaps);
    }
    TripSplitter splitter(gaps);
    FixReader in(FixesPath());
    std::uint64_t index = 0;
    while (const std::uint8_t* fix = in.Next()) {
        splitter.Add(fix, index++);
    }
    return splitter.Finish();
}

std::vector<FixRun> SeasonLibrary::Days(const ZoneRules& zone) {
    // A stored run inside one local day belongs to it whole; one over midnight is split from its
    // fixes, so only those are read.
    std::vector<FixRun> pieces;
    const std::string path = FixesPath();
    for (const FixRun& run : StoredRuns()) {
        if (LocalDay(zone, run.beginUtc) == LocalDay(zone, run.endUtc)) {
            pieces.push_back(run);
            continue;
        }
        TripSplitter splitter(TripGaps{INT64_MAX / 2, 1e18}, zone);
        FixReader in(path);
        if (!in.open() || !in.Seek(run.firstFix)) {
            continue;
        }
        for (std::uint64_t i = 0; i < run.fixes; ++i) {
            const std::uint8_t* fix = in.Next();
            if (fix == nullptr) {
                break;
            }
            splitter.Add(fix, run.firstFix + i);
        }
        for (const FixRun& piece : splitter.Finish()) {
            pieces.push_back(piece);
        }
    }
    std::vector<FixRun> days;
    const TripGaps within;  // a step between pieces counts when a trip would join them
    for (const FixRun& piece : pieces) {
        if (!days.empty() &&
            LocalDay(zone, days.back().beginUtc) >= LocalDay(zone, piece.beginUtc)) {
            FixRun& day = days.back();
            AppendRun(day, piece, JoiningStep(day, piece, within).value_or(0));
            continue;
        }
        days.push_back(piece);
    }
    return days;
}

FixRun SeasonLibrary::Whole() {
    FixRun whole;
    for (const FixRun& trip : Trips(TripGaps{INT64_MAX / 2, 1e18})) {
        whole = trip;
    }
    return whole;
}

std::optional<FixRun> SeasonLibrary::LastAdded() {
    SqliteStatement s(db_.handle(),
                      "SELECT first_added_utc, last_added_utc FROM imports WHERE added > 0 "
                      "ORDER BY id DESC LIMIT 1");
    if (!s.Step()) {
        return std::nullopt;
    }
    const TimeValue begin = s.Int(0);
    const TimeValue end = s.Int(1);
    std::optional<FixRun> span;
    for (const FixRun& run : StoredRuns()) {
        if (run.endUtc < begin || run.beginUtc > end) {
            continue;
        }
        if (!span) {
            span = run;
        }
        span->fixes = run.firstFix + run.fixes - span->firstFix;
        span->endUtc = run.endUtc;
    }
    if (span) {
        // The period is the new fixes' own; the runs only bound what is read.
        span->beginUtc = std::max(span->beginUtc, begin);
        span->endUtc = std::min(span->endUtc, end);
    }
    return span;
}

bool SeasonLibrary::WriteTrace(const FixRun& run, const std::string& tracePath,
                               std::string& error) {
    const std::string path = FixesPath();
    FixReader in(path);
    if (!in.open() || !in.Seek(run.firstFix)) {
        error = SystemError("Cannot read", path.empty() ? libraryFolder_ : path, errno);
        return false;
    }
    FixWriter out;
    if (!out.Open(tracePath)) {
        error = SystemError("Cannot write", tracePath, errno);
        return false;
    }
    for (std::uint64_t i = 0; i < run.fixes; ++i) {
        const std::uint8_t* fix = in.Next();
        if (fix == nullptr || !out.Put(fix)) {
            error = SystemError(fix == nullptr ? "Cannot read" : "Cannot write",
                                fix == nullptr ? path : tracePath, fix == nullptr ? EIO : errno);
            return false;
        }
    }
    if (!out.Finish()) {
        error = SystemError("Cannot write", tracePath, errno);
        return false;
    }
    return true;
}

}  // namespace pelmora
