// Each folder here is a case: a raw log (input.log), its options (case.ini) and the golden
// outputs beside them. The raw log is decoded and converted through the core as the window and
// pelmora-cli do; every output must equal its golden byte for byte, and every KML and GPX must
// pass the published schemas.
//
// PELMORA_REGEN_GOLDEN=1 ctest -R golden   rewrites the goldens (the commit says why).
// On a mismatch the output is kept as <golden>.actual and `diff -u` is shown.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "convert/convert_pipeline.h"
#include "core/conversion_settings.h"
#include "decode/decompress.h"
#include "decode/trace_summary.h"

namespace pelmora {
namespace {

namespace fs = std::filesystem;

const fs::path kCases = fs::path(PELMORA_SOURCE_DIR) / "tests" / "golden";
// The project's own copies, so every clone validates; PELMORA_SCHEMA_DIR points elsewhere.
const fs::path kSchemas = std::getenv("PELMORA_SCHEMA_DIR") != nullptr
                              ? fs::path(std::getenv("PELMORA_SCHEMA_DIR"))
                              : fs::path(PELMORA_SOURCE_DIR) / "tests" / "schemas";

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Spit(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string Shell(const std::string& command) {
    std::string out;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen((command + " 2>&1").c_str(), "r"), pclose);
    char buffer[4096];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe.get()) != nullptr) {
        out += buffer;
    }
    return out;
}

std::string Quoted(const fs::path& path) {
    // Appended, not "'" + string: GCC 12 at -O3 warns falsely (-Wrestrict) on that form.
    std::string quoted(1, '\'');
    quoted.append(path.string()).push_back('\'');
    return quoted;
}

// case.ini: key=value lines; \xHH in a value stands for that byte (for odd output names).
std::map<std::string, std::string> ReadCase(const fs::path& file) {
    std::map<std::string, std::string> keys;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t eq = line.find('=');
        if (line.empty() || line[0] == '#' || eq == std::string::npos) {
            continue;
        }
        std::string value;
        for (std::size_t i = eq + 1; i < line.size(); ++i) {
            if (line.compare(i, 2, "\\x") == 0 && i + 3 < line.size()) {
                value += static_cast<char>(std::stoi(line.substr(i + 2, 2), nullptr, 16));
                i += 3;
            } else {
                value += line[i];
            }
        }
        keys[line.substr(0, eq)] = value;
    }
    return keys;
}

int Int(const std::map<std::string, std::string>& keys, const std::string& key, int fallback) {
    const auto it = keys.find(key);
    return it == keys.end() ? fallback : std::stoi(it->second);
}

int Formats(const std::string& list) {
    static const std::map<std::string, int> bits = {
        {"kml-path", ConvKmlPath}, {"kml-point", ConvKmlPoint},
        {"nmea", ConvNmea},        {"nmea-id", ConvNmeaWithId},
        {"csv", ConvCsv},          {"gpx", ConvGpx}};
    int out = 0;
    std::size_t from = 0;
    while (from < list.size()) {
        const std::size_t comma = std::min(list.find(',', from), list.size());
        out |= bits.at(list.substr(from, comma - from));
        from = comma + 1;
    }
    return out;
}

struct Observer : ConvertObserver {
    void OnProgress(int) override {}
    void OnMessage(std::string_view text, MessageSeverity) override {
        messages += std::string(text) + "\n";
    }
    std::string messages;
};

// The decode report: what the decoder counted, then the summary the user sees.
std::string DecodeReport(const DecompressResult& r, const TraceSummary& summary) {
    std::string out = "fixes " + std::to_string(r.fixes) + ", full " +
                      std::to_string(r.fullRecords) + ", compact " +
                      std::to_string(r.compactRecords) + ", dropped tail bytes " +
                      std::to_string(r.droppedTailBytes) + "\n";
    if (r.status == DecompressStatus::BadRecord) {
        out += "bad record at byte " + std::to_string(r.badRecordOffset) + "\n";
    }
    return out + r.message + "\n" + summary.message + "\n";
}

class Golden : public ::testing::TestWithParam<std::string> {
  protected:
    void SetUp() override {
        caseDir_ = kCases / GetParam();
        char pattern[] = "/tmp/pelmora-golden-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        work_ = pattern;
        keys_ = ReadCase(caseDir_ / "case.ini");
        Produce();
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(work_, ec);
    }

    // Decodes and converts into work_, naming each output as its golden ("out" + suffix).
    void Produce() {
        ConversionSettings s;
        SetFixedZone(s, Int(keys_, "tz-bias", 0), "");
        if (keys_.count("time-zone") != 0) {
            ASSERT_TRUE(SetNamedZone(s, keys_["time-zone"]));
        }
        const std::string unit = keys_.count("speed-unit") ? keys_["speed-unit"] : "kmh";
        s.SpeedUnit = unit == "mph" ? UnitMph : unit == "mps" ? UnitMps : UnitKmh;
        s.SpeedUnitLabel = SpeedUnitText(s.SpeedUnit);
        s.StopPeriod = Int(keys_, "stop-period", 10);
        s.StopDistance = Int(keys_, "stop-distance", 0);
        s.OverSpeed = Int(keys_, "over-speed", 0);
        s.Conversion = Formats(keys_["formats"]);
        s.ConversionCount = CountConversions(s.Conversion);

        const fs::path input = caseDir_ / (keys_.count("input") ? keys_["input"] : "input.log");
        const std::string trace = (work_ / "TraceLog.ltp").string();
        DecompressOptions options;
        options.nowUtc = MakeTimeValue(2026, 1, 1, 0, 0, 0);  // goldens never age
        const DecompressResult decoded = DecompressLog(input.string(), trace, options, nullptr);
        produced_["decode.txt"] = DecodeReport(decoded, ScanTraceLog(trace, s.Zone, s.SpeedUnit));
        if (s.Conversion == 0) {
            return;
        }
        ConvertRequest request;
        request.traceFolder = work_.string();
        const std::string stem = keys_.count("name") ? keys_["name"] : "out";
        request.outputPath = (work_ / (stem + ".kml")).string();
        request.begin = INT64_MIN;
        request.end = INT64_MAX;
        TimeValue t = 0;
        if (keys_.count("begin") && ParseTimeValue(keys_["begin"], t)) {
            request.begin = s.Zone.ToUtc(t);
        }
        if (keys_.count("end") && ParseTimeValue(keys_["end"], t)) {
            request.end = s.Zone.ToUtc(t);
        }
        request.settings = s;
        request.recordTimePeriod = Int(keys_, "record-time", 0);
        request.recordDistance = Int(keys_, "record-distance", 0);
        request.idText = keys_["id"];
        Observer observer;
        const ConvertResult result = ConvertTraceLog(request, observer);
        produced_["decode.txt"] += observer.messages;
        for (const std::string& path : result.written) {
            const std::string name = fs::path(path).filename().string();
            produced_["out" + name.substr(stem.size())] = Slurp(path);
            outputs_.push_back(path);
        }
    }

    fs::path caseDir_;
    fs::path work_;
    std::map<std::string, std::string> keys_;
    std::map<std::string, std::string> produced_;  // golden name -> bytes
    std::vector<std::string> outputs_;             // as written, for the schema checks
};

TEST_P(Golden, OutputsMatch) {
    const bool regenerate = std::getenv("PELMORA_REGEN_GOLDEN") != nullptr;
    std::set<std::string> goldens;
    for (const auto& entry : fs::directory_iterator(caseDir_)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("out", 0) == 0 || name == "decode.txt") {
            if (name.size() < 7 || name.substr(name.size() - 7) != ".actual") {
                goldens.insert(name);
            }
        }
    }
    for (const auto& [name, bytes] : produced_) {
        const fs::path golden = caseDir_ / name;
        const fs::path actual = caseDir_ / (name + ".actual");
        goldens.erase(name);
        if (regenerate) {
            Spit(golden, bytes);
            fs::remove(actual);
            continue;
        }
        if (Slurp(golden) == bytes) {
            fs::remove(actual);
            continue;
        }
        Spit(actual, bytes);
        ADD_FAILURE() << name << " differs from its golden (kept as " << actual.string()
                      << "; PELMORA_REGEN_GOLDEN=1 ctest -R golden accepts it):\n"
                      << Shell("diff -u " + Quoted(golden) + " " + Quoted(actual));
    }
    for (const std::string& stale : goldens) {
        if (regenerate) {
            fs::remove(caseDir_ / stale);
        } else {
            ADD_FAILURE() << stale << " is a golden that the case no longer writes";
        }
    }
}

// Readers apply a style only when styleUrl names one of the document: "#id" for <Style id="id">.
std::string UnknownStyles(const std::string& kml) {
    std::set<std::string> ids;
    for (std::size_t at = kml.find("<Style id=\""); at != std::string::npos;
         at = kml.find("<Style id=\"", at + 1)) {
        const std::size_t from = at + 11;
        ids.insert(kml.substr(from, kml.find('"', from) - from));
    }
    std::string unknown;
    for (std::size_t at = kml.find("<styleUrl>"); at != std::string::npos;
         at = kml.find("<styleUrl>", at + 1)) {
        const std::size_t from = at + 10;
        const std::string url = kml.substr(from, kml.find('<', from) - from);
        if (url.empty() || url[0] != '#' || ids.count(url.substr(1)) == 0) {
            unknown += " " + url;
        }
    }
    return unknown;
}

TEST_P(Golden, OutputsPassTheSchemas) {
    ASSERT_TRUE(fs::exists(kSchemas / "kml" / "ogckml22.xsd")) << "no schemas at " << kSchemas;
    if (Shell("xmllint --version").empty()) {
        GTEST_SKIP() << "no xmllint (libxml2-utils): not validated";
    }
    for (const std::string& path : outputs_) {
        const std::string extension = fs::path(path).extension().string();
        if (extension != ".kml" && extension != ".gpx") {
            continue;
        }
        const fs::path schema =
            extension == ".kml" ? kSchemas / "kml" / "ogckml22.xsd" : kSchemas / "gpx_all.xsd";
        const std::string verdict =
            Shell("xmllint --noout --nonet --schema " + Quoted(schema) + " " + Quoted(path));
        EXPECT_NE(verdict.find(" validates"), std::string::npos) << verdict;
        if (extension == ".kml") {
            EXPECT_EQ(UnknownStyles(Slurp(path)), "") << path;
        }
    }
}

std::vector<std::string> Cases() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(kCases)) {
        if (fs::exists(entry.path() / "case.ini")) {
            names.push_back(entry.path().filename().string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string CaseName(const ::testing::TestParamInfo<std::string>& info) {
    std::string name = info.param;
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(golden, Golden, ::testing::ValuesIn(Cases()), CaseName);

}  // namespace
}  // namespace pelmora
