#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "engine/tests/run_test_support.h"
#include "partwright/split_run.h"

namespace partwright {
namespace {

using namespace run_test;

struct LeftOverHost final : RunHost {
    std::vector<std::string> left;  // "source: older", file names only
    void OlderPieceLeft(const fs::path& source, const fs::path& older) override {
        left.push_back(source.filename().string() + ": " + older.filename().string());
    }
};

struct Case {
    const char* name;
    NamingMode naming;
    const char* prefix;       // prefix naming's
    const char* firstNumber;  // prefix naming's
    bool outputFolder;        // pieces into a folder of their own, else beside the sources
    bool dryRun;
    std::vector<std::pair<std::string, int>> sources;  // name, lines (one piece each)
    std::vector<std::string> before;                   // files in the pieces' folder before the run
    std::vector<std::string> left;                     // reported, in order
    std::uint64_t replaced;
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

// Names that only look like small.txt's pieces: a copy name, another padding,
// another base, another extension, a folder.
const std::vector<std::string> kLookAlikes = {"small-0004 (2).txt", "small-04.txt",    "smallx-0005.txt",
                                              "small-0012.csv",     "small-00013.txt", "small-+014.txt"};

std::vector<std::string> Numbered(const std::string& base, int from, int to) {
    std::vector<std::string> names;
    for (int n = from; n <= to; ++n) names.push_back(base + "-" + (n < 10 ? "000" : "00") + std::to_string(n) + ".txt");
    return names;
}

std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<std::string> Reported(const std::string& source, const std::vector<std::string>& names) {
    std::vector<std::string> reported;
    for (const std::string& name : names) reported.push_back(source + ": " + name);
    return reported;
}

class OlderPiecesTest : public ::testing::TestWithParam<Case> {};

TEST_P(OlderPiecesTest, fewerPiecesThanBeforeReportEachOlderPieceLeftPastTheLast) {
    const Case& c = GetParam();
    Folder folder;
    const fs::path out = c.outputFolder ? folder / "out" : folder.path();
    fs::create_directories(out);
    fs::create_directory(out / "small-0015.txt");  // a folder of a piece's name is no piece
    PathList sources{};
    for (const auto& [name, lines] : c.sources) {
        std::string text;
        for (int line = 1; line <= lines; ++line) text += "line " + std::to_string(line) + "\r\n";
        sources.paths.push_back(folder.Write(name, text));
    }
    for (const std::string& name : c.before) {
        std::ofstream(out / name) << "older";
    }

    FixedSettings settings = Lines(u"1");
    settings.naming = c.naming;
    settings.prefix = Text(c.prefix, c.prefix + std::char_traits<char>::length(c.prefix));
    settings.firstNumber = ReadFirstNumber(
        Text(c.firstNumber, c.firstNumber + std::char_traits<char>::length(c.firstNumber)));
    RunOptions options;
    options.dryRun = c.dryRun;
    if (c.outputFolder) options.outputFolder = out;
    LeftOverHost host;
    const RunReport report = SplitRun(sources, settings, host, options);

    EXPECT_TRUE(report.failures.empty());
    EXPECT_EQ(host.left, c.left);
    EXPECT_EQ(report.olderPiecesLeft, c.left.size());
    EXPECT_EQ(report.piecesReplaced, c.replaced);
    // Left means left: every one is still there, as it was.
    for (const std::string& name : c.before) EXPECT_TRUE(fs::exists(out / name)) << name;
}

const Case kCases[] = {
    {"numberedBesideTheSource",
     NamingMode::Numbered,
     "",
     "1",
     false,
     false,
     {{"small.txt", 3}},
     Join(Numbered("small", 1, 11), kLookAlikes),
     Reported("small.txt", Numbered("small", 4, 11)),
     3},
    {"numberedIntoAnOutputFolderPlanned",
     NamingMode::Numbered,
     "",
     "1",
     true,
     true,
     {{"small.txt", 3}},
     Join(Numbered("small", 1, 11), kLookAlikes),
     Reported("small.txt", Numbered("small", 4, 11)),
     3},
    {"numberedAsManyPiecesAsBefore",
     NamingMode::Numbered,
     "",
     "1",
     false,
     false,
     {{"small.txt", 11}},
     Join(Numbered("small", 1, 11), kLookAlikes),
     {},
     11},
    // From the first counting number on: p1 to p4 lie before it, so are no
    // piece of this naming past the last.
    {"prefixFromItsFirstNumber",
     NamingMode::Prefix,
     "p",
     "5",
     false,
     false,
     {{"small.txt", 2}},
     {"p1.txt", "p4.txt", "p5.txt", "p6.txt", "p7.txt", "p9.txt", "p07.txt", "pp8.txt", "p7.csv", "p-1.txt"},
     {"small.txt: p7.txt", "small.txt: p9.txt"},
     2},
    {"prefixNegativeNumbersPlanned",
     NamingMode::Prefix,
     "p",
     "-3",
     true,
     true,
     {{"small.txt", 2}},
     {"p-3.txt", "p-1.txt", "p0.txt", "p-0.txt", "p1.txt"},
     {"small.txt: p-1.txt", "small.txt: p0.txt", "small.txt: p1.txt"},
     1},
    // An empty source gives no piece: every older one from the first number on is left.
    {"prefixNoPieceFromTheFirstNumberOn",
     NamingMode::Prefix,
     "p",
     "5",
     false,
     false,
     {{"small.txt", 0}},
     {"p4.txt", "p5.txt", "p6.txt"},
     {"small.txt: p5.txt", "small.txt: p6.txt"},
     0},
    // a.txt writes p1 to p3, b.txt wants p1 and takes a copy name: b's last is
    // p1, yet p2 and p3 are a's new pieces, and p4 is reported once.
    {"prefixTwoSourcesInOneFolder",
     NamingMode::Prefix,
     "p",
     "1",
     false,
     false,
     {{"a.txt", 3}, {"b.txt", 1}},
     {"p1.txt", "p2.txt", "p3.txt", "p4.txt"},
     {"a.txt: p4.txt"},
     3},
    // The names of first characters have no order: nothing comes after the last.
    {"firstCharactersNone",
     NamingMode::FirstChars,
     "",
     "1",
     false,
     false,
     {{"small.txt", 2}},
     Numbered("small", 1, 11),
     {},
     0},
};

INSTANTIATE_TEST_SUITE_P(Namings, OlderPiecesTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace partwright
