#include "partwright/codepage.h"
#include "engine/read/byte_coding.h"
#include "engine/read/decoder_factory.h"
#include "engine/read/text_form.h"
#include "engine/tests/text_oracle.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace partwright {
namespace {

std::unique_ptr<TextDecoder> Decoder(std::string_view name) {
    std::string error;
    auto decoder = MakeDecoder(name, error);
    EXPECT_NE(decoder, nullptr) << name << ": " << error;
    return decoder;
}

Text DecodeAll(TextDecoder& decoder, std::string_view bytes) {
    Text out;
    decoder.Decode(std::span<const char>(bytes.data(), bytes.size()), true, out);
    return out;
}

struct ByteCase {
    unsigned char byte;
    char16_t unit;
};

TEST(CodepageTest, windows1252MapsEveryByteIncludingTheUndefinedOnes) {
    // Every byte from 0x80 to 0x9F, where windows-1252 differs from Latin-1,
    // with the code point the published code page gives it; the five it
    // leaves undefined keep their own value. Then a few bytes elsewhere.
    const ByteCase cases[] = {
        {0x80, 0x20AC}, {0x81, 0x0081}, {0x82, 0x201A}, {0x83, 0x0192}, {0x84, 0x201E}, {0x85, 0x2026}, {0x86, 0x2020},
        {0x87, 0x2021}, {0x88, 0x02C6}, {0x89, 0x2030}, {0x8A, 0x0160}, {0x8B, 0x2039}, {0x8C, 0x0152}, {0x8D, 0x008D},
        {0x8E, 0x017D}, {0x8F, 0x008F}, {0x90, 0x0090}, {0x91, 0x2018}, {0x92, 0x2019}, {0x93, 0x201C}, {0x94, 0x201D},
        {0x95, 0x2022}, {0x96, 0x2013}, {0x97, 0x2014}, {0x98, 0x02DC}, {0x99, 0x2122}, {0x9A, 0x0161}, {0x9B, 0x203A},
        {0x9C, 0x0153}, {0x9D, 0x009D}, {0x9E, 0x017E}, {0x9F, 0x0178}, {0x00, 0x0000}, {0x41, 0x0041}, {0x7F, 0x007F},
        {0xA0, 0x00A0}, {0xE9, 0x00E9}, {0xFF, 0x00FF},
    };
    for (const std::string_view name : {"windows-1252", "cp1252", "1252"}) {
        auto decoder = Decoder(name);
        ASSERT_NE(decoder, nullptr);
        for (const auto& c : cases) {
            const char byte = static_cast<char>(c.byte);
            EXPECT_EQ(DecodeAll(*decoder, std::string_view(&byte, 1)), Text(1, c.unit))
                << name << " byte " << std::hex << static_cast<unsigned>(c.byte);
        }
        std::string all(256, '\0');
        for (int b = 0; b < 256; ++b) {
            all[b] = static_cast<char>(b);
        }
        // In one run, the bulk path must agree with the byte-by-byte one.
        Text expected;
        for (const char byte : all) {
            expected += DecodeAll(*decoder, std::string_view(&byte, 1));
        }
        ASSERT_EQ(expected.size(), 256u) << name << " dropped a byte";
        EXPECT_EQ(DecodeAll(*decoder, all + all.substr(3)), expected + expected.substr(3)) << name;
    }
}

// The system's code page: windows-1252 under the C locale and under one that
// is not installed, UTF-8 under a UTF-8 locale (outside Windows); GetACP(),
// 65001 included, on Windows.
TEST(CodepageTest, systemCodepageFollowsTheLocaleOrGetAcp) {
    const Text asWindows1252 = u"caf\u00C3\u00A9 \u20AC";
    const Text asUtf8 = u"caf\u00E9 \u0080";
#ifdef _WIN32
    const unsigned acp = GetACP();
    // Set where the test is run under a code page of its choosing (Wine in a Hindi locale: 65001).
    if (const char* expected = std::getenv("PARTWRIGHT_EXPECT_ACP")) {
        ASSERT_EQ(std::to_string(acp), expected);
    }
    if (acp != 1252 && acp != kUtf8Codepage) GTEST_SKIP() << "the system code page is " << acp;
    EXPECT_EQ(SystemCodepage(), acp);
    EXPECT_EQ(DecodeAll(*Decoder(""), "caf\xC3\xA9 \x80"), acp == 1252 ? asWindows1252 : asUtf8);
#else
    const char* const saved = std::getenv("LC_ALL");
    const std::string kept = saved ? saved : "";
    const struct {
        const char* locale;
        unsigned codepage;
    } cases[] = {{"C.UTF-8", kUtf8Codepage}, {"C", 1252}, {"POSIX", 1252}, {"xx_NOWHERE.UTF-8", 1252}};
    for (const auto& c : cases) {
        ::setenv("LC_ALL", c.locale, 1);
        EXPECT_EQ(SystemCodepage(), c.codepage) << c.locale;
        EXPECT_EQ(DecodeAll(*Decoder(""), "caf\xC3\xA9 \x80"), c.codepage == 1252 ? asWindows1252 : asUtf8) << c.locale;
    }
    if (saved) {
        ::setenv("LC_ALL", kept.c_str(), 1);
    } else {
        ::unsetenv("LC_ALL");
    }
#endif
}

TEST(CodepageTest, namesAreCheckedAndUnknownOnesRefused) {
    for (const std::string_view name : {"windows-1250", "WINDOWS-1258", "Cp1251", "874", "cp932", "936", "949", "950",
                                        "utf-8", "UTF8", "65001", "cp65001"}) {
        std::string error;
        EXPECT_NE(MakeDecoder(name, error), nullptr) << name << ": " << error;
    }
    for (const std::string_view name :
         {"utf-16", "1259", "cp", "windows-", "12520", "932x", "-932", "latin1", "auto"}) {
        std::string error;
        EXPECT_EQ(MakeDecoder(name, error), nullptr) << name;
        EXPECT_NE(error.find(std::string(name)), std::string::npos) << "error should name " << name << ": " << error;
    }
}

struct PageCase {
    const char* codepage;
    std::string bytes;
    Text text;
};

const PageCase kPageCases[] = {
    {"1251", "\xC0\xE1\xE2 z", u"\u0410\u0431\u0432 z"},
    {"1250", "\x8A\xE8", u"\u0160\u010D"},
    {"1253", "\xC1\xE2", u"\u0391\u03B2"},
    {"874", "\xA1\xC1", u"\u0E01\u0E21"},
    {"932",
     "A\x82\xA0"
     "B\x93\xFA\x96\x7B"
     "C\xB1",
     u"A\u3042B\u65E5\u672CC\uFF71"},
    {"936", "x\xD6\xD0\xCE\xC4y", u"x\u4E2D\u6587y"},
    {"949", "\xC7\xD1\xB1\xDB!", u"\uD55C\uAE00!"},
    {"950", "\xA4\xA4\xA4\xE5.", u"\u4E2D\u6587."},
    // Characters of one to four bytes, a mark, then bytes that are not UTF-8,
    // each its own unit: overlong, encoded surrogate, past U+10FFFF, cut short.
    {"utf-8",
     "\xEF\xBB\xBF"
     "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"
     "\xC0\xAF\xED\xA0\x80\xF4\x90\x80\x80\xE2\x82",
     u"\uFEFFa\u00E9\u20AC\U0001F600\u00C0\u00AF\u00ED\u00A0\u0080\u00F4\u0090\u0080\u0080\u00E2\u0082"},
};

TEST(CodepageTest, namedCodepagesDecodeTheirCharacters) {
    for (const auto& c : kPageCases) {
        auto decoder = Decoder(c.codepage);
        ASSERT_NE(decoder, nullptr);
        EXPECT_EQ(DecodeAll(*decoder, c.bytes), c.text) << c.codepage;
    }
}

// Fed in pieces cut at every possible point, the text must come out as if fed at once.
TEST(CodepageTest, streamingKeepsCharactersCutBetweenCalls) {
    for (const auto& c : kPageCases) {
        auto decoder = Decoder(c.codepage);
        ASSERT_NE(decoder, nullptr);
        for (std::size_t cut = 0; cut <= c.bytes.size(); ++cut) {
            Text out;
            decoder->Decode(std::span<const char>(c.bytes.data(), cut), false, out);
            decoder->Decode(std::span<const char>(c.bytes.data() + cut, c.bytes.size() - cut), true, out);
            EXPECT_EQ(out, c.text) << c.codepage << " cut at " << cut;
        }
        Text out;
        for (const char byte : c.bytes) {
            decoder->Decode(std::span<const char>(&byte, 1), false, out);
        }
        decoder->Decode({}, true, out);
        EXPECT_EQ(out, c.text) << c.codepage << " byte by byte";
    }
}

#ifndef _WIN32
// Bytes iconv cannot map keep their own value as the code unit, so nothing goes missing.
TEST(CodepageTest, unmappableBytesBecomeTheirOwnValue) {
    const struct {
        const char* codepage;
        std::string bytes;
        Text text;
    } cases[] = {
        {"1253",
         "a\xAA"
         "b",
         u"a\u00AAb"},               // undefined in windows-1253
        {"932", "\x82", u"\u0082"},  // lead byte cut off by the end of input
        {"932", "\x82\xA0\x82", u"\u3042\u0082"},
        {"936", "\xD6", u"\u00D6"},
        {"1258",
         "a\x81"
         "b",
         u"a\u0081b"},  // the character held for combining survives
    };
    for (const auto& c : cases) {
        auto decoder = Decoder(c.codepage);
        ASSERT_NE(decoder, nullptr);
        EXPECT_EQ(DecodeAll(*decoder, c.bytes), c.text) << c.codepage;
    }
}
#endif

// Only code pages where one byte is always one unit, whatever surrounds it,
// offer a table; there, looking each byte up must give what decoding the
// whole text gives (the run cuts and writes such sources as raw bytes).
TEST(CodepageTest, singleByteTablesDecodeTextAsTheDecoderDoes) {
    const struct {
        const char* codepage;
        bool table;
    } cases[] = {
        {"1250", true}, {"1251", true}, {"1252", true},  {"1253", true}, {"1254", true}, {"1255", true}, {"1256", true},
        {"1257", true}, {"874", true},  {"1258", false}, {"932", false}, {"936", false}, {"949", false}, {"950", false},
    };
    std::string everyByte;
    for (int round = 0; round < 4; ++round) {
        for (int b = 0; b < 256; ++b) everyByte += static_cast<char>(round % 2 == 0 ? b : 255 - b);
    }
    for (const auto& c : cases) {
        auto decoder = Decoder(c.codepage);
        ASSERT_NE(decoder, nullptr);
        const ByteTable* table = decoder->SingleByteTable();
        ASSERT_EQ(table != nullptr, c.table) << c.codepage;
        if (!table) continue;
        Text looked;
        for (const char byte : everyByte) looked += (*table)[static_cast<unsigned char>(byte)];
        EXPECT_EQ(looked, DecodeAll(*decoder, everyByte)) << c.codepage;
        for (unsigned b = 0; b < 0x80; ++b) EXPECT_EQ((*table)[b], b) << c.codepage;
    }
}

// Each block is converted on its own: the end of input forgets a cut character.
TEST(CodepageTest, endOfInputStartsTheNextCallAfresh) {
    auto decoder = Decoder("932");
    ASSERT_NE(decoder, nullptr);
    Text first = DecodeAll(*decoder, "A\x82");
    EXPECT_EQ(first.size(), 2u);
    EXPECT_EQ(first[0], u'A');
    EXPECT_EQ(DecodeAll(*decoder, "BC"), u"BC");
}

// The reader converts a single-byte code page's bytes through their UTF-8
// forms, sixteen ASCII bytes at a time: the same as encoding their units.
TEST(CodepageTest, encodingBytesMatchesEncodingTheirUnitsInEveryCodePage) {
    std::mt19937 random(3);
    for (const char* codepage :
         {"windows-1252", "windows-1250", "windows-1251", "windows-1253", "874", "windows-1257"}) {
        const std::unique_ptr<TextDecoder> decoder = Decoder(codepage);
        ASSERT_NE(decoder->SingleByteTable(), nullptr) << codepage;
        const ByteTable& table = *decoder->SingleByteTable();
        const ByteUtf8Forms forms = Utf8FormsOf(table);
        for (int round = 0; round < 200; ++round) {
            // Long ASCII runs with a few other bytes anywhere around the 16-byte steps.
            std::string bytes(random() % 80, 'x');
            for (char& byte : bytes) {
                if (random() % 6 == 0) byte = static_cast<char>(random() % 256);
            }
            Text units;
            for (const char byte : bytes) units += table[static_cast<unsigned char>(byte)];
            std::string encoded(3 * bytes.size(), '\0');
            encoded.resize(static_cast<std::size_t>(EncodeBytesUtf8(bytes, forms, encoded.data()) - encoded.data()));
            ASSERT_EQ(encoded, Utf8Literally(units)) << codepage << ", round " << round;
        }
    }
}

}  // namespace
}  // namespace partwright
