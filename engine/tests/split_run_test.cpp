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
#include "engine/read/cesu8.h"
#include "engine/read/source_reader.h"
#include "engine/run/run_seam.h"
#include "engine/tests/literal_oracle.h"
#include "engine/tests/whole_file_io.h"
#include "engine/write/piece_writer.h"
#include "partwright/codepage.h"
#include "partwright/messages.h"
#include "partwright/numeric.h"

namespace partwright {
namespace {

namespace fs = std::filesystem;

// A fresh folder of its own for every test, removed with what is in it.
class Folder {
public:
    Folder() {
        std::random_device seed;
        std::mt19937_64 random(seed());
        for (;;) {
            path_ = fs::temp_directory_path() / ("partwright-run-" + std::to_string(random()));
            if (fs::create_directory(path_)) break;
        }
    }
    ~Folder() {
        std::error_code ignored;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(path_, ignored);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    fs::path operator/(const std::string& name) const { return path_ / name; }
    const fs::path& path() const { return path_; }

    fs::path Write(const std::string& name, const std::string& bytes) const {
        std::ofstream out(path_ / name, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return path_ / name;
    }
    // Every file in the folder and its subfolders, by path from the folder, with its bytes.
    std::map<std::string, std::string> Files() const {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(path_)) {
            if (entry.is_symlink() || !entry.is_regular_file()) continue;
            std::ifstream in(entry.path(), std::ios::binary);
            std::string bytes(static_cast<std::size_t>(entry.file_size()), '\0');
            in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            files[fs::relative(entry.path(), path_).generic_string()] = std::move(bytes);
        }
        return files;
    }

private:
    fs::path path_;
};

struct PathList final : SourceList {
    std::vector<fs::path> paths;
    PathList(std::initializer_list<fs::path> list) : paths(list) {}
    int Count() const override { return static_cast<int>(paths.size()); }
    fs::path At(int position) const override { return paths.at(static_cast<std::size_t>(position - 1)); }
};

struct RecordingHost final : RunHost {
    int stopAtYield = -1;  // the yield, counted from 1, that asks for a stop
    int yields = 0;
    std::vector<fs::path> notices;
    std::vector<Failure> failures;
    std::vector<fs::path> planned;
    int progressCalls = 0;
    Progress lastProgress;

    bool Yield() override { return ++yields != stopAtYield; }
    void ShowNotice(Notice notice, const fs::path& source) override {
        EXPECT_EQ(notice, Notice::LinesNotNumber);
        notices.push_back(source);
    }
    void ReportFailure(const Failure& failure) override { failures.push_back(failure); }
    void ReportProgress(const Progress& progress) override {
        ++progressCalls;
        lastProgress = progress;
    }
    void PlannedPiece(const fs::path& target) override { planned.push_back(target); }
};

FixedSettings Lines(const Text& n) {
    FixedSettings settings;
    settings.split = SplitMode::Lines;
    settings.linesPerPiece = ReadLinesPerPiece(n);
    return settings;
}

FixedSettings Separator(const Text& separator) {
    FixedSettings settings;
    settings.split = SplitMode::Separator;
    settings.separator = separator;
    return settings;
}

std::string Utf16(const std::u16string& text) {
    std::string bytes;
    for (char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

using Files = std::map<std::string, std::string>;

RunOptions DryRun() {
    RunOptions options;
    options.dryRun = true;
    return options;
}

RunOptions WholeFile() {
    RunOptions options;
    options.reading.wholeFile = true;
    return options;
}

// 1.0.0's reading: 30000-byte blocks in the system's code page, CR LF lines.
RunOptions Blocks() {
    RunOptions options;
    options.reading.wholeFile = false;
    options.reading.codepage = "system";
    options.lineEnd = LineEnd::CrLf;
    return options;
}

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
// single bytes, decoded text, UTF-16.
TEST(SplitRun, headerOfTheLongestLengthIsTakenAndOneUnitMoreIsReported) {
    struct Case {
        const char* codepage;
        bool alwaysDecode;
        std::string unit;  // the bytes of one unit of the header line
        bool utf16;
    };
    const Case cases[] = {{"utf-8", false, "\xC3\xA9", false},
                          {"utf-8", true, "\xC3\xA9", false},
                          {"windows-1252", false, "h", false},
                          {"windows-1252", true, "h", false},
                          {"system", false, std::string("h\0", 2), true}};
    for (const Case& c : cases) {
        for (const std::size_t units : {kMaxHeaderUnits, kMaxHeaderUnits + 1}) {
            SCOPED_TRACE(std::string(c.codepage) + (c.alwaysDecode ? " decoded " : " ") + std::to_string(units));
            const std::string lineEnd = c.utf16 ? std::string("\r\0\n\0", 4) : "\r\n";
            std::string bytes = c.utf16 ? "\xFF\xFE" : "";  // the byte-order mark is a unit of the header
            for (std::size_t i = bytes.size() / 2; i + 2 < units; ++i) bytes += c.unit;
            const std::string header = bytes + lineEnd;
            bytes = header + (c.utf16 ? std::string("x\0", 2) : "x");
            Folder folder;
            PathList sources{folder.Write("h.txt", bytes)};
            RunOptions options;
            RunSeam seam;  // the test-only switches
            options.reading.codepage = c.codepage;
            seam.alwaysDecode = c.alwaysDecode;
            options.headerLines = 1;
            RecordingHost host;
            const RunReport report = SplitRun(sources, Lines(u"1"), host, options, seam);
            const Files files = folder.Files();
            if (units == kMaxHeaderUnits) {
                EXPECT_TRUE(report.ok());
                ASSERT_EQ(files.size(), 2u);
                EXPECT_EQ(files.at("h-0001.txt").size(),
                          c.utf16 ? 3 + (units - 3) * 1 + 2 + 1 : header.size() + 1);  // as UTF-8
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

TEST(SplitRun, pieceThatWouldLandOnASourceIsRefusedAndTheRunGoesOn) {
    Folder folder;
    // "keep" names a piece keep.txt, which is the second source, reached through another spelling.
    const fs::path keep = folder.Write("keep.txt", "zz");
    PathList sources{folder.Write("data.txt", "keep;abc"), folder.path() / "." / "keep.txt"};
    FixedSettings settings = Separator(u";");
    settings.naming = NamingMode::FirstChars;
    settings.nameLength = ReadNameLength(u"4");
    RecordingHost host;
    const RunReport report = SplitRun(sources, settings, host);
    ASSERT_EQ(report.failures.size(), 1u);
    EXPECT_EQ(report.failures[0].kind, Failure::Kind::TargetIsSource);
    EXPECT_EQ(report.failures[0].path, keep);
    EXPECT_EQ(host.failures.size(), 1u);
    EXPECT_FALSE(report.ok());
    EXPECT_EQ(folder.Files(),
              (Files{{"data.txt", "keep;abc"}, {"keep.txt", "zz"}, {"abc.txt", "abc\r\n"}, {"zz.txt", "zz\r\n"}}));
}

// Sources and pieces the run must refuse, each reported with its kind, its
// path and its reason, and leaving nothing but the source behind.
TEST(SplitRun, refusedSourcesPiecesAndHeadersAreReportedExactly) {
    const std::string longLine(SourceReader::kBlockBytes + 10, 'h');
    const std::string longHeader(kMaxHeaderUnits + 10, 'h');
    const struct {
        const char* name;
        const char* source;  // the file's name
        std::string bytes;
        NamingMode naming;
        std::int64_t headerLines;
        bool wholeFile;
        const char* pieceName;  // the path the failure names: the piece's, or null for the source
        Failure::Kind kind;
        std::string reason;
    } cases[] = {
        {"a temporary file as a source", ".partwright-0123456789abcdef.tmp", "a\r\nb", NamingMode::Numbered, 0, false,
         nullptr, Failure::Kind::ReadSource, "a temporary file of an unfinished piece, not a source"},
        {"a prefix that makes temporary names", "a.txt", "a", NamingMode::Prefix, 0, false, nullptr,
         Failure::Kind::BadPrefix,
         "names that start with \".partwright-\" are kept for temporary files, got \".partwright-\""},
        // The line end the run appends to a block ends a header line too: the
        // first block holds two lines here, the header asks for three.
        {"a header past the first block", "h.txt", "top\r\n" + longLine + "\r\nbody", NamingMode::Numbered, 3, false,
         nullptr, Failure::Kind::BadHeader,
         "its first 3 lines do not end within its first block of " + std::to_string(SourceReader::kBlockBytes) +
             " bytes"},
        {"a header past a first block of one line", "e.txt", std::string(SourceReader::kBlockBytes, 'h') + "body",
         NamingMode::Numbered, 2, false, nullptr, Failure::Kind::BadHeader,
         "its first 2 lines do not end within its first block of " + std::to_string(SourceReader::kBlockBytes) +
             " bytes"},
        {"a header longer than one text may be", "w.txt", longHeader + "\r\nbody", NamingMode::Numbered, 1, true,
         nullptr, Failure::Kind::BadHeader,
         "its first 1 lines are longer than " + std::to_string(kMaxHeaderUnits) + " characters"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Folder folder;
        const fs::path source = folder.Write(c.source, c.bytes);
        FixedSettings settings = Lines(u"1");
        settings.naming = c.naming;
        settings.prefix = u".partwright-";
        RunOptions options;
        options.headerLines = c.headerLines;
        options.reading.wholeFile = c.wholeFile;
        RecordingHost host;
        const RunReport report = SplitRun(PathList{source}, settings, host, options);
        ASSERT_EQ(report.failures.size(), 1u);
        EXPECT_EQ(report.failures[0].kind, c.kind);
        EXPECT_EQ(report.failures[0].path, c.pieceName ? folder / c.pieceName : source);
        EXPECT_EQ(report.failures[0].reason, c.reason);
        EXPECT_EQ(host.failures.size(), 1u);
        EXPECT_EQ(report.piecesWritten, 0u);
        EXPECT_EQ(folder.Files(), (Files{{c.source, c.bytes}}));
    }
}

// b.txt is not there when the run starts: the first source's first piece
// creates it. When the second source, b.txt itself, names its piece b.txt,
// that piece would replace the source it is being cut from.
TEST(SplitRun, sourceCreatedByAnEarlierPieceIsNeverReplaced) {
    Folder folder;
    std::string first = "b";
    first.append(1000000, '-');
    first.append("END");
    const std::string whole = first + std::string(";rest");
    PathList sources{folder.Write("a.txt", whole), folder / "b.txt"};
    FixedSettings settings = Separator(u";");
    settings.naming = NamingMode::FirstChars;
    settings.nameLength = ReadNameLength(u"1");
    RecordingHost host;
    const RunReport report = SplitRun(sources, settings, host, WholeFile());
    // b.txt, a piece of this run, is not replaced either: the piece of it takes the next copy name.
    EXPECT_TRUE(report.failures.empty());
    EXPECT_EQ(folder.Files(),
              (Files{{"a.txt", whole}, {"b.txt", first}, {"r.txt", "rest\r\n"}, {"b (2).txt", first + "\r\n"}}));
}

// A source that ends before the length it had when opened: the pieces
// already written stay, and the shortfall is that source's failure.
TEST(SplitRun, sourceThatShrinksWhileReadIsAFailureOfThatSource) {
    struct ShrinkingHost final : RunHost {
        fs::path source;
        int yields = 0;
        bool Yield() override {
            // The source is open by the third yield (list, source, first read).
            if (++yields == 4) fs::resize_file(source, 600000);
            return true;
        }
    };
    Folder folder;
    std::string text;
    for (int i = 0; i < 9000; ++i) text += std::string(98, static_cast<char>('a' + i / 3000)) + "\r\n";
    ShrinkingHost host;
    host.source = folder.Write("s.txt", text);
    folder.Write("s-0002.txt", "older");
    PathList sources{host.source};
    const RunReport report = SplitRun(sources, Lines(u"3000"), host, WholeFile());
    ASSERT_EQ(report.failures.size(), 1u);
    EXPECT_EQ(report.failures[0].kind, Failure::Kind::ReadSource);
    EXPECT_EQ(report.failures[0].path, host.source);
    EXPECT_NE(report.failures[0].reason.find("900000"), std::string::npos) << report.failures[0].reason;
    Files files = folder.Files();
    files.erase("s.txt");
    EXPECT_EQ(files, (Files{{"s-0001.txt", text.substr(0, 299998)}, {"s-0002.txt", "older"}}));
}

TEST(SplitRun, unreadableSourceIsReportedAndTheRunGoesOn) {
    Folder folder;
    fs::create_directory(folder / "sub");
    PathList sources{folder / "missing.txt", folder / "sub", folder.Write("ok.txt", "fine")};
    RecordingHost host;
    const RunReport report = SplitRun(sources, Lines(u"3"), host);
    ASSERT_EQ(report.failures.size(), 2u);
    EXPECT_EQ(report.failures[0].kind, Failure::Kind::OpenSource);
    EXPECT_EQ(report.failures[0].path, sources.paths[0]);
    EXPECT_FALSE(report.failures[0].reason.empty());
    EXPECT_EQ(report.failures[1].path, sources.paths[1]);
    EXPECT_EQ(Describe(report.failures[0]).rfind("cannot open " + sources.paths[0].string() + ": ", 0), 0u);
    EXPECT_EQ(folder.Files()["ok-0001.txt"], "fine");
}

// Only the pieces that would be written are named, so only they can fail:
// the empty line groups of lines mode are not, the empty pieces of separator
// mode are.
TEST(SplitRun, unusableNamingValuesSkipEveryPieceWithAReport) {
    struct Case {
        NamingMode naming;
        Text value;
        Failure::Kind kind;
    };
    struct Split {
        FixedSettings settings;
        std::string source;
        std::size_t written;
    };
    const Split splits[] = {
        {Separator(u";"), "1;2", 2},
        {Separator(u";"), ";;2", 3},
        {Lines(u"1"), "1\r\n2", 2},          // and an empty last group
        {Lines(u"1"), "1\r\n\r\n\r\n2", 2},  // and three empty groups
        {Lines(u"2"), "", 0},
    };
    for (const Case& c : {Case{NamingMode::FirstChars, u"abc", Failure::Kind::BadNameLength},
                          Case{NamingMode::FirstChars, u"-1", Failure::Kind::BadNameLength},
                          Case{NamingMode::FirstChars, u"3e10", Failure::Kind::BadNameLength},
                          Case{NamingMode::Prefix, u"x", Failure::Kind::BadFirstNumber},
                          Case{NamingMode::Prefix, u"32768", Failure::Kind::BadFirstNumber}}) {
        for (const Split& split : splits) {
            for (const bool dryRun : {false, true}) {
                SCOPED_TRACE(::testing::PrintToString(c.value) + " " + ::testing::PrintToString(split.source) +
                             (dryRun ? " dry run" : ""));
                Folder folder;
                PathList sources{folder.Write("a.txt", split.source)};
                FixedSettings settings = split.settings;
                settings.naming = c.naming;
                settings.nameLength = ReadNameLength(c.value);
                settings.firstNumber = ReadFirstNumber(c.value);
                RecordingHost host;
                const RunReport report = SplitRun(sources, settings, host, dryRun ? DryRun() : RunOptions{});
                ASSERT_EQ(report.failures.size(), split.written);
                EXPECT_EQ(host.failures.size(), split.written);
                for (const Failure& failure : report.failures) {
                    EXPECT_EQ(failure.kind, c.kind);
                    EXPECT_EQ(failure.path, sources.paths[0]);
                    EXPECT_NE(failure.reason.find(ToCesu8(c.value)), std::string::npos);
                }
                EXPECT_TRUE(host.planned.empty());
                EXPECT_EQ(folder.Files().size(), 1u);
            }
        }
    }
}

TEST(SplitRun, firstCharactersNameThatCanNeverBeAFileNameIsReported) {
    Folder folder;
    PathList sources{folder.Write("a.txt", std::string(5000, 'q') + ";short")};
    FixedSettings settings = Separator(u";");
    settings.naming = NamingMode::FirstChars;
    settings.nameLength = ReadNameLength(u"100000");
    RecordingHost host;
    const RunReport report = SplitRun(sources, settings, host);
    ASSERT_EQ(report.failures.size(), 1u);
    EXPECT_EQ(report.failures[0].kind, Failure::Kind::NameTooLong);
    Files files = folder.Files();
    EXPECT_EQ(files.size(), 2u);
    EXPECT_EQ(files["short.txt"], "short\r\n");
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
    EXPECT_EQ(files["abc.txt"], ToCesu8(text + u"\r\n"));
}

#ifndef _WIN32
// A piece named after its first characters fails while its name is still
// open (a file-size limit strikes): the report names the piece, not its
// temporary file, and nothing of it is left.
TEST(SplitRun, failureBeforeThePieceHasItsNameIsReportedUnderThatName) {
    Folder folder;
    PathList sources{folder.Write("s.txt", "ab" + std::string(1200000, '-'))};
    FixedSettings settings = Separator(u";");
    settings.naming = NamingMode::FirstChars;
    settings.nameLength = ReadNameLength(u"1100000");
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 64 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    RecordingHost host;
    const RunReport report = SplitRun(sources, settings, host, WholeFile());
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    ASSERT_EQ(report.failures.size(), 1u);
    EXPECT_EQ(report.failures[0].kind, Failure::Kind::WritePiece);
    EXPECT_EQ(report.failures[0].path, folder / "ab.txt");
    EXPECT_EQ(report.failures[0].reason, "File too large");
    EXPECT_EQ(folder.Files().size(), 1u);
}
#endif

TEST(SplitRun, stopAtAnyYieldLeavesOnlyWholePieces) {
    // A UTF-16 source is one block read in several chunks, so a stop can fall
    // inside a piece; the first piece is long enough to go through a temporary
    // file when its name waits for its first characters.
    const std::u16string text = u"\uFEFF" + std::u16string(1100000, u'-') + u"a;" + std::u16string(1000, u'+') + u"b;" +
                                std::u16string(300000, u'=') + u"c";
    std::set<std::string> wholePieces;
    for (const oracle::Piece& piece : oracle::CutAtSeparator(text + u"\r\n", u";"))
        wholePieces.insert(ToCesu8(piece.text));
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
        bool alwaysDecode;
        std::int64_t header;
        NamingMode naming;
    };
    const std::string ansi = "caf\xE9 \x80uro\r\n\xFFtre\r\nplain\r\n\r\n\xE9t\xE9\r\n";
    const std::string utf8 = "caf\xC3\xA9 \xE2\x82\xAC\r\n\xF0\x9F\x98\x80 x\r\nplain\r\nend";
    const Case cases[] = {
        {"bytes of windows-1252", ansi, "windows-1252", false, 0, NamingMode::Numbered},
        {"decoded windows-1252 with a header", ansi, "windows-1252", true, 1, NamingMode::Numbered},
        {"UTF-8 bytes, first characters", utf8, "auto", false, 0, NamingMode::FirstChars},
        {"UTF-8 decoded with a header", utf8, "utf-8", true, 1, NamingMode::FirstChars},
        {"UTF-16", Utf16(u"\uFEFFa\u00E9\r\n\u20AC\U0001F600\r\nz"), "", false, 1, NamingMode::Numbered},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Folder folder;
        PathList sources{folder.Write("s.txt", c.bytes)};
        FixedSettings settings = Lines(u"1");
        settings.naming = c.naming;
        settings.nameLength = ReadNameLength(u"3");
        RunOptions options;
        RunSeam seam;  // the test-only switches
        options.reading.codepage = c.codepage;
        seam.alwaysDecode = c.alwaysDecode;
        options.headerLines = c.header;
        options.dryRun = true;
        SizeHost planned;
        EXPECT_TRUE(SplitRun(sources, settings, planned, options, seam).ok());
        options.dryRun = false;
        RecordingHost written;
        EXPECT_TRUE(SplitRun(sources, settings, written, options, seam).ok());
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
    EXPECT_EQ(folder.Files()["u-0001.txt"],
              "\xEF\xBB\xBF"
              "a");
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
            expected[name.string()] = ToCesu8(pieces[i].text);
        }
    }
    EXPECT_EQ(folder.Files(), expected);
}

TEST(SplitRun, unwritablePieceIsReportedAndTheRunGoesOn) {
    Folder folder;
    PathList sources{folder.Write("s.txt", "1;2;3")};
    // The first piece cannot be created (no such folder). A link at a piece's
    // name is replaced by the piece, never written through.
    std::error_code noFullDevice;
    fs::create_symlink("/dev/full", folder / "x2.txt", noFullDevice);
    FixedSettings settings = Separator(u";");
    settings.naming = NamingMode::Prefix;
    settings.prefix = u"x";
    RecordingHost firstHost;
    const RunReport first = SplitRun(sources, settings, firstHost);
    RunOptions missing;
    missing.outputFolder = folder / "missing";
    RecordingHost host;
    const RunReport second = SplitRun(sources, settings, host, missing);

    ASSERT_EQ(second.failures.size(), 3u);
    EXPECT_EQ(second.failures[0].kind, Failure::Kind::WritePiece);
    EXPECT_EQ(second.failures[0].path, folder / "missing/x1.txt");
    EXPECT_FALSE(second.failures[0].reason.empty());
    EXPECT_EQ(host.failures.size(), 3u);
    EXPECT_FALSE(second.ok());
    Files files = folder.Files();
    EXPECT_EQ(files["x1.txt"], "1");
    EXPECT_EQ(files["x3.txt"], "3\r\n");
    EXPECT_TRUE(first.failures.empty());
    EXPECT_EQ(first.piecesWritten, 3u);
    EXPECT_FALSE(fs::is_symlink(folder / "x2.txt"));
    EXPECT_EQ(files["x2.txt"], "2");
}

// The whole run against a literal run built from ReadFileBlocks (or, for
// UTF-8, the literal reading of UTF-8), the literal cutting rules, the naming
// routines and WriteWholePiece.
class LiteralRun {
public:
    LiteralRun(const std::vector<fs::path>& sources, const FixedSettings& settings, const RunOptions& options)
        : sources_(sources), settings_(settings), options_(options) {}

    // Reads the sources that are not UTF-16 as UTF-8, with the literal reading.
    LiteralRun& Utf8() {
        utf8_ = true;
        return *this;
    }

    void Run() {
        const Text end = oracle::LineEndText(options_.lineEnd);
        for (const fs::path& source : sources_) {
            Failure failure;
            std::optional<std::vector<Text>> blocks;
            std::ifstream in(source, std::ios::binary);
            const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
            const bool utf16 = !bytes.empty() && (bytes[0] == '\xFF' || bytes[0] == '\xFE');
            if (utf8_ && !utf16) {
                blocks = oracle::Utf8Blocks(bytes, options_.reading.wholeFile);
            } else {
                ReadOptions read{options_.reading, false};
                read.chunkBytes = 0;  // the reader's own steps, whatever the run's
                blocks = ReadFileBlocks(source, read, failure);
            }
            ASSERT_TRUE(blocks.has_value());
            std::int64_t index = 0;
            Text header;
            for (std::size_t b = 0; b < blocks->size(); ++b) {
                Text blockText = (*blocks)[b] + end;
                if (b == 0 && options_.headerLines > 0) {
                    const auto split = oracle::TakeHeader(blockText, options_.headerLines, options_.lineEnd);
                    if (!split) break;  // the header does not end in the first block: no pieces
                    // Ended only by the line end appended to a block that is not the last: cut, no pieces.
                    if (blocks->size() > 1 && oracle::CountLines((*blocks)[0], end) - 1 < options_.headerLines) break;
                    header = split->header + end;
                    if (options_.maxPieceBytes > 0 && ToCesu8(header).size() >= options_.maxPieceBytes) break;
                    blockText = split->rest;
                }
                for (const oracle::Piece& piece : Cut(blockText, ToCesu8(header).size())) {
                    if (!piece.text.empty() || piece.writeWhenEmpty) Write(source, header, piece.text, index);
                    ++index;
                }
            }
        }
    }

private:
    std::vector<oracle::Piece> Cut(const Text& blockText, std::uint64_t headerBytes) const {
        if (options_.maxPieceBytes > 0) {
            return oracle::CutMaxBytes(blockText, options_.maxPieceBytes, options_.lineEnd, headerBytes);
        }
        switch (settings_.split) {
        case SplitMode::Lines:
            return oracle::CutLines(blockText, RoundHalfEven(*ParseNumber(settings_.linesPerPiece.typed)),
                                    options_.lineEnd);
        case SplitMode::Separator: return oracle::CutAtSeparator(blockText, settings_.separator);
        case SplitMode::BlankLines: return oracle::CutAtBlankLines(blockText, options_.lineEnd);
        case SplitMode::MaxBytes: return {};  // with no size, nothing to cut by
        }
        return {};
    }

    void Write(const fs::path& source, const Text& header, const Text& text, std::int64_t index) {
        const fs::path named = options_.outputFolder.empty() ? source : options_.outputFolder / source.filename();
        fs::path target;
        switch (settings_.naming) {
        case NamingMode::FirstChars: {
            const auto x = static_cast<std::size_t>(*ToInt32(settings_.nameLength.typed));
            target = named.parent_path() / (ToNative(AlphaNumOnly(TextView(text).substr(0, x))) + ToNative(u".txt"));
            // No letter or digit, or a device's name: the numbered name with ".txt".
            if (target.filename() == ".txt" || IsDeviceName(target.stem().u16string())) {
                target = target.parent_path() / (named.stem().string() + "-" + PadZeros(index + 1, 4) + ".txt");
            }
            break;
        }
        case NamingMode::Numbered: target = NumberedName(named.native(), index + 1); break;
        case NamingMode::Prefix:
            target = PrefixCounterName(settings_.prefix, named.native(), *ToInt16(settings_.firstNumber.typed) + index);
            break;
        }
        // A name an earlier piece took gives "stem (2).ext", "stem (3).ext", ...
        const fs::path wanted = target;
        for (int copy = 2; std::find(taken_.begin(), taken_.end(), target) != taken_.end(); ++copy) {
            target = wanted.parent_path() /
                     (wanted.stem().string() + " (" + std::to_string(copy) + ")" + wanted.extension().string());
        }
        for (const fs::path& other : sources_) {
            if (std::error_code ec; fs::equivalent(other, target, ec)) return;  // never over a source, however spelled
        }
        Failure failure;
        ASSERT_TRUE(WriteWholePiece(header + text, target, failure)) << Describe(failure);
        taken_.push_back(target);
        if (target != wanted) ++renamed;
    }

public:
    std::uint64_t renamed = 0;

private:
    std::vector<fs::path> taken_;

    std::vector<fs::path> sources_;
    FixedSettings settings_;
    RunOptions options_;
    bool utf8_ = false;
};

// Sources in code pages and UTF-16, some past one 30000-byte block, read in
// tiny chunks or whole; line ends, sizes, headers and an output folder.
TEST(SplitRunDifferential, wholeRunMatchesTheLiteralRun) {
    std::mt19937 random(424242);
    const std::vector<std::string> alphabets = {"ab\r\n",        "\r\n;x",   "a\r\n\r\n",
                                                "Ab1 ;\r\n\xe9", "ab\n\n\r", "a\xe9\n"};
    const std::vector<Text> separators = {u";", u"", u"\r\n", u"a\r", u"ab", u";;"};
    // Each round writes its pieces as files: few rounds, as under Wine every file costs.
    for (int round = 0; round < 150; ++round) {
        SCOPED_TRACE(round);
        FixedSettings settings;
        settings.split = static_cast<SplitMode>(round % 3);
        settings.linesPerPiece = ReadLinesPerPiece(std::vector<Text>{u"1", u"2", u"3", u"2.5", u"7"}[random() % 5]);
        settings.separator = separators[random() % separators.size()];
        settings.naming = static_cast<NamingMode>((round / 3) % 3);
        settings.nameLength = ReadNameLength(std::vector<Text>{u"0", u"1", u"3", u"12"}[random() % 4]);
        settings.prefix = std::vector<Text>{u"", u"p", u"a"}[random() % 3];
        settings.firstNumber = ReadFirstNumber(std::vector<Text>{u"1", u"-2", u"0"}[random() % 3]);
        RunOptions options = Blocks();
        RunSeam seam;  // the test-only switches
        const bool windowRules = round < 50;
        if (!windowRules) {
            options.lineEnd = random() % 2 == 0 ? LineEnd::Lf : LineEnd::CrLf;
            options.maxPieceBytes = random() % 3 == 0 ? 0 : 1 + random() % 40;
            options.headerLines = random() % 2 == 0 ? 0 : 1 + random() % 3;
            options.reading.codepage = random() % 3 == 0 ? "windows-1251" : "";
            options.reading.wholeFile = random() % 4 == 0;
            seam.chunkBytes = random() % 2 == 0 ? 0 : 1 + random() % 9;
            seam.alwaysDecode = random() % 3 == 0;  // the decoded path of a single-byte code page
        }

        const std::string& alphabet = alphabets[random() % alphabets.size()];
        std::vector<std::string> contents;
        for (int file = 0; file < 3; ++file) {
            // Now and then a source over one block long, so pieces meet the block
            // boundary; mostly plain letters there, to keep the number of files small.
            // (Never with tiny chunks: thousands of reads cost too much under Wine.)
            const bool large = random() % 9 == 0 && seam.chunkBytes == 0;
            const std::size_t length = large ? 30000 + random() % 200 : random() % 60;
            std::string bytes;
            for (std::size_t i = 0; i < length; ++i) {
                const bool plain = large && random() % 200 != 0;
                bytes.push_back(plain ? 'q' : alphabet[random() % alphabet.size()]);
            }
            if (!windowRules && random() % 5 == 0) {
                Text text = u"\xFEFF";
                for (const char byte : bytes)
                    text += byte == 'b' ? u'\u0416' : static_cast<char16_t>(static_cast<unsigned char>(byte));
                bytes = Utf16(text);
            }
            contents.push_back(bytes);
        }
        const std::vector<std::string> names = {"a.txt", "b", "Ab1.txt"};
        Folder fast;
        Folder literal;
        PathList fastSources{};
        std::vector<fs::path> literalSources;
        for (std::size_t i = 0; i < names.size(); ++i) {
            fastSources.paths.push_back(fast.Write(names[i], contents[i]));
            literalSources.push_back(literal.Write(names[i], contents[i]));
        }
        const bool elsewhere = !windowRules && random() % 3 == 0;
        if (elsewhere) {
            fs::create_directory(fast / "out");
            fs::create_directory(literal / "out");
            options.outputFolder = fast / "out";
        }
        RecordingHost host;
        const RunReport report = SplitRun(fastSources, settings, host, options, seam);
        if (elsewhere) options.outputFolder = literal / "out";
        LiteralRun literalRun(literalSources, settings, options);
        literalRun.Run();
        ASSERT_EQ(fast.Files(), literal.Files());
        EXPECT_EQ(report.piecesRenamed, literalRun.renamed);
        for (const Failure& failure : report.failures) {
            EXPECT_TRUE(failure.kind == Failure::Kind::TargetIsSource || failure.kind == Failure::Kind::BadHeader)
                << Describe(failure);
        }
    }
}

// Whether `bytes` are valid UTF-8 throughout, by the literal reading: then
// its code points, written back, are the same bytes.
bool IsValidUtf8Literally(const std::string& bytes) {
    const Text text = oracle::DecodeUtf8(bytes);
    std::string again;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool pair = text[i] >= 0xD800 && text[i] < 0xDC00 && i + 1 < text.size();
        AppendUtf8(pair ? 0x10000 + ((text[i] - 0xD800) << 10) + (text[i + 1] - 0xDC00) : text[i], again);
        i += pair ? 1 : 0;
    }
    return again == bytes;
}

// UTF-8 sources, on the byte path and decoded, against the literal reading:
// characters of one to four bytes, a byte-order mark, bytes that are not
// UTF-8 (lone continuation bytes, overlong forms, encoded surrogates, code
// points past U+10FFFF, cut sequences), and characters across the
// 30000-byte boundary; separators that such bytes, or half a pair, match.
// With "auto", a source that is not valid throughout is read as without it.
TEST(SplitRunDifferential, utf8SourcesMatchTheLiteralRun) {
    std::mt19937 random(65001);
    constexpr std::size_t kValidTokens = 10;  // the first ones
    const std::vector<std::string> tokens = {"a",
                                             "b",
                                             ";",
                                             "\r\n",
                                             "\r\n",
                                             "\xC3\xA9",
                                             "\xE2\x82\xAC",
                                             "\xE4\xB8\x80",
                                             "\xF0\x9F\x98\x80",
                                             "\xEF\xBB\xBF",
                                             "\x80",
                                             "\xE9",
                                             "\xFF",
                                             "\xC0\xAF",
                                             "\xE0\x80\xAF",
                                             "\xED\xA0\x80",
                                             "\xF4\x90\x80\x80",
                                             "\xE2\x82",
                                             "\xF0\x9F\x98",
                                             "\xC2"};
    const std::vector<Text> separators = {u";",      u"\u00E9", u"\u20AC",     u"a\u00E9", u"\U0001F600",
                                          u"\xD83D", u"\u00C3", u"\r\n\u20AC", u""};
    for (int round = 0; round < 160; ++round) {
        SCOPED_TRACE(round);
        FixedSettings settings;
        settings.split = static_cast<SplitMode>(round % 3);
        settings.linesPerPiece = ReadLinesPerPiece(std::vector<Text>{u"1", u"2", u"5"}[random() % 3]);
        settings.separator = separators[random() % separators.size()];
        settings.naming = static_cast<NamingMode>((round / 3) % 3);
        settings.nameLength = ReadNameLength(std::vector<Text>{u"0", u"1", u"2", u"5"}[random() % 4]);
        RunOptions options;
        RunSeam seam;  // the test-only switches
        options.reading.codepage = random() % 4 == 0 ? "auto" : "utf-8";
        options.reading.wholeFile = random() % 2 == 0;
        seam.alwaysDecode = random() % 3 == 0;
        seam.chunkBytes = random() % 2 == 0 ? 0 : 1 + random() % 9;  // characters cut between chunks
        options.lineEnd = random() % 4 == 0 ? LineEnd::Lf : LineEnd::CrLf;
        options.headerLines = random() % 4 == 0 ? 1 : 0;
        options.maxPieceBytes = random() % 5 == 0 ? 4 + random() % 30 : 0;
        const std::size_t tokenCount = options.reading.codepage == "auto" && random() % 2 == 0 ? kValidTokens
                                                                                               : tokens.size();

        std::vector<std::string> contents;
        for (int file = 0; file < 2; ++file) {
            std::string bytes = random() % 5 == 0 ? "\xEF\xBB\xBF" : "";
            // Now and then a source past one block, with a character of 2 to 4
            // bytes about its boundary; few line ends there, to keep the pieces few.
            const bool large = random() % 8 == 0;
            if (large) bytes.append(29997 - bytes.size() + random() % 3, 'q');
            for (std::size_t i = 0, count = large ? 30 : random() % 40; i < count; ++i) {
                bytes += tokens[random() % tokenCount];
            }
            contents.push_back(bytes);
        }
        Folder fast;
        Folder literal;
        PathList fastSources{};
        // A folder for each source: the literal runs one source at a time,
        // so pieces of two sources must not meet under one name.
        const auto sourceName = [](std::size_t i) {
            return "d" + std::to_string(i) + "/s" + std::to_string(i) + ".txt";
        };
        for (std::size_t i = 0; i < contents.size(); ++i) {
            fs::create_directory(fast / ("d" + std::to_string(i)));
            fs::create_directory(literal / ("d" + std::to_string(i)));
            fastSources.paths.push_back(fast.Write(sourceName(i), contents[i]));
        }
        RecordingHost host;
        const RunReport report = SplitRun(fastSources, settings, host, options, seam);
        for (std::size_t i = 0; i < contents.size(); ++i) {
            const fs::path source = literal.Write(sourceName(i), contents[i]);
            if (options.reading.codepage == "auto" && !IsValidUtf8Literally(contents[i])) {
                RunOptions plain = options;
                plain.reading.codepage = std::to_string(AutoFallbackCodepage());
                (void)SplitRun(PathList{source}, settings, host, plain);
            } else {
                LiteralRun({source}, settings, options).Utf8().Run();
            }
        }
        ASSERT_EQ(fast.Files(), literal.Files())
            << options.reading.codepage << (options.reading.wholeFile ? " whole" : "")
            << (seam.alwaysDecode ? " decoded" : "");
        for (const Failure& failure : report.failures) {
            EXPECT_TRUE(failure.kind == Failure::Kind::TargetIsSource || failure.kind == Failure::Kind::BadHeader)
                << Describe(failure);
        }
    }
}

}  // namespace
}  // namespace partwright
