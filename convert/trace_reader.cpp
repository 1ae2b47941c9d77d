#include "convert/trace_reader.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

#include "convert/geoid_heights.h"
#include "convert/point_object.h"
#include "core/app_paths.h"
#include "core/conversion_settings.h"
#include "core/regular_file.h"
#include "decode/trace_fix.h"

namespace pelmora {

std::int32_t SpeedInUnit(double kmh, int speedUnit) {
    switch (speedUnit) {
        case UnitKmh:
            return static_cast<std::int32_t>(kmh);
        case UnitMph:
            return static_cast<std::int32_t>(kmh / 1.609);
        default:
            return static_cast<std::int32_t>(kmh * 1000 / 3600);
    }
}

std::size_t ParseTraceRecords(std::span<const std::uint8_t> bytes, std::size_t recordSize,
                              bool extended, const TraceReadOptions& options,
                              std::vector<TrackPoint>& points) {
    if (recordSize == 0 || recordSize > kTraceFixExtendedSize) {
        return 0;
    }
    const std::size_t records = bytes.size() / recordSize;
    CPointObject parsed;
    for (std::size_t i = 0; i < records; ++i) {
        if (!parsed.ParseTraceRecord(bytes.data() + i * recordSize, recordSize, extended,
                                     options.begin, options.end)) {
            continue;
        }
        TrackPoint p;
        p.time = parsed.time;
        // The trace keeps 2-second resolution (even seconds): a second fix of a slot becomes one
        // second later, and so does every further one, so that time never runs back and no fix
        // moves more than a second: t, t+1, t+1, t+1.
        if (!points.empty() && (points.back().time == p.time || points.back().time == p.time + 1)) {
            p.time += 1;
        }
        p.localTime = options.zone.ToLocal(p.time);
        p.latitude = parsed.latitude;
        p.longitude = parsed.longitude;
        p.height = parsed.height;
        p.direction = parsed.direction;
        p.speed = parsed.speed;
        p.speedInUnit = SpeedInUnit(parsed.speed, options.speedUnit);
        points.push_back(p);
    }
    return records;
}

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// A FIFO under the trace's name would block fopen: regular files only, opened without waiting.
std::FILE* OpenTrace(const std::string& path) {
    const int fd = OpenRegularFile(path);
    std::FILE* file = fd >= 0 ? fdopen(fd, "rb") : nullptr;
    if (file == nullptr && fd >= 0) {
        close(fd);
    }
    return file;
}

// A million fixes are 96 MB, first touched while they are read: in 2 MB pages the kernel takes
// 512 times fewer faults for them. Only advice: where it is not taken nothing changes.
void AdviseLargePages(void* data, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (begin + page - 1) / page * page;
    const std::uintptr_t end = (begin + bytes) / page * page;
    if (bytes >= (std::size_t{8} << 20) && end > first) {
        (void)madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
    }
#else
    (void)data;
    (void)bytes;
#endif
}

}  // namespace

TraceReadStatus ReadTraceLog(const std::string& folder, const TraceReadOptions& options,
                             std::vector<TrackPoint>& points,
                             const std::function<bool(std::uint64_t, std::uint64_t)>& progress,
                             std::string* problem) {
    std::size_t recordSize = kTraceFixSize;
    bool extended = false;
    std::unique_ptr<std::FILE, FileCloser> file(OpenTrace(JoinPath(folder, kTraceLogName)));
    if (!file) {
        file.reset(OpenTrace(JoinPath(folder, kTraceLogExtendedName)));
        recordSize = kTraceFixExtendedSize;
        extended = true;
    }
    if (!file) {
        return TraceReadStatus::OpenFailed;
    }
    struct stat st {};
    if (fstat(fileno(file.get()), &st) != 0 || !S_ISREG(st.st_mode)) {
        return TraceReadStatus::Invalid;
    }
    const auto length = static_cast<std::uint64_t>(st.st_size);
    if (length % recordSize != 0) {
        return TraceReadStatus::Invalid;
    }
    points.clear();
    points.reserve(static_cast<std::size_t>(length / recordSize));
    AdviseLargePages(points.data(), points.capacity() * sizeof(TrackPoint));

    // Whole records per slice keep the parser free of carried state.
    std::vector<std::uint8_t> slice(recordSize * 16384);
    std::uint64_t position = 0;
    for (;;) {
        const std::size_t got = std::fread(slice.data(), 1, slice.size(), file.get());
        const std::size_t whole = got - got % recordSize;
        ParseTraceRecords({slice.data(), whole}, recordSize, extended, options, points);
        position += got;
        if (progress && !progress(position, length)) {
            return TraceReadStatus::Stopped;
        }
        if (got < slice.size()) {
            break;
        }
    }
    // A file that grew or shrank while read is judged by what was read.
    if (points.empty()) {
        return TraceReadStatus::NoData;
    }
    points.shrink_to_fit();
    std::string why;
    if (!ApplyHeightReference(points, options.heights, why)) {
        points.clear();
        if (problem != nullptr) {
            *problem = why;
        }
        return TraceReadStatus::NoGeoid;
    }
    return TraceReadStatus::Ok;
}

}  // namespace pelmora
