#pragma once
// The decoding, summary and conversion of the trace, as the window uses them. They run on the
// window's worker thread; their observer forwards to the GUI thread.
#include <string>

#include "mainwindow/window_services.h"
#include "settings/conversion_settings.h"
#include "trace/time_value.h"

namespace pelmora {

class WorkObserver {
  public:
    virtual ~WorkObserver() = default;
    virtual void Progress(int percent) = 0;
    virtual void Message(const std::string& text, BoxIcon icon) = 0;
    virtual void Status(const std::string& text) = 0;
};

enum class DecodeOutcome {
    Done,
    BadRecord,  // "To double check data, please download log data again." was shown
    NoInput,    // no raw log: nothing written, nothing shown
};

struct TraceSummary {
    bool loaded = false;  // two or more fixes: the period is set
    bool noData = false;  // the file held no fix at all (the activity state returns to 1)
    TimeValue begin = 0;  // local (UTC + ZoneOffset)
    TimeValue end = 0;
    std::string message;  // the box the summary shows: the four lines, or its failure
    BoxIcon icon = BoxIcon::None;
};

class TraceServices {
  public:
    virtual ~TraceServices() = default;
    virtual DecodeOutcome Decompress(const std::string& rawLogPath, const std::string& tracePath,
                                     TimeValue now, WorkObserver& observer) = 0;
    virtual TraceSummary Scan(const std::string& tracePath, const ConversionSettings& settings) = 0;
    // from and to are UTC. True when the outputs were written.
    virtual bool Convert(const std::string& tracePath, TimeValue from, TimeValue to,
                         const std::string& outputPath, const ConversionSettings& settings,
                         WorkObserver& observer) = 0;
};

}  // namespace pelmora
