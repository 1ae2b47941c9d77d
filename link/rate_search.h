#pragma once
// Finding the logger on an open port. A logger whose download was cut short (a pulled cable, a
// killed program) stays at the download rate and is silent or unreadable at the configured one;
// it is looked for at the other rates of the baud-rate command and switched back.
//
// Thread contract: the device thread, with the reader stopped.
#include <chrono>

#include "link/datalog_device.h"
#include "link/link_error.h"

namespace pelmora {

struct RateSearchTimings {
    // Per rate: the logger answers a query within milliseconds and sends NMEA every second.
    std::chrono::milliseconds listen{1100};
};

struct RateSearchResult {
    LinkError error;    // None: the logger answers at the configured rate now
    int foundRate = 0;  // the rate it answered at, when that was another one
};

// Listens at the port's present rate for a logger: true on an NMEA sentence or an ACK/NACK of
// the log-status query sent at the start. heard is set when any byte arrived.
bool ProbeLogger(SerialPort& port, std::chrono::milliseconds listen, bool& heard);

// The rates the search tries besides the configured one: the download rates first, where a
// logger is left stranded, then the rest of the baud-rate command's table.
const std::vector<int>& SearchRates();

// Looks for the logger: at the configured rate first when probeConfigured (the window has
// listened there already), then at the others. A logger found at another rate is asked to go
// back to the configured one, and must then answer there. heardBefore: bytes already arrived at
// the configured rate. Leaves the port at the configured rate.
RateSearchResult FindLogger(DatalogDevice& device, int configured, bool probeConfigured,
                            bool heardBefore = false, const RateSearchTimings& timings = {});

// The sentence for the user after a logger was switched back.
std::string SwitchedBackText(int foundRate, int configured);

}  // namespace pelmora
