// CSV records against Python's csv module: csv_records_oracle.py generates
// sources (quotes, doubled quotes, line ends of both kinds inside and outside
// quoted fields, empty fields and records, four delimiters, a quote left
// open at the end) and the pieces each must give in the lines, size and
// blank-line modes with a header and a cap on the records of a piece; the
// run cuts them with chunk edges anywhere and must give those pieces byte for byte.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "engine/run/run_seam.h"
#include "run_test_support.h"

namespace partwright {
namespace {

using run_test::Files;
using run_test::FilesIn;
using run_test::Folder;
using run_test::PathList;
using run_test::ReadText;
using run_test::RecordingHost;
namespace fs = std::filesystem;

struct Case {
    std::string mode;
    std::int64_t n = 0;
    std::int64_t header = 0;
    int delimiter = 0;
    std::string lineEnd;
    std::uint64_t limit = 0;
    std::int64_t cap = 0;
};

TEST(CsvRecordsDifferentialTest, piecesAreThoseThatPythonsCsvReaderGives) {
    constexpr int kCases = 400;
    Folder folder;
    const std::uint32_t seed = run_test::RunOracle(PARTWRIGHT_CSV_ORACLE, kCases, folder.path());
    SCOPED_TRACE("seed " + std::to_string(seed));
    ASSERT_FALSE(::testing::Test::HasFailure());

    std::mt19937 random(seed);
    for (int i = 0; i < kCases; ++i) {
        const fs::path place = folder / std::to_string(i);
        SCOPED_TRACE("case " + place.string());
        Case c;
        std::istringstream(ReadText(place / "options")) >> c.mode >> c.n >> c.header >> c.delimiter >> c.lineEnd >>
            c.limit >> c.cap;

        FixedSettings settings;
        settings.naming = NamingMode::Numbered;
        settings.split = c.mode == "lines" ? SplitMode::Lines
                                           : (c.mode == "size" ? SplitMode::MaxBytes : SplitMode::BlankLines);
        settings.linesPerPiece = ReadLinesPerPiece(Text(std::u16string(1, char16_t(u'0' + c.n))));
        RunOptions options;
        options.finalLineEnd = true;
        options.csv.records = true;
        options.csv.delimiter = static_cast<char>(c.delimiter);
        options.headerLines = c.header;
        options.lineEnd = c.lineEnd == "crlf" ? LineEnd::CrLf : LineEnd::Lf;
        options.maxPieceBytes = c.mode == "size" ? c.limit : 0;
        options.maxLinesPerPiece = c.cap;
        options.writerThreads = static_cast<int>(random() % 2);
        options.reading.wholeFile = random() % 4 != 0;  // a source of fewer than 30000 bytes is one block
        fs::create_directory(place / "out");
        options.outputFolder = place / "out";
        RunSeam seam;
        seam.chunkBytes = random() % 3 == 0 ? 0 : 1 + random() % 9;

        PathList sources{place / "source.csv"};
        RecordingHost host;
        const RunReport report = SplitRun(sources, settings, host, options, seam);

        EXPECT_EQ(FilesIn(place / "out"), FilesIn(place / "expected"));
        if (fs::exists(place / "unclosed")) {
            const std::string line = ReadText(place / "unclosed");
            ASSERT_EQ(report.failures.size(), 1u);
            EXPECT_EQ(report.failures[0].kind, Failure::Kind::UnclosedQuote);
            EXPECT_NE(report.failures[0].reason.find("line " + line.substr(0, line.size() - 1) + " "),
                      std::string::npos)
                << report.failures[0].reason;
        } else {
            EXPECT_TRUE(report.failures.empty()) << Describe(report.failures.front());
        }
        if (HasFailure()) break;  // one case told in full is enough
    }
}

}  // namespace
}  // namespace partwright
