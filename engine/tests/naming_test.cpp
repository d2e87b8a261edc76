#include "engine/name/naming.h"

#include <gtest/gtest.h>

namespace partwright {
namespace {

// Test paths are written in ASCII; this gives them the platform's string form.
NativeString N(std::string_view ascii) { return NativeString(ascii.begin(), ascii.end()); }

std::string CUniForTest(TextView text) { return std::string(text.begin(), text.end()); }

struct PathCase {
    const char* path;
    const char* folder;
    const char* fileName;
    const char* baseName;
    const char* extension;
};

void ExpectPathPieces(const PathCase& c) {
    EXPECT_EQ(GetFolder(N(c.path)), N(c.folder)) << c.path;
    const NativeString fileName = GetFileName(N(c.path));
    EXPECT_EQ(fileName, N(c.fileName)) << c.path;
    EXPECT_EQ(GetBaseName(fileName), N(c.baseName)) << c.path;
    EXPECT_EQ(GetExtension(fileName), N(c.extension)) << c.path;
}

struct NumberedCase {
    const char* source;
    std::int64_t number;
    const char* name;
};

struct PrefixCase {
    Text prefix;
    const char* source;
    std::int64_t number;
    const char* name;
};

struct FirstCharsCase {
    const char* source;
    Text piece;
    std::int32_t x;
    const char* name;
};

TEST(NamingTest, pathPiecesSplitAtTheLastSeparatorAndTheLastDot) {
    const PathCase cases[] = {
        {"/data/report.txt", "/data/", "report.txt", "report", "txt"},
        {"/my.dir/notes.txt", "/my.dir/", "notes.txt", "notes", "txt"},
        {"/data/report.final.csv", "/data/", "report.final.csv", "report.final", "csv"},
        {"/my.dir/README", "/my.dir/", "README", "README", ""},
        {"/x.txt", "/", "x.txt", "x", "txt"},
        {"notes.txt", "", "notes.txt", "notes", "txt"},
        {"/data/trailing.", "/data/", "trailing.", "trailing", ""},
#ifdef _WIN32
        {"C:\\data\\report.txt", "C:\\data\\", "report.txt", "report", "txt"},
        {"C:\\x.txt", "C:\\", "x.txt", "x", "txt"},
        {"C:\\a/b\\c.d", "C:\\a/b\\", "c.d", "c", "d"},
#else
        // A backslash is an ordinary character of a POSIX file name.
        {"/data/a\\b.txt", "/data/", "a\\b.txt", "a\\b", "txt"},
#endif
    };
    for (const auto& c : cases) {
        ExpectPathPieces(c);
    }
}

TEST(NamingTest, numberedNameKeepsSourceExtensionAndFolder) {
    const NumberedCase cases[] = {
        {"/data/report.txt", 1, "/data/report-0001.txt"},
        {"/data/report.txt", 12, "/data/report-0012.txt"},
        {"/data/report.txt", 12345, "/data/report-12345.txt"},
        {"/data/report.final.csv", 3, "/data/report.final-0003.csv"},
        {"/my.dir/notes.txt", 1, "/my.dir/notes-0001.txt"},
        {"/x.txt", 1, "/x-0001.txt"},
        {"/data/README", 1, "/data/README-0001"},
        {"/my.dir/README", 2, "/my.dir/README-0002"},
        {"report.txt", 1, "report-0001.txt"},
#ifdef _WIN32
        {"C:\\data\\report.txt", 1, "C:\\data\\report-0001.txt"},
        {"C:\\data\\report.txt", 12, "C:\\data\\report-0012.txt"},
        {"C:\\data\\report.txt", 12345, "C:\\data\\report-12345.txt"},
        {"C:\\data\\report.final.csv", 3, "C:\\data\\report.final-0003.csv"},
        {"C:\\my.dir\\notes.txt", 1, "C:\\my.dir\\notes-0001.txt"},
        {"C:\\x.txt", 1, "C:\\x-0001.txt"},
        {"C:/data/report.txt", 1, "C:/data/report-0001.txt"},
        {"C:\\my.dir\\README", 1, "C:\\my.dir\\README-0001"},
#endif
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NumberedName(N(c.source), c.number), N(c.name)) << c.source << " " << c.number;
    }
}

TEST(NamingTest, prefixCounterNameUsesPlainDecimalAndSourceExtension) {
    const PrefixCase cases[] = {
        {u"bob", "/data/log.csv", 1, "/data/bob1.csv"},
        {u"bob", "/data/log.csv", 10, "/data/bob10.csv"},
        {u"bob", "/data/log.csv", -2, "/data/bob-2.csv"},
        {u"", "/data/log.csv", 1, "/data/1.csv"},
        {u"bob", "/data/log", 1, "/data/bob1"},
        {u"bob", "/my.dir/log", 7, "/my.dir/bob7"},
        {u"part ", "/data/a.b.txt", 32767, "/data/part 32767.txt"},
#ifdef _WIN32
        {u"bob", "C:\\data\\log.csv", 1, "C:\\data\\bob1.csv"},
        {u"bob", "C:\\data\\log.csv", -2, "C:\\data\\bob-2.csv"},
        {u"", "C:\\data\\log.csv", 1, "C:\\data\\1.csv"},
#endif
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PrefixCounterName(c.prefix, N(c.source), c.number), N(c.name)) << c.source << " " << c.number;
    }
}

TEST(NamingTest, nameFromFirstCharsKeepsOnlyAsciiLettersAndDigits) {
    // With none, the piece's numbered name with ".txt" (piece 1 here).
    const FirstCharsCase cases[] = {
        {"/data/a.log", u"Hello, world!\r\nmore", 8, "/data/Hellow.txt"},
        {"/data/a.log", u"Hello", 0, "/data/a-0001.txt"},
        {"/data/a.log", u"Hello", -3, "/data/a-0001.txt"},
        {"/data/a.log", u"!? \r\n", 5, "/data/a-0001.txt"},
        {"/data/a.log", u"ab", 8, "/data/ab.txt"},
        {"/data/a.log", u"\uFEFFHi", 3, "/data/Hi.txt"},
        {"/data/a.log", u"caf\u00E9 9\u4E2D", 10, "/data/caf9.txt"},
        {"/x.log", u"Top", 8, "/Top.txt"},
#ifdef _WIN32
        {"C:\\data\\a.log", u"Hello, world!", 8, "C:\\data\\Hellow.txt"},
        {"C:\\x.log", u"Top", 8, "C:\\Top.txt"},
#endif
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FirstCharsName(N(c.source), c.piece, c.x, 1), N(c.name)) << c.source << " x=" << c.x;
    }
}

TEST(NamingTest, padZerosFillsToWidthButNeverCuts) {
    const struct {
        std::int64_t number;
        int width;
        const char* text;
    } cases[] = {
        {1, 4, "0001"}, {123, 4, "0123"}, {10000, 4, "10000"},
        {0, 4, "0000"}, {7, 0, "7"},      {2147483648LL, 4, "2147483648"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PadZeros(c.number, c.width), c.text) << c.number;
    }
}

// The characters of `text`, in order, that occur in `set`: the literal form
// of keeping a name's characters.
Text KeepChars(TextView text, TextView set) {
    Text kept;
    for (const char16_t c : text) {
        if (set.find(c) != TextView::npos) kept += c;
    }
    return kept;
}

// Every code unit, alone and among others: exactly the ASCII letters and digits stay, in order.
TEST(NamingTest, alphaNumOnlyKeepsExactlyTheAsciiLettersAndDigits) {
    const Text kNameChars = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    Text all;
    for (char32_t unit = 0; unit <= 0xFFFF; ++unit) {
        const Text one(1, static_cast<char16_t>(unit));
        ASSERT_EQ(AlphaNumOnly(one), KeepChars(one, kNameChars)) << std::hex << static_cast<unsigned>(unit);
        all += static_cast<char16_t>((unit * 7919) & 0xFFFF);  // every unit once, in a scattered order
    }
    EXPECT_EQ(AlphaNumOnly(all), KeepChars(all, kNameChars));
    EXPECT_EQ(AlphaNumOnly(u"Zz09 \u00C5\u0660-_"), u"Zz09");
}

TEST(NamingTest, toNativeGivesRealCharactersForAPath) {
#ifdef _WIN32
    EXPECT_EQ(ToNative(u"\u00E9\xD83D\xDE00"), NativeString(L"\u00E9\xD83D\xDE00"));
#else
    EXPECT_EQ(ToNative(u"a\u00E9\u20AC"), "a\xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(ToNative(u"\xD83D\xDE00"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(ToNative(u"\xD83Dx"), "\xEF\xBF\xBDx");
    EXPECT_EQ(ToNative(u"\xDE00\xD83D"), "\xEF\xBF\xBD\xEF\xBF\xBD");
    // Two high halves in a row are two lone halves, not one code point; the
    // second may still pair with a low half after it.
    EXPECT_EQ(ToNative(u"\xD83D\xD83D"), "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(ToNative(u"\xD83D\xD83D\xDE00"), "\xEF\xBF\xBD\xF0\x9F\x98\x80");
    EXPECT_EQ(PrefixCounterName(u"p\xD83D\xD83D", "/d/a.txt", 1),
              "/d/p\xEF\xBF\xBD\xEF\xBF\xBD"
              "1.txt");
#endif
}

TEST(NamingTest, copyNamesAndDeviceNames) {
    const struct {
        const char* target;
        int copy;
        const char* name;
    } copies[] = {
        {"/d/hellow.txt", 2, "/d/hellow (2).txt"},
        {"/d/a.b.csv", 13, "/d/a.b (13).csv"},
        {"/d.x/noext", 2, "/d.x/noext (2)"},
        {"rel-0001", 3, "rel-0001 (3)"},
    };
    for (const auto& c : copies) EXPECT_EQ(CopyName(N(c.target), c.copy), N(c.name)) << c.target;

    for (const Text name : {u"CON", u"con.txt", u"Nul", u"aux.a.b", u"COM1", u"lpt9.log", u"prn  .x", u"conin$"}) {
        EXPECT_TRUE(IsDeviceName(name)) << CUniForTest(name);
    }
    for (const Text name : {u"", u"CONX", u"COM10", u"COM", u"xcon", u"LPT", u"n ul", u"COM\u00B9x"}) {
        EXPECT_FALSE(IsDeviceName(name)) << CUniForTest(name);
    }
}

}  // namespace
}  // namespace partwright
