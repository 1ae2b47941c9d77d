#pragma once
// The conversion run: read the trace for a period, repair times, filter spikes, compute bearings,
// run the chosen writers (NMEA, NMEA with ID, CSV; then, after the stop-distance analysis,
// KML path, KML point and GPX). No globals and no window: the window runs it on a worker thread
// with an observer that forwards to the GUI thread, the command-line tool on its own thread.
#include <atomic>
#include <string>
#include <vector>

#include "convert/convert_observer.h"
#include "core/conversion_settings.h"
#include "core/time_value.h"

namespace pelmora {

struct ConvertRequest {
    std::string traceFolder;  // holds TraceLog.ltp or TraceLog.lte
    std::string outputPath;   // as chosen; each writer sets its own name suffix and extension
    TimeValue begin = 0;      // UTC, both ends belong to the period
    TimeValue end = 0;
    ConversionSettings settings;
    int recordDistance = 0;    // the record-option distance, metres (spike threshold)
    int recordTimePeriod = 0;  // the record-option period, seconds (spike threshold)
    std::string idText;        // written before each RMC sentence of the NMEA output with ID
    const std::atomic<bool>* stop = nullptr;  // optional: set to end the run early
};

// Refused: nothing to write (no output type chosen) or an ID that would corrupt the NMEA output.
// NoGeoid: heights above the sea need the geoid grid, and it is missing (nothing is written).
enum class ConvertStatus {
    Done,
    OpenFailed,
    Invalid,
    NoData,
    Stopped,
    Refused,
    OutOfMemory,
    NoGeoid
};

struct ConvertResult {
    ConvertStatus status = ConvertStatus::Done;
    std::vector<std::string> written;  // output files renamed into place
    std::vector<std::string> failed;   // outputs that showed "Output file is invalid!"
    std::vector<int> failedErrors;     // the system's error number of each failed output
    bool ok() const { return status == ConvertStatus::Done; }
};

// Messages go to the observer with the texts of the window ("Open trace log file failed!",
// "Trace log file is invalid!", "No log data!", "Output file is invalid!") and the warning icon.
// On Done the status text is "Converting done". No output is written unless the trace was read.
// A run that runs out of memory says how large the trace is.
ConvertResult ConvertTraceLog(const ConvertRequest& request, ConvertObserver& observer);

}  // namespace pelmora
