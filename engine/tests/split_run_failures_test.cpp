// Whole runs that meet failures: refused pieces and sources, unreadable
// and unwritable files, unusable naming values.
#include "partwright/split_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
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
#ifdef __linux__
#include <sys/mount.h>
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

#ifdef __linux__
// A folder reached by a second path that no spelling shows to be the same (a
// bind mount here, a junction on Windows) is still one folder: the second
// source's pieces take copy names instead of replacing the first's, and a
// dry run plans those copy names. Skipped where mounting is not permitted.
TEST(SplitRun, oneFolderUnderTwoPathsIsOneFolderForNaming) {
    Folder folder;
    fs::create_directory(folder / "real");
    fs::create_directory(folder / "alias");
    if (::mount((folder / "real").c_str(), (folder / "alias").c_str(), nullptr, MS_BIND, nullptr) != 0) {
        GTEST_SKIP() << "cannot bind-mount a folder here";
    }
    struct Unmount {
        fs::path at;
        ~Unmount() { (void)::umount(at.c_str()); }
    } unmount{folder / "alias"};
    folder.Write("real/a.txt", "1;2");
    folder.Write("real/b.txt", "3;4");
    PathList sources{folder / "real" / "a.txt", folder / "alias" / "b.txt"};
    FixedSettings settings = Separator(u";");
    settings.naming = NamingMode::Prefix;
    settings.prefix = u"p";
    for (const bool dryRun : {false, true}) {
        SCOPED_TRACE(dryRun ? "dry run" : "run");
        RecordingHost host;
        RunOptions options;
        options.dryRun = dryRun;
        EXPECT_TRUE(SplitRun(sources, settings, host, options).ok());
        if (dryRun) {
            EXPECT_EQ(host.planned,
                      (std::vector<fs::path>{folder / "real" / "p1.txt", folder / "real" / "p2.txt",
                                             folder / "alias" / "p1 (2).txt", folder / "alias" / "p2 (2).txt"}));
        } else {
            Files inReal = folder.Files();  // which lists the same files again under alias/
            std::erase_if(inReal, [](const auto& file) { return !file.first.starts_with("real/"); });
            EXPECT_EQ(inReal, (Files{{"real/a.txt", "1;2"},
                                     {"real/b.txt", "3;4"},
                                     {"real/p1.txt", "1"},
                                     {"real/p2.txt", "2\r\n"},
                                     {"real/p1 (2).txt", "3"},
                                     {"real/p2 (2).txt", "4\r\n"}}));
        }
    }
}
#endif

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

// A source written to while it is split (writers read its bytes again) is a
// failure of that source, once, on every number of writer threads: longer,
// or rewritten in place at the same size.
TEST(SplitRun, sourceWrittenToWhileSplitIsAFailureOfThatSource) {
    struct ChangingHost final : RunHost {
        fs::path source;
        bool grow = false;
        int yields = 0;
        bool Yield() override {
            if (++yields != 4) return true;
            std::fstream file(source, std::ios::in | std::ios::out | std::ios::binary);
            file.seekp(grow ? 0 : 400000, grow ? std::ios::end : std::ios::beg);
            file << "changed";
            file.close();
            // A write a moment later, however coarse the clock of the file system.
            fs::last_write_time(source, fs::last_write_time(source) + std::chrono::seconds(2));
            return true;
        }
    };
    std::string text;
    for (int i = 0; i < 9000; ++i) text += std::string(98, static_cast<char>('a' + i / 3000)) + "\r\n";
    for (const bool grow : {true, false}) {
        for (const int writers : {0, 1, 2, 4}) {
            SCOPED_TRACE(::testing::Message() << (grow ? "longer" : "rewritten") << ", writer threads: " << writers);
            Folder folder;
            ChangingHost host;
            host.source = folder.Write("s.txt", text);
            host.grow = grow;
            RunOptions options = WholeFile();
            options.writerThreads = writers;
            const RunReport report = SplitRun(PathList{host.source, folder.Write("g.txt", "g")}, Lines(u"3000"), host,
                                              options);
            ASSERT_EQ(report.failures.size(), 1u);
            EXPECT_EQ(report.failures[0].kind, Failure::Kind::ReadSource);
            EXPECT_EQ(report.failures[0].path, host.source);
            // The pieces written from it are named.
            EXPECT_EQ(report.failures[0].reason,
                      "it changed while it was split; the 3 pieces written from it, s-0001.txt to s-0003.txt, may "
                      "not match it");
            EXPECT_TRUE(folder.Files().contains("g-0001.txt")) << "the run did not go on";
        }
    }
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
                    EXPECT_NE(failure.reason.find(Utf8Literally(c.value)), std::string::npos);
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

    // A missing folder strikes every piece: one failure for the source.
    ASSERT_EQ(second.failures.size(), 1u);
    EXPECT_EQ(second.failures[0].kind, Failure::Kind::WritePiece);
    EXPECT_EQ(second.failures[0].path, folder / "missing/x1.txt");
    EXPECT_NE(second.failures[0].reason.find("neither this piece nor the 2 after it"), std::string::npos)
        << second.failures[0].reason;
    EXPECT_EQ(host.failures.size(), 1u);
    EXPECT_FALSE(second.ok());
    Files files = folder.Files();
    EXPECT_EQ(files["x1.txt"], "1");
    EXPECT_EQ(files["x3.txt"], "3\r\n");
    EXPECT_TRUE(first.failures.empty());
    EXPECT_EQ(first.piecesWritten, 3u);
    EXPECT_FALSE(fs::is_symlink(folder / "x2.txt"));
    EXPECT_EQ(files["x2.txt"], "2");
}

}  // namespace
}  // namespace partwright
