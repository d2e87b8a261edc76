// partwright-cli.exe against the Windows file system: folder separators,
// drive roots, names outside the ANSI code page, and the targets it cannot write.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "tests/windows/cli_runner.h"
#include "tests/windows/win_files.h"

namespace partwright::wintest {
namespace {

using Contents = std::map<std::wstring, Bytes>;

std::wstring WithForwardSlashes(std::wstring path) {
    std::replace(path.begin(), path.end(), L'\\', L'/');
    return path;
}

bool Mentions(const std::string& text, std::wstring_view what) { return text.find(Utf8(what)) != std::string::npos; }

TEST(CliOnWindows, numberingRestartsForEverySource) {
    const TempFolder folder;
    WriteBytes(folder / L"a.txt", "1\r\n2");
    WriteBytes(folder / L"b.txt", "3");

    const ProcessResult run = RunCli({L"--lines", L"1", folder / L"a.txt", folder / L"b.txt"});

    EXPECT_EQ(run.exitCode, 0u) << Describe(run);
    EXPECT_EQ(FolderContents(folder.path()), (Contents{{L"a.txt", "1\r\n2"},
                                                       {L"b.txt", "3"},
                                                       {L"a-0001.txt", "1\r\n"},
                                                       {L"a-0002.txt", "2"},
                                                       {L"b-0001.txt", "3"}}));
}

// A piece never replaces a piece of the same run: b's first piece takes the next free name.
TEST(CliOnWindows, laterSourceGetsTheNextFreeName) {
    const TempFolder folder;
    WriteBytes(folder / L"a.txt", "x1\r\nx2");
    WriteBytes(folder / L"b.txt", "y1");

    const ProcessResult run = RunCli({L"--lines", L"1", L"--prefix", L"p", folder / L"a.txt", folder / L"b.txt"});

    EXPECT_EQ(run.exitCode, 0u) << Describe(run);
    EXPECT_EQ(FolderContents(folder.path()), (Contents{{L"a.txt", "x1\r\nx2"},
                                                       {L"b.txt", "y1"},
                                                       {L"p1.txt", "x1\r\n"},
                                                       {L"p2.txt", "x2"},
                                                       {L"p1 (2).txt", "y1"}}));
}

TEST(CliOnWindows, existingLongerTargetHoldsExactlyThePiece) {
    const TempFolder folder;
    WriteBytes(folder / L"a.txt", "short");
    WriteBytes(folder / L"a-0001.txt", Bytes(100000, 'o'));

    const ProcessResult run = RunCli({folder / L"a.txt"});

    EXPECT_EQ(run.exitCode, 0u) << Describe(run);
    EXPECT_EQ(ReadBytes(folder / L"a-0001.txt"), "short");
}

TEST(CliOnWindows, folderAndFileNamesOutsideTheAnsiCodePage) {
    const TempFolder outer;
    const std::wstring folder = outer / L"Zürich-東京";
    MakeFolder(folder);
    const std::wstring source = folder + L"\\données-ß-😀.txt";
    WriteBytes(source, "a\r\nb");

    const ProcessResult run = RunCli({L"--lines", L"1", source});

    EXPECT_EQ(run.exitCode, 0u) << Describe(run);
    EXPECT_EQ(FolderContents(folder), (Contents{{L"données-ß-😀.txt", "a\r\nb"},
                                                {L"données-ß-😀-0001.txt", "a\r\n"},
                                                {L"données-ß-😀-0002.txt", "b"}}));
}

TEST(CliOnWindows, separatorAndPrefixOutsideTheAnsiCodePageSurvive) {
    const TempFolder folder;
    WriteBytes(folder / L"u.txt", "\xFF\xFE" + Utf16Le(u"a😀b東c"));

    const ProcessResult run = RunCli({L"--separator", L"😀", L"--prefix", L"東京-", folder / L"u.txt"});

    EXPECT_EQ(run.exitCode, 0u) << Describe(run);
    EXPECT_EQ(FolderContents(folder.path()), (Contents{{L"u.txt", "\xFF\xFE" + Utf16Le(u"a😀b東c")},
                                                       {L"東京-1.txt", "a"},
                                                       {L"東京-2.txt",
                                                        "b\xE6\x9D\xB1"
                                                        "c"}}));
}

TEST(CliOnWindows, everySpellingOfTheSourcePathNamesTheSameFolder) {
    const TempFolder folder;
    MakeFolder(folder / L"sub");
    const std::wstring source = folder / L"sub\\x.txt";
    WriteBytes(source, "a\r\nb");
    const Contents expected{{L"x.txt", "a\r\nb"}, {L"x-0001.txt", "a\r\n"}, {L"x-0002.txt", "b"}};

    for (const std::wstring& spelling : {WithForwardSlashes(source), folder.path() + L"\\sub/x.txt",
                                         WithForwardSlashes(folder.path()) + L"/sub\\x.txt",
                                         folder.path() + L"\\sub\\..\\sub\\x.txt", L"\\\\?\\" + source}) {
        SCOPED_TRACE(Utf8(spelling));
        RemoveTree(folder / L"sub\\x-0001.txt");
        RemoveTree(folder / L"sub\\x-0002.txt");

        const ProcessResult run = RunCli({L"--lines", L"1", spelling});

        EXPECT_EQ(run.exitCode, 0u) << Describe(run);
        EXPECT_EQ(FolderContents(folder / L"sub"), expected);
        EXPECT_EQ(FolderContents(folder.path()), (Contents{{L"sub\\", ""}}));
    }
}

TEST(CliOnWindows, bareFileNameWritesIntoTheWorkingFolder) {
    const TempFolder folder;
    WriteBytes(folder / L"x.txt", "a");

    const ProcessResult run = RunCli({L"x.txt"}, folder.path());

    EXPECT_EQ(run.exitCode, 0u) << Describe(run);
    EXPECT_EQ(FolderContents(folder.path()), (Contents{{L"x.txt", "a"}, {L"x-0001.txt", "a"}}));
}

TEST(CliOnWindows, sourceAtDriveRootGivesPiecesInTheRoot) {
    const std::wstring name = L"pw-root-" + std::to_wstring(GetCurrentProcessId());
    const std::wstring source = L"C:\\" + name + L".txt";
    const std::wstring piece = L"C:\\" + name + L"-0001.txt";
    try {
        WriteBytes(source, "a");
    } catch (const std::exception& e) {
        GTEST_SKIP() << "C:\\ is not writable here: " << e.what();
    }

    const ProcessResult run = RunCli({source});

    EXPECT_EQ(run.exitCode, 0u) << Describe(run);
    EXPECT_TRUE(Exists(piece)) << Describe(run);
    if (Exists(piece)) {
        EXPECT_EQ(ReadBytes(piece), "a");
    }
    RemoveTree(piece);
    RemoveTree(source);
}

TEST(CliOnWindows, dryRunPrintsEveryTargetAndWritesNothing) {
    const TempFolder outer;
    const std::wstring folder = outer / L"Zürich-東京";
    MakeFolder(folder);
    WriteBytes(folder + L"\\r.txt", "a\r\n\r\nb");

    const ProcessResult run = RunCli({L"--dry-run", L"--lines", L"1", folder + L"\\r.txt"});

    EXPECT_EQ(run.exitCode, 0u) << Describe(run);
    EXPECT_EQ(StdoutLines(run),
              (std::vector<std::string>{Utf8(folder + L"\\r-0001.txt"), Utf8(folder + L"\\r-0002.txt"),
                                        Utf8(folder + L"\\r-0003.txt"), "Done."}));
    EXPECT_EQ(FolderContents(folder), (Contents{{L"r.txt", "a\r\n\r\nb"}}));
}

// Each case leaves the folder as it was: a refused command line writes nothing.
TEST(CliOnWindows, usageErrorsExitWithTwoAndWriteNothing) {
    const std::vector<std::vector<std::wstring>> refused = {
        {L"--bogus"},
        {L"--lines", L"0"},
        {L"--lines", L"0.4"},
        {L"--lines", L"-3"},
        {L"--lines", L"abc"},
        {L"--first-chars", L"-1"},
        {L"--prefix", L"p", L"--start", L"40000"},
        {L"--lines", L"2", L"--blank-lines"},
        {L"--codepage", L"no-such-page"},
    };
    for (const auto& options : refused) {
        SCOPED_TRACE(Utf8(options.front() + L" " + options.back()));
        const TempFolder folder;
        WriteBytes(folder / L"a.txt", "a\r\nb");
        std::vector<std::wstring> arguments = options;
        arguments.push_back(folder / L"a.txt");

        const ProcessResult run = RunCli(arguments);

        EXPECT_EQ(run.exitCode, 2u) << Describe(run);
        EXPECT_FALSE(run.err.empty());
        EXPECT_EQ(FolderContents(folder.path()), (Contents{{L"a.txt", "a\r\nb"}}));
    }
}

TEST(CliOnWindows, pieceLandingOnAFolderFailsAndTheRunGoesOn) {
    const TempFolder folder;
    WriteBytes(folder / L"x.txt", "a\r\nb");
    MakeFolder(folder / L"x-0001.txt");

    const ProcessResult run = RunCli({L"--lines", L"1", folder / L"x.txt"});

    EXPECT_EQ(run.exitCode, 1u) << Describe(run);
    EXPECT_TRUE(Mentions(run.err, L"x-0001.txt")) << Describe(run);
    EXPECT_EQ(StdoutLines(run).back(), "Done.");
    EXPECT_EQ(FolderContents(folder.path()),
              (Contents{{L"x.txt", "a\r\nb"}, {L"x-0001.txt\\", ""}, {L"x-0002.txt", "b"}}));
    EXPECT_EQ(FolderContents(folder / L"x-0001.txt"), Contents{});
}

TEST(CliOnWindows, readOnlyTargetFailsAndKeepsItsBytes) {
    const TempFolder folder;
    WriteBytes(folder / L"x.txt", "a\r\nb");
    WriteBytes(folder / L"x-0001.txt", "old");
    SetReadOnly(folder / L"x-0001.txt", true);
    if (CanOpenForWriting(folder / L"x-0001.txt")) {
        SetReadOnly(folder / L"x-0001.txt", false);
        GTEST_SKIP() << "read-only files are writable here (Wine run by root)";
    }

    const ProcessResult run = RunCli({L"--lines", L"1", folder / L"x.txt"});
    SetReadOnly(folder / L"x-0001.txt", false);

    EXPECT_EQ(run.exitCode, 1u) << Describe(run);
    EXPECT_TRUE(Mentions(run.err, L"x-0001.txt")) << Describe(run);
    EXPECT_EQ(FolderContents(folder.path()),
              (Contents{{L"x.txt", "a\r\nb"}, {L"x-0001.txt", "old"}, {L"x-0002.txt", "b"}}));
}

// Another program holding the target open without sharing it: the piece fails, the file is untouched.
TEST(CliOnWindows, lockedTargetFailsAndKeepsItsBytes) {
    const TempFolder folder;
    WriteBytes(folder / L"x.txt", "a\r\nb");
    WriteBytes(folder / L"x-0002.txt", "old");

    ProcessResult run;
    {
        const ExclusiveLock lock(folder / L"x-0002.txt");
        run = RunCli({L"--lines", L"1", folder / L"x.txt"});
    }

    EXPECT_EQ(run.exitCode, 1u) << Describe(run);
    EXPECT_TRUE(Mentions(run.err, L"x-0002.txt")) << Describe(run);
    EXPECT_EQ(FolderContents(folder.path()),
              (Contents{{L"x.txt", "a\r\nb"}, {L"x-0001.txt", "a\r\n"}, {L"x-0002.txt", "old"}}));
}

// "nul.txt" names the null device, not a file: a piece written there would be
// lost, so it takes its numbered name instead.
TEST(CliOnWindows, pieceNamedAfterADeviceTakesItsNumberedName) {
    const TempFolder folder;
    WriteBytes(folder / L"x.log", "nul\r\nok");

    const ProcessResult run = RunCli({L"--lines", L"1", L"--first-chars", L"3", folder / L"x.log"});

    EXPECT_EQ(run.exitCode, 0u) << Describe(run);
    EXPECT_EQ(FolderContents(folder.path()),
              (Contents{{L"x.log", "nul\r\nok"}, {L"x-0001.txt", "nul\r\n"}, {L"ok.txt", "ok"}}));
}

// On NTFS "a:b1.txt" would put the piece in a hidden data stream of a file "a".
TEST(CliOnWindows, prefixWithAColonIsRefusedRatherThanHidden) {
    const TempFolder folder;
    WriteBytes(folder / L"x.txt", "a");

    const ProcessResult run = RunCli({L"--prefix", L"a:b", folder / L"x.txt"});

    EXPECT_EQ(run.exitCode, 2u) << Describe(run);
    EXPECT_TRUE(Mentions(run.err, L"a:b")) << Describe(run);
    EXPECT_EQ(FolderContents(folder.path()), (Contents{{L"x.txt", "a"}}));
}

TEST(CliOnWindows, prefixTheFileSystemRefusesIsAUsageError) {
    const TempFolder folder;
    WriteBytes(folder / L"x.txt", "a");
    WriteBytes(folder / L"y.txt", "b");

    const ProcessResult run = RunCli({L"--prefix", L"a?b", folder / L"x.txt"});
    const ProcessResult next = RunCli({L"--prefix", L"ok", folder / L"y.txt"});

    EXPECT_EQ(run.exitCode, 2u) << Describe(run);
    EXPECT_TRUE(Mentions(run.err, L"a?b")) << Describe(run);
    EXPECT_EQ(next.exitCode, 0u) << Describe(next);
    EXPECT_EQ(FolderContents(folder.path()), (Contents{{L"x.txt", "a"}, {L"y.txt", "b"}, {L"ok1.txt", "b"}}));
}

TEST(CliOnWindows, unreadableSourcesAreReportedAndTheRunGoesOn) {
    const TempFolder folder;
    MakeFolder(folder / L"dir.txt");
    WriteBytes(folder / L"b.txt", "b");

    const ProcessResult run = RunCli({folder / L"missing.txt", folder / L"dir.txt", folder / L"b.txt"});

    EXPECT_EQ(run.exitCode, 1u) << Describe(run);
    EXPECT_TRUE(Mentions(run.err, L"missing.txt")) << Describe(run);
    EXPECT_TRUE(Mentions(run.err, L"dir.txt")) << Describe(run);
    EXPECT_EQ(StdoutLines(run).back(), "Done.");
    EXPECT_EQ(FolderContents(folder.path()), (Contents{{L"dir.txt\\", ""}, {L"b.txt", "b"}, {L"b-0001.txt", "b"}}));
}

// Windows names are case-blind, so a differently spelled target can still be the source itself.
TEST(CliOnWindows, pieceIsNeverWrittenOverASourceHoweverSpelled) {
    const TempFolder folder;
    WriteBytes(folder / L"bob1.txt", "a\r\nb");

    const ProcessResult run = RunCli({L"--lines", L"1", L"--prefix", L"BOB", WithForwardSlashes(folder / L"BOB1.TXT")});

    EXPECT_EQ(run.exitCode, 1u) << Describe(run);
    EXPECT_EQ(FolderContents(folder.path()), (Contents{{L"bob1.txt", "a\r\nb"}, {L"BOB2.TXT", "b"}}));
}

}  // namespace
}  // namespace partwright::wintest
