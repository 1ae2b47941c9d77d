// pelmora-logger-sim: the simulated logger as a program. Prints its pseudo-terminal's path on the
// first line, then serves until killed (SIGINT, SIGTERM) or until its standard input closes.

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "sim/logger_sim.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;
volatile std::sig_atomic_t g_grow = 0;
volatile std::sig_atomic_t g_anew = 0;

void OnSignal(int) {
    g_stop = 1;
}
void OnGrow(int) {
    g_grow = 1;
}
void OnAnew(int) {
    g_anew = 1;
}

constexpr const char* kUsage =
    "usage: pelmora-logger-sim [options]\n"
    "  --baud N             the logger's own rate (default 4800)\n"
    "  --silent             send nothing at all\n"
    "  --nmea-only          send NMEA, answer no frame (a GPS receiver, not a logger)\n"
    "  --unpaced            do not hold bytes to the line's rate\n"
    "  --device-id TEXT     the device ID (default: none)\n"
    "  --empty              an erased flash\n"
    "  --errors             a flash without sectors (the status reports total 0)\n"
    "  --echo-lfcr          ranged reads carry LF CR instead of the sector echo\n"
    "  --nack N             NACK the next N frames\n"
    "  --lose-ack N         drop the ACK of the next N commands (they still run)\n"
    "  --ignore N           ignore the next N frames\n"
    "  --corrupt N          flip a data byte in the next N ranged reads\n"
    "  --split-marker B     split every end marker after B bytes (1-3)\n"
    "  --stall-range BYTES  fall silent after BYTES data bytes of the next ranged read\n"
    "  --hang-up BYTES      hang up the line after BYTES data bytes of the next ranged read\n"
    "  --silence-range BYTES  fall silent for good after BYTES data bytes of the next ranged read\n"
    "  --garble-range BYTES:RATE  after BYTES data bytes of the next ranged read, set the "
    "client's\n"
    "                       line to RATE (as stty would) and chatter NMEA at the wrong rate\n"
    "  --highest-rate N     refuse rates above N bit/s (NACK)\n"
    "  --keep-rate          above --highest-rate, acknowledge and keep the rate instead\n"
    "  SIGUSR1 grows the log by a third; SIGUSR2 clears it and records anew\n"
    "  --random-faults SEED:P  each status, ID or range frame draws a fault with probability P\n"
    "  --verbose            print every received frame on standard error\n";

bool StdinIsNull() {
    struct stat in {};
    struct stat null {};
    return fstat(STDIN_FILENO, &in) == 0 && stat("/dev/null", &null) == 0 && S_ISCHR(in.st_mode) &&
           in.st_rdev == null.st_rdev;
}

bool ParseNumber(const char* text, long long& out) {
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < 0) {
        return false;
    }
    out = v;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace pelmora::sim;
    LoggerSimOptions options;
    struct {
        long long nack = 0, loseAck = 0, ignore = 0, corrupt = 0, split = 0;
        long long stall = -1, hangUp = -1, silence = -1, garble = -1;
        int garbleRate = 0;
        unsigned long long seed = 0;
        double probability = 0.0;
    } faults;
    bool verbose = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const char* option = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        auto number = [&](long long& out) {
            const char* v = value();
            return v != nullptr && ParseNumber(v, out);
        };
        long long n = 0;
        bool ok = true;
        if (arg == "--baud") {
            ok = number(n) && n > 0 && n <= 4000000;
            options.baud = static_cast<int>(n);
        } else if (arg == "--silent") {
            options.silent = true;
        } else if (arg == "--nmea-only") {
            options.commands = false;
        } else if (arg == "--unpaced") {
            options.paced = false;
        } else if (arg == "--device-id") {
            const char* v = value();
            ok = v != nullptr && std::strlen(v) <= 80;
            options.deviceId = ok ? v : "";
        } else if (arg == "--empty") {
            options.flash = FlashImage(kDefaultTotalSectors);
        } else if (arg == "--errors") {
            options.flash = FlashImage();
        } else if (arg == "--echo-lfcr") {
            options.echo = EchoStyle::LfCr;
        } else if (arg == "--nack") {
            ok = number(faults.nack);
        } else if (arg == "--lose-ack") {
            ok = number(faults.loseAck);
        } else if (arg == "--ignore") {
            ok = number(faults.ignore);
        } else if (arg == "--corrupt") {
            ok = number(faults.corrupt);
        } else if (arg == "--split-marker") {
            ok = number(faults.split) && faults.split >= 1 && faults.split <= 3;
        } else if (arg == "--stall-range") {
            ok = number(faults.stall);
        } else if (arg == "--hang-up") {
            ok = number(faults.hangUp);
        } else if (arg == "--silence-range") {
            ok = number(faults.silence);
        } else if (arg == "--garble-range") {
            const char* v = value();
            ok = v != nullptr &&
                 std::sscanf(v, "%lld:%d", &faults.garble, &faults.garbleRate) == 2 &&
                 faults.garble >= 0 && IndexForRate(faults.garbleRate) >= 0;
        } else if (arg == "--highest-rate") {
            ok = number(n) && IndexForRate(static_cast<int>(n)) >= 0;
            options.highestRate = static_cast<int>(n);
        } else if (arg == "--keep-rate") {
            options.refusal = RateRefusal::AckAndKeep;
        } else if (arg == "--random-faults") {
            const char* v = value();
            ok = v != nullptr &&
                 std::sscanf(v, "%llu:%lf", &faults.seed, &faults.probability) == 2 &&
                 faults.probability >= 0.0 && faults.probability <= 1.0;
        } else if (arg == "--verbose") {
            verbose = true;
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else {
            ok = false;
        }
        if (!ok) {
            std::fprintf(stderr, "pelmora-logger-sim: bad option %s\n%s", option, kUsage);
            return 2;
        }
    }

    // Before the path is printed: whoever reads it may signal at once.
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGPIPE, SIG_IGN);

    LoggerSim sim(std::move(options));
    std::string error;
    if (!sim.Start(&error)) {
        std::fprintf(stderr, "pelmora-logger-sim: %s\n", error.c_str());
        return 1;
    }
    sim.NackNext(static_cast<int>(faults.nack));
    sim.LoseAckNext(static_cast<int>(faults.loseAck));
    sim.IgnoreNext(static_cast<int>(faults.ignore));
    sim.CorruptNextRanges(static_cast<int>(faults.corrupt));
    sim.SplitEndMarker(static_cast<int>(faults.split));
    if (faults.stall >= 0) {
        sim.StallNextRange(static_cast<std::size_t>(faults.stall));
    }
    if (faults.hangUp >= 0) {
        sim.HangUpMidRange(static_cast<std::size_t>(faults.hangUp));
    }
    if (faults.garble >= 0) {
        sim.GarbleMidRange(static_cast<std::size_t>(faults.garble), faults.garbleRate);
    }
    if (faults.silence >= 0) {
        sim.SilenceMidRange(static_cast<std::size_t>(faults.silence));
    }
    std::signal(SIGUSR1, OnGrow);
    std::signal(SIGUSR2, OnAnew);
    if (faults.probability > 0.0) {
        sim.SetRandomFaults(faults.seed, faults.probability);
    }

    std::printf("%s\n", sim.SlavePath().c_str());
    std::fflush(stdout);

    // A program started in the background of a script reads /dev/null: that is no request to end.
    const bool watchStdin = !StdinIsNull();
    std::size_t shown = 0;
    while (g_stop == 0 && sim.Running()) {
        if (g_grow != 0) {
            g_grow = 0;
            sim.GrowLog(1.0 / 3.0);
        }
        if (g_anew != 0) {
            g_anew = 0;
            sim.RecordAnew();
        }
        pollfd in{STDIN_FILENO, POLLIN, 0};
        const int ready = ::poll(&in, watchStdin ? 1 : 0, 200);
        if (ready > 0) {
            char buffer[256];
            if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0) {
                break;
            }
        }
        if (verbose) {
            const auto frames = sim.Frames();
            for (; shown < frames.size(); ++shown) {
                std::string hex;
                for (const auto b : frames[shown].bytes) {
                    char h[4];
                    std::snprintf(h, sizeof h, "%02X ", b);
                    hex += h;
                }
                std::fprintf(stderr, "frame %s\n", hex.c_str());
            }
        }
    }
    sim.Stop();
    return 0;
}
