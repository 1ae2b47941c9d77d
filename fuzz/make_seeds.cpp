// Writes the seed corpora of the fuzz targets from the program's and the simulated logger's own
// output: the logger's flash, its range streams and replies, its NMEA, the decoded trace and a
// saved profile. Usage: pelmora-fuzz-seeds SOURCE_DIR CORPUS_DIR
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/app_paths.h"
#include "core/conversion_settings.h"
#include "decode/decompress.h"
#include "decode/trace_fix.h"
#include "sim/flash_image.h"
#include "sim/logger_core.h"
#include "sim/nmea_source.h"
#include "sim/sim_frame.h"
#include "ui/qt_profile_store.h"

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void Put(const fs::path& dir, const std::string& name, const Bytes& bytes) {
    fs::create_directories(dir);
    std::ofstream(dir / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

Bytes Head(const Bytes& b, std::size_t n) {
    return Bytes(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(std::min(n, b.size())));
}

Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

// A flash whose compact records hold the end marker's bytes, as real ones can.
pelmora::sim::FlashImage AwkwardFlash() {
    pelmora::sim::FlashImage flash(8);
    for (std::uint8_t tag = 1; flash.SectorsInUse() < 3; ++tag) {
        Bytes r = tag % 7 == 0 ? Bytes{0x80, 'E', 'N', 'D', 0, 'C', 'H', 'E'}
                               : (tag % 3 == 0 ? Bytes(18, tag) : Bytes(8, tag));
        r[0] = r.size() == 18 ? 0x40 : 0x80;
        if (!flash.AppendRecord(r)) {
            break;
        }
    }
    return flash;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SOURCE_DIR CORPUS_DIR\n", argv[0]);
        return 2;
    }
    const fs::path source = argv[1];
    const fs::path out = argv[2];
    const pelmora::sim::FlashImage flash = pelmora::sim::BuiltInFlash();
    const Bytes flashBytes(flash.Bytes().begin(), flash.Bytes().end());
    const Bytes download = flash.ExpectedDownload();
    const Bytes sample = ReadAll(source / "data" / "sample-data.log");

    // Raw log: what a download writes to data.log, and the shipped sample log.
    Put(out / "raw_log", "download-head", Head(download, 4096));
    Put(out / "raw_log", "download-mid", Bytes(download.begin() + 4096, download.begin() + 6000));
    Put(out / "raw_log", "sample-head", Head(sample, 3000));

    // Flash sectors as the ranged read returns them, erased tails included.
    Put(out / "log_filter", "flash-3-sectors", Head(flashBytes, 3 * 4096));
    const pelmora::sim::FlashImage awkward = AwkwardFlash();
    Put(out / "log_filter", "awkward-2-sectors",
        Head(Bytes(awkward.Bytes().begin(), awkward.Bytes().end()), 2 * 4096));

    // Trace files decoded by the program from the download.
    const fs::path work = fs::temp_directory_path() / "pelmora-fuzz-seeds";
    fs::create_directories(work);
    Put(work, "data.log", Head(download, 8000));
    pelmora::DecompressOptions options;
    options.nowUtc = 1767225600;
    const auto r = pelmora::DecompressLog((work / "data.log").string(),
                                          (work / "TraceLog.ltp").string(), options, nullptr);
    if (!r.ok()) {
        std::fprintf(stderr, "decompression failed: %s\n", r.message.c_str());
        return 1;
    }
    const Bytes trace = ReadAll(work / "TraceLog.ltp");
    Put(out / "trace_reader", "ltp", Cat({{0x02}, Head(trace, 22 * 60)}));
    // The extended form: each fix followed by a satellite table of zeros.
    Bytes lte{0x03};
    for (std::size_t at = 0; at + 22 <= trace.size() && lte.size() < 73 * 20; at += 22) {
        Bytes rec(trace.begin() + static_cast<std::ptrdiff_t>(at),
                  trace.begin() + static_cast<std::ptrdiff_t>(at + 22));
        rec.resize(73, 0);
        lte.insert(lte.end(), rec.begin(), rec.end());
    }
    Put(out / "trace_reader", "lte", lte);
    fs::remove_all(work);

    // Range streams: [first sector, capacity / 64, chunk seed] then the bytes after the ACK.
    auto rangeSeed = [&](const pelmora::sim::FlashImage& f, std::uint16_t first,
                         std::uint16_t count, pelmora::sim::EchoStyle echo, std::uint8_t seed) {
        const auto s = pelmora::sim::BuildRangeStream(f, first, count, echo);
        return Cat({{static_cast<std::uint8_t>(first), static_cast<std::uint8_t>(count * 64), seed},
                    s.data,
                    s.marker,
                    s.trailer});
    };
    Put(out / "marked_data", "one-sector",
        rangeSeed(flash, 0, 1, pelmora::sim::EchoStyle::Sector, 7));
    Put(out / "marked_data", "two-sectors-lfcr",
        rangeSeed(flash, 1, 2, pelmora::sim::EchoStyle::LfCr, 200));
    Put(out / "marked_data", "in-band-marker",
        rangeSeed(awkward, 0, 2, pelmora::sim::EchoStyle::Sector, 3));

    // Replies of the logger.
    const Bytes status = pelmora::sim::LogStatusFrame(flash, pelmora::sim::LogOptions{});
    pelmora::sim::LogOptions circular;
    circular.fifoMode = 1;
    Put(out / "replies", "log-status", status);
    Put(out / "replies", "log-status-circular", pelmora::sim::LogStatusFrame(flash, circular));
    Put(out / "replies", "log-status-empty",
        pelmora::sim::LogStatusFrame(pelmora::sim::FlashImage{}, {}));
    Put(out / "replies", "device-id", pelmora::sim::DeviceIdFrame("Pelmora Logger 7"));
    Put(out / "replies", "device-id-none", pelmora::sim::DeviceIdFrame(""));

    // The line: mode byte (bit 0 reply assembly, bit 1 hang-up, bits 2.. capacity) then bytes.
    pelmora::sim::NmeaSource nmea;
    const Bytes burst = Text(nmea.Burst(1767225600) + nmea.Burst(1767225605));
    Put(out / "line", "nmea-lines", Cat({{0x00}, burst}));
    Put(out / "line", "ack-then-status", Cat({{0x01}, pelmora::sim::AckFrame(0x17), status}));
    Put(out / "line", "nack-in-nmea",
        Cat({{0x05}, Head(burst, 150), pelmora::sim::NackFrame(0x1D), Head(burst, 80)}));
    Put(out / "line", "id-reply-hangup",
        Cat({{0x03}, pelmora::sim::AckFrame(0x74), pelmora::sim::DeviceIdFrame("ID\r\n42")}));
    const Bytes raw = Head(download, 120);
    Put(out / "line", "garbled-rate", Cat({{0x10}, nmea.Garble(raw.data(), raw.size())}));

    // A profile saved by the program.
    fs::create_directories(out / "profile");
    const fs::path ini = out / "profile" / "saved.ini";
    fs::remove(ini);
    {
        pelmora::QtProfileStore profile(ini.string());
        profile.ProfileWriteInt(pelmora::kSectionSetting, "Conversion", 0x3F);
        profile.ProfileWriteText(pelmora::kSectionSetting, "TimeZoneDisplay",
                                 "(UTC+08:00) Asia/Taipei");
        profile.ProfileWriteInt(pelmora::kSectionSetting, "TimeZoneBias", -480);
        profile.ProfileWriteInt(pelmora::kSectionSetting, "TimeZoneType", 2);
        profile.ProfileWriteInt(pelmora::kSectionSetting, "TimeZoneCountry", 12);
        profile.ProfileWriteInt(pelmora::kSectionSetting, "SpeedUnit", 2);
        profile.ProfileWriteInt(pelmora::kSectionSetting, "StopPeriod", 5);
        profile.ProfileWriteInt(pelmora::kSectionSetting, "StopDistance", 30);
        profile.ProfileWriteInt(pelmora::kSectionSetting, "OverSpeed", 90);
        profile.ProfileWriteText(pelmora::kSectionSerial, "ComPort", "/dev/ttyUSB0");
        profile.ProfileWriteText(pelmora::kSectionSerial, "BaudRate", "57600");
    }
    return 0;
}
