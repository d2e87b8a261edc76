#include "engine/utf8.h"

#include <gtest/gtest.h>

#include <random>

namespace partwright {
namespace {

struct UnitCase {
    char16_t unit;
    std::string bytes;
};

TEST(Utf8Test, toUtf8EncodesEachRangeBoundary) {
    const UnitCase cases[] = {
        {0x0000, std::string(1, '\0')},
        {0x0041, "\x41"},
        {0x007F, "\x7F"},
        {0x0080, "\xC2\x80"},
        {0x00E9, "\xC3\xA9"},
        {0x07FF, "\xDF\xBF"},
        {0x0800, "\xE0\xA0\x80"},
        {0x20AC, "\xE2\x82\xAC"},
        {0xD83D, "\xED\xA0\xBD"},
        {0xDE00, "\xED\xB8\x80"},
        {0xFEFF, "\xEF\xBB\xBF"},
        {0xFFFF, "\xEF\xBF\xBF"},
    };
    for (const auto& c : cases) {
        std::string out = "x";
        ToUTF8(c.unit, out);
        EXPECT_EQ(out, "x" + c.bytes) << "unit " << std::hex << static_cast<unsigned>(c.unit);
    }
}

TEST(Utf8Test, cuniKeepsSurrogateHalvesApart) {
    EXPECT_EQ(CUni(u"\xD83D\xDE00"), "\xED\xA0\xBD\xED\xB8\x80");
    EXPECT_EQ(CUni(u""), "");
    EXPECT_EQ(CUni(u"a\r\nb"), "a\r\nb");
    EXPECT_EQ(CUni(std::u16string(1, u'\0')), std::string(1, '\0'));
}

// The ASCII fast path must agree with encoding unit by unit, whatever the
// mix and wherever a non-ASCII unit falls relative to its four-unit steps.
TEST(Utf8Test, appendUtf8MatchesUnitByUnitEncodingOnMixedText) {
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        Text text;
        const int length = static_cast<int>(random() % 40);
        for (int i = 0; i < length; ++i) {
            const unsigned kind = random() % 8;
            text += kind < 5 ? static_cast<char16_t>(random() % 0x80)
                  : kind == 5 ? static_cast<char16_t>(0x80 + random() % 0x780)
                              : static_cast<char16_t>(0x800 + random() % 0xF800);
        }
        std::string expected = "prefix";
        for (const char16_t unit : text) {
            ToUTF8(unit, expected);
        }
        std::string actual = "prefix";
        AppendUtf8(text, actual);
        ASSERT_EQ(actual, expected) << "round " << round;
    }
}

// One non-ASCII unit at every place of a long ASCII run, for the bulk steps.
TEST(Utf8Test, appendUtf8FindsALoneNonAsciiUnitAnywhereInAnAsciiRun) {
    for (const char16_t odd : {u'\u0080', u'\u00FF', u'\u0100', u'\u20AC', u'\uFFFF'}) {
        for (std::size_t at = 0; at < 48; ++at) {
            Text text(48, u'\x7F');
            text[at] = odd;
            std::string expected;
            for (const char16_t unit : text) {
                ToUTF8(unit, expected);
            }
            std::string actual;
            AppendUtf8(text, actual);
            EXPECT_EQ(actual, expected) << "unit " << std::hex << static_cast<unsigned>(odd) << " at " << std::dec << at;
        }
    }
}

}  // namespace
}  // namespace partwright
