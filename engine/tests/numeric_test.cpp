#include "partwright/numeric.h"

#include "partwright/byte_size.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

namespace partwright {
namespace {

struct ParseCase {
    Text text;
    std::optional<double> expected;
};

TEST(Numeric, acceptsWhatTheLocaleAwareParserReadsWhole) {
    const ParseCase cases[] = {
        {u"12", 12.0},
        {u" 12", 12.0},
        {u"12 ", 12.0},
        {u"\t7\t", 7.0},
        {u"-3", -3.0},
        {u"+4", 4.0},
        {u"2.5", 2.5},
        {u".5", 0.5},
        {u"1E2", 100.0},
        {u"1e-2", 0.01},
        {u"007", 7.0},
        {u"0", 0.0},
        {u"", std::nullopt},
        {u"   ", std::nullopt},
        {u"7a", std::nullopt},
        {u"a7", std::nullopt},
        {u"1 2", std::nullopt},
        {u"- 3", std::nullopt},
        {u"0x10", std::nullopt},
        {u"0X1p3", std::nullopt},
        {u"inf", std::nullopt},
        {u"-Infinity", std::nullopt},
        {u"nan", std::nullopt},
        {u"1e999", std::nullopt},
        {u"1,5", std::nullopt},
        {u"\uff11", std::nullopt},
        {Text(u"1\0"
              "2",
              3),
         std::nullopt},
        {u"1.", 1.0},
        {u"e5", std::nullopt},
        {u".", std::nullopt},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.text));
        EXPECT_EQ(ParseNumber(c.text), c.expected);
        EXPECT_EQ(IsNumeric(c.text), c.expected.has_value());
    }
}

TEST(ByteSize, readsWholeBytesWithABinarySuffix) {
    const std::pair<std::string_view, std::optional<std::uint64_t>> cases[] = {
        {"1", 1},
        {"4096", 4096},
        {"64K", 65536},
        {"64k", 65536},
        {"1M", 1048576},
        {"2g", 2147483648ULL},
        {"007K", 7168},
        {"0", std::nullopt},
        {"0K", std::nullopt},
        {"", std::nullopt},
        {"K", std::nullopt},
        {"1.5M", std::nullopt},
        {" 1M", std::nullopt},
        {"1M ", std::nullopt},
        {"1 M", std::nullopt},
        {"-1", std::nullopt},
        {"1KB", std::nullopt},
        {"1T", std::nullopt},
        {"4611686018427387904", 4611686018427387904ULL},
        {"4611686018427387905", std::nullopt},
        {"4294967296G", 4611686018427387904ULL},
        {"4294967297G", std::nullopt},
        {"99999999999999999999999", std::nullopt},
        // 2^64 + 1 and 2^64 + 2^62: they wrap round to 1 and 2^62 in 64 bits.
        {"18446744073709551617", std::nullopt},
        {"23058430092136939520", std::nullopt},
        {"18014398509481985K", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(ParseByteSize(text), expected);
    }
}

TEST(Numeric, roundsHalvesToTheEvenNeighbour) {
    const std::pair<double, double> cases[] = {
        {2.5, 2.0},
        {3.5, 4.0},
        {0.5, 0.0},
        {1.5, 2.0},
        {-0.5, 0.0},
        {-1.5, -2.0},
        {-2.5, -2.0},
        {2.4999, 2.0},
        {2.5001, 3.0},
        {0.4, 0.0},
        {-3.0, -3.0},
        {1e300, 1e300},
        {4503599627370497.0, 4503599627370497.0},
    };
    for (auto [value, expected] : cases) {
        SCOPED_TRACE(value);
        EXPECT_EQ(RoundHalfEven(value), expected);
    }
}

TEST(Numeric, wholeNumbersAreRoundedThenCheckedAgainstTheirRange) {
    EXPECT_EQ(ToInt32(u"2.5"), 2);
    EXPECT_EQ(ToInt32(u"3.5"), 4);
    EXPECT_EQ(ToInt32(u" 8"), 8);
    EXPECT_EQ(ToInt32(u"2147483647"), 2147483647);
    EXPECT_EQ(ToInt32(u"2147483647.4"), 2147483647);
    EXPECT_EQ(ToInt32(u"2147483647.5"), std::nullopt);
    EXPECT_EQ(ToInt32(u"-2147483648"), -2147483647 - 1);
    EXPECT_EQ(ToInt32(u"-2147483649"), std::nullopt);
    EXPECT_EQ(ToInt32(u"1E10"), std::nullopt);
    EXPECT_EQ(ToInt32(u"x"), std::nullopt);

    EXPECT_EQ(ToInt16(u"007"), 7);
    EXPECT_EQ(ToInt16(u"32767"), 32767);
    EXPECT_EQ(ToInt16(u"32767.5"), std::nullopt);
    EXPECT_EQ(ToInt16(u"32768"), std::nullopt);
    EXPECT_EQ(ToInt16(u"-32768.5"), -32768);
    EXPECT_EQ(ToInt16(u"-32769"), std::nullopt);
    EXPECT_EQ(ToInt16(u""), std::nullopt);
}

TEST(Numeric, countsBeyondTheirRangeAreRefusedAsTooLargeNeverWrapped) {
    constexpr std::uint64_t kMost = 9223372036854775807ULL;
    const std::pair<const char*, std::optional<std::uint64_t>> cases[] = {
        {"1", 1},
        {"007", 7},
        {"9223372036854775807", kMost},
        {"9223372036854775808", std::nullopt},
        {"18446744073709551616", std::nullopt},
        {"18446744073709551617", std::nullopt},
        {"0", std::nullopt},
        {"", std::nullopt},
        {"-1", std::nullopt},
        {"1.5", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text);
        std::string why;
        EXPECT_EQ(ParseCount(text, kMost, &why), expected);
        EXPECT_EQ(why.empty(), expected.has_value()) << why;
    }
    std::string why;
    EXPECT_FALSE(ParseCount("101", 100, &why));
    EXPECT_EQ(why, "is too large: the most is 100");
}

}  // namespace
}  // namespace partwright
