#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "sim/nmea_source.h"

namespace pelmora::sim {
namespace {

// The client's own check: XOR from after '$' up to before '*', against two upper-case digits.
bool ChecksumHolds(const std::string& line) {
    const auto star = line.find('*');
    if (line.size() < 6 || line[0] != '$' || star == std::string::npos || star + 3 > line.size()) {
        return false;
    }
    unsigned x = 0;
    for (std::size_t i = 1; i < star; ++i) {
        x ^= static_cast<unsigned char>(line[i]);
    }
    const std::string digits = line.substr(star + 1, 2);
    if (digits.find_first_not_of("0123456789ABCDEF") != std::string::npos) {
        return false;
    }
    return std::stoul(digits, nullptr, 16) == x;
}

TEST(NmeaSource, SentencesEndInCrLfWithValidChecksums) {
    NmeaSource source;
    for (std::int64_t t = 1773475200; t < 1773475200 + 10; ++t) {
        const std::string burst = source.Burst(t);
        std::size_t start = 0;
        int sentences = 0;
        bool sawGga = false, sawRmc = false;
        while (start < burst.size()) {
            const auto end = burst.find("\r\n", start);
            ASSERT_NE(end, std::string::npos);
            const std::string line = burst.substr(start, end - start);
            EXPECT_TRUE(ChecksumHolds(line)) << line;
            EXPECT_LE(line.size() + 2, 82u) << line;  // the NMEA sentence limit
            sawGga |= line.rfind("$GPGGA,", 0) == 0;
            sawRmc |= line.rfind("$GPRMC,", 0) == 0;
            start = end + 2;
            ++sentences;
        }
        EXPECT_GE(sentences, 4);
        EXPECT_TRUE(sawGga && sawRmc);
    }
}

TEST(NmeaSource, FixTimeIsTheBurstsUtcTime) {
    NmeaSource source;
    // 2026-03-14 08:00:00 UTC
    const std::string burst = source.Burst(1773475200);
    EXPECT_NE(burst.find("$GPGGA,080000.000,"), std::string::npos);
    EXPECT_NE(burst.find(",140326,"), std::string::npos);
}

TEST(NmeaSource, ChecksumDigitsAreUpperCase) {
    EXPECT_EQ(NmeaChecksum("GPGSA,M,3"), "*3C");
    EXPECT_EQ(NmeaChecksum("GPRMC"), "*4B");
    EXPECT_EQ(NmeaSentence("AB"), "$AB*03\r\n");
}

TEST(NmeaSource, GarbleNeverLooksLikeNmeaOrAFrame) {
    NmeaSource source;
    const std::string burst = source.Burst(1773475200);
    const auto g = source.Garble(reinterpret_cast<const std::uint8_t*>(burst.data()), burst.size());
    ASSERT_EQ(g.size(), burst.size());
    for (const auto b : g) {
        EXPECT_NE(b, '$');
        EXPECT_NE(b, 0x0D);
        EXPECT_NE(b, 0x0A);
        EXPECT_NE(b, 0xA0);
    }
}

}  // namespace
}  // namespace pelmora::sim
