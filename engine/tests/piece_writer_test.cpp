#include "engine/write/piece_writer.h"
#include "partwright/pieces_in_progress.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include "engine/files/native_file.h"
#include "engine/files/tracked_temporaries.h"
#include "engine/name/temporary_name.h"
#include "engine/read/byte_coding.h"
#include "engine/read/text_form.h"
#include "engine/tests/temp_folder.h"
#include "engine/tests/text_oracle.h"
#include "engine/tests/whole_file_io.h"

namespace partwright {
namespace {

using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;
using namespace std::string_literals;

std::vector<std::filesystem::path> FilesIn(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename());
    }
    std::sort(names.begin(), names.end());
    return names;
}

Text LongMixedText() {
    Text text;
    for (int i = 0; i < 300000; ++i) {
        text += static_cast<char16_t>(i % 11 == 0 ? 0x20AC : i % 13 == 0 ? 0xE9 : i % 17 == 0 ? 0xD83D : 'a' + i % 26);
    }
    return text;
}

TEST(PieceWriterTest, writesExactlyTheUtf8BytesOfThePiece) {
    const struct {
        Text text;
        std::string bytes;
    } cases[] = {
        {u"abc", "abc"},
        {u"a\r\nb\r\n", "a\r\nb\r\n"},
        {u"", ""},
        {u"\uFEFFA",
         "\xEF\xBB\xBF"
         "A"},
        {u"\xD83D\xDE00", "\xF0\x9F\x98\x80"},
        {Text(1, u'\0') + u"\u00E9", "\0\xC3\xA9"s},
        {LongMixedText(), Utf8Literally(LongMixedText())},  // several buffer flushes
    };
    TempFolder folder;
    for (const auto& c : cases) {
        Failure failure;
        ASSERT_TRUE(WriteWholePiece(c.text, folder / "piece.txt", failure)) << failure.reason;
        EXPECT_EQ(ReadBytes(folder / "piece.txt"), c.bytes) << c.bytes.size() << " bytes";
    }
}

// Long runs of bytes skip the buffer, so they must still land in order with
// what was buffered before and after.
TEST(PieceWriterTest, bytesKeepTheirOrderWhetherBufferedOrWrittenThrough) {
    const std::string ascii(40000, 'q');
    const std::string mixed = "a\xC3\xA9" + std::string(20000, 'b') + "\xE2\x82\xAC";
    const std::vector<std::vector<std::string>> cases = {
        {ascii},
        {"\r\n", ascii, "\r\n"},
        {mixed, ascii, mixed},
        {ascii, ascii, "\xC3\xBF"},
        {std::string(300000, 'r'), "s", std::string(262143, 't'), "u"},
    };
    TempFolder folder;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        PieceWriter writer;
        Failure failure;
        static const FileIdentitySet kNoSources;
        ASSERT_TRUE(writer.Open(folder / "piece.txt", kNoSources, failure)) << failure.reason;
        std::string expected;
        for (const std::string& bytes : cases[i]) {
            ASSERT_TRUE(writer.Append(bytes, failure)) << failure.reason;
            expected += bytes;
        }
        ASSERT_TRUE(writer.Commit(failure)) << failure.reason;
        EXPECT_EQ(ReadBytes(folder / "piece.txt"), expected) << "case " << i;
    }
}

TEST(PieceWriterTest, appendsInStepsGiveTheSameBytes) {
    TempFolder folder;
    const Text text = LongMixedText();
    PieceWriter writer;
    Failure failure;
    ASSERT_TRUE(writer.Open(folder / "p.txt", FileIdentitySet{}, failure));
    for (std::size_t at = 0; at < text.size(); at += 7777) {
        ASSERT_TRUE(writer.Append(Utf8Literally(TextView(text).substr(at, 7777)), failure));
    }
    ASSERT_TRUE(writer.Commit(failure));
    EXPECT_FALSE(writer.isOpen());
    EXPECT_EQ(ReadBytes(folder / "p.txt"), Utf8Literally(text));
}

TEST(PieceWriterTest, existingLongerFileIsCutToThePiece) {
    TempFolder folder;
    WriteBytes(folder / "old.txt", std::string(100000, 'x'));
    Failure failure;
    ASSERT_TRUE(WriteWholePiece(u"new", folder / "old.txt", failure));
    EXPECT_EQ(ReadBytes(folder / "old.txt"), "new");
}

TEST(PieceWriterTest, sourceIsNeverOverwrittenWhateverThePathSpelling) {
    TempFolder folder;
    std::filesystem::create_directory(folder / "sub");
    WriteBytes(folder / "a.txt", "source bytes");
    std::filesystem::create_hard_link(folder / "a.txt", folder / "link.txt");
    FileIdentitySet sources;
    sources.Add(folder / "a.txt");
    sources.Add(folder / "not-there.txt");  // adds nothing
    const std::filesystem::path spellings[] = {
        folder / "a.txt",
        folder / "sub" / ".." / "a.txt",
        folder / "." / "a.txt",
        folder / "link.txt",
    };
    for (const auto& target : spellings) {
        PieceWriter writer;
        Failure failure;
        ASSERT_TRUE(writer.Open(target, sources, failure)) << failure.reason;
        ASSERT_TRUE(writer.Append("piece", failure));
        EXPECT_FALSE(writer.Commit(failure)) << target;
        EXPECT_EQ(failure.kind, Failure::Kind::TargetIsSource);
        EXPECT_EQ(failure.path, target);
        EXPECT_FALSE(writer.isOpen());

        ASSERT_TRUE(writer.OpenTemporary(folder / "sub", failure)) << failure.reason;
        ASSERT_TRUE(writer.Append("piece", failure));
        EXPECT_FALSE(writer.CommitAs(target, sources, failure)) << target;
        EXPECT_EQ(failure.kind, Failure::Kind::TargetIsSource);
        EXPECT_TRUE(std::filesystem::is_empty(folder / "sub")) << "temporary file left behind";
        EXPECT_EQ(ReadBytes(folder / "a.txt"), "source bytes");
        EXPECT_EQ(FilesIn(folder.path()), (std::vector<std::filesystem::path>{"a.txt", "link.txt", "sub"}));
    }
    // Another file in the same folder is fine.
    PieceWriter writer;
    Failure failure;
    EXPECT_TRUE(writer.Open(folder / "b.txt", sources, failure));
    EXPECT_TRUE(writer.Commit(failure));
}

#ifndef _WIN32
// A link at a piece's name is replaced by the piece, never written through,
// but a link never lets a piece replace a source: not when the source is
// reached through the link, nor when the piece's name is the link.
TEST(PieceWriterTest, linksAtPieceNamesAreReplacedButNeverLeadToASource) {
    const struct {
        const char* source;  // added to the run's sources, when set
        const char* target;
        bool refused;
    } cases[] = {
        {"via-link.txt", "file.txt", true},  // via-link.txt -> file.txt
        {"file.txt", "via-link.txt", true},
        {nullptr, "via-link.txt", false},  // the link goes, file.txt stays
        {nullptr, "dangling.txt", false},  // the file it names is never created
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target);
        TempFolder folder;
        WriteBytes(folder / "file.txt", "older");
        std::filesystem::create_symlink("file.txt", folder / "via-link.txt");
        std::filesystem::create_directory(folder / "elsewhere");
        std::filesystem::create_symlink(folder / "elsewhere" / "made.txt", folder / "dangling.txt");
        FileIdentitySet sources;
        if (c.source != nullptr) sources.Add(folder / c.source);
        PieceWriter writer;
        Failure failure;
        ASSERT_TRUE(writer.Open(folder / c.target, sources, failure)) << failure.reason;
        ASSERT_TRUE(writer.Append("piece", failure));
        EXPECT_EQ(writer.Commit(failure), !c.refused);
        EXPECT_EQ(ReadBytes(folder / "file.txt"), "older");
        EXPECT_TRUE(std::filesystem::is_empty(folder / "elsewhere"));
        if (c.refused) {
            EXPECT_EQ(failure.kind, Failure::Kind::TargetIsSource);
            EXPECT_TRUE(std::filesystem::is_symlink(folder / "via-link.txt"));
        } else {
            EXPECT_FALSE(std::filesystem::is_symlink(folder / c.target));
            EXPECT_EQ(ReadBytes(folder / c.target), "piece");
        }
        EXPECT_EQ(FilesIn(folder.path()),
                  (std::vector<std::filesystem::path>{"dangling.txt", "elsewhere", "file.txt", "via-link.txt"}));
    }
}
#endif

TEST(PieceWriterTest, unwritableTargetsReportPathAndReasonAndLeaveNothing) {
    TempFolder folder;
    std::filesystem::create_directory(folder / "dir");
    const std::filesystem::path targets[] = {
        folder / "missing" / "x.txt",
        folder / "dir",
    };
    for (const auto& target : targets) {
        Failure failure;
        EXPECT_FALSE(WriteWholePiece(u"abc", target, failure)) << target;
        EXPECT_EQ(failure.kind, Failure::Kind::WritePiece);
        EXPECT_EQ(failure.path, target);
        EXPECT_FALSE(failure.reason.empty());
    }
    Failure failure;
    EXPECT_FALSE(WriteWholePiece(u"abc", folder / "missing" / "x.txt", failure));
#ifndef _WIN32
    EXPECT_NE(failure.reason.find("No such file or directory"), std::string::npos) << failure.reason;
#endif
    PieceWriter writer;
    EXPECT_FALSE(writer.OpenTemporary(folder / "missing", failure));
    EXPECT_EQ(failure.kind, Failure::Kind::WritePiece);
    EXPECT_EQ(failure.path, folder / "missing");
    EXPECT_EQ(FilesIn(folder.path()), std::vector<std::filesystem::path>{"dir"});
    EXPECT_TRUE(std::filesystem::is_empty(folder / "dir"));
}

#ifndef _WIN32
// A file-size limit makes write itself fail part-way through a regular file.
TEST(PieceWriterTest, writeFailurePartWayIsReportedAndThePieceRemoved) {
    TempFolder folder;
    const std::filesystem::path target = folder / "big.txt";
    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = saved;
    limited.rlim_cur = 64 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);

    PieceWriter writer;
    Failure failure;
    bool ok = writer.Open(target, FileIdentitySet{}, failure);
    if (ok) ok = writer.Append(Utf8Literally(LongMixedText()), failure);
    if (ok) ok = writer.Commit(failure);

    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(ok);
    EXPECT_EQ(failure.kind, Failure::Kind::WritePiece);
    EXPECT_EQ(failure.path, target);
    EXPECT_EQ(failure.reason, "File too large");
    EXPECT_FALSE(writer.isOpen());
    EXPECT_FALSE(std::filesystem::exists(target));
}

// A device is no place for a piece: its bytes would vanish, so it is refused.
TEST(PieceWriterTest, deviceTargetIsRefusedAndKept) {
    TempFolder folder;
    PieceWriter writer;
    Failure failure;
    ASSERT_TRUE(writer.OpenTemporary(folder.path(), failure));
    ASSERT_TRUE(writer.Append("piece", failure));
    EXPECT_FALSE(writer.CommitAs("/dev/null", FileIdentitySet{}, failure));
    EXPECT_EQ(failure.kind, Failure::Kind::WritePiece);
    EXPECT_NE(failure.reason.find("device"), std::string::npos) << failure.reason;
    EXPECT_FALSE(writer.isOpen());
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}
#endif

// Where the system has no files without a name, a piece goes through a named
// temporary file: the same outcomes, and that file never outlives the piece.
TEST(PieceWriterTest, namedTemporaryFilesGiveTheSameOutcomesAndNeverStay) {
    AllowUnnamedFiles(false);
    TempFolder folder;
    WriteBytes(folder / "older.txt", "older");
    WriteBytes(folder / "source.txt", "source");
    FileIdentitySet sources;
    sources.Add(folder / "source.txt");
    const auto temporaries = [&folder] {
        std::vector<std::filesystem::path> names;
        for (const auto& name : FilesIn(folder.path())) {
            if (IsTemporaryName(name)) names.push_back(name);
        }
        return names;
    };
    Failure failure;
    EXPECT_TRUE(WriteWholePiece(u"new", folder / "new.txt", failure)) << failure.reason;
    EXPECT_TRUE(WriteWholePiece(u"newer", folder / "older.txt", failure)) << failure.reason;
    {
        PieceWriter writer;
        ASSERT_TRUE(writer.Open(folder / "source.txt", sources, failure));
        ASSERT_TRUE(writer.Append("piece", failure));
        EXPECT_EQ(temporaries().size(), 1u);
        EXPECT_FALSE(writer.Commit(failure));
        EXPECT_EQ(failure.kind, Failure::Kind::TargetIsSource);
        ASSERT_TRUE(writer.Open(folder / "abandoned.txt", sources, failure));
        EXPECT_TRUE(writer.Abandon());
        ASSERT_TRUE(writer.Open(folder / "signalled.txt", sources, failure));
        ASSERT_TRUE(writer.Append("piece", failure));
#ifndef _WIN32
        RemovePiecesInProgress();  // as a signal handler does before the program ends
        EXPECT_TRUE(temporaries().empty());
        // Then no temporary file is made any more, which a handler could miss.
        EXPECT_FALSE(writer.Open(folder / "after.txt", sources, failure));
        AllowTemporariesAgain();
#endif
    }
    AllowUnnamedFiles(true);
    EXPECT_TRUE(temporaries().empty());
    EXPECT_EQ(ReadBytes(folder / "new.txt"), "new");
    EXPECT_EQ(ReadBytes(folder / "older.txt"), "newer");
    EXPECT_EQ(ReadBytes(folder / "source.txt"), "source");
    EXPECT_EQ(FilesIn(folder.path()), (std::vector<std::filesystem::path>{"new.txt", "older.txt", "source.txt"}));
}

TEST(PieceWriterTest, abandonedPiecesAreRemoved) {
    TempFolder folder;
    Failure failure;
    {
        PieceWriter writer;
        ASSERT_TRUE(writer.Open(folder / "a.txt", FileIdentitySet{}, failure));
        ASSERT_TRUE(writer.Append("half", failure));
        writer.Abandon();
        EXPECT_FALSE(writer.isOpen());
        ASSERT_TRUE(writer.OpenTemporary(folder.path(), failure));
        ASSERT_TRUE(writer.Append("half", failure));
        ASSERT_TRUE(writer.isOpen());
    }  // destroyed while open
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

TEST(PieceWriterTest, commitAsGivesTheTemporaryPieceItsNameReplacingAnOldFile) {
    TempFolder folder;
    WriteBytes(folder / "target.txt", "an older, longer piece");
    PieceWriter writer;
    Failure failure;
    ASSERT_TRUE(writer.OpenTemporary(folder.path(), failure)) << failure.reason;
    ASSERT_TRUE(writer.Append("fresh \xE2\x82\xAC", failure));
    ASSERT_TRUE(writer.CommitAs(folder / "target.txt", FileIdentitySet{}, failure)) << failure.reason;
    EXPECT_EQ(ReadBytes(folder / "target.txt"), "fresh \xE2\x82\xAC");
    EXPECT_EQ(FilesIn(folder.path()), std::vector<std::filesystem::path>{"target.txt"});

    // The writer is reusable for the next piece, and a folder in the way fails cleanly.
    std::filesystem::create_directory(folder / "taken");
    ASSERT_TRUE(writer.OpenTemporary(folder.path(), failure));
    ASSERT_TRUE(writer.Append("x", failure));
    EXPECT_FALSE(writer.CommitAs(folder / "taken", FileIdentitySet{}, failure));
    EXPECT_EQ(failure.kind, Failure::Kind::WritePiece);
    EXPECT_EQ(failure.path, folder / "taken");
    EXPECT_EQ(FilesIn(folder.path()), (std::vector<std::filesystem::path>{"taken", "target.txt"}));
}

#ifndef _WIN32
// The folder is renamed while a piece is being written: every step of the
// piece (create, link, rename over an older file, remove) goes through the
// folder held open, so the piece lands whole in the renamed folder and no
// temporary file stays behind, whether the piece replaces an older file or
// not, named at once or only at its end, with or without unnamed files.
TEST(PieceWriterTest, aFolderRenamedDuringAPieceGetsThePieceAndKeepsNoTemporaryFile) {
    const FileIdentitySet noSources;  // held by the writer while the piece is open
    for (const bool unnamed : {true, false}) {
        for (const bool older : {true, false}) {
            for (const bool namedAtEnd : {true, false}) {
                SCOPED_TRACE(::testing::Message() << "unnamed files " << unnamed << ", older file " << older
                                                  << ", named at the end " << namedAtEnd);
                AllowUnnamedFiles(unnamed);
                TempFolder root;
                const std::filesystem::path before = root / "before";
                const std::filesystem::path after = root / "after";
                std::filesystem::create_directory(before);
                if (older) WriteBytes(before / "p.txt", "an older, longer file");
                PieceWriter writer;
                Failure failure;
                ASSERT_TRUE(namedAtEnd ? writer.OpenTemporary(before, failure)
                                       : writer.Open(before / "p.txt", noSources, failure))
                    << failure.reason;
                ASSERT_TRUE(writer.Append("piece", failure));
                std::filesystem::rename(before, after);
                const bool committed = namedAtEnd ? writer.CommitAs(before / "p.txt", noSources, failure)
                                                  : writer.Commit(failure);
                AllowUnnamedFiles(true);
                EXPECT_TRUE(committed) << failure.reason;
                EXPECT_EQ(FilesIn(after), std::vector<std::filesystem::path>{"p.txt"});
                EXPECT_EQ(ReadBytes(after / "p.txt"), "piece");
                EXPECT_FALSE(std::filesystem::exists(before));
            }
        }
    }
}
#endif

TEST(PieceWriterTest, pathsWithAnyCharactersWork) {
    TempFolder folder;
    const std::filesystem::path target = folder.path() / std::filesystem::path(u8"caf\u00E9 \u4E2D\u6587.txt");
    Failure failure;
    ASSERT_TRUE(WriteWholePiece(u"ok", target, failure)) << failure.reason;
    EXPECT_EQ(ReadBytes(target), "ok");
}

}  // namespace
}  // namespace partwright
