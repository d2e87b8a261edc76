// Runs the built partwright-cli on real files in a fresh folder and checks
// its exit status, what it printed and the bytes it wrote.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace partwright {
namespace {

namespace fs = std::filesystem;

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

std::string Quoted(const std::string& arg) {
    std::string quoted = "'";
    for (const char c : arg) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

class CliEndToEndTest : public testing::Test {
protected:
    void SetUp() override {
        static std::atomic<int> serial{0};
        dir_ = fs::temp_directory_path() /
               ("partwright-cli-test-" + std::to_string(getpid()) + "-" + std::to_string(serial++));
        fs::remove_all(dir_);
        ASSERT_TRUE(fs::create_directories(dir_));
        output_ = fs::temp_directory_path() / (dir_.filename().string() + "-output");
        fs::create_directories(output_);
    }
    void TearDown() override {
        fs::remove_all(dir_);
        fs::remove_all(output_);
    }

    fs::path Source(const std::string& name, const std::string& bytes) {
        WriteBytes(dir_ / name, bytes);
        return dir_ / name;
    }

    // Runs the program with `args`, under the C locale unless `locale` names another.
    // `stdoutTo`: a shell redirection of standard output in place of the file the test reads back.
    Result Run(const std::vector<std::string>& args, const std::string& locale = "C",
               const std::string& stdoutTo = "") {
        // The pieces these cases hold up are the first release's; the default is held up on its own.
        std::string command = "LC_ALL=" + Quoted(locale) + " " + Quoted(PARTWRIGHT_CLI_PATH);
        if (!args.empty()) command += " --no-final-line-end";
        for (const std::string& arg : args) {
            command += ' ';
            command += Quoted(arg);
        }
        command += stdoutTo.empty() ? " >" + Quoted((output_ / "out").string()) : " " + stdoutTo;
        command += " 2>";
        command += Quoted((output_ / "err").string());
        const int raw = std::system(command.c_str());
        Result result;
        result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        result.out = ReadBytes(output_ / "out");
        result.err = ReadBytes(output_ / "err");
        return result;
    }

    std::set<std::string> Files() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_)) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }

    std::string Piece(const std::string& name) const { return ReadBytes(dir_ / name); }
    static std::string NumberedPiece(int number) {
        std::string digits = std::to_string(number);
        return "big-" + std::string(4 - std::min<std::size_t>(digits.size(), 4), '0') + digits + ".txt";
    }

    fs::path dir_;
    fs::path output_;
};

TEST_F(CliEndToEndTest, everySplitModeWritesItsPieces) {
    const auto lines = Source("lines.txt", "a\r\nb\r\nc\r\nd");
    const auto semi = Source("semi.csv", "x;y");
    const auto blank = Source("blank.txt", "Hello one\r\n\r\nWorld two\r\n");

    Result r = Run({lines.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Done.\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(Piece("lines-0001.txt"), "a\r\nb\r\nc");
    EXPECT_EQ(Piece("lines-0002.txt"), "d");

    r = Run({"--separator", ";", "--prefix", "p", "--start", "5", semi.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Piece("p5.csv"), "x");
    EXPECT_EQ(Piece("p6.csv"), "y\r\n");

    r = Run({"--blank-lines", "--first-chars", "4", blank.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Piece("Hell.txt"), "Hello one");
    EXPECT_EQ(Piece("Worl.txt"), "World two");
    EXPECT_EQ(Piece(".txt"), "");  // the empty last piece has no characters to name it by
}

// --excel from the command line to the bytes: a mark and the header in every
// piece, a quoted line break kept in its record, a quote that never closes
// reported with the file and its record's line, and its record written whole.
TEST_F(CliEndToEndTest, excelPiecesKeepRecordsWholeAndAnUnclosedQuoteIsReported) {
    const auto data = Source("data.csv", "id,note\r\n1,\"a\r\nb\"\r\n2,x\r\n3,\"open\r\nrest\r\n");
    const Result r = Run({"--excel", "--lines", "2", data.string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("data.csv: a quoted field never closes: the record from line 5 to the end"), std::string::npos)
        << r.err;
    const std::string head = "\xEF\xBB\xBFid,note\r\n";
    EXPECT_EQ(Piece("data-0001.csv"), head + "1,\"a\r\nb\"\r\n2,x");  // (the first release's final line end)
    EXPECT_EQ(Piece("data-0002.csv"), head + "3,\"open\r\nrest\r\n");
    EXPECT_EQ(Files().size(), 3u);
}

TEST_F(CliEndToEndTest, partsAndMatchCutAtWholeLinesWithTheHeader) {
    const auto log = Source("log.txt", "when what\npre\n== A\na1\n== B\nb1\nb2\n");
    Result r = Run({"--match", "^== ", "--header", "1", log.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Piece("log-0001.txt"), "when what\npre");
    EXPECT_EQ(Piece("log-0002.txt"), "when what\n== A\na1");
    // Without kept line ends (as these cases run), the line end the run appends joins a last empty line.
    EXPECT_EQ(Piece("log-0003.txt"), "when what\n== B\nb1\nb2\n");

    // 20 bytes after the header: the first piece ends at the first line end at or after byte 10 of them.
    const auto even = Source("even.txt", "h\n1234\n1234\n1234\n1234\n");
    r = Run({"--parts", "2", "--header", "1", even.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Done.\n");
    EXPECT_EQ(Piece("even-0001.txt"), "h\n1234\n1234");
    EXPECT_EQ(Piece("even-0002.txt"), "h\n1234\n1234\n");

    const auto few = Source("few.txt", "a\nb\n");
    r = Run({"--parts", "5", few.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    // The line end the run appends joins an empty third line here, its piece empty and not written.
    EXPECT_NE(r.out.find("few.txt: cut into 3 pieces, fewer than asked"), std::string::npos) << r.out;
    EXPECT_TRUE(r.out.ends_with("Done.\n")) << r.out;
}

TEST_F(CliEndToEndTest, unicodeSourceAndAnsiSourceBecomeUtf8) {
    // FF FE, then "a" CR LF and the euro sign in UTF-16LE.
    const auto wide = Source("wide.txt", std::string("\xFF\xFE"
                                                     "a\0\r\0\n\0\xAC\x20",
                                                     10));
    const auto ansi = Source("ansi.txt", "caf\xE9 \x80");  // windows-1252
    Result r = Run({"--lines", "1", wide.string(), ansi.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Piece("wide-0001.txt"), "a");  // the byte-order mark is the source's encoding, not its text
    EXPECT_EQ(Piece("wide-0002.txt"), "\xE2\x82\xAC");
    EXPECT_EQ(Piece("ansi-0001.txt"), "caf\xC3\xA9 \xE2\x82\xAC");
}

// By default (auto) a source that is valid UTF-8 is read as UTF-8 under any
// locale, any other in the locale's code page, or windows-1252 where that is
// UTF-8; --codepage system is the locale's code page for every source.
TEST_F(CliEndToEndTest, sourcesAreReadAsUtf8OrTheirLegacyCodePage) {
    const std::string utf8 = "caf\xC3\xA9\r\nna\xC3\xAFve";
    const std::string utf8AsLatin = "caf\xC3\x83\xC2\xA9\r\nna\xC3\x83\xC2\xAFve";
    const std::string quotes = "\x93q\x94\r\nx";  // windows-1252 curly quotes
    const struct {
        std::string source;
        std::vector<std::string> args;
        std::string locale;
        std::string pieces;  // the two pieces joined by CR LF
    } cases[] = {
        {utf8, {}, "C.UTF-8", utf8},
        {utf8, {}, "C", utf8},
        {utf8, {"--codepage", "system"}, "C", utf8AsLatin},
        {utf8, {"--codepage", "SYSTEM"}, "C.UTF-8", utf8},
        {utf8, {"--codepage", "utf-8"}, "C", utf8},
        {utf8, {"--codepage", "AUTO"}, "C.UTF-8", utf8},
        {quotes, {}, "C.UTF-8", "\xE2\x80\x9Cq\xE2\x80\x9D\r\nx"},
        {quotes, {}, "C", "\xE2\x80\x9Cq\xE2\x80\x9D\r\nx"},
        {quotes, {"--codepage", "system"}, "C.UTF-8", "\xC2\x93q\xC2\x94\r\nx"},  // 1.0.0's reading
    };
    for (const auto& c : cases) {
        const auto source = Source("s.txt", c.source);
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"--lines", "1", source.string()});
        const Result r = Run(args, c.locale);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(Piece("s-0001.txt") + "\r\n" + Piece("s-0002.txt"), c.pieces) << c.locale << " " << args[0];
    }
}

TEST_F(CliEndToEndTest, blocksCutAtTheBoundaryAndWholeFileIsTheDefault) {
    const auto big = Source("big.txt", std::string(40000, 'x'));
    Result r = Run({"--separator", ";", "--blocks", big.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Piece("big-0001.txt"), std::string(30000, 'x') + "\r\n");
    EXPECT_EQ(Piece("big-0002.txt"), std::string(10000, 'x') + "\r\n");

    for (const std::string prefix : {"w", "d"}) {
        std::vector<std::string> args = {"--separator", ";", "--prefix", prefix, big.string()};
        if (prefix == "w") args.insert(args.begin(), "--whole-file");  // still accepted
        r = Run(args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(Piece(prefix + "1.txt"), std::string(40000, 'x') + "\r\n");
        EXPECT_FALSE(fs::exists(dir_ / (prefix + "2.txt")));
    }
    EXPECT_EQ(Run({"--blocks", "--whole-file", big.string()}).status, 2);
}

// 10 MiB of 100-byte CR LF lines, every 10000 lines: 11 pieces whose lines,
// joined back, are the source (the last piece ends with the source's own
// final line end, as the empty line after it is its last).
TEST_F(CliEndToEndTest, largeSourceIsCutIntoWholeLinesByDefault) {
    std::string bytes;
    for (int line = 0; line < 104858; ++line) {
        std::string text = std::to_string(line);
        text.resize(98, static_cast<char>('a' + line % 26));
        bytes += text + "\r\n";
    }
    const auto source = Source("big.txt", bytes);
    const Result r = Run({"--lines", "10000", source.string()}, "C.UTF-8");
    EXPECT_EQ(r.status, 0) << r.err;
    std::string joined;
    int pieces = 0;
    for (; fs::exists(dir_ / NumberedPiece(pieces + 1)); ++pieces) {
        joined += (pieces > 0 ? "\r\n" : "") + Piece(NumberedPiece(pieces + 1));
    }
    EXPECT_EQ(pieces, 11);
    EXPECT_TRUE(joined == bytes) << "the pieces joined back differ from the source";
}

TEST_F(CliEndToEndTest, nonAsciiPathsAndSeparatorsSurvive) {
    fs::create_directories(dir_ / "\xC3\xBCn\xC3\xAF");
    const auto source = Source("\xC3\xBCn\xC3\xAF/d\xC3\xA4t\xC3\xA4.txt", "one\xA7two");  // 0xA7 is the section sign
    Result r = Run({"--separator", "\xC2\xA7", "--prefix", "\xE2\x82\xAC", source.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Piece("\xC3\xBCn\xC3\xAF/\xE2\x82\xAC"
                    "1.txt"),
              "one");
    EXPECT_EQ(Piece("\xC3\xBCn\xC3\xAF/\xE2\x82\xAC"
                    "2.txt"),
              "two\r\n");
}

TEST_F(CliEndToEndTest, failuresAreReportedAndTheRunGoesOn) {
    const auto missing = dir_ / "missing.txt";
    const auto good = Source("good.txt", "1\r\n2");
    const auto blocked = Source("blocked.txt", "3\r\n4");
    fs::create_directory(dir_ / "blocked-0001.txt");  // a folder where the piece should go

    Result r = Run({"--lines", "1", missing.string(), blocked.string(), good.string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Done.\n");
    EXPECT_NE(r.err.find(missing.string()), std::string::npos) << r.err;
    EXPECT_NE(r.err.find((dir_ / "blocked-0001.txt").string()), std::string::npos) << r.err;
    EXPECT_EQ(Piece("blocked-0002.txt"), "4");
    EXPECT_EQ(Piece("good-0001.txt"), "1");
    EXPECT_EQ(Piece("good-0002.txt"), "2");
}

TEST_F(CliEndToEndTest, aPieceIsNeverWrittenOverASourceOfTheRun) {
    const auto source = Source("a.txt", "first\r\nsecond");
    const auto victim = Source("p2.txt", "keep me");
    Result r = Run({"--lines", "1", "--prefix", "p", source.string(), victim.string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find((dir_ / "p2.txt").string()), std::string::npos) << r.err;
    EXPECT_EQ(Piece("p2.txt"), "keep me");
    EXPECT_EQ(Piece("p1.txt"), "first");
    EXPECT_EQ(Piece("p1 (2).txt"), "keep me");  // the second source's own first piece, under the next free name
}

// The faults found around the write path: each row is a command line, its
// exit status, a text its stdout or stderr must hold, and every file that
// must be in the folder afterwards (the sources included; "out/" is the
// output folder).
TEST_F(CliEndToEndTest, collisionsHostileNamesAndBadValuesAsDocumented) {
    struct Row {
        const char* what;
        std::vector<std::string> args;  // "@" stands for the folder, "#" for the output folder
        int status;
        std::string err;  // stderr holds this ("" for nothing at all)
        std::string out;  // stdout holds this
        std::map<std::string, std::string> files;
    };
    const std::string hello = "hello world A\r\nhello world B\r\nhello world C";
    const std::string seven = "1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n";
    const std::vector<Row> rows = {
        {"pieces that begin alike",
         {"--lines", "1", "--first-chars", "7", "@/s.txt"},
         0,
         "",
         "2 pieces were given the next free name",
         {{"s.txt", hello},
          {"hellow.txt", "hello world A"},
          {"hellow (2).txt", "hello world B"},
          {"hellow (3).txt", "hello world C"}}},
        {"verbose names the renamed pieces",
         {"--verbose", "--lines", "1", "--first-chars", "7", "@/s.txt"},
         0,
         "hellow (3).txt: hellow.txt was taken by an earlier piece of this run",
         "hellow (2).txt\n",
         {{"s.txt", hello},
          {"hellow.txt", "hello world A"},
          {"hellow (2).txt", "hello world B"},
          {"hellow (3).txt", "hello world C"}}},
        {"name length 0",
         {"--lines", "1", "--first-chars", "0", "@/s.txt"},
         0,
         "",
         "Done.",
         {{"s.txt", hello},
          {"s-0001.txt", "hello world A"},
          {"s-0002.txt", "hello world B"},
          {"s-0003.txt", "hello world C"}}},
        {"two sources of one name into one folder",
         {"--lines", "5", "--output-dir", "#", "@/a/s.txt", "@/b/s.txt"},
         0,
         "",
         "1 piece was given",
         {{"a/s.txt", "a"}, {"b/s.txt", "b"}, {"out/s-0001.txt", "a"}, {"out/s-0001 (2).txt", "b"}}},
        {"a prefix that climbs out",
         {"--prefix", "../victim", "--output-dir", "#", "@/a/s.txt"},
         2,
         "--prefix: \"../victim\" cannot begin a file name",
         "",
         {{"a/s.txt", "a"}}},
        {"a prefix with a folder", {"--prefix", "a/b", "@/a/s.txt"}, 2, "--prefix: \"a/b\"", "", {{"a/s.txt", "a"}}},
        {"a prefix Windows keeps for a device",
         {"--prefix", "COM", "@/a/s.txt"},
         2,
         "keeps for a device",
         "",
         {{"a/s.txt", "a"}}},
        {"a prefix with a character names may not travel with",
         {"--prefix", "a:b", "@/a/s.txt"},
         2,
         "--prefix",
         "",
         {{"a/s.txt", "a"}}},
        {"a line break in a usage error is shown",
         {"--output-dir", "no\nsuch", "@/a/s.txt"},
         2,
         "partwright-cli: --output-dir: \"no\\x0Asuch\" does not exist\nRun with",
         "",
         {{"a/s.txt", "a"}}},
        {"a header longer than the source",
         {"--header", "100", "@/seven.txt"},
         1,
         "fewer than 100 lines",
         "Done.",
         {{"seven.txt", seven}}},
        {"an empty code page",
         {"--codepage", "", "@/a/s.txt"},
         2,
         "--codepage: the name is empty",
         "",
         {{"a/s.txt", "a"}}},
        {"no lines at all",
         {"--lines", "0", "@/a/s.txt"},
         2,
         "--lines: \"0\" is not a whole number of at least 1",
         "",
         {{"a/s.txt", "a"}}},
        {"lines that are no number",
         {"--lines", "x", "@/a/s.txt"},
         2,
         "--lines: \"x\" is not a number",
         "",
         {{"a/s.txt", "a"}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "a");
        fs::create_directories(dir_ / "b");
        fs::create_directories(dir_ / "out");
        WriteBytes(dir_ / "a/s.txt", "a");
        WriteBytes(dir_ / "b/s.txt", "b");
        if (row.files.contains("s.txt")) WriteBytes(dir_ / "s.txt", hello);
        if (row.files.contains("seven.txt")) WriteBytes(dir_ / "seven.txt", seven);
        std::vector<std::string> args;
        for (std::string arg : row.args) {
            if (arg.starts_with("@")) arg = (dir_ / arg.substr(2)).string();
            if (arg == "#") arg = (dir_ / "out").string();
            args.push_back(arg);
        }
        const Result r = Run(args);
        EXPECT_EQ(r.status, row.status) << r.err;
        if (row.err.empty()) {
            EXPECT_EQ(r.err, "");
        }
        EXPECT_NE(r.err.find(row.err), std::string::npos) << r.err;
        EXPECT_NE(r.out.find(row.out), std::string::npos) << r.out;
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(fs::temp_directory_path() / dir_.filename())) {
            if (entry.is_regular_file())
                files[fs::relative(entry.path(), dir_).generic_string()] = ReadBytes(entry.path());
        }
        std::map<std::string, std::string> expected = row.files;
        expected.insert({{"a/s.txt", "a"}, {"b/s.txt", "b"}});
        EXPECT_EQ(files, expected);
        EXPECT_FALSE(fs::exists(fs::temp_directory_path() / "victim1.txt"));
    }
}

// A closed pipe on standard output: the run goes on, writes every piece, and
// says on standard error that its list did not get through.
TEST_F(CliEndToEndTest, closedPipeOnStandardOutputIsReportedAndTheRunGoesOn) {
    std::string lines;
    // One block (under 30000 bytes); the list of pieces, well past what a pipe holds.
    for (int i = 0; i < 2500; ++i) {
        lines += 'l';
        lines += std::to_string(i);
        lines += "\r\n";
    }
    const auto source = Source("many.txt", lines);
    const std::string command = "{ " + Quoted(PARTWRIGHT_CLI_PATH) + " --no-final-line-end --verbose --lines 1 " +
                                Quoted(source.string()) + " 2>" + Quoted((output_ / "err").string()) + "; echo $? >" +
                                Quoted((output_ / "status").string()) + "; } | head -n 1 >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(ReadBytes(output_ / "status"), "1\n");
    EXPECT_NE(ReadBytes(output_ / "err").find("write error on standard output: Broken pipe"), std::string::npos)
        << ReadBytes(output_ / "err");
    EXPECT_EQ(Piece("many-2500.txt"), "l2499");
    EXPECT_EQ(Files().size(), 2501u);
}

TEST_F(CliEndToEndTest, usageErrorsAndDryRunsWriteNothing) {
    const auto source = Source("a.txt", "1\r\n2\r\n3\r\n4");
    const std::set<std::string> before = Files();

    Result r = Run({"--lines", "0", source.string()});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("--lines"), std::string::npos);
    EXPECT_EQ(Files(), before);

    r = Run({"--lines", "2", "--dry-run", source.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, (dir_ / "a-0001.txt").string() + "\n" + (dir_ / "a-0002.txt").string() + "\nDone.\n");
    EXPECT_EQ(Files(), before);
}

// Line ends, size caps, headers and the output folder, each case on a fresh
// source: the pieces written (and nothing else), the exit status and stdout.
TEST_F(CliEndToEndTest, lineEndsSizesHeadersAndOutputFolderCutAsDocumented) {
    struct Case {
        std::string source;
        std::vector<std::string> args;
        std::map<std::string, std::string> pieces;  // by path from the test folder
        int status = 0;
    };
    fs::create_directory(dir_ / "out");
    const std::vector<Case> cases = {
        {"a\nb\nc\nd\ne",
         {"--line-end", "lf", "--lines", "2"},
         {{"s-0001.txt", "a\nb"}, {"s-0002.txt", "c\nd"}, {"s-0003.txt", "e"}}},
        {"a\r\nb\nc\n",
         {"--line-end", "lf", "--lines", "1"},
         {{"s-0001.txt", "a\r"}, {"s-0002.txt", "b"}, {"s-0003.txt", "c"}}},
        {"p\n\nq\n\n\nr",
         {"--line-end", "lf", "--blank-lines"},
         {{"s-0001.txt", "p"}, {"s-0002.txt", "q"}, {"s-0003.txt", "\nr\n"}}},
        {"aaaa\r\nbbbb\r\ncccc\r\ndd",
         {"--max-bytes", "10"},
         {{"s-0001.txt", "aaaa\r\nbbbb"}, {"s-0002.txt", "cccc\r\ndd"}}},
        {"a\xE9\nbb\nccccccc\nd",
         {"--max-bytes", "4", "--line-end", "lf", "--codepage", "windows-1252"},
         {{"s-0001.txt", "a\xC3\xA9"}, {"s-0002.txt", "bb"}, {"s-0003.txt", "ccccccc"}, {"s-0004.txt", "d"}}},
        {"id,name\r\n1,a\r\n2,b\r\n3,c",
         {"--header", "1", "--lines", "2"},
         {{"s-0001.txt", "id,name\r\n1,a\r\n2,b"}, {"s-0002.txt", "id,name\r\n3,c"}}},
        {"h\r\naaaa\r\nbb\r\ncccccccccc",
         {"--header", "1", "--max-bytes", "12", "--first-chars", "2"},
         {{"aa.txt", "h\r\naaaa\r\nbb"}, {"cc.txt", "h\r\ncccccccccc"}}},
        {"h1\nh2\n", {"--header", "2", "--line-end", "lf"}, {}},
        {"header\r\nx", {"--header", "1", "--max-bytes", "8"}, {}, 1},  // 8 bytes hold the header alone
        // The line end is each source's own by default.
        {"a\nb\nc\nd\ne\nf\ng\n",
         {"--lines", "3"},
         {{"s-0001.txt", "a\nb\nc"}, {"s-0002.txt", "d\ne\nf"}, {"s-0003.txt", "g\n"}}},
        {"a\r\nb\nc", {"--lines", "1"}, {{"s-0001.txt", "a"}, {"s-0002.txt", "b\nc"}}},
        {"a\nb\r\nc", {"--lines", "1", "--line-end", "crlf"}, {{"s-0001.txt", "a\nb"}, {"s-0002.txt", "c"}}},
        // A header whose last line the first 30000-byte block cuts would repeat half a line.
        {std::string(30000, 'h') + "x\r\ny", {"--blocks", "--header", "1", "--lines", "1"}, {}, 1},
        {std::string(29998, 'h') + "\r\nx\r\n",
         {"--blocks", "--header", "1", "--lines", "1"},
         {{"s-0003.txt", std::string(29998, 'h') + "\r\nx"}}},  // the rest of the first block: two empty pieces
        {"1\r\n2",
         {"--lines", "1", "--output-dir", (dir_ / "out").string()},
         {{"out/s-0001.txt", "1"}, {"out/s-0002.txt", "2"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const std::set<std::string> before = Files();
        const auto source = Source("s.txt", c.source);
        std::vector<std::string> args = c.args;
        args.push_back("--verbose");
        args.push_back(source.string());
        const Result r = Run(args);
        EXPECT_EQ(r.status, c.status) << r.err;
        std::string listed;
        for (const auto& [name, bytes] : c.pieces) {
            EXPECT_EQ(Piece(name), bytes) << name;
            listed += (dir_ / name).string() + "\n";
            fs::remove(dir_ / name);
        }
        EXPECT_EQ(r.out, listed + "Done.\n");  // in the order written, which is the order of the names here
        fs::remove(source);
        EXPECT_EQ(Files(), before);
        EXPECT_TRUE(fs::is_empty(dir_ / "out"));
    }
}

TEST_F(CliEndToEndTest, anOutputFolderThatIsAFileIsAUsageError) {
    const auto source = Source("a.txt", "1\r\n2");
    const auto file = Source("not-a-folder", "");
    const std::set<std::string> before = Files();
    const Result r = Run({"--output-dir", file.string(), source.string()});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("--output-dir"), std::string::npos) << r.err;
    EXPECT_EQ(Files(), before);
}

// Output that cannot be written is a failure, whatever the output: a list
// lost in a full disk must not look like a finished dry run. With standard
// output closed, nothing meant for it may land in a piece instead.
TEST_F(CliEndToEndTest, outputThatCannotBeWrittenIsReportedAndFailsTheRun) {
    const auto source = Source("a.txt", "1\r\n2\r\n3\r\n4");
    const struct {
        std::vector<std::string> args;
        const char* stdoutTo;
        const char* reason;
    } cases[] = {
        {{"--dry-run", source.string()}, ">/dev/full", "No space left on device"},
        {{source.string()}, ">/dev/full", "No space left on device"},
        {{"--version"}, ">/dev/full", "No space left on device"},
        {{"--dry-run", source.string()}, ">&-", "Bad file descriptor"},
        {{"--lines", "1", source.string()}, ">&-", "Bad file descriptor"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args) + " " + c.stdoutTo);
        const Result r = Run(c.args, "C", c.stdoutTo);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, std::string("partwright-cli: write error on standard output: ") + c.reason + "\n");
        for (const std::string& name : Files()) {
            if (name != "a.txt") {
                EXPECT_EQ(Piece(name).find("Done."), std::string::npos) << name;
                fs::remove(dir_ / name);
            }
        }
    }
}

// An ESC in a file name or an argument must not reach the terminal as a command.
TEST_F(CliEndToEndTest, controlCharactersInNamesAndArgumentsAreShownEscaped) {
    const auto source = Source("e\x1B[2Jx.txt", "1\r\n2");
    const std::string shownFolder = dir_.string() + "/";

    Result r = Run({"--lines", "1", "--dry-run", source.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, shownFolder + "e\\x1B[2Jx-0001.txt\n" + shownFolder + "e\\x1B[2Jx-0002.txt\nDone.\n");
    r = Run({"--lines", "1", "--verbose", source.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, shownFolder + "e\\x1B[2Jx-0001.txt\n" + shownFolder + "e\\x1B[2Jx-0002.txt\nDone.\n");
    EXPECT_EQ(Piece("e\x1B[2Jx-0002.txt"), "2");

    r = Run({(dir_ / "m\x1Bq\n.txt").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "partwright-cli: cannot open " + shownFolder + "m\\x1Bq\\x0A.txt: No such file or directory\n");

    r = Run({"--lines", "\x1B[31m", source.string()});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("\\x1B[31m"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find('\x1B'), std::string::npos) << r.err;
}

TEST_F(CliEndToEndTest, quietPrintsNothingButFailures) {
    const auto source = Source("a.txt", "1");
    Result r = Run({"--quiet", source.string()});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(Piece("a-0001.txt"), "1");

    r = Run({"--quiet", (dir_ / "nope.txt").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("nope.txt"), std::string::npos);
}

TEST_F(CliEndToEndTest, anInterruptedRunLeavesNoPieceCutShort) {
    // 20000 pieces of 100 lines each; the run is interrupted wherever it has
    // got to, so the test holds whatever the timing: the exit status says
    // stopped (or finished, on a fast machine), and every piece on disk is whole.
    // --foreground: one Ctrl+C, sent to the program alone (timeout otherwise
    // signals its process group as well, and a second signal ends the program at once).
    std::string text;
    for (int i = 0; i < 2000000; ++i) {
        text += "line " + std::to_string(i) + "\r\n";
    }
    const auto source = Source("long.txt", text);
    const std::string command = "timeout --foreground --preserve-status -s INT 0.5 " + Quoted(PARTWRIGHT_CLI_PATH) +
                                " --no-final-line-end" + " --whole-file --lines 100 " + Quoted(source.string()) +
                                " >/dev/null 2>" + Quoted((output_ / "err").string());
    const int raw = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(raw));
    const int status = WEXITSTATUS(raw);
    EXPECT_TRUE(status == 130 || status == 0) << status;
    if (status == 130 && ReadBytes(output_ / "err").find("stopped") == std::string::npos) {
        // On a busy machine the signal can come before the program has set
        // its handler; it then ends without having written anything.
        EXPECT_EQ(Files(), std::set<std::string>{"long.txt"});
    }
    for (const std::string& name : Files()) {
        if (name == "long.txt") {
            continue;
        }
        const int number = std::stoi(name.substr(5, name.size() - 9));  // long-NNNN.txt
        const std::string piece = Piece(name);
        std::string expected;
        for (int i = (number - 1) * 100; i < number * 100; ++i) {
            expected += "line " + std::to_string(i) + (i + 1 < number * 100 ? "\r\n" : "");
        }
        ASSERT_EQ(piece, expected) << name;
    }
}

TEST_F(CliEndToEndTest, noArgumentsShowsHelp) {
    Result r = Run({});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("--blank-lines"), std::string::npos);
    EXPECT_EQ(r.err, "");
}

// Paths relative to the working folder: pieces beside a source in a
// subfolder and into an output folder given relatively, over older files
// too (which go through the folder held open, by the piece's own name).
TEST_F(CliEndToEndTest, relativePathsFromTheWorkingFolderWork) {
    fs::create_directories(dir_ / "sub" / "out");
    WriteBytes(dir_ / "sub" / "s.txt", "a\nb\nc\n");
    for (const char* writers : {"0", "2"}) {
        SCOPED_TRACE(std::string("writer threads: ") + writers);
        WriteBytes(dir_ / "sub" / "s-0002.txt", "older");
        WriteBytes(dir_ / "sub" / "out" / "s-0003.txt", "older");
        const std::string cli = Quoted(PARTWRIGHT_CLI_PATH) + " --quiet --threads " + writers + " --lines 1 ";
        EXPECT_EQ(std::system(("cd " + Quoted(dir_.string()) + " && " + cli + "sub/s.txt").c_str()), 0);
        EXPECT_EQ(std::system(
                      ("cd " + Quoted((dir_ / "sub").string()) + " && " + cli + "--output-dir out s.txt").c_str()),
                  0);
        for (const fs::path& folder : {dir_ / "sub", dir_ / "sub" / "out"}) {
            EXPECT_EQ(ReadBytes(folder / "s-0001.txt"), "a\n");
            EXPECT_EQ(ReadBytes(folder / "s-0002.txt"), "b\n");
            EXPECT_EQ(ReadBytes(folder / "s-0003.txt"), "c\n");
        }
    }
}

}  // namespace
}  // namespace partwright
