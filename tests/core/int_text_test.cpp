#include "core/int_text.h"

#include <gtest/gtest.h>

namespace pelmora {
namespace {

TEST(ParseDecimalIntTest, AcceptsOnlyWholeDecimalIntegersIn32Bits) {
    struct Row {
        const char* text;
        std::optional<int> value;
    };
    const Row rows[] = {
        {"0", 0},
        {"10", 10},
        {"-45", -45},
        {"+7", 7},
        {"  12  ", 12},
        {"\t-3\n", -3},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"000123", 123},
        {"", std::nullopt},
        {"   ", std::nullopt},
        {"-", std::nullopt},
        {"+", std::nullopt},
        {"12a", std::nullopt},
        {"a12", std::nullopt},
        {"1 2", std::nullopt},
        {"1.5", std::nullopt},
        {"0x10", std::nullopt},
        {"--1", std::nullopt},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {"99999999999999999999999", std::nullopt},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ParseDecimalInt(row.text), row.value) << '"' << row.text << '"';
    }
}

}  // namespace
}  // namespace pelmora
