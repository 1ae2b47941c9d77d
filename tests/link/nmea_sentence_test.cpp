#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "link/nmea_sentence.h"

namespace pelmora {
namespace {

// The line as the reader holds it: text, CR, LF, NUL.
std::string WithChecksum(const std::string& body) {
    unsigned char sum = 0;
    for (std::size_t i = 1; i < body.size(); ++i) {
        sum = static_cast<unsigned char>(sum ^ static_cast<unsigned char>(body[i]));
    }
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02X", sum);
    return body + "*" + hex + "\r\n";
}

struct SentenceCase {
    const char* legend;
    std::string line;
    int code;
};

class RecognizeTable : public ::testing::TestWithParam<SentenceCase> {};

TEST_P(RecognizeTable, Codes) {
    const SentenceCase& c = GetParam();
    std::vector<unsigned char> buffer(c.line.begin(), c.line.end());
    buffer.resize(buffer.size() + 4, 0);
    EXPECT_EQ(RecognizeSentence(buffer.data(), buffer.size()), c.code) << c.legend;
}

const std::string kRmc =
    WithChecksum("$GPRMC,081836,A,3751.65,S,14507.36,E,000.0,360.0,130998,011.3,E");

INSTANTIATE_TEST_SUITE_P(
    Sentences, RecognizeTable,
    ::testing::Values(
        SentenceCase{"GGA", WithChecksum("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M"),
                     1},
        SentenceCase{"VTG", WithChecksum("$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K"), 2},
        SentenceCase{"GLL", WithChecksum("$GPGLL,4916.45,N,12311.12,W,225444,A"), 3},
        SentenceCase{"GSA", WithChecksum("$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1"), 4},
        SentenceCase{"GSV", WithChecksum("$GPGSV,2,1,08,01,40,083,46,02,17,308,41"), 5},
        SentenceCase{"RMC", kRmc, 6},
        SentenceCase{"ZDA", WithChecksum("$GPZDA,201530.00,04,07,2002,00,00"), 7},
        SentenceCase{"wrong checksum gives 8", "$GPGGA,123519,4807.038,N*00\r\n", 8},
        SentenceCase{"proprietary sentence gives 0", WithChecksum("$PSRF100,1,9600,8,1,0"), 0},
        SentenceCase{"binary noise gives 0", "\xA0\xA1\x01\x02\x03\r\n", 0},
        SentenceCase{"a bare header stays within its bytes", "$GPGGA,", 8},
        SentenceCase{"shorter than a header", "$GP\r\n", 0}, SentenceCase{"empty", "", 0}),
    [](const auto& param) { return "Case" + std::to_string(param.index); });

TEST(RecognizeSentence, LowerCaseDigitsDoNotMatch) {
    // Grow the body until its checksum has a letter digit.
    std::string body = "$GPRMC,081836,A";
    std::string line = WithChecksum(body);
    while (line.find_first_of("ABCDEF", line.size() - 4) == std::string::npos) {
        body += "0";
        line = WithChecksum(body);
    }
    std::vector<unsigned char> upper(line.begin(), line.end());
    upper.push_back(0);
    EXPECT_EQ(RecognizeSentence(upper.data(), upper.size()), 6);
    for (std::size_t i = line.size() - 4; i < line.size() - 2; ++i) {
        if (line[i] >= 'A' && line[i] <= 'F') {
            line[i] = static_cast<char>(line[i] - 'A' + 'a');
        }
    }
    std::vector<unsigned char> lower(line.begin(), line.end());
    lower.push_back(0);
    EXPECT_EQ(RecognizeSentence(lower.data(), lower.size()), 8);
}

TEST(RecognizeSentence, ReplacesTheLastLfWithNul) {
    std::string line = WithChecksum("$GPGLL,4916.45,N,12311.12,W,225444,A");
    std::vector<unsigned char> buffer(line.begin(), line.end());
    buffer.push_back(0);
    RecognizeSentence(buffer.data(), buffer.size());
    EXPECT_EQ(buffer[line.size() - 1], 0);
    EXPECT_EQ(buffer[line.size() - 2], '\r');
}

TEST(RecognizeSentence, StaysWithinAnUnterminatedBuffer) {
    std::vector<unsigned char> buffer(32, 'A');
    EXPECT_EQ(RecognizeSentence(buffer.data(), buffer.size()), 0);
}

}  // namespace
}  // namespace pelmora
