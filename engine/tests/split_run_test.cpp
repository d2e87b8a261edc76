#include "partwright/split_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include "engine/name/naming.h"
#include "engine/read/source_reader.h"
#include "engine/read/text_form.h"
#include "engine/run/run_seam.h"
#include "engine/tests/literal_oracle.h"
#include "engine/tests/run_test_support.h"
#include "engine/tests/text_oracle.h"
#include "engine/tests/whole_file_io.h"
#include "engine/write/piece_writer.h"
#include "partwright/codepage.h"
#include "partwright/messages.h"
#include "partwright/numeric.h"

namespace partwright {
namespace {

using namespace run_test;

TEST(SplitRun, emptyListDoesNothingAndSaysSo) {
    PathList none{};
    RecordingHost host;
    const RunReport report = SplitRun(none, FixedSettings{}, host);
    // The report alone says "No files added."; the host hears nothing of a run.
    EXPECT_TRUE(report.noFiles);
    EXPECT_FALSE(report.ok());
    EXPECT_FALSE(report.stopped);
    EXPECT_TRUE(report.failures.empty());
    EXPECT_EQ(report.piecesWritten, 0u);
    EXPECT_EQ(host.yields, 0);
    EXPECT_EQ(host.progressCalls, 0);
    EXPECT_TRUE(host.failures.empty());
    EXPECT_TRUE(host.notices.empty());
    EXPECT_TRUE(host.planned.empty());
}

TEST(SplitRun, piecesAreNumberedAgainForEveryFile) {
    Folder folder;
    PathList sources{folder.Write("a.txt", "x\r\ny"), folder.Write("b.csv", "p\r\nq\r\nr")};
    RecordingHost host;
    const RunReport report = SplitRun(sources, Lines(u"1"), host);
    EXPECT_TRUE(report.ok());
    EXPECT_EQ(report.piecesWritten, 5u);
    EXPECT_EQ(folder.Files(), (Files{{"a.txt", "x\r\ny"},
                                     {"b.csv", "p\r\nq\r\nr"},
                                     {"a-0001.txt", "x"},
                                     {"a-0002.txt", "y"},
                                     {"b-0001.csv", "p"},
                                     {"b-0002.csv", "q"},
                                     {"b-0003.csv", "r"}}));
    EXPECT_EQ(host.lastProgress.fileIndex, 2);
    EXPECT_EQ(host.lastProgress.fileCount, 2);
    EXPECT_EQ(host.lastProgress.piecesWritten, 5u);
}

TEST(SplitRun, blocksOfALargeSourceAreCutApartAndNumberedStraightThrough) {
    Folder folder;
    std::string bytes;
    for (int i = 0; i < 65000; ++i) bytes.push_back(static_cast<char>('a' + i % 26));
    PathList sources{folder.Write("big.txt", bytes)};
    RecordingHost host;
    EXPECT_TRUE(SplitRun(sources, Separator(u"#"), host, Blocks()).ok());
    EXPECT_EQ(folder.Files(), (Files{{"big.txt", bytes},
                                     {"big-0001.txt", bytes.substr(0, 30000) + "\r\n"},
                                     {"big-0002.txt", bytes.substr(30000, 30000) + "\r\n"},
                                     {"big-0003.txt", bytes.substr(60000) + "\r\n"}}));
    EXPECT_EQ(host.lastProgress.bytesRead, 65000u);
    EXPECT_EQ(host.lastProgress.sourceBytes, 65000u);
}

// The header, its line end included, may be kMaxHeaderUnits code units
// long, however its source is read: UTF-8 bytes (two to a unit here),
// single bytes, UTF-16.
TEST(SplitRun, headerOfTheLongestLengthIsTakenAndOneUnitMoreIsReported) {
    struct Case {
        const char* codepage;
        std::string unit;  // the bytes of one unit of the header line
        bool utf16;
    };
    const Case cases[] = {{"utf-8", "\xC3\xA9", false},
                          {"windows-1252", "\xE9", false},
                          {"system", std::string("h\0", 2), true}};
    for (const Case& c : cases) {
        for (const std::size_t units : {kMaxHeaderUnits, kMaxHeaderUnits + 1}) {
            SCOPED_TRACE(std::string(c.codepage) + " " + std::to_string(units));
            const std::string lineEnd = c.utf16 ? std::string("\r\0\n\0", 4) : "\r\n";
            std::string bytes = c.utf16 ? "\xFF\xFE" : "";  // the byte-order mark is no unit of the header
            for (std::size_t i = 0; i + 2 < units; ++i) bytes += c.unit;
            const std::string header = bytes + lineEnd;
            bytes = header + (c.utf16 ? std::string("x\0", 2) : "x");
            Folder folder;
            PathList sources{folder.Write("h.txt", bytes)};
            RunOptions options;
            options.reading.codepage = c.codepage;
            options.headerLines = 1;
            RecordingHost host;
            const RunReport report = SplitRun(sources, Lines(u"1"), host, options);
            const Files files = folder.Files();
            if (units == kMaxHeaderUnits) {
                EXPECT_TRUE(report.ok());
                ASSERT_EQ(files.size(), 2u);
                // As UTF-8: é of windows-1252 becomes two bytes.
                const std::size_t written = c.utf16            ? (units - 2) * 1 + 2 + 1
                                            : c.unit == "\xE9" ? 2 * (header.size() - 2) + 2 + 1
                                                               : header.size() + 1;
                EXPECT_EQ(files.at("h-0001.txt").size(), written);
            } else {
                ASSERT_EQ(report.failures.size(), 1u);
                EXPECT_EQ(report.failures[0].kind, Failure::Kind::BadHeader);
                EXPECT_EQ(files.size(), 1u);
            }
        }
    }
}

TEST(SplitRun, emptyLineGroupsAreNotWrittenButTakeTheirNumber) {
    Folder folder;
    PathList sources{folder.Write("s.txt", "a\r\n\r\nb")};
    RecordingHost host;
    const RunReport report = SplitRun(sources, Lines(u"1"), host);
    EXPECT_TRUE(report.ok());
    EXPECT_EQ(folder.Files(), (Files{{"s.txt", "a\r\n\r\nb"}, {"s-0001.txt", "a"}, {"s-0003.txt", "b"}}));
}

TEST(SplitRun, emptyBlankLinePieceIsWrittenAsAnEmptyFile) {
    Folder folder;
    PathList sources{folder.Write("p.txt", "p1\r\n\r\np2\r\n")};
    FixedSettings settings;
    settings.split = SplitMode::BlankLines;
    RecordingHost host;
    EXPECT_TRUE(SplitRun(sources, settings, host).ok());
    EXPECT_EQ(folder.Files(),
              (Files{{"p.txt", "p1\r\n\r\np2\r\n"}, {"p-0001.txt", "p1"}, {"p-0002.txt", "p2"}, {"p-0003.txt", ""}}));
}

TEST(SplitRun, linesPerPieceThatIsNoWholeNumberOfAtLeastOneIsRefusedForEveryBlock) {
    for (const Text n : {u"abc", u"", u"0", u"-3", u"0.4", u"0.5"}) {
        SCOPED_TRACE(::testing::PrintToString(n));
        Folder folder;
        PathList sources{folder.Write("a.txt", "1\r\n2"), folder.Write("b.txt", std::string(40000, 'z'))};
        RecordingHost host;
        const RunReport report = SplitRun(sources, Lines(n), host, Blocks());
        // One notice per block: a has one block, b has two.
        EXPECT_EQ(host.notices, (std::vector<fs::path>{sources.paths[0], sources.paths[1], sources.paths[1]}));
        EXPECT_EQ(report.blocksNotCut, 3);
        EXPECT_EQ(report.piecesWritten, 0u);
        EXPECT_EQ(folder.Files().size(), 2u);
    }
}

TEST(SplitRun, fractionalLinesPerPieceIsRoundedHalfToEven) {
    for (const auto& [n, expected] : std::vector<std::pair<Text, Files>>{
             {u"2.5", {{"a-0001.txt", "1\r\n2"}, {"a-0002.txt", "3\r\n4"}, {"a-0003.txt", "5"}}},
             {u"3.5", {{"a-0001.txt", "1\r\n2\r\n3\r\n4"}, {"a-0002.txt", "5"}}},
             {u" 1E0",
              {{"a-0001.txt", "1"},
               {"a-0002.txt", "2"},
               {"a-0003.txt", "3"},
               {"a-0004.txt", "4"},
               {"a-0005.txt", "5"}}}}) {
        SCOPED_TRACE(::testing::PrintToString(n));
        Folder folder;
        PathList sources{folder.Write("a.txt", "1\r\n2\r\n3\r\n4\r\n5")};
        RecordingHost host;
        EXPECT_TRUE(SplitRun(sources, Lines(n), host).ok());
        Files files = folder.Files();
        files.erase("a.txt");
        EXPECT_EQ(files, expected);
    }
}

TEST(SplitRun, laterPieceWithTheSameFirstCharactersTakesTheNextCopyName) {
    Folder folder;
    PathList sources{folder.Write("h.log", "Hello;Hel-lo world")};
    FixedSettings settings = Separator(u";");
    settings.naming = NamingMode::FirstChars;
    settings.nameLength = ReadNameLength(u"6");
    RecordingHost host;
    const RunReport report = SplitRun(sources, settings, host);
    EXPECT_TRUE(report.ok());
    EXPECT_EQ(report.piecesWritten, 2u);
    EXPECT_EQ(report.piecesRenamed, 1u);
    EXPECT_EQ(folder.Files(),
              (Files{{"h.log", "Hello;Hel-lo world"}, {"Hello.txt", "Hello"}, {"Hello (2).txt", "Hel-lo world\r\n"}}));
}

// A source that is UTF-8 up to a late byte is read again in the fallback
// code page. Names that hang on the reading are settled before the first
// piece, so no piece of the first reading replaces a file only to be
// deleted; names that do not are taken again, not given copy numbers.
TEST(SplitRun, aSourceFoundNotUtf8LateKeepsOlderFilesAndTakesItsNamesAgain) {
    // The second line names its piece "12" read as UTF-8 ("\u00E912"), and
    // "1" read in windows-1252 ("\u00C3\u00A91"): an older 12.txt is no
    // piece's once the source turns out not to be UTF-8.
    std::string bytes =
        "caf\xC3\xA9\r\n\xC3\xA9"
        "12\r\n";
    for (int line = 0; line < 40; ++line) bytes += "line " + std::to_string(line) + "\r\n";
    bytes += "\x93q\x94\r\n";
    for (const NamingMode naming : {NamingMode::FirstChars, NamingMode::Numbered}) {
        SCOPED_TRACE(static_cast<int>(naming));
        Folder folder;
        const fs::path source = folder.Write("s.txt", bytes);
        const fs::path older = folder / "12.txt";
        std::ofstream(older, std::ios::binary) << "keep";
        // The second piece of either reading, numbered: the second reading replaces it.
        std::ofstream(folder / "s-0002.txt", std::ios::binary) << "older";
        FixedSettings settings = Lines(u"1");
        settings.naming = naming;
        settings.nameLength = ReadNameLength(u"3");
        RunOptions options;
        RunSeam seam;  // the test-only switches
        options.reading.codepage = "auto";
        seam.chunkBytes = 8;  // the late byte comes long after the first pieces are cut
        RecordingHost host;
        const RunReport report = SplitRun(PathList{source}, settings, host, options, seam);
        EXPECT_TRUE(report.ok());
        // "line 0" to "line 39" all want lin.txt; nothing else collides.
        EXPECT_EQ(report.piecesRenamed, naming == NamingMode::FirstChars ? 39u : 0u);
        const Files files = folder.Files();
        EXPECT_EQ(files.at("12.txt"), "keep");
        EXPECT_EQ(report.piecesWritten, 43u);
        // Only the older s-0002.txt counts as replaced, not the first reading's own pieces.
        const bool numbered = naming == NamingMode::Numbered;
        EXPECT_EQ(report.piecesReplaced, numbered ? 1u : 0u);
        EXPECT_EQ(files.size(), (numbered ? 2u : 3u) + 43u);  // the source, the older files, one reading's pieces
        if (numbered) {
            EXPECT_EQ(files.at("s-0001.txt"), "caf\xC3\x83\xC2\xA9");  // windows-1252, as UTF-8
            EXPECT_EQ(files.at("s-0002.txt"),
                      "\xC3\x83\xC2\xA9"
                      "12");
            EXPECT_EQ(files.at("s-0043.txt"), "\xE2\x80\x9Cq\xE2\x80\x9D");
        } else {
            EXPECT_EQ(files.at("1.txt"),
                      "\xC3\x83\xC2\xA9"
                      "12");
        }
    }
}

// A source cut again in another code page gives what that code page gives
// when asked for at once: the same names, copy names included, and bytes,
// after a first reading that wrote pieces under colliding names; and the
// host is told of each piece once.
TEST(SplitRun, aSourceCutAgainGivesWhatItsCodePageGivesAtOnce) {
    std::string bytes;
    for (int line = 0; line < 60; ++line)
        bytes += (line % 3 == 0 ? "caf\xC3\xA9 " : "line ") + std::to_string(line) + "\r\n";
    bytes += "\x93q\x94\r\n";
    for (const NamingMode naming : {NamingMode::FirstChars, NamingMode::Numbered}) {
        for (const int writers : {0, 2}) {
            SCOPED_TRACE(::testing::Message() << "naming " << static_cast<int>(naming) << ", writers " << writers);
            Files given[2];
            std::vector<fs::path> told[2];
            for (const bool late : {true, false}) {
                Folder folder;
                const fs::path source = folder.Write("s.txt", bytes);
                FixedSettings settings = Lines(u"1");
                settings.naming = naming;
                settings.nameLength = ReadNameLength(u"3");
                RunOptions options;
                RunSeam seam;
                options.writerThreads = writers;
                options.reading.codepage = late ? "auto" : "windows-1252";
                seam.chunkBytes = 8;  // the late byte comes long after the first pieces are written
                RecordingHost host;
                const RunReport report = SplitRun(PathList{source}, settings, host, options, seam);
                EXPECT_TRUE(report.ok());
                EXPECT_EQ(report.piecesWritten, 61u);
                given[late ? 0 : 1] = folder.Files();
                told[late ? 0 : 1] = host.written;
            }
            EXPECT_EQ(given[0], given[1]);
            EXPECT_EQ(told[0], told[1]);
        }
    }
}

// A dry run of a source that is UTF-8 up to a late byte lists every piece
// once, under the names the run settles on, whatever the naming.
TEST(SplitRun, aDryRunListsThePiecesOfASourceFoundNotUtf8LateOnce) {
    std::string bytes = "caf\xC3\xA9\r\n";
    for (int line = 0; line < 40; ++line) bytes += "line " + std::to_string(line) + "\r\n";
    bytes += "\x93q\x94\r\n";
    for (const NamingMode naming : {NamingMode::Numbered, NamingMode::Prefix, NamingMode::FirstChars}) {
        SCOPED_TRACE(static_cast<int>(naming));
        Folder folder;
        FixedSettings settings = Lines(u"1");
        settings.naming = naming;
        RunOptions options = DryRun();
        RunSeam seam;  // the test-only switches
        options.reading.codepage = "auto";
        seam.chunkBytes = 8;  // the late byte comes long after the first pieces are cut
        RecordingHost host;
        EXPECT_TRUE(SplitRun(PathList{folder.Write("s.txt", bytes)}, settings, host, options, seam).ok());
        ASSERT_EQ(host.planned.size(), 42u);
        EXPECT_EQ(std::set<fs::path>(host.planned.begin(), host.planned.end()).size(), 42u);
        if (naming == NamingMode::Numbered) {
            EXPECT_EQ(host.planned.back(), folder / "s-0042.txt");
        }
    }
}

TEST(SplitRun, aSourceCutAgainCountsAndShowsEachBlockWithoutPiecesOnce) {
    // Three blocks of UTF-8 until a windows-1252 byte in the last: the run
    // cuts the source again from its start, and what the first cut counted
    // and showed is not counted or shown twice.
    std::string bytes;
    while (bytes.size() < 2 * SourceReader::kBlockBytes + 100) bytes += "caf\xC3\xA9 line\r\n";
    bytes += "\x93q\x94\r\n";
    Folder folder;
    const fs::path source = folder.Write("s.txt", bytes);
    FixedSettings settings = Lines(u"x");
    settings.naming = NamingMode::FirstChars;  // names differ by code page: the cut goes on undecided
    RunOptions options;
    options.reading.codepage = "auto";
    options.reading.wholeFile = false;
    RecordingHost host;
    const RunReport report = SplitRun(PathList{source}, settings, host, options);
    EXPECT_EQ(report.blocksNotCut, 3);
    EXPECT_EQ(host.notices.size(), 3u);
    EXPECT_TRUE(report.failures.empty());
    EXPECT_EQ(folder.Files().size(), 1u);  // the source alone
}

TEST(SplitRun, countsThePiecesThatTookThePlaceOfExistingFiles) {
    // Numbered names are known before writing; first-characters names only
    // once the piece has been written to its temporary file.
    for (const NamingMode naming : {NamingMode::Numbered, NamingMode::FirstChars}) {
        SCOPED_TRACE(static_cast<int>(naming));
        Folder folder;
        PathList sources{folder.Write("a.txt", "one\r\ntwo\r\nsix")};
        const bool numbered = naming == NamingMode::Numbered;
        folder.Write(numbered ? "a-0002.txt" : "two.txt", "older");
        folder.Write(numbered ? "a-0003.txt" : "six.txt", "older");
        FixedSettings settings = Lines(u"1");
        settings.naming = naming;
        RecordingHost host;
        const RunReport report = SplitRun(sources, settings, host);
        EXPECT_TRUE(report.ok());
        EXPECT_EQ(report.piecesWritten, 3u);
        EXPECT_EQ(report.piecesReplaced, 2u);
        EXPECT_EQ(folder.Files().at(numbered ? "a-0002.txt" : "two.txt"), "two");
    }
}

TEST(SplitRun, prefixNamingCountsFromTheFirstNumberForEverySource) {
    Folder folder;
    PathList sources{folder.Write("a.csv", "1;2"), folder.Write("b.dat", "3")};
    FixedSettings settings = Separator(u";");
    settings.naming = NamingMode::Prefix;
    settings.prefix = u"part";
    settings.firstNumber = ReadFirstNumber(u"4.5");
    RecordingHost host;
    EXPECT_TRUE(SplitRun(sources, settings, host).ok());
    EXPECT_EQ(
        folder.Files(),
        (Files{{"a.csv", "1;2"}, {"b.dat", "3"}, {"part4.csv", "1"}, {"part5.csv", "2\r\n"}, {"part4.dat", "3\r\n"}}));
}

// A piece whose name is still open after more than the in-memory limit goes
// through a temporary file, which ends up under the piece's name.
TEST(SplitRun, longPieceWithItsNameStillOpenEndsUpWhole) {
    Folder folder;
    const std::u16string text = u"\uFEFF" + std::u16string(1200000, u'-') + u"ab\u00e9c";
    PathList sources{folder.Write("u.txt", Utf16(text))};
    FixedSettings settings = Separator(u"#");
    settings.naming = NamingMode::FirstChars;
    settings.nameLength = ReadNameLength(u"2000000");
    RecordingHost host;
    const RunReport report = SplitRun(sources, settings, host);
    EXPECT_TRUE(report.ok());
    Files files = folder.Files();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files["abc.txt"], Utf8Literally(text.substr(1) + u"\r\n"));  // the mark is no text
}

TEST(SplitRun, stopAtAnyYieldLeavesOnlyWholePieces) {
    // A UTF-16 source is one block read in several chunks, so a stop can fall
    // inside a piece; the first piece is long enough to go through a temporary
    // file when its name waits for its first characters.
    const std::u16string text = u"\uFEFF" + std::u16string(1100000, u'-') + u"a;" + std::u16string(1000, u'+') + u"b;" +
                                std::u16string(300000, u'=') + u"c";
    std::set<std::string> wholePieces;
    for (const oracle::Piece& piece : oracle::CutAtSeparator(text.substr(1) + u"\r\n", u";"))
        wholePieces.insert(Utf8Literally(piece.text));
    for (NamingMode naming : {NamingMode::Numbered, NamingMode::FirstChars}) {
        for (int stopAt = 1;; ++stopAt) {
            SCOPED_TRACE(stopAt);
            Folder folder;
            PathList sources{folder.Write("w.txt", Utf16(text))};
            FixedSettings settings = Separator(u";");
            settings.naming = naming;
            settings.nameLength = ReadNameLength(u"2000000");
            RecordingHost host;
            host.stopAtYield = stopAt;
            const RunReport report = SplitRun(sources, settings, host);
            Files files = folder.Files();
            files.erase("w.txt");
            for (const auto& [name, bytes] : files) {
                EXPECT_TRUE(wholePieces.contains(bytes)) << name << " holds " << bytes.size() << " bytes";
            }
            EXPECT_EQ(report.stopped, host.yields >= stopAt);
            EXPECT_EQ(files.size(), report.piecesWritten);
            if (!report.stopped) {  // past the last yield: the whole run went through
                EXPECT_EQ(files.size(), 3u);
                EXPECT_GT(stopAt, 10);
                break;
            }
        }
    }
}

TEST(SplitRun, dryRunPlansEveryPieceAndTouchesNothing) {
    Folder folder;
    PathList sources{folder.Write("a.txt", "x\r\n\r\ny"), folder.Write("keep.txt", "keep")};
    FixedSettings settings = Lines(u"1");
    settings.naming = NamingMode::FirstChars;
    settings.nameLength = ReadNameLength(u"9");
    RecordingHost host;
    const RunReport report = SplitRun(sources, settings, host, DryRun());
    EXPECT_EQ(host.planned, (std::vector<fs::path>{folder / "x.txt", folder / "y.txt"}));
    ASSERT_EQ(report.failures.size(), 1u);  // keep.txt would land on itself
    EXPECT_EQ(report.failures[0].kind, Failure::Kind::TargetIsSource);
    EXPECT_EQ(report.piecesWritten, 0u);
    EXPECT_EQ(folder.Files(), (Files{{"a.txt", "x\r\n\r\ny"}, {"keep.txt", "keep"}}));
}

// A dry run's sizes are the sizes a real run writes: on the raw-byte path of a
// single-byte code page and of UTF-8, on decoded text, with a header, and with
// names known only after the first characters.
TEST(SplitRun, dryRunSizesAreTheSizesWritten) {
    struct SizeHost final : RunHost {
        std::map<std::string, std::uint64_t> sizes;
        void PlannedPieceSize(const fs::path& target, std::uint64_t bytes) override {
            sizes[target.filename().string()] = bytes;
        }
    };
    struct Case {
        const char* name;
        std::string bytes;
        std::string codepage;
        std::int64_t header;
        NamingMode naming;
    };
    const std::string ansi = "caf\xE9 \x80uro\r\n\xFFtre\r\nplain\r\n\r\n\xE9t\xE9\r\n";
    const std::string utf8 = "caf\xC3\xA9 \xE2\x82\xAC\r\n\xF0\x9F\x98\x80 x\r\nplain\r\nend";
    const Case cases[] = {
        {"windows-1252", ansi, "windows-1252", 0, NamingMode::Numbered},
        {"windows-1252 with a header", ansi, "windows-1252", 1, NamingMode::Numbered},
        {"UTF-8, first characters", utf8, "auto", 0, NamingMode::FirstChars},
        {"UTF-8 with a header, first characters", utf8, "utf-8", 1, NamingMode::FirstChars},
        {"UTF-16", Utf16(u"\uFEFFa\u00E9\r\n\u20AC\U0001F600\r\nz"), "", 1, NamingMode::Numbered},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Folder folder;
        PathList sources{folder.Write("s.txt", c.bytes)};
        FixedSettings settings = Lines(u"1");
        settings.naming = c.naming;
        settings.nameLength = ReadNameLength(u"3");
        RunOptions options;
        options.reading.codepage = c.codepage;
        options.headerLines = c.header;
        options.dryRun = true;
        SizeHost planned;
        EXPECT_TRUE(SplitRun(sources, settings, planned, options).ok());
        options.dryRun = false;
        RecordingHost written;
        EXPECT_TRUE(SplitRun(sources, settings, written, options).ok());
        std::map<std::string, std::uint64_t> sizes;
        for (const auto& [name, bytes] : folder.Files())
            if (name != "s.txt") sizes[name] = bytes.size();
        EXPECT_GE(sizes.size(), 2u);
        EXPECT_EQ(planned.sizes, sizes);
    }
}

TEST(SplitRun, utf16SourceIsOneBlockWrittenAsUtf8) {
    Folder folder;
    PathList sources{folder.Write("u.txt", Utf16(u"\uFEFFa\r\nb\u20AC\r\n"))};
    RecordingHost host;
    EXPECT_TRUE(SplitRun(sources, Lines(u"1"), host).ok());
    EXPECT_EQ(folder.Files()["u-0001.txt"], "a");  // the mark is the source's encoding, not its text
    EXPECT_EQ(folder.Files()["u-0002.txt"], "b\xE2\x82\xAC");
    EXPECT_EQ(folder.Files().count("u-0003.txt"), 0u);
}

TEST(SplitRun, wholeFileCutsTheSourceAsOneText) {
    Folder folder;
    std::string bytes;
    for (int line = 0; bytes.size() < 70000; ++line) bytes += "line " + std::to_string(line) + "\r\n";
    PathList sources{folder.Write("w.txt", bytes)};
    RecordingHost host;
    EXPECT_TRUE(SplitRun(sources, Lines(u"1000"), host, WholeFile()).ok());
    Text text(bytes.begin(), bytes.end());
    const std::vector<oracle::Piece> pieces = oracle::CutLines(text + u"\r\n", 1000);
    Files expected{{"w.txt", bytes}};
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (!pieces[i].text.empty()) {
            const fs::path name = NumberedName(fs::path("w.txt").native(), static_cast<std::int64_t>(i) + 1);
            expected[name.string()] = Utf8Literally(pieces[i].text);
        }
    }
    EXPECT_EQ(folder.Files(), expected);
}

}  // namespace
}  // namespace partwright
