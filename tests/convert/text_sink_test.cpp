#include "convert/convert_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>

namespace pelmora {
namespace {

TEST(TextSink, FixedMatchesPrintfIncludingTies) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> coordinate(-180, 180);
    std::vector<double> values = {0.0,   -0.0,           0.5,     1.5,     2.5,
                                  0.125, 0.375,          -0.0625, 1e-7,    12.3456,
                                  -33.5, 999999.9999995, 0.05,    0.15,    0.25,
                                  1e12,  4e15,           9e15,    -1e-300, 123456789.987654321};
    std::uniform_real_distribution<double> small(-2, 2);
    for (int i = 0; i < 20000; ++i) {
        values.push_back(coordinate(random));
        values.push_back(small(random) * 1e-3);
        values.push_back(coordinate(random) * 1e4);
        // Values a hair away from a printed tie.
        const double tie = std::round(coordinate(random) * 1e6) / 1e6 + 5e-7;
        values.push_back(tie);
        values.push_back(std::nextafter(tie, 1e9));
        values.push_back(std::nextafter(tie, -1e9));
    }
    for (const double v : values) {
        for (const int precision : {0, 1, 2, 3, 4, 6, 7, 9}) {
            char expected[64];
            std::snprintf(expected, sizeof expected, "%.*f", precision, v);
            char actual[64];
            const std::size_t n = FormatFixed(actual, sizeof actual, v, precision);
            ASSERT_EQ(std::string(actual, n), expected) << v << " " << precision;
        }
    }
}

TEST(TextSink, CrlfTranslatesOnlyLineFeeds) {
    TextSink out(nullptr, true);
    out.Put("a\nb\n");
    out.Put('\n');
    out.PutRaw("\n");
    out.Flush();
    EXPECT_EQ(out.text(), "a\r\nb\r\n\r\n\n");
}

TEST(TextSink, TimePatterns) {
    TextSink out;
    const TimeValue t = MakeTimeValue(2011, 3, 9, 23, 30, 5);
    out.PutTime(t, "%Y-%m-%dT%H:%M:%SZ|%y|%j|%%|");
    out.Flush();
    EXPECT_EQ(out.text(), "2011-03-09T23:30:05Z|11|068|%|");
}

TEST(TextSink, GrowsPastItsBlockForLargeTexts) {
    TextSink out;
    const std::string big(200000, 'x');
    for (int i = 0; i < 3; ++i) {
        out.Put(big);
        out.PutInt(-i);
    }
    out.Flush();
    EXPECT_EQ(out.text().size(), 3 * big.size() + 5);
    EXPECT_EQ(out.size(), out.text().size());
}

}  // namespace
}  // namespace pelmora
