#include "engine/read/text_form.h"
#include "engine/read/utf8_source.h"
#include "engine/tests/text_oracle.h"
#include "engine/write/piece_encoding.h"
#include "partwright/code_points.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace partwright {
namespace {

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
        char out[4];
        char* end = WriteUtf8(c.unit, out);
        EXPECT_EQ(std::string(out + 0, end), c.bytes) << "unit " << std::hex << static_cast<unsigned>(c.unit);
        EXPECT_EQ(UnitBytesLiterally(c.unit), c.bytes);
        EXPECT_EQ(ToUtf8(TextView(&c.unit, 1)), c.bytes);
    }
}

TEST(Utf8Test, aPairIsOneCharacterUnlessWrittenAsTheFirstRelease) {
    EXPECT_EQ(ToUtf8(u"\xD83D\xDE00"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(ToUtf8(u"\xDE00\xD83D"), "\xED\xB8\x80\xED\xA0\xBD");  // halves out of order stay apart
    std::string cesu;
    AppendCesu8("\xF0\x9F\x98\x80", cesu);
    EXPECT_EQ(cesu, "\xED\xA0\xBD\xED\xB8\x80");
    EXPECT_EQ(ToUtf8(u""), "");
    EXPECT_EQ(ToUtf8(std::u16string(1, u'\0')), std::string(1, '\0'));
}

// Random text of every UTF-8 length, pairs and lone halves: the fast
// encoders (UTF-16 to the text's form, the text's form to each output form)
// and the decoder agree with the literal forms, wherever a unit falls
// relative to the sixteen-unit steps.
TEST(Utf8Test, encodersAgreeWithTheLiteralFormsOnMixedText) {
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        Text text;
        const int length = static_cast<int>(random() % 70);
        for (int i = 0; i < length; ++i) {
            const unsigned kind = random() % 12;
            if (kind < 6) {
                text += static_cast<char16_t>(random() % 0x80);
            } else if (kind == 6) {
                text += static_cast<char16_t>(0x80 + random() % 0x780);
            } else if (kind == 7) {
                text += static_cast<char16_t>(0x800 + random() % 0xF800);  // lone halves too
            } else if (kind == 8) {
                text += static_cast<char16_t>(0xD800 + random() % 0x800);
            } else {
                text += static_cast<char16_t>(0xD800 + random() % 0x400);
                text += static_cast<char16_t>(0xDC00 + random() % 0x400);
            }
        }
        const std::string utf8 = Utf8Literally(text);
        std::string actual = "prefix";
        AppendUtf8(text, actual);
        ASSERT_EQ(actual, "prefix" + utf8) << "round " << round;
        Text decoded;
        ASSERT_EQ(DecodeUtf8(utf8, text.size(), decoded), utf8.size());
        ASSERT_EQ(decoded, text) << "round " << round;
        ASSERT_EQ(UnitCount(utf8), text.size());
        std::string cesu;
        AppendCesu8(utf8, cesu);
        ASSERT_EQ(cesu, ToCesu8(text)) << "round " << round;
        std::string utf16;
        AppendUtf16(utf8, false, utf16);
        ASSERT_EQ(utf16, Utf16LeLiterally(text)) << "round " << round;
        for (const OutputEncoding encoding :
             {OutputEncoding::Utf8, OutputEncoding::Utf8Bom, OutputEncoding::Utf16Le, OutputEncoding::Cesu8}) {
            const PieceEncoder encoder(encoding);
            std::string scratch;
            const std::string_view written = encoder.Encoded(utf8, scratch);
            ASSERT_EQ(encoder.WrittenSize(utf8), written.size()) << "round " << round;
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
    const char* const cutLeads[] = {"\xC2",     "\xDF",     "\xE0\xA0",     "\xE1",
                                    "\xED\x9F", "\xEF\xBF", "\xF0\x9F\x98", "\xF4\x8F"};
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
            const std::string bytes = std::string(at, 'a') + "\xE0\xA0\x80\xC2\x80\xF0\x9F\x98\x80" +
                                      std::string(40, 'a');
            ASSERT_EQ(PlainUtf8Prefix(bytes, path), bytes.size()) << "path " << static_cast<int>(path) << " at " << at;
        }
    }
}

// Long valid runs of every width with a fault or two put anywhere, for the
// wide steps of the check: the prefix ends exactly where the literal reading
// of the table says, and the validator agrees on a whole source.
TEST(Utf8Test, plainPrefixEndsAtTheFirstFaultWhereverItFalls) {
    const char* const characters[] = {"a",
                                      "\r\n",
                                      "0123456789abcdef",
                                      "\xC2\x80",
                                      "\xDF\xBF",
                                      "\xC3\xA9",
                                      "\xE0\xA0\x80",
                                      "\xE4\xB8\x80",
                                      "\xED\x9F\xBF",
                                      "\xEE\x80\x80",
                                      "\xEF\xBF\xBF",
                                      "\xF0\x9F\x98\x80",
                                      "\xF4\x8F\xBF\xBF",
                                      "\xF0\x90\x80\x80"};
    const char* const faults[] = {
        "\x80",         "\xBF",         "\xC0\x80",         "\xC1\xBF",
        "\xC3",         "\xE4\xB8",     "\xE0\x80\x80",     "\xE0\x9F\xBF",
        "\xED\xA0\x80", "\xED\xBF\xBF", "\xF0\x8F\xBF\xBF", "\xF4\x90\x80\x80",
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
        const std::size_t literal = LiteralPrefix(view, 4);
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
