#include "link/rate_search.h"

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

}  // namespace

const std::vector<int>& SearchRates() {
    static const std::vector<int> rates = {57600, 115200, 230400, 9600, 4800, 19200, 38400};
    return rates;
}

bool ProbeLogger(SerialPort& port, std::chrono::milliseconds listen, bool& heard) {
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
        if (!ProbeLogger(*port, timings.listen, heard)) {
            continue;
        }
        result.foundRate = rate;
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

std::string SwitchedBackText(int foundRate, int configured) {
    return "The logger was at " + std::to_string(foundRate) + " bit/s; switched back to " +
           std::to_string(configured) + " bit/s...";
}

}  // namespace pelmora
