// Cuts by column against Python's csv module: by_column_oracle.py generates
// sources (quoted values holding delimiters, doubled quotes and line breaks,
// empty values and blank lines, values whose names collide, a field chosen by
// number or by its name in the header, thousands of values in one) and the
// pieces each must give; the run cuts them with chunk edges anywhere, under a
// limit of open files far below the values' count, and must give those pieces
// byte for byte. Some runs are stopped at a random point: every piece then
// present is whole, and no temporary file is left.

#include <gtest/gtest.h>

#include <sys/resource.h>

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

// Lowers the limit on open files for the test's life.
class OpenFileLimit {
public:
    explicit OpenFileLimit(rlim_t limit) {
        ::getrlimit(RLIMIT_NOFILE, &before_);
        rlimit lowered = before_;
        lowered.rlim_cur = limit;
        ::setrlimit(RLIMIT_NOFILE, &lowered);
    }
    ~OpenFileLimit() { ::setrlimit(RLIMIT_NOFILE, &before_); }

private:
    rlimit before_{};
};

TEST(ByColumnDifferentialTest, piecesAreThoseThatPythonsCsvReaderGivesEachValue) {
    constexpr int kCases = 150;
    Folder folder;
    const std::uint32_t seed = run_test::RunOracle(PARTWRIGHT_BY_COLUMN_ORACLE, kCases, folder.path());
    SCOPED_TRACE("seed " + std::to_string(seed));
    ASSERT_FALSE(::testing::Test::HasFailure());

    const OpenFileLimit limit(48);
    std::mt19937 random(seed);
    for (int i = 0; i < kCases; ++i) {
        const fs::path place = folder / std::to_string(i);
        SCOPED_TRACE("case " + place.string());
        std::string column, lineEnd;
        int header = 0, delimiter = 0;
        std::istringstream(ReadText(place / "options")) >> column >> header >> delimiter >> lineEnd;

        FixedSettings settings;
        RunOptions options;
        options.finalLineEnd = true;
        options.byColumn = Text(column.begin(), column.end());
        options.csv.records = random() % 2 == 0;  // implied by byColumn either way
        options.csv.delimiter = static_cast<char>(delimiter);
        options.headerLines = header;
        options.lineEnd = lineEnd == "crlf" ? LineEnd::CrLf : LineEnd::Lf;
        options.writerThreads = static_cast<int>(random() % 2);
        const bool stop = i % 5 == 4;
        options.dryRun = i % 7 == 3 && !stop;
        fs::create_directory(place / "out");
        options.outputFolder = place / "out";
        RunSeam seam;
        seam.chunkBytes = random() % 3 == 0 ? 0 : 1 + random() % 9;
        // Mostly a few bytes held back: files are closed and opened again to append all the time.
        seam.byColumnBufferBytes = random() % 4 == 0 ? 0 : 1 + random() % 2000;

        PathList sources{place / "source.csv"};
        RecordingHost host;
        if (stop) host.stopAtYield = 1 + static_cast<int>(random() % 40);
        const RunReport report = SplitRun(sources, settings, host, options, seam);
        const Files expected = FilesIn(place / "expected");
        const Files pieces = FilesIn(place / "out");

        if (options.dryRun) {
            std::vector<std::string> planned;
            for (const fs::path& target : host.planned) planned.push_back(target.filename().string());
            std::vector<std::string> names;
            for (const auto& [name, text] : expected) names.push_back(name);
            std::sort(planned.begin(), planned.end());
            EXPECT_EQ(planned, names);
            EXPECT_TRUE(pieces.empty());
        } else if (stop && report.stopped) {
            for (const auto& [name, text] : pieces) {
                ASSERT_EQ(expected.count(name), 1u) << name;
                EXPECT_EQ(text, expected.at(name)) << name;
            }
            EXPECT_EQ(pieces.size(), report.piecesWritten);
        } else {
            EXPECT_EQ(pieces, expected);
            EXPECT_EQ(report.piecesWritten, expected.size());
        }
        EXPECT_TRUE(report.failures.empty()) << Describe(report.failures.front());
        if (HasFailure()) break;  // one case told in full is enough
    }
}

}  // namespace
}  // namespace partwright
