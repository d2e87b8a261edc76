// Every split mode, naming mode and source encoding, run through
// partwright-cli.exe on real files: the pieces on disk must match byte for byte.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/windows/cli_runner.h"
#include "tests/windows/win_files.h"

namespace partwright::wintest {
namespace {

struct SplitCase {
    const char* name;
    std::wstring sourceName;
    Bytes source;
    std::vector<std::wstring> options;
    std::map<std::wstring, Bytes> pieces;  // name -> bytes; nothing else may appear
    bool firstRelease = true;              // run with --first-release, else with the defaults
};

void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.name; }

// 65000 bytes with no separator in them: 30000 + 30000 + 5000 bytes of blocks.
Bytes ThreeBlocks() { return Bytes(65000, 'a'); }
// A line end that is the last two bytes of the first 30000-byte block.
Bytes LineEndClosingFirstBlock() { return Bytes(29998, 'a') + "\r\nbc"; }

// 5000 numbered lines "line00001" ... as UTF-16: 100000 bytes in one block.
std::u16string NumberedLines(int from, int to, bool finalLineEnd) {
    std::u16string text;
    for (int i = from; i <= to; ++i) {
        std::string digits = std::to_string(i);
        digits.insert(0, 5 - digits.size(), '0');
        for (const char c : "line" + digits) {
            text += static_cast<char16_t>(c);
        }
        if (i < to || finalLineEnd) {
            text += u"\r\n";
        }
    }
    return text;
}

Bytes Ascii(const std::u16string& text) {
    Bytes bytes;
    for (const char16_t unit : text) {
        bytes += static_cast<char>(unit);
    }
    return bytes;
}

const std::vector<SplitCase>& Cases() {
    static const std::vector<SplitCase> cases = {
        // Lines mode.
        {"LinesTwoLeaveLastLineWithoutLineEnd",
         L"report.txt",
         "a\r\nb\r\nc",
         {L"--lines", L"2"},
         {{L"report-0001.txt", "a\r\nb"}, {L"report-0002.txt", "c"}}},
        {"LinesDefaultToThreeAndDropEmptyLastGroup",
         L"report.txt",
         "a\r\nb\r\nc\r\n",
         {},
         {{L"report-0001.txt", "a\r\nb\r\nc"}}},
        {"LinesMoreThanTheSourceHoldsGiveOnePiece",
         L"r.txt",
         "a\r\nb\r\nc",
         {L"--lines", L"10"},
         {{L"r-0001.txt", "a\r\nb\r\nc"}}},
        {"LinesSkipEmptyLineButNotItsNumber",
         L"r.txt",
         "a\r\n\r\nb",
         {L"--lines", L"1"},
         {{L"r-0001.txt", "a"}, {L"r-0003.txt", "b"}}},
        {"LinesEndOnlyAtCarriageReturnLineFeed",
         L"r.txt",
         "a\nb\rc\n",
         {L"--lines", L"1"},
         {{L"r-0001.txt", "a\nb\rc\n"}}},
        {"LinesHalfRoundsToEven",
         L"r.txt",
         "a\r\nb\r\nc\r\nd",
         {L"--lines", L"2.5"},
         {{L"r-0001.txt", "a\r\nb"}, {L"r-0002.txt", "c\r\nd"}}},
        {"LinesAcceptLeadingBlankAndExponent",
         L"r.txt",
         "a\r\nb\r\nc",
         {L"--lines", L" 1E0"},
         {{L"r-0001.txt", "a"}, {L"r-0002.txt", "b"}, {L"r-0003.txt", "c"}}},
        {"LinesNumberRunsOnAcrossBlocks",
         L"r.txt",
         LineEndClosingFirstBlock(),
         {L"--lines", L"1", L"--blocks"},
         {{L"r-0001.txt", Bytes(29998, 'a')}, {L"r-0004.txt", "bc"}}},
        {"WholeFileCutsOverTheBlockBoundary",
         L"r.txt",
         LineEndClosingFirstBlock(),
         {L"--lines", L"1", L"--whole-file"},
         {{L"r-0001.txt", Bytes(29998, 'a')}, {L"r-0002.txt", "bc"}}},

        // Separator and blank-line modes.
        {"SeparatorBelongsToNoPiece",
         L"s.txt",
         "x;y",
         {L"--separator", L";"},
         {{L"s-0001.txt", "x"}, {L"s-0002.txt", "y\r\n"}}},
        {"EmptySeparatorGivesTheWholeBlock", L"s.txt", "x;y", {L"--separator", L""}, {{L"s-0001.txt", "x;y\r\n"}}},
        {"SeparatorAtStartGivesEmptyFirstPiece",
         L"s.txt",
         ";x",
         {L"--separator", L";"},
         {{L"s-0001.txt", ""}, {L"s-0002.txt", "x\r\n"}}},
        {"SeparatorIsCaseSensitive",
         L"s.txt",
         "aENDbendc",
         {L"--separator", L"END"},
         {{L"s-0001.txt", "a"}, {L"s-0002.txt", "bendc\r\n"}}},
        {"SeparatorMayStartWithDash",
         L"s.txt",
         "a--b",
         {L"--separator=--"},
         {{L"s-0001.txt", "a"}, {L"s-0002.txt", "b\r\n"}}},
        {"SeparatorPiecesNeverSpanBlocks",
         L"s.txt",
         ThreeBlocks(),
         {L"--separator", L";", L"--blocks"},
         {{L"s-0001.txt", Bytes(30000, 'a') + "\r\n"},
          {L"s-0002.txt", Bytes(30000, 'a') + "\r\n"},
          {L"s-0003.txt", Bytes(5000, 'a') + "\r\n"}}},
        {"WholeFileGivesOneBlock",
         L"s.txt",
         ThreeBlocks(),
         {L"--separator", L";", L"--whole-file"},
         {{L"s-0001.txt", Bytes(65000, 'a') + "\r\n"}}},
        {"BlankLinesWriteEmptyLastPiece",
         L"b.txt",
         "p1\r\n\r\np2\r\n",
         {L"--blank-lines"},
         {{L"b-0001.txt", "p1"}, {L"b-0002.txt", "p2"}, {L"b-0003.txt", ""}}},
        {"BlankLinesCutThreeLineEndsOnce",
         L"b.txt",
         "a\r\n\r\n\r\nb",
         {L"--blank-lines"},
         {{L"b-0001.txt", "a"}, {L"b-0002.txt", "\r\nb\r\n"}}},

        // Naming.
        {"FirstCharsKeepOnlyLettersAndDigits",
         L"a.log",
         "Hello, world!\r\nsecond line",
         {L"--lines", L"1", L"--first-chars", L"8"},
         {{L"Hellow.txt", "Hello, world!"}, {L"secondl.txt", "second line"}}},
        // A name of no characters at all is no name: the piece takes its numbered one.
        {"FirstCharsZeroGivesTheNumberedName", L"a.log", "abc", {L"--first-chars", L"0"}, {{L"a-0001.txt", "abc"}}},
        {"PrefixCountsFromOneByDefault",
         L"log.csv",
         "a\r\nb",
         {L"--lines", L"1", L"--prefix", L"bob"},
         {{L"bob1.csv", "a"}, {L"bob2.csv", "b"}}},
        {"PrefixCountsFromStart",
         L"log.csv",
         "a\r\nb",
         {L"--lines", L"1", L"--prefix", L"bob", L"--start", L"5"},
         {{L"bob5.csv", "a"}, {L"bob6.csv", "b"}}},
        {"PrefixCountsFromNegativeStart",
         L"log.csv",
         "a\r\nb",
         {L"--lines", L"1", L"--prefix", L"bob", L"--start", L"-2"},
         {{L"bob-2.csv", "a"}, {L"bob-1.csv", "b"}}},
        {"PrefixStartDropsLeadingZeros",
         L"log.csv",
         "a",
         {L"--prefix", L"bob", L"--start", L"007"},
         {{L"bob7.csv", "a"}}},
        {"PrefixStartRoundsHalfToEven",
         L"log.csv",
         "a",
         {L"--prefix", L"bob", L"--start", L"2.5"},
         {{L"bob2.csv", "a"}}},
        {"EmptyPrefixLeavesTheNumber", L"log.csv", "a", {L"--prefix", L""}, {{L"1.csv", "a"}}},
        {"NumberedKeepsDotsBeforeTheLastOne",
         L"report.final.csv",
         "a\r\nb\r\nc",
         {L"--lines", L"1"},
         {{L"report.final-0001.csv", "a"}, {L"report.final-0002.csv", "b"}, {L"report.final-0003.csv", "c"}}},
        {"NumberedNameWithoutDotHasNoExtension", L"README", "a", {}, {{L"README-0001", "a"}}},
        {"PrefixNameWithoutDotHasNoExtension", L"README", "a", {L"--prefix", L"bob"}, {{L"bob1", "a"}}},

        // Encodings.
        {"AnsiSourceUsesSystemCodePage",
         L"ansi.txt",
         Bytes("\xE9\x80\x81\x8D\x8F\x90\x9D\x00\xFF", 9),
         {L"--separator", L""},
         {{L"ansi-0001.txt",
           Bytes("\xC3\xA9\xE2\x82\xAC\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D\x00\xC3\xBF\r\n", 20)}}},
        // A byte-order mark is the source's encoding (the first release read
        // EF BB BF as ANSI text); its own form keeps it as text in the first piece.
        {"Utf8ByteOrderMarkIsTheSourcesEncoding",
         L"bom.txt",
         "\xEF\xBB\xBF"
         "a",
         {L"--separator", L"", L"--codepage", L"system"},
         {{L"bom-0001.txt",
           "\xEF\xBB\xBF"
           "a\r\n"}}},
        {"Utf16WrittenCodeUnitByCodeUnit",
         L"u.txt",
         Bytes("\xFF\xFE"
               "a\0\r\0\n\0\xAC\x20\x3D\xD8\x00\xDE",
               14),
         {L"--lines", L"1"},
         {{L"u-0001.txt",
           "\xEF\xBB\xBF"
           "a"},
          {L"u-0002.txt", "\xE2\x82\xAC\xED\xA0\xBD\xED\xB8\x80"}}},
        // FE FF is UTF-16 big-endian (the first release read it little-endian).
        {"Utf16BigEndianIsReadBigEndian",
         L"u.txt",
         Bytes("\xFE\xFF\x00\x41", 4),
         {L"--separator", L""},
         {{L"u-0001.txt",
           "\xEF\xBB\xBF"
           "A\r\n"}}},
        {"Utf16OddLastByteBecomesACodeUnit",
         L"u.txt",
         Bytes("\xFF\xFE\x41\x00\x42", 5),
         {L"--separator", L""},
         {{L"u-0001.txt",
           "\xEF\xBB\xBF"
           "AB\r\n"}}},
        {"Utf16SourceIsOneBlockPastThirtyThousandBytes",
         L"u.txt",
         Bytes("\xFF\xFE", 2) + Utf16Le(NumberedLines(1, 5000, true)),
         {L"--lines", L"2500"},
         {{L"u-0001.txt", "\xEF\xBB\xBF" + Ascii(NumberedLines(1, 2500, false))},
          {L"u-0002.txt", Ascii(NumberedLines(2501, 5000, false))}}},
        {"CodepageByName",
         L"cyr.txt",
         "\xC0\xE0",
         {L"--separator", L"", L"--codepage", L"windows-1251"},
         {{L"cyr-0001.txt", "\xD0\x90\xD0\xB0\r\n"}}},
        {"CodepageMultiByte",
         L"jp.txt",
         "\x82\xA0",
         {L"--separator", L"", L"--codepage", L"932"},
         {{L"jp-0001.txt", "\xE3\x81\x82\r\n"}}},
        {"EmptySourceGivesNoPieces", L"empty.txt", "", {L"--blank-lines"}, {}},

        // The defaults: each source's own line ends, valid UTF-8, pieces that join back.
        {"DefaultsCutLfLines",
         L"lf.txt",
         "a\nb\nc\n",
         {L"--lines", L"1"},
         {{L"lf-0001.txt", "a\n"}, {L"lf-0002.txt", "b\n"}, {L"lf-0003.txt", "c\n"}},
         false},
        {"DefaultsPassEmojiThrough",
         L"e.txt",
         "a\r\n\xF0\x9F\x98\x80",
         {L"--lines", L"1"},
         {{L"e-0001.txt", "a\r\n"}, {L"e-0002.txt", "\xF0\x9F\x98\x80"}},
         false},
        {"DefaultsJoinUtf16Pairs",
         L"u.txt",
         Bytes("\xFF\xFE"
               "a\0\r\0\n\0\x3D\xD8\x00\xDE",
               12),
         {L"--lines", L"1"},
         {{L"u-0001.txt", "a\r\n"}, {L"u-0002.txt", "\xF0\x9F\x98\x80"}},
         false},
        {"DefaultsReadALeadingFfAsAnsi",
         L"y.txt",
         "\xFF"
         "bc",
         {L"--lines", L"1"},
         {{L"y-0001.txt",
           "\xC3\xBF"
           "bc"}},
         false},
    };
    return cases;
}

class SplitCaseTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitCaseTest, piecesOnDiskMatchByteForByte) {
    const SplitCase& c = GetParam();
    const TempFolder folder;
    WriteBytes(folder / c.sourceName, c.source);

    // The first release's pieces, byte for byte: --first-release keeps them reachable.
    std::vector<std::wstring> arguments;
    if (c.firstRelease) arguments.push_back(L"--first-release");
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    arguments.push_back(folder / c.sourceName);
    const ProcessResult run = RunCli(arguments);

    EXPECT_EQ(run.exitCode, 0u) << Describe(run);
    EXPECT_EQ(StdoutLines(run).back(), "Done.") << Describe(run);
    std::map<std::wstring, Bytes> expected = c.pieces;
    expected[c.sourceName] = c.source;
    EXPECT_EQ(FolderContents(folder.path()), expected);
}

INSTANTIATE_TEST_SUITE_P(Cli, SplitCaseTest, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<SplitCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace partwright::wintest
