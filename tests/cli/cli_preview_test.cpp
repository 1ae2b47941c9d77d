// pelmora-cli preview: a PNG of the asked size, and a shorter period draws another picture.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "tests/support/cli_sandbox.h"

namespace pelmora::testing {
namespace {

// Width and height from a PNG's header chunk, or zero when it is no PNG.
std::pair<std::uint32_t, std::uint32_t> PngSize(const std::string& png) {
    if (png.size() < 24 || png.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0)
        return {0, 0};
    auto word = [&](std::size_t at) {
        return std::uint32_t(std::uint8_t(png[at])) << 24 |
               std::uint32_t(std::uint8_t(png[at + 1])) << 16 |
               std::uint32_t(std::uint8_t(png[at + 2])) << 8 | std::uint8_t(png[at + 3]);
    };
    return {word(16), word(20)};
}

TEST(CliPreview, DrawsTheAskedSizeAndThePeriod) {
    CliSandbox box;
    const std::string dir = "--data-dir '" + box.Home() + "/data'";
    ASSERT_EQ(box.Run("decode " + dir + " '" PELMORA_SOURCE_DIR "/data/sample-data.log'").status,
              0);

    const std::string whole = box.Home() + "/whole.png";
    const CliRun a =
        box.Run("preview " + dir + " --width 640 --height 400 --output '" + whole + "'");
    ASSERT_EQ(a.status, 0) << a.err;
    EXPECT_EQ(PngSize(Slurp(whole)), std::make_pair(640u, 400u));

    // A name with a byte that is not UTF-8 is written as given, byte for byte.
    const std::string part = box.Home() + "/part\xff.png";
    const CliRun b = box.Run("preview " + dir + " --width 640 --height 400 --output '" + part +
                             "' --begin '2024-05-18 08:00:00' --end '2024-05-18 08:30:00'");
    ASSERT_EQ(b.status, 0) << b.err;
    EXPECT_EQ(PngSize(Slurp(part)), std::make_pair(640u, 400u));
    EXPECT_NE(Slurp(part), Slurp(whole));

    const CliRun none =
        box.Run("preview " + dir + " --output '" + part + "' --begin '2030-01-01 00:00:00'");
    EXPECT_EQ(none.status, 1);

    // Never over the data folder's own files or what is not a regular file; a name without
    // .png gets it.
    const std::string data = box.Home() + "/data";
    std::system(("mkdir -p '" + data + "/downloads' && printf archived > '" + data +
                 "/downloads/2026-12-08T101500Z.log' && mkfifo '" + box.Home() + "/fifo.png'")
                    .c_str());
    const struct {
        std::string output;
        int status;
        std::string err;  // the start of standard error
    } rows[] = {
        {data + "/TraceLog.ltp", 1, "pelmora-cli: " + data + "/TraceLog.ltp: refused: it is"},
        {data + "/downloads/2026-12-08T101500Z.log", 1,
         "pelmora-cli: " + data + "/downloads/2026-12-08T101500Z.log: refused: it is"},
        {box.Home() + "/fifo.png", 1,
         "pelmora-cli: " + box.Home() + "/fifo.png: a FIFO, not a regular file"},
        {"", 2, "pelmora-cli: preview: --output needs a file name"},
        {box.Home() + "/named", 0, ""},
    };
    const std::string trace = Slurp(data + "/TraceLog.ltp");
    for (const auto& row : rows) {
        const CliRun r = box.Run("preview " + dir + " --output '" + row.output + "'");
        EXPECT_EQ(r.status, row.status) << row.output << "\n" << r.err;
        EXPECT_EQ(r.err.rfind(row.err, 0), 0u) << row.output << "\n" << r.err;
    }
    EXPECT_EQ(Slurp(data + "/TraceLog.ltp"), trace);
    EXPECT_EQ(Slurp(data + "/downloads/2026-12-08T101500Z.log"), "archived");
    EXPECT_EQ(PngSize(Slurp(box.Home() + "/named.png")), std::make_pair(1024u, 768u));
}

}  // namespace
}  // namespace pelmora::testing
