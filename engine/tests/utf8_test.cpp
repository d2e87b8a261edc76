#include "engine/read/cesu8.h"
#include "engine/read/utf8_source.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace partwright {
namespace {

// The bytes of one code unit on its own, by UTF-8's bit layout written out:
// the literal form of writing a unit.
std::string UnitBytesLiterally(char16_t unit) {
    const unsigned v = unit;
    if (v <= 0x7F) return std::string(1, static_cast<char>(v));
    if (v <= 0x7FF) return {static_cast<char>(0xC0 + v / 64), static_cast<char>(0x80 + v % 64)};
    return {static_cast<char>(0xE0 + v / 4096), static_cast<char>(0x80 + v / 64 % 64),
            static_cast<char>(0x80 + v % 64)};
}

struct UnitCase {
    char16_t unit;
    std::string bytes;
};

TEST(Utf8Test, eachUnitIsWrittenOnItsOwnAtEveryRangeBoundary) {
    const UnitCase cases[] = {
        {0x0000, std::string(1, '\0')}, {0x0041, "\x41"},         {0x007F, "\x7F"},         {0x0080, "\xC2\x80"},
        {0x00E9, "\xC3\xA9"},           {0x07FF, "\xDF\xBF"},     {0x0800, "\xE0\xA0\x80"}, {0x20AC, "\xE2\x82\xAC"},
        {0xD83D, "\xED\xA0\xBD"},       {0xDE00, "\xED\xB8\x80"}, {0xFEFF, "\xEF\xBB\xBF"}, {0xFFFF, "\xEF\xBF\xBF"},
    };
    for (const auto& c : cases) {
        char out[3];
        char* end = WriteCesu8Unit(c.unit, out);
        EXPECT_EQ(std::string(out + 0, end), c.bytes) << "unit " << std::hex << static_cast<unsigned>(c.unit);
        EXPECT_EQ(Cesu8Length(c.unit), c.bytes.size());
        EXPECT_EQ(UnitBytesLiterally(c.unit), c.bytes);
    }
}

TEST(Utf8Test, cesu8KeepsSurrogateHalvesApart) {
    EXPECT_EQ(ToCesu8(u"\xD83D\xDE00"), "\xED\xA0\xBD\xED\xB8\x80");
    EXPECT_EQ(ToCesu8(u""), "");
    EXPECT_EQ(ToCesu8(u"a\r\nb"), "a\r\nb");
    EXPECT_EQ(ToCesu8(std::u16string(1, u'\0')), std::string(1, '\0'));
}

// The ASCII fast path must agree with encoding unit by unit, whatever the
// mix and wherever a non-ASCII unit falls relative to its four-unit steps.
TEST(Utf8Test, appendCesu8MatchesUnitByUnitEncodingOnMixedText) {
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        Text text;
        const int length = static_cast<int>(random() % 40);
        for (int i = 0; i < length; ++i) {
            const unsigned kind = random() % 8;
            text += kind < 5    ? static_cast<char16_t>(random() % 0x80)
                    : kind == 5 ? static_cast<char16_t>(0x80 + random() % 0x780)
                                : static_cast<char16_t>(0x800 + random() % 0xF800);
        }
        std::string expected = "prefix";
        for (const char16_t unit : text) {
            expected += UnitBytesLiterally(unit);
        }
        std::string actual = "prefix";
        AppendCesu8(text, actual);
        ASSERT_EQ(actual, expected) << "round " << round;
    }
}

// One non-ASCII unit at every place of a long ASCII run, for the bulk steps.
TEST(Utf8Test, appendCesu8FindsALoneNonAsciiUnitAnywhereInAnAsciiRun) {
    for (const char16_t odd : {u'\u0080', u'\u00FF', u'\u0100', u'\u20AC', u'\uFFFF'}) {
        for (std::size_t at = 0; at < 48; ++at) {
            Text text(48, u'\x7F');
            text[at] = odd;
            std::string expected;
            for (const char16_t unit : text) {
                expected += UnitBytesLiterally(unit);
            }
            std::string actual;
            AppendCesu8(text, actual);
            EXPECT_EQ(actual, expected) << "unit " << std::hex << static_cast<unsigned>(odd) << " at " << std::dec
                                        << at;
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

// Every check path this machine runs; the scalar and SSE2 ones run on any x86-64.
std::vector<Utf8Check> Paths() {
    std::vector<Utf8Check> paths;
    for (const Utf8Check path : {Utf8Check::Scalar, Utf8Check::Sse2, Utf8Check::Avx2}) {
        if (CanCheckUtf8With(path)) paths.push_back(path);
    }
    return paths;
}

#if defined(__x86_64__) || defined(_M_X64)
TEST(Utf8Test, everyX86MachineChecksWithSse2) { EXPECT_TRUE(CanCheckUtf8With(Utf8Check::Sse2)); }
#endif

// A lead byte cut off by ASCII at every place around the ends of the 16- and
// 32-byte steps, for every lead length: the wide steps must see a sequence
// left open when the next step begins (30 x 'a', E0 A0, 32 x 'a' is not UTF-8).
TEST(Utf8Test, cutLeadAtTheTailOfAStepEndsThePrefixOnEveryPath) {
    const char* const cutLeads[] = {"\xC2", "\xDF", "\xE0\xA0", "\xE1", "\xED\x9F", "\xEF\xBF"};
    for (const Utf8Check path : Paths()) {
        for (const char* lead : cutLeads) {
            for (std::size_t at = 0; at < 100; ++at) {
                for (const char after : {'a', '\xC3'}) {
                    const std::string bytes = std::string(at, 'a') + lead + std::string(1, after) +
                                              std::string(40, 'a');
                    ASSERT_EQ(PlainUtf8Prefix(bytes, path), at)
                        << "path " << static_cast<int>(path) << ", lead " << std::hex
                        << static_cast<unsigned>(static_cast<unsigned char>(lead[0])) << std::dec << " at " << at;
                }
            }
        }
        // The well-formed neighbours of those cases are taken whole.
        for (std::size_t at = 0; at < 100; ++at) {
            const std::string bytes = std::string(at, 'a') + "\xE0\xA0\x80\xC2\x80" + std::string(40, 'a');
            ASSERT_EQ(PlainUtf8Prefix(bytes, path), bytes.size()) << "path " << static_cast<int>(path) << " at " << at;
        }
    }
}

// Long valid runs of every width with a fault or two put anywhere, for the
// wide steps of the check: the prefix ends exactly where the literal reading
// of the table says, and the validator agrees on a whole source.
TEST(Utf8Test, plainPrefixEndsAtTheFirstFaultWhereverItFalls) {
    const char* const characters[] = {"a",           "\r\n",         "0123456789abcdef", "\xC2\x80",     "\xDF\xBF",
                                      "\xC3\xA9",    "\xE0\xA0\x80", "\xE4\xB8\x80",     "\xED\x9F\xBF", "\xEE\x80\x80",
                                      "\xEF\xBF\xBF"};
    const char* const faults[] = {
        "\x80",         "\xBF",         "\xC0\x80",         "\xC1\xBF",
        "\xC3",         "\xE4\xB8",     "\xE0\x80\x80",     "\xE0\x9F\xBF",
        "\xED\xA0\x80", "\xED\xBF\xBF", "\xF0\x9F\x98\x80", "\xF4\x8F\xBF\xBF",
        "\xF5",         "\xFF",         "\xC3\xA9\xA9",     "\xE4\x41\x80",
        "\xC2",         "\xE0\xA0",     "\xF0\x90\x80"};  // the smallest cut lead of each length
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
        const std::size_t literal = LiteralPrefix(view, 3);
        ASSERT_EQ(PlainUtf8Prefix(view), literal) << "round " << round;
        for (const Utf8Check path : Paths()) {
            ASSERT_EQ(PlainUtf8Prefix(view, path), literal) << "round " << round << ", path " << static_cast<int>(path);
        }
        Utf8Validator validator;
        for (std::size_t at = 0; at < view.size(); at += 97) validator.Feed(view.substr(at, 97));
        ASSERT_EQ(validator.ValidAtEnd(), LiteralPrefix(view, 4) == view.size()) << "round " << round;
    }
}

}  // namespace
}  // namespace partwright
