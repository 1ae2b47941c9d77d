#pragma once
// Finding the logger on an open port. A logger whose download was cut short (a pulled cable, a
// killed program) stays at the download rate and is silent or unreadable at the configured one;
// it is looked for at the other rates of the baud-rate command and switched back. A logger found
// at any other rate is where its owner set it: the configured rate is what is wrong, and the
// logger is used at its own rate, never reprogrammed unasked.
//
// Thread contract: the device thread, with the reader stopped.
#include <chrono>

#include "link/datalog_device.h"
#include "link/link_error.h"

namespace pelmora {

struct RateSearchTimings {
    // Per rate: the logger answers a query within milliseconds and sends NMEA every second.
    std::chrono::milliseconds listen{1100};
    // A range still streaming ends with its marker, or with NMEA again, or after this much quiet;
    // 16 sectors take 11.4 s at 57600 bit/s.
    std::chrono::milliseconds rangeQuiet{5000};
    std::chrono::milliseconds rangeLimit{15000};
};

struct RateSearchResult {
    LinkError error;    // None: the logger answers at the configured rate now
    int foundRate = 0;  // the rate it answered at, when that was another one
    // Found at a rate that is no download rate: the port is left there, the logger unchanged.
    bool kept = false;
    // It was still sending a range another program had asked for, and was waited out.
    bool waitedOutRange = false;
};

// "The logger was still sending a range that another program asked for: waited for its end..."
extern const char* const kWaitedOutRangeText;

// 57600, 115200 or 230400: where an interrupted Read leaves a logger.
bool IsDownloadRate(int rate);

// Listens at the port's present rate for a logger: true on an NMEA sentence or an ACK/NACK of
// the log-status query sent at the start. heard is set when any byte arrived.
bool ProbeLogger(SerialPort& port, std::chrono::milliseconds listen, bool& heard);

// The rates the search tries besides the configured one: the download rates first, where a
// logger is left stranded, then the rest of the baud-rate command's table.
const std::vector<int>& SearchRates();

// Looks for the logger: at the configured rate first when probeConfigured (the window has
// listened there already), then at the others. A logger found at a download rate is asked to go
// back to the configured one, and must then answer there; one found at another rate is used there
// (kept). heardBefore: bytes already arrived at the configured rate. Leaves the port at the rate
// the logger answers at (the configured one unless kept).
RateSearchResult FindLogger(DatalogDevice& device, int configured, bool probeConfigured,
                            bool heardBefore = false, const RateSearchTimings& timings = {});

// The sentence for the user after a logger was switched back.
std::string SwitchedBackText(int foundRate, int configured);
// "The logger talks at 4800 bit/s, not the 115200 asked for"
std::string KeptRateText(int foundRate, int configured);

}  // namespace pelmora
