#include "convert/convert_pipeline.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <new>

#include "convert/convert_output_file.h"
#include "convert/convert_paths.h"
#include "convert/csv_writer.h"
#include "convert/gpx_writer.h"
#include "convert/kml_path_writer.h"
#include "convert/kml_point_writer.h"
#include "convert/nmea_writer.h"
#include "convert/stdio_file_utf8.h"
#include "convert/trace_reader.h"
#include "convert/track_analysis.h"
#include "core/app_paths.h"
#include "core/clean_text.h"
#include "core/convert_texts.h"

namespace pelmora {
namespace {

using WriteFn = std::function<bool(TextSink&)>;

constexpr int kAllConversions =
    ConvKmlPath | ConvKmlPoint | ConvNmea | ConvCsv | ConvNmeaWithId | ConvGpx;

enum class RunOutcome { Written, Failed, Stopped };

RunOutcome RunWriter(const std::string& path, bool kml, bool crlf, const WriteFn& write,
                     ConvertObserver& observer, ConvertResult& result) {
    CStdioFile_UTF8 kmlFile;
    ConvertOutputFile plainFile;
    const bool opened = kml ? kmlFile.OpenForWrite(path) : plainFile.Open(path, crlf);
    if (!opened) {
        const int error = errno;
        observer.OnMessage(convert_text::kOutputInvalid, MessageSeverity::Warning);
        result.failed.push_back(path);
        result.failedErrors.push_back(error);
        return RunOutcome::Failed;
    }
    TextSink& sink = kml ? kmlFile.sink() : plainFile.sink();
    if (!write(sink)) {
        return RunOutcome::Stopped;  // the temporary file goes with the file objects
    }
    // A write that fails (a full disk) leaves the old file in place and is reported as the
    // open failure is: the output was not produced.
    if (!(kml ? kmlFile.Commit() : plainFile.Commit())) {
        const int error = errno;
        observer.OnMessage(convert_text::kOutputInvalid, MessageSeverity::Warning);
        result.failed.push_back(path);
        result.failedErrors.push_back(error);
        return RunOutcome::Failed;
    }
    result.written.push_back(path);
    return RunOutcome::Written;
}

// "Not enough memory to convert the trace of 48000000 fixes (1056.0 MB)."
std::string OutOfMemoryText(const std::string& folder) {
    std::error_code ec;
    std::uintmax_t bytes = std::filesystem::file_size(JoinPath(folder, kTraceLogName), ec);
    std::uintmax_t record = 22;
    if (ec) {
        bytes = std::filesystem::file_size(JoinPath(folder, kTraceLogExtendedName), ec);
        record = 73;
    }
    if (ec) {
        return "Not enough memory to convert the trace.";
    }
    char text[160];
    std::snprintf(text, sizeof text,
                  "Not enough memory to convert the trace of %ju fixes (%.1f MB).", bytes / record,
                  static_cast<double>(bytes) / 1e6);
    return text;
}

ConvertResult Convert(const ConvertRequest& request, ConvertObserver& observer);

}  // namespace

ConvertResult ConvertTraceLog(const ConvertRequest& request, ConvertObserver& observer) {
    const ConversionSettings& s = request.settings;
    ConvertResult result;
    // Checked before the trace is read: a refused run never says "Converting done".
    if ((s.Conversion & kAllConversions) == 0) {
        observer.OnMessage(convert_text::kNoOutputChosen, MessageSeverity::Warning);
        result.status = ConvertStatus::Refused;
        return result;
    }
    if (const std::string problem = DeviceIdProblem(request.idText);
        (s.Conversion & ConvNmeaWithId) != 0 && !problem.empty()) {
        observer.OnMessage(problem, MessageSeverity::Warning);
        result.status = ConvertStatus::Refused;
        return result;
    }
    try {
        return Convert(request, observer);
    } catch (const std::bad_alloc&) {
        // The points are gone with the stack; what is left is enough for a message.
        observer.OnMessage(OutOfMemoryText(request.traceFolder), MessageSeverity::Error);
        result.status = ConvertStatus::OutOfMemory;
        return result;
    }
}

namespace {

ConvertResult Convert(const ConvertRequest& request, ConvertObserver& observer) {
    const ConversionSettings& s = request.settings;
    ConvertResult result;
    ConvertProgress progress(observer, static_cast<std::int64_t>(s.ConversionCount) * 100 + 100,
                             request.stop);
    progress.SetPosition(0);

    std::vector<TrackPoint> points;
    TraceReadOptions options;
    options.begin = request.begin;
    options.end = request.end;
    options.zone = s.Zone;
    options.speedUnit = s.SpeedUnit;
    options.heights = s.Heights;
    std::string problem;
    const TraceReadStatus read = ReadTraceLog(
        request.traceFolder, options, points,
        [&](std::uint64_t position, std::uint64_t length) {
            progress.SetPosition(length == 0 ? 0
                                             : static_cast<std::int64_t>(position * 100 / length));
            return !progress.StopRequested();
        },
        &problem);
    switch (read) {
        case TraceReadStatus::Ok:
            break;
        case TraceReadStatus::OpenFailed:
            observer.OnMessage(convert_text::kOpenTraceFailed, MessageSeverity::Warning);
            result.status = ConvertStatus::OpenFailed;
            return result;
        case TraceReadStatus::Invalid:
            observer.OnMessage(convert_text::kTraceInvalid, MessageSeverity::Warning);
            result.status = ConvertStatus::Invalid;
            return result;
        case TraceReadStatus::NoData:
            observer.OnMessage(convert_text::kNoLogData, MessageSeverity::Warning);
            result.status = ConvertStatus::NoData;
            return result;
        case TraceReadStatus::Stopped:
            result.status = ConvertStatus::Stopped;
            return result;
        case TraceReadStatus::NoGeoid:
            observer.OnMessage(problem, MessageSeverity::Error);
            result.status = ConvertStatus::NoGeoid;
            return result;
    }

    RemoveSpikes(points, SpikeThreshold(request.recordTimePeriod, request.recordDistance));
    ComputeBearings(points);

    struct Step {
        int bit;
        ConvertOutput output;
        bool kml;
        bool crlf;
        WriteFn write;
    };
    ConvertProgress* meter = &progress;
    const std::string gpxPath = OutputPathFor(request.outputPath, ConvertOutput::Gpx);
    const Step before[] = {
        {ConvNmea, ConvertOutput::Nmea, false, false,
         [&](TextSink& out) { return WriteNmea(points, NmeaKind::Plain, {}, out, meter); }},
        {ConvNmeaWithId, ConvertOutput::NmeaWithId, false, false,
         [&](TextSink& out) {
             return WriteNmea(points, NmeaKind::WithId, request.idText, out, meter);
         }},
        {ConvCsv, ConvertOutput::Csv, false, false,
         [&](TextSink& out) { return WriteCsv(points, s, out, meter); }},
    };
    const Step after[] = {
        {ConvKmlPath, ConvertOutput::KmlPath, true, true,
         [&](TextSink& out) { return WriteKmlPath(points, s, out, meter); }},
        {ConvKmlPoint, ConvertOutput::KmlPoint, true, true,
         [&](TextSink& out) { return WriteKmlPoints(points, s, out, meter); }},
        {ConvGpx, ConvertOutput::Gpx, false, false,
         [&](TextSink& out) { return WriteGpx(points, s, OutputStem(gpxPath), out, meter); }},
    };
    auto run = [&](const Step& step) {
        if ((s.Conversion & step.bit) == 0) {
            return true;
        }
        ++progress.outputCounter;
        return RunWriter(OutputPathFor(request.outputPath, step.output), step.kml, step.crlf,
                         step.write, observer, result) != RunOutcome::Stopped;
    };
    for (const Step& step : before) {
        if (!run(step)) {
            result.status = ConvertStatus::Stopped;
            return result;
        }
    }
    // NMEA and CSV keep every point; the markers of the KML and GPX outputs need the analysis.
    if ((s.Conversion & (ConvKmlPath | ConvKmlPoint | ConvGpx)) != 0) {
        AnalyseStops(points, {s.SpeedUnit, s.StopDistance, s.OverSpeed});
        for (const Step& step : after) {
            if (!run(step)) {
                result.status = ConvertStatus::Stopped;
                return result;
            }
        }
    }
    progress.SetPosition(static_cast<std::int64_t>(s.ConversionCount) * 100 + 100);
    observer.OnStatus(convert_text::kConvertingDone);
    return result;
}

}  // namespace
}  // namespace pelmora
