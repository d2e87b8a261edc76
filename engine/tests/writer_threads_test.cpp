// Pieces written on writer threads against pieces written on the run's own
// thread: the same files, the same report and the same calls to the host in
// the same order, over generated runs whose names collide, whose pieces meet
// older files and folders in their way, and whose long lines are copied file
// to file.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "engine/run/run_seam.h"
#include "engine/tests/temp_folder.h"
#include "partwright/split_run.h"

namespace partwright {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

// The source, the same text in UTF-16 (whose long runs of units the writers
// read from the file themselves), and the source again, whose pieces take the
// first cut's names after theirs.
struct Sources final : SourceList {
    fs::path path;
    fs::path wide;
    int Count() const override { return 3; }
    fs::path At(int position) const override { return position == 2 ? wide : path; }
};

// Everything the run tells the host, with paths from the run's folder.
struct LoggingHost final : RunHost {
    explicit LoggingHost(const fs::path& folder) : folder_(folder) {}
    std::vector<std::string> log;

    void ReportFailure(const Failure& failure) override {
        log.push_back("failed " + Relative(failure.path) + ": " + failure.reason);
    }
    void PieceRenamed(const fs::path& wanted, const fs::path& given) override {
        log.push_back("renamed " + Relative(wanted) + " to " + Relative(given));
    }
    void PieceWritten(const fs::path& target) override { log.push_back("written " + Relative(target)); }

private:
    std::string Relative(const fs::path& path) const { return fs::relative(path, folder_).generic_string(); }
    fs::path folder_;
};

struct Result {
    std::map<std::string, std::string> files;
    std::vector<std::string> log;
    RunReport report;
};

std::map<std::string, std::string> FilesIn(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        files[entry.path().filename().string()] = entry.is_directory() ? "(folder)" : ReadBytes(entry.path());
    }
    return files;
}

// A text of short words from a small alphabet, so that first characters
// repeat, with a long line now and then (copied file to file when written).
std::string MakeText(std::mt19937& random) {
    static const char* const kWords[] = {"a", "b", "ab", "ba", "", "a;b", ";"};
    std::string text;
    const int lines = std::uniform_int_distribution<int>(1, 120)(random);
    for (int line = 0; line < lines; ++line) {
        if (std::uniform_int_distribution<int>(0, 15)(random) == 0) {
            text += std::string(std::uniform_int_distribution<std::size_t>(4096, 20000)(random), 'l');
        } else {
            const int words = std::uniform_int_distribution<int>(0, 3)(random);
            for (int word = 0; word < words; ++word) text += kWords[std::uniform_int_distribution<int>(0, 6)(random)];
        }
        text += "\n";
    }
    return text;
}

// How a run reads its sources: in steps of an odd number of bytes, which
// put the two bytes of a UTF-16 unit in two steps now and then, and with a
// long last line in the UTF-16 source that ends in an odd byte, which makes
// a unit of its own.
struct Reading {
    std::size_t chunkBytes = 0;
    bool oddWideEnd = false;
};

Result RunWith(const std::string& text, const FixedSettings& settings, int writers, bool obstacles, Reading reading) {
    TempFolder folder;
    Sources sources;
    sources.path = folder / "s.txt";
    sources.wide = folder / "w.txt";
    WriteBytes(sources.path, text);
    std::string wide = "\xFF\xFE";
    for (const char c : text) wide += std::string{c, '\0'};
    if (reading.oddWideEnd) {
        // A long last line, so that the odd byte's unit comes with units the writers may read from the file.
        for (int unit = 0; unit < 5000; ++unit) wide += std::string{'l', '\0'};
        wide += 'z';
    }
    WriteBytes(sources.wide, wide);
    if (obstacles) {
        // An older file to replace, a folder a piece cannot replace, an older copy name.
        WriteBytes(folder / "a.txt", "older");
        fs::create_directory(folder / "b.txt");
        WriteBytes(folder / "ab (2).txt", "older");
        WriteBytes(folder / "s-0002.txt", "older");
        fs::create_directory(folder / "s-0003.txt");
    }
    LoggingHost host(folder.path());
    RunOptions options;
    RunSeam seam;  // the test-only switches
    options.writerThreads = writers;
    seam.chunkBytes = reading.chunkBytes;
    Result result;
    result.report = SplitRun(sources, settings, host, options, seam);
    result.files = FilesIn(folder.path());
    result.log = std::move(host.log);
    return result;
}

TEST(WriterThreads, giveTheSameFilesReportsAndHostCallsAsTheRunsOwnThread) {
    std::mt19937 random(20261207);
    for (int round = 0; round < 60; ++round) {
        const std::string text = MakeText(random);
        FixedSettings settings;
        switch (round % 3) {
        case 0:
            settings.split = SplitMode::Lines;
            settings.linesPerPiece = ReadLinesPerPiece(std::array{u"1", u"2", u"7"}[round % 9 / 3]);
            break;
        case 1:
            settings.split = SplitMode::Separator;
            settings.separator = Text(1, u';');
            break;
        default: settings.split = SplitMode::BlankLines; break;
        }
        if (round % 2 == 0) {
            settings.naming = NamingMode::FirstChars;
            settings.nameLength = ReadNameLength(round % 4 == 0 ? u"1" : u"2");
        } else {
            settings.naming = NamingMode::Numbered;
        }
        const bool obstacles = round % 5 != 0;
        const Reading reading{round % 2 == 0 ? std::size_t{8191} : 0, round % 4 < 2};
        SCOPED_TRACE("round " + std::to_string(round));
        const Result own = RunWith(text, settings, 0, obstacles, reading);
        for (const int writers : {1, 2, 4}) {
            SCOPED_TRACE(std::to_string(writers) + " writer threads");
            const Result threaded = RunWith(text, settings, writers, obstacles, reading);
            EXPECT_EQ(threaded.files, own.files);
            EXPECT_EQ(threaded.log, own.log);
            EXPECT_EQ(threaded.report.piecesWritten, own.report.piecesWritten);
            EXPECT_EQ(threaded.report.piecesRenamed, own.report.piecesRenamed);
            EXPECT_EQ(threaded.report.piecesReplaced, own.report.piecesReplaced);
            EXPECT_EQ(threaded.report.failures.size(), own.report.failures.size());
        }
    }
}

// A piece whose name from its first characters turns out too long after its
// file was opened is dropped: the pieces after it keep their own names and
// outcomes, on every thread count.
TEST(WriterThreads, aPieceDroppedForItsLongNameLeavesTheLaterPiecesTheirOwn) {
    const std::string longLine(5000, 'n');
    const std::string text = longLine + "\nb\n" + longLine + "\nc\nd\n";
    FixedSettings settings;
    settings.linesPerPiece = ReadLinesPerPiece(u"1");
    settings.naming = NamingMode::FirstChars;
    settings.nameLength = ReadNameLength(u"6000");
    for (const int writers : {0, 1, 2, 4}) {
        SCOPED_TRACE(std::to_string(writers) + " writer threads");
        // Read in steps shorter than the long lines: a long line's piece is
        // opened before its name is found too long.
        const Result result = RunWith(text, settings, writers, false, {999, false});
        // The source, its UTF-16 twin, and b, c and d of each of the three sources in turn.
        EXPECT_EQ(result.files.size(), 2u + 9u);
        for (const char* piece : {"b", "c", "d"}) {
            for (const char* copy : {"", " (2)", " (3)"}) {
                EXPECT_EQ(result.files.at(std::string(piece) + copy + ".txt"), piece);
            }
        }
        EXPECT_EQ(result.report.piecesWritten, 9u);
        ASSERT_EQ(result.report.failures.size(), 6u);
        for (const Failure& failure : result.report.failures) EXPECT_EQ(failure.kind, Failure::Kind::NameTooLong);
    }
}

}  // namespace
}  // namespace partwright
