#include "engine/utf8.h"
#include "engine/utf8_source.h"

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

// Whether `seq` is one well-formed UTF-8 sequence, by the ranges of
// Unicode's table of well-formed byte sequences.
bool WellFormed(std::string_view seq) {
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(seq[i]); };
    const auto in = [](unsigned v, unsigned low, unsigned high) { return v >= low && v <= high; };
    switch (seq.size()) {
    case 1: return b(0) <= 0x7F;
    case 2: return in(b(0), 0xC2, 0xDF) && in(b(1), 0x80, 0xBF);
    case 3:
        if (!in(b(2), 0x80, 0xBF)) return false;
        if (b(0) == 0xE0) return in(b(1), 0xA0, 0xBF);
        if (b(0) == 0xED) return in(b(1), 0x80, 0x9F);
        return in(b(0), 0xE1, 0xEF) && in(b(1), 0x80, 0xBF);
    case 4:
        if (!in(b(2), 0x80, 0xBF) || !in(b(3), 0x80, 0xBF)) return false;
        if (b(0) == 0xF0) return in(b(1), 0x90, 0xBF);
        if (b(0) == 0xF4) return in(b(1), 0x80, 0x8F);
        return in(b(0), 0xF1, 0xF3) && in(b(1), 0x80, 0xBF);
    default: return false;
    }
}

// The length of the longest prefix of `bytes` made of well-formed sequences
// of at most `longest` bytes.
std::size_t LiteralPrefix(std::string_view bytes, std::size_t longest) {
    std::size_t at = 0;
    for (;;) {
        std::size_t length = 0;
        for (std::size_t n = 1; n <= longest && at + n <= bytes.size(); ++n) {
            if (WellFormed(bytes.substr(at, n))) length = n;
        }
        if (length == 0) return at;
        at += length;
    }
}

// Long valid runs of every width with a fault or two put anywhere, for the
// wide steps of the check: the prefix ends exactly where the literal reading
// of the table says, and the validator agrees on a whole source.
TEST(Utf8Test, plainPrefixEndsAtTheFirstFaultWhereverItFalls) {
    const char* const characters[] = {"a", "\r\n", "0123456789abcdef", "\xC2\x80", "\xDF\xBF", "\xC3\xA9", "\xE0\xA0\x80",
                                      "\xE4\xB8\x80", "\xED\x9F\xBF", "\xEE\x80\x80", "\xEF\xBF\xBF"};
    const char* const faults[] = {"\x80", "\xBF", "\xC0\x80", "\xC1\xBF", "\xC3", "\xE4\xB8", "\xE0\x80\x80",
                                  "\xE0\x9F\xBF", "\xED\xA0\x80", "\xED\xBF\xBF", "\xF0\x9F\x98\x80",
                                  "\xF4\x8F\xBF\xBF", "\xF5", "\xFF", "\xC3\xA9\xA9", "\xE4\x41\x80"};
    std::mt19937 random(12);
    for (int round = 0; round < 20000; ++round) {
        std::string bytes;
        const std::size_t length = random() % 600;
        // Every other round mostly ASCII, for long runs of it.
        const bool mostlyAscii = round % 2 == 0;
        while (bytes.size() < length) {
            const bool ascii = mostlyAscii && random() % 32 != 0;
            bytes += characters[random() % (ascii ? 3 : std::size(characters))];
        }
        for (std::size_t n = random() % 3; n > 0; --n) {
            bytes.insert(random() % (bytes.size() + 1), faults[random() % std::size(faults)]);
        }
        const std::size_t from = random() % 4 == 0 ? random() % (bytes.size() + 1) : 0;
        const std::string_view view = std::string_view(bytes).substr(from);
        ASSERT_EQ(PlainUtf8Prefix(view), LiteralPrefix(view, 3)) << "round " << round;
        Utf8Validator validator;
        for (std::size_t at = 0; at < view.size(); at += 97) validator.Feed(view.substr(at, 97));
        ASSERT_EQ(validator.ValidAtEnd(), LiteralPrefix(view, 4) == view.size()) << "round " << round;
    }
}

}  // namespace
}  // namespace partwright
