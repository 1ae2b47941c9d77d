#include "link/rate_search.h"

#include <algorithm>
#include <iterator>
#include <vector>

#include "link/datalog_payloads.h"
#include "link/nmea_sentence.h"

namespace pelmora {
namespace {

using Clock = std::chrono::steady_clock;

// The switch back is as temporary as the download's switch away.
constexpr std::uint8_t kRateAttribute = 2;

std::string RangeText() {
    return "any rate from 4800 to 230400 bit/s";
}

// ProbeLogger, counting the bytes that came.
bool Probe(SerialPort& port, std::chrono::milliseconds listen, bool& heard, std::size_t& bytes);

// A line this full at a download rate carries a range's stream, not a logger's NMEA (a burst a
// second) nor garbage from another rate.
bool Streaming(std::size_t bytes, int rate, std::chrono::milliseconds listen) {
    const double capacity = rate / 10.0 * std::chrono::duration<double>(listen).count();
    return static_cast<double>(bytes) >= 0.3 * capacity;
}

// Reads the rest of a range that another program asked for: until its end marker and trailer
// have passed, NMEA comes again, or the line has been quiet for `quiet`; at most `limit`. True
// when the range ended in that time.
bool WaitOutRange(SerialPort& port, const RateSearchTimings& timings) {
    static constexpr unsigned char kEnd[] = {'E', 'N', 'D', 0,   'C', 'H', 'E',
                                             'C', 'K', 'S', 'U', 'M', '='};
    static constexpr unsigned char kNmea[] = {'\r', '\n', '$', 'G'};
    std::vector<unsigned char> seen;  // the last bytes, for a marker split across reads
    unsigned char chunk[4096];
    const auto deadline = Clock::now() + timings.rangeLimit;
    std::size_t trailerLeft = 0;
    bool ended = false;
    while (Clock::now() < deadline && port.IsConnected() && !port.HungUp() &&
           !port.CancelRequested()) {
        const int n = port.ReadAvailable(chunk, sizeof chunk, timings.rangeQuiet);
        if (n <= 0) {
            return true;  // quiet: whatever was streaming has stopped
        }
        if (ended) {
            if (static_cast<std::size_t>(n) >= trailerLeft) {
                return true;
            }
            trailerLeft -= static_cast<std::size_t>(n);
            continue;
        }
        seen.insert(seen.end(), chunk, chunk + n);
        const auto end = std::search(seen.begin(), seen.end(), std::begin(kEnd), std::end(kEnd));
        if (end != seen.end()) {
            // The checksum byte and the two echo bytes follow "CHECKSUM=".
            const std::size_t after = static_cast<std::size_t>(seen.end() - end) - std::size(kEnd);
            if (after >= 3) {
                return true;
            }
            ended = true;
            trailerLeft = 3 - after;
            continue;
        }
        if (std::search(seen.begin(), seen.end(), std::begin(kNmea), std::end(kNmea)) !=
            seen.end()) {
            return true;
        }
        if (seen.size() > std::size(kEnd)) {
            seen.erase(seen.begin(), seen.end() - static_cast<std::ptrdiff_t>(std::size(kEnd)));
        }
    }
    return false;
}

}  // namespace

const char* const kWaitedOutRangeText =
    "The logger was still sending a range that another program asked for: waited for its end...";

bool IsDownloadRate(int rate) {
    return rate == 57600 || rate == 115200 || rate == 230400;
}

const std::vector<int>& SearchRates() {
    static const std::vector<int> rates = {57600, 115200, 230400, 9600, 4800, 19200, 38400};
    return rates;
}

bool ProbeLogger(SerialPort& port, std::chrono::milliseconds listen, bool& heard) {
    std::size_t bytes = 0;
    return Probe(port, listen, heard, bytes);
}

namespace {

bool Probe(SerialPort& port, std::chrono::milliseconds listen, bool& heard, std::size_t& bytes) {
    unsigned char frame[kMaxPayload + kFrameOverhead];
    const Payload query = LogStatusPayload();
    const int length =
        ReceiverProtocol::BuildFrame(frame, query.data(), static_cast<int>(query.size()));
    // A logger answers the query at once; one that does not still sends NMEA every second.
    port.SendOnly(frame, length);
    unsigned char line[ReceiverProtocol::kReplyCapacity + 1];
    const auto deadline = Clock::now() + listen;
    while (port.IsConnected() && !port.HungUp() && !port.CancelRequested()) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            break;
        }
        const int n = port.ReadReply(line, ReceiverProtocol::kReplyCapacity, left);
        if (n <= 0) {
            continue;
        }
        heard = true;
        bytes += static_cast<std::size_t>(n);
        if (n >= 2 && line[0] == kFrameStart0 && line[1] == kFrameStart1) {
            if (SerialPort::ClassifyReply(line, n, n - 1) != ReplyKind::Other) {
                return true;
            }
            continue;
        }
        line[n] = 0;
        const int code = RecognizeSentence(line, static_cast<std::size_t>(n));
        if (code != kSentenceUnknown && code != kSentenceBadChecksum) {
            return true;
        }
    }
    return false;
}

}  // namespace

RateSearchResult FindLogger(DatalogDevice& device, int configured, bool probeConfigured,
                            bool heardBefore, const RateSearchTimings& timings) {
    RateSearchResult result;
    SerialPort* port = device.Port();
    if (port == nullptr || !port->IsConnected()) {
        result.error = {LinkFault::Other, EBADF, "the port is not open"};
        return result;
    }
    const std::string path = port->PortPath();
    bool heard = heardBefore;
    if (probeConfigured && ProbeLogger(*port, timings.listen, heard)) {
        return result;
    }
    for (const int rate : SearchRates()) {
        if (rate == configured || !port->ChangeRate(rate)) {
            continue;
        }
        std::size_t bytes = 0;
        if (!Probe(*port, timings.listen, heard, bytes)) {
            // A logger whose Read was killed mid-range answers nothing until the range is out.
            if (!IsDownloadRate(rate) || !Streaming(bytes, rate, timings.listen) ||
                !WaitOutRange(*port, timings)) {
                continue;
            }
            result.waitedOutRange = true;
            if (!Probe(*port, timings.listen, heard, bytes)) {
                continue;
            }
        }
        result.foundRate = rate;
        if (!IsDownloadRate(rate)) {
            result.kept = true;  // nothing is sent to change a rate its owner chose
            return result;
        }
        if (!device.SetBaudRate(configured, kRateAttribute)) {
            if (!port->IsConnected()) {
                result.error = port->LastLinkError();
                return result;
            }
            port->ChangeRate(configured);
        } else {
            bool ignored = false;
            if (ProbeLogger(*port, timings.listen, ignored)) {
                return result;
            }
        }
        result.error = {LinkFault::NotSwitched, 0,
                        path + ": the logger answers at " + std::to_string(rate) +
                            " bit/s and does not go over to " + std::to_string(configured) +
                            " bit/s; choose " + std::to_string(rate) + " instead"};
        return result;
    }
    port->ChangeRate(configured);
    result.error = heard ? LinkError{LinkFault::WrongRate, 0,
                                     path + ": what arrives is unreadable at " + RangeText()}
                         : LinkError{LinkFault::Silent, 0,
                                     path + ": nothing arrives at " + RangeText() +
                                         " (is the logger switched on and on this port?)"};
    return result;
}

std::string KeptRateText(int foundRate, int configured) {
    return "The logger talks at " + std::to_string(foundRate) + " bit/s, not the " +
           std::to_string(configured) + " asked for";
}

std::string SwitchedBackText(int foundRate, int configured) {
    return "The logger was at " + std::to_string(foundRate) + " bit/s; switched back to " +
           std::to_string(configured) + " bit/s...";
}

}  // namespace pelmora
