#pragma once
// The decoding, summary and conversion of the trace as the window uses them, behind one
// interface so window tests can script them. They run on the window's work thread (the summary
// at start-up on the GUI thread); their observers forward to the GUI thread.
#include <string>

#include "convert/convert_observer.h"
#include "convert/convert_pipeline.h"
#include "core/progress_sink.h"
#include "decode/decompress.h"
#include "decode/trace_summary.h"

namespace pelmora {

class TraceServices {
  public:
    virtual ~TraceServices() = default;
    virtual DecompressResult Decompress(const std::string& rawLogPath, const std::string& tracePath,
                                        const DecompressOptions& options,
                                        ProgressSink* progress) = 0;
    virtual TraceSummary Scan(const std::string& tracePath, const ZoneRules& zone,
                              int speedUnit) = 0;
    virtual ConvertResult Convert(const ConvertRequest& request, ConvertObserver& observer) = 0;
};

// The core's own.
class CoreTraceServices : public TraceServices {
  public:
    DecompressResult Decompress(const std::string& rawLogPath, const std::string& tracePath,
                                const DecompressOptions& options, ProgressSink* progress) override {
        return DecompressLog(rawLogPath, tracePath, options, progress);
    }
    TraceSummary Scan(const std::string& tracePath, const ZoneRules& zone, int speedUnit) override {
        return ScanTraceLog(tracePath, zone, speedUnit);
    }
    ConvertResult Convert(const ConvertRequest& request, ConvertObserver& observer) override {
        return ConvertTraceLog(request, observer);
    }
};

}  // namespace pelmora
