#include "convert/nmea_writer.h"

#include <gtest/gtest.h>

#include "convert_test_util.h"

namespace pelmora {
namespace {

struct CoordinateRow {
    const char* legend;
    double value;
    bool latitude;
    const char* text;
};

TEST(NmeaWriter, CoordinateTexts) {
    const CoordinateRow rows[] = {
        {"south latitude", -33.5, true, "3330.0000"},
        {"east longitude", 151.25, false, "15115.0000"},
        {"one-digit minutes are padded after the degrees", 8.0925, false, "00805.5500"},
        {"two-digit minutes need no padding", 8.5, false, "00830.0000"},
        {"latitude 5 deg 3.1234 min", 5 + 3.1234 / 60, true, "0503.1234"},
        {"equator", 0.0, true, "0000.0000"},
        {"west longitude", -0.5, false, "00030.0000"},
        {"minutes rounding to 60 carry into the degrees", 24.9999999, true, "2500.0000"},
        {"date line", 180.0, false, "18000.0000"},
    };
    for (const CoordinateRow& row : rows) {
        EXPECT_EQ(row.latitude ? FormatNmeaLatitude(row.value) : FormatNmeaLongitude(row.value),
                  row.text)
            << row.legend;
    }
}

TEST(NmeaWriter, GgaSentence) {
    const TimeValue t = MakeTimeValue(2010, 1, 2, 0, 0, 5);
    // Field 11 is the geoid's separation N, not a fixed 16.
    EXPECT_EQ(FormatNmeaSentence(NmeaSentence::Gga, t, -33.5, 151.25, -5.0, 13.52, 7, 48.39),
              "$GPGGA,000005.00,3330.0000,S,15115.0000,E,1,10,1.0,-5.0,M,48.4,M,,*56\r\n");
}

TEST(NmeaWriter, RmcSentenceInKnotsFromKmh) {
    const TimeValue t = MakeTimeValue(2010, 1, 2, 0, 0, 5);
    EXPECT_EQ(FormatNmeaSentence(NmeaSentence::Rmc, t, -33.5, 151.25, -5.0, 13.52, 7),
              "$GPRMC,000005.00,A,3330.0000,S,15115.0000,E,007.3,007.0,020110,,,A*45\r\n");
}

struct SpeedRow {
    double kmh;
    const char* field;
};

TEST(NmeaWriter, SpeedFieldIsPaddedKnots) {
    const SpeedRow rows[] = {
        {0, "000.0"}, {13.52, "007.3"}, {100, "054.0"}, {200, "108.0"}, {1023, "552.4"}};
    for (const SpeedRow& row : rows) {
        const std::string s = FormatNmeaSentence(NmeaSentence::Rmc, 0, 1, 1, 0, row.kmh, 0);
        EXPECT_NE(s.find(std::string(",E,") + row.field + ",000.0,"), std::string::npos)
            << row.kmh << " " << s;
    }
}

TEST(NmeaWriter, ChecksumCoversEverythingAfterTheDollar) {
    const std::string s = FormatNmeaSentence(
        NmeaSentence::Gga, MakeTimeValue(2020, 6, 30, 23, 59, 58), 47.123456, -122.5, 12.34, 0, 0);
    ASSERT_GE(s.size(), 6u);
    EXPECT_EQ(s.substr(s.size() - 2), "\r\n");
    EXPECT_EQ(s.find('\r'), s.size() - 2);
    const std::size_t star = s.find('*');
    unsigned sum = 0;
    for (std::size_t i = 1; i < star; ++i)
        sum ^= static_cast<unsigned char>(s[i]);
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02X", sum);
    EXPECT_EQ(s.substr(star + 1, 2), hex);
    EXPECT_EQ(s.substr(0, star),
              "$GPGGA,235958.00,4707.4074,N,12230.0000,W,1,10,1.0,12.3,M,0.0,M,,");
}

TEST(NmeaWriter, PlainWritesGgaThenRmcAndWithIdPrefixesEachRmc) {
    std::vector<TrackPoint> points = {test::Point(MakeTimeValue(2010, 1, 2, 0, 0, 4), 1, 2),
                                      test::Point(MakeTimeValue(2010, 1, 2, 0, 0, 6), 1, 2)};
    points[0].bearing = 270;
    TextSink plain;
    ASSERT_TRUE(WriteNmea(points, NmeaKind::Plain, "ignored", plain, nullptr));
    plain.Flush();
    const std::string& text = plain.text();
    EXPECT_EQ(text.find("ignored"), std::string::npos);
    EXPECT_EQ(text.rfind("$GPGGA,000004.00", 0), 0u);
    const std::size_t rmc = text.find("$GPRMC,000004.00");
    EXPECT_EQ(text[rmc - 1], '\n');
    EXPECT_NE(text.find(",270.0,020110,"), std::string::npos);
    EXPECT_NE(text.find("$GPGGA,000006.00"), std::string::npos);

    TextSink withId;
    ASSERT_TRUE(WriteNmea(points, NmeaKind::WithId, "CAR-7", withId, nullptr));
    withId.Flush();
    EXPECT_EQ(withId.text().rfind("CAR-7$GPRMC,000004.00,A,", 0), 0u);
    EXPECT_NE(withId.text().find("\r\nCAR-7$GPRMC,000006.00,A,"), std::string::npos);
    EXPECT_EQ(withId.text().find("GPGGA"), std::string::npos);
}

}  // namespace
}  // namespace pelmora
