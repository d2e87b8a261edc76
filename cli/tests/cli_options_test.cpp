#include "cli/cli_options.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "partwright/option_text.h"

namespace partwright {
namespace {

using Args = std::vector<std::string>;

struct Accepted {
    Args args;
    SplitMode split;
    Text lines;      // checked when split is Lines
    Text separator;  // checked when split is Separator
    NamingMode naming;
    Text nameOrPrefix;  // name length for FirstChars, prefix for Prefix
    Text firstNumber;   // checked when naming is Prefix
};

// The arguments as the test's parameter, so a failing case names its command line.
void PrintArgs(const Args& args, std::ostream* os) {
    for (const std::string& arg : args) *os << '[' << arg << ']';
}

void PrintTo(const Accepted& c, std::ostream* os) { PrintArgs(c.args, os); }

class AcceptedArguments : public testing::TestWithParam<Accepted> {};

TEST_P(AcceptedArguments, giveTheSettingsAsked) {
    const Accepted& c = GetParam();
    const ParseOutcome outcome = ParseCommandLine(c.args);
    ASSERT_TRUE(outcome.options) << outcome.err;
    EXPECT_TRUE(outcome.err.empty());
    const FixedSettings& s = outcome.options->settings;
    EXPECT_EQ(s.split, c.split);
    if (c.split == SplitMode::Lines) {
        EXPECT_EQ(s.linesPerPiece.text, c.lines);
        EXPECT_TRUE(s.linesPerPiece.value);
    }
    if (c.split == SplitMode::Separator) {
        EXPECT_EQ(s.separator, c.separator);
    }
    EXPECT_EQ(s.naming, c.naming);
    if (c.naming == NamingMode::FirstChars) {
        EXPECT_EQ(s.nameLength.text, c.nameOrPrefix);
        EXPECT_TRUE(s.nameLength.value);
    }
    if (c.naming == NamingMode::Prefix) {
        EXPECT_EQ(s.prefix, c.nameOrPrefix);
        EXPECT_EQ(s.firstNumber.text, c.firstNumber);
        EXPECT_TRUE(s.firstNumber.value);
    }
    ASSERT_EQ(outcome.options->files.size(), 1u);
    EXPECT_EQ(outcome.options->files[0], std::filesystem::path(c.args.back()));
}

using enum SplitMode;
using enum NamingMode;

INSTANTIATE_TEST_SUITE_P(
    CommandLine, AcceptedArguments,
    testing::Values(
        Accepted{{"a.txt"}, Lines, u"3", u"", Numbered, u"", u""},
        Accepted{{"--lines", "12", "a.txt"}, Lines, u"12", u"", Numbered, u"", u""},
        Accepted{{"--lines", " 12", "a.txt"}, Lines, u" 12", u"", Numbered, u"", u""},
        Accepted{{"--lines", "2.5", "a.txt"}, Lines, u"2.5", u"", Numbered, u"", u""},
        Accepted{{"--lines", "1.5", "a.txt"}, Lines, u"1.5", u"", Numbered, u"", u""},
        Accepted{{"--lines=1E2", "a.txt"}, Lines, u"1E2", u"", Numbered, u"", u""},
        Accepted{{"--separator", "", "a.txt"}, Separator, u"", u"", Numbered, u"", u""},
        Accepted{{"--separator=", "a.txt"}, Separator, u"", u"", Numbered, u"", u""},
        Accepted{{"--prefix=", "a.txt"}, Lines, u"3", u"", Prefix, u"", u"1"},
        Accepted{{"--separator=--", "a.txt"}, Separator, u"", u"--", Numbered, u"", u""},
        Accepted{{"--separator", "-x", "a.txt"}, Separator, u"", u"-x", Numbered, u"", u""},
        Accepted{{"--separator", "--lines", "a.txt"}, Separator, u"", u"--lines", Numbered, u"", u""},
        Accepted{{"--separator", "\xE2\x82\xAC;", "a.txt"}, Separator, u"", u"\u20AC;", Numbered, u"", u""},
        Accepted{{"--blank-lines", "--numbered", "a.txt"}, BlankLines, u"", u"", Numbered, u"", u""},
        Accepted{{"--max-bytes", "64K", "a.txt"}, MaxBytes, u"", u"", Numbered, u"", u""},
        Accepted{{"--prefix", "con", "a.txt"}, Lines, u"3", u"", Prefix, u"con", u"1"},
        Accepted{{"--first-chars", "8", "a.txt"}, Lines, u"3", u"", FirstChars, u"8", u""},
        Accepted{{"--first-chars", "0", "a.txt"}, Lines, u"3", u"", FirstChars, u"0", u""},
        Accepted{{"--first-chars", "2147483647", "a.txt"}, Lines, u"3", u"", FirstChars, u"2147483647", u""},
        Accepted{{"--prefix", "bob", "a.txt"}, Lines, u"3", u"", Prefix, u"bob", u"1"},
        Accepted{{"--prefix", "", "a.txt"}, Lines, u"3", u"", Prefix, u"", u"1"},
        Accepted{{"--prefix", "p", "--start", "-3", "a.txt"}, Lines, u"3", u"", Prefix, u"p", u"-3"},
        Accepted{{"--prefix", "p", "--start", "32767", "a.txt"}, Lines, u"3", u"", Prefix, u"p", u"32767"},
        Accepted{{"--prefix", "p", "--start", "-32768.5", "a.txt"}, Lines, u"3", u"", Prefix, u"p", u"-32768.5"},
        Accepted{{"--", "-x.txt"}, Lines, u"3", u"", Numbered, u"", u""}));

struct Refused {
    Args args;
    std::string mentions;  // part of the message on stderr
};

void PrintTo(const Refused& c, std::ostream* os) { PrintArgs(c.args, os); }

class RefusedArguments : public testing::TestWithParam<Refused> {};

TEST_P(RefusedArguments, areUsageErrors) {
    const Refused& c = GetParam();
    const ParseOutcome outcome = ParseCommandLine(c.args);
    EXPECT_FALSE(outcome.options);
    EXPECT_EQ(outcome.exitStatus, kExitUsage);
    EXPECT_TRUE(outcome.out.empty());
    EXPECT_NE(outcome.err.find(c.mentions), std::string::npos) << outcome.err;
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, RefusedArguments,
    testing::Values(
        Refused{{"--lines", "0", "a.txt"}, "--lines"}, Refused{{"--lines", "-3", "a.txt"}, "--lines"},
        Refused{{"--lines", "0.4", "a.txt"}, "--lines"},
        Refused{{"--lines", "0.5", "a.txt"}, "--lines"},  // rounds to even, 0
        Refused{{"--lines", "abc", "a.txt"}, "--lines"}, Refused{{"--lines", "", "a.txt"}, "--lines"},
        Refused{{"--lines=", "a.txt", "b.txt"}, "--lines"}, Refused{{"--lines", "0x10", "a.txt"}, "--lines"},
        Refused{{"--lines", "inf", "a.txt"}, "--lines"}, Refused{{"--first-chars", "-1", "a.txt"}, "--first-chars"},
        Refused{{"--first-chars", "2147483648", "a.txt"}, "--first-chars"},
        Refused{{"--first-chars", "eight", "a.txt"}, "--first-chars"},
        Refused{{"--prefix", "p", "--start", "32768", "a.txt"}, "--start"},
        Refused{{"--prefix", "p", "--start", "-32769", "a.txt"}, "--start"},
        Refused{{"--prefix", "p", "--start", "one", "a.txt"}, "--start"},
        Refused{{"--start", "5", "a.txt"}, "--prefix"},
        Refused{{"--lines", "3", "--separator", ";", "a.txt"}, "--separator"},
        Refused{{"--blank-lines", "--separator", ";", "a.txt"}, "--blank-lines"},
        Refused{{"--lines", "3", "--blank-lines", "a.txt"}, "--blank-lines"},
        Refused{{"--numbered", "--prefix", "p", "a.txt"}, "--prefix"},
        Refused{{"--first-chars", "3", "--prefix", "p", "a.txt"}, "--prefix"},
        Refused{{"--numbered", "--first-chars", "3", "a.txt"}, "--first-chars"},
        Refused{{"--codepage", "klingon", "a.txt"}, "--codepage"},
        Refused{{"--separator", "\xFF", "a.txt"}, "--separator"}, Refused{{"--bogus", "a.txt"}, "--bogus"},
        Refused{{"--max-bytes", "0", "a.txt"}, "--max-bytes"}, Refused{{"--max-bytes", "1X", "a.txt"}, "--max-bytes"},
        Refused{{"--max-bytes", "-5", "a.txt"}, "--max-bytes"},
        Refused{{"--max-bytes", "99999999999G", "a.txt"}, "--max-bytes"},
        Refused{{"--max-bytes", "18446744073709551617", "a.txt"}, "\"18446744073709551617\" is too large"},
        Refused{{"--header", "9223372036854775808", "a.txt"}, "\"9223372036854775808\" is too large"},
        Refused{{"--max-bytes", "10", "--lines", "3", "a.txt"}, "--max-bytes"},
        Refused{{"--max-bytes", "10", "--separator", ";", "a.txt"}, "--max-bytes"},
        Refused{{"--header", "0", "a.txt"}, "--header"}, Refused{{"--header", "1.5", "a.txt"}, "--header"},
        Refused{{"--header", "1", "--separator", ";", "a.txt"}, "--header"},
        Refused{{"--header", "1", "--blank-lines", "a.txt"}, "--header"},
        Refused{{"--line-end", "cr", "a.txt"}, "--line-end"}, Refused{{"--codepage", "", "a.txt"}, "--codepage"},
        Refused{{"--output-encoding", "latin1", "a.txt"}, "--output-encoding"},
        Refused{{"--output-encoding", "UTF-8", "a.txt"}, "--output-encoding"},
        Refused{{"--blocks", "--whole-file", "a.txt"}, "--whole-file"},
        Refused{{"--output-dir", "no/such/folder/here", "a.txt"}, "--output-dir"},
        Refused{{"--parts", "0", "a.txt"}, "--parts: \"0\" is not a whole number of at least 1"},
        Refused{{"--parts", "2.5", "a.txt"}, "--parts"}, Refused{{"--parts", "-1", "a.txt"}, "--parts"},
        Refused{{"--parts", "3", "--lines", "2", "a.txt"}, "--parts"},
        Refused{{"--parts", "3", "--max-bytes", "1K", "a.txt"}, "--parts"},
        Refused{{"--parts", "3", "--blocks", "a.txt"}, "not with --blocks"},
        Refused{{"--parts", "3", "--first-release", "a.txt"}, "not with --blocks"},
        Refused{{"--match", "(a", "a.txt"}, "--match: \"(a\" is no regular expression: missing ): (a (at character 1)"},
        Refused{{"--match", "a{2,1}", "a.txt"}, "invalid repetition size: {2,1} (at character 2)"},
        Refused{{"--match", "a", "--separator", ";", "a.txt"}, "--match"},
        Refused{{"--match", "a", "--parts", "2", "a.txt"}, "--match"},
        Refused{{"--verbose", "--quiet", "a.txt"}, "--quiet"}, Refused{{"--lines", "3"}, "No files added."},
        Refused{{"--dry-run", "--quiet"}, "No files added."}, Refused{{"--delimiter", ";", "a.txt"}, "--delimiter"},
        Refused{{"--csv", "--delimiter", ";;", "a.txt"}, "--delimiter"},
        Refused{{"--csv", "--delimiter", "\"", "a.txt"}, "--delimiter"},
        Refused{{"--csv", "--header", "1", "--separator", ";", "a.txt"}, "--header"},
        Refused{{"--by-column", "city", "a.txt"}, "needs --header 1"},
        Refused{{"--by-column", "0", "a.txt"}, "--by-column"}, Refused{{"--by-column", "", "a.txt"}, "--by-column"},
        Refused{{"--by-column", "2", "--lines", "5", "a.txt"}, "--lines"},
        Refused{{"--by-column", "2", "--compress", "gzip", "a.txt"}, "not with --compress"},
        Refused{{"--by-column", "2", "--excel", "a.txt"}, "not with --excel"}));

TEST(CliOptionsTest, flagsAndCodepageReachTheRun) {
    const ParseOutcome outcome = ParseCommandLine(
        {"--whole-file", "--dry-run", "--quiet", "--codepage", "windows-1250", "a", "b"});
    ASSERT_TRUE(outcome.options) << outcome.err;
    EXPECT_TRUE(outcome.options->run.reading.wholeFile);
    EXPECT_TRUE(outcome.options->run.dryRun);
    EXPECT_TRUE(outcome.options->quiet);
    EXPECT_EQ(outcome.options->run.reading.codepage, "windows-1250");
    EXPECT_EQ(outcome.options->files, (std::vector<std::filesystem::path>{"a", "b"}));

    const ParseOutcome plain = ParseCommandLine({"a"});
    ASSERT_TRUE(plain.options);
    EXPECT_TRUE(plain.options->run.reading.wholeFile);
    EXPECT_FALSE(plain.options->run.dryRun || plain.options->quiet);
    EXPECT_EQ(plain.options->run.reading.codepage, "auto");
    EXPECT_EQ(plain.options->run.lineEnd, LineEnd::Auto);
    EXPECT_EQ(plain.options->run.outputEncoding, OutputEncoding::Utf8);
    EXPECT_TRUE(plain.options->run.finalLineEnd);

    // The first release's rules, one by one and at once, as the documentation gives them.
    for (const auto& args : {std::vector<std::string>{"--blocks", "--line-end", "crlf", "--codepage", "system",
                                                      "--output-encoding", "cesu-8", "--no-final-line-end", "a"},
                             std::vector<std::string>{"--first-release", "a"}}) {
        const ParseOutcome first = ParseCommandLine(args);
        ASSERT_TRUE(first.options) << first.err;
        EXPECT_FALSE(first.options->run.reading.wholeFile);
        EXPECT_EQ(first.options->run.lineEnd, LineEnd::CrLf);
        EXPECT_EQ(first.options->run.reading.codepage, "system");
        EXPECT_EQ(first.options->run.outputEncoding, OutputEncoding::Cesu8);
        EXPECT_FALSE(first.options->run.finalLineEnd);
    }
    // An option given beside --first-release still counts.
    const ParseOutcome beside = ParseCommandLine({"--first-release", "--output-encoding", "utf-8-bom", "a"});
    ASSERT_TRUE(beside.options) << beside.err;
    EXPECT_EQ(beside.options->run.outputEncoding, OutputEncoding::Utf8Bom);
    for (const char* word : {"utf-8", "utf-8-bom", "utf-16le", "source", "cesu-8"}) {
        const ParseOutcome chosen = ParseCommandLine({"--output-encoding", word, "a"});
        ASSERT_TRUE(chosen.options) << chosen.err;
        EXPECT_EQ(OutputEncodingWord(chosen.options->run.outputEncoding), word);
    }
    const ParseOutcome automatic = ParseCommandLine({"--line-end", "auto", "a"});
    ASSERT_TRUE(automatic.options) << automatic.err;
    EXPECT_EQ(automatic.options->run.lineEnd, LineEnd::Auto);
}

// --csv, --delimiter and --excel, as the documentation gives them; an option
// beside --excel still counts, but its cap on the records of a piece stays.
TEST(CliOptionsTest, csvOptionsAndTheExcelPresetReachTheRun) {
    const ParseOutcome tab = ParseCommandLine({"--csv", "--delimiter", "tab", "--blank-lines", "--header", "2", "a"});
    ASSERT_TRUE(tab.options) << tab.err;
    EXPECT_TRUE(tab.options->run.csv.records);
    EXPECT_EQ(tab.options->run.csv.delimiter, '\t');
    EXPECT_EQ(tab.options->run.headerLines, 2);
    EXPECT_EQ(tab.options->run.maxLinesPerPiece, 0);
    const ParseOutcome plain = ParseCommandLine({"a"});
    ASSERT_TRUE(plain.options);
    EXPECT_FALSE(plain.options->run.csv.records);

    const ParseOutcome excel = ParseCommandLine({"--excel", "--delimiter", ";", "a"});
    ASSERT_TRUE(excel.options) << excel.err;
    EXPECT_TRUE(excel.options->run.csv.records);
    EXPECT_EQ(excel.options->run.csv.delimiter, ';');
    EXPECT_EQ(excel.options->run.headerLines, 1);
    EXPECT_EQ(excel.options->run.outputEncoding, OutputEncoding::Utf8Bom);
    EXPECT_EQ(excel.options->settings.linesPerPiece.value, 1048575);
    EXPECT_EQ(excel.options->run.maxLinesPerPiece, 1048575);
    const ParseOutcome beside = ParseCommandLine(
        {"--excel", "--max-bytes", "5M", "--header", "3", "--output-encoding", "utf-8", "a"});
    ASSERT_TRUE(beside.options) << beside.err;
    EXPECT_EQ(beside.options->run.maxPieceBytes, 5u << 20);
    EXPECT_EQ(beside.options->run.headerLines, 3);
    EXPECT_EQ(beside.options->run.outputEncoding, OutputEncoding::Utf8);
    EXPECT_EQ(beside.options->run.maxLinesPerPiece, 1048575);

    // --by-column reads records without --csv, and takes --delimiter and --header.
    const ParseOutcome byName = ParseCommandLine({"--by-column", "city", "--header", "1", "--delimiter", ";", "a"});
    ASSERT_TRUE(byName.options) << byName.err;
    EXPECT_EQ(byName.options->run.byColumn, u"city");
    EXPECT_TRUE(byName.options->run.csv.records);
    EXPECT_EQ(byName.options->run.csv.delimiter, ';');
    EXPECT_EQ(byName.options->run.headerLines, 1);
}

TEST(CliOptionsTest, helpAndVersionExitWithoutRunning) {
    for (const Args& args : {Args{}, Args{"--help"}, Args{"--lines", "3", "--help", "a.txt"}}) {
        const ParseOutcome outcome = ParseCommandLine(args);
        EXPECT_FALSE(outcome.options);
        EXPECT_EQ(outcome.exitStatus, kExitOk);
        EXPECT_NE(outcome.out.find("--separator"), std::string::npos) << outcome.out;
        EXPECT_TRUE(outcome.err.empty());
    }
    const ParseOutcome version = ParseCommandLine({"--version"});
    EXPECT_FALSE(version.options);
    EXPECT_EQ(version.exitStatus, kExitOk);
    EXPECT_EQ(version.out.rfind("partwright-cli ", 0), 0u) << version.out;
}

}  // namespace
}  // namespace partwright
