// No piece of a run replaces another, and no piece lands outside its folder,
// whatever the naming options hold.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/tests/temp_folder.h"
#include "partwright/split_run.h"

namespace partwright {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;
using Files = std::map<std::string, std::string>;

struct Paths final : SourceList {
    std::vector<fs::path> paths;
    int Count() const override { return static_cast<int>(paths.size()); }
    fs::path At(int position) const override { return paths.at(static_cast<std::size_t>(position - 1)); }
};

struct Host final : RunHost {
    std::vector<Failure> failures;
    std::vector<std::pair<fs::path, fs::path>> renamed;
    void ReportFailure(const Failure& failure) override { failures.push_back(failure); }
    void PieceRenamed(const fs::path& wanted, const fs::path& given) override { renamed.emplace_back(wanted, given); }
};

// Every file under `root`, by generic path from it, with its bytes.
Files FilesUnder(const fs::path& root) {
    Files files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file()) files[fs::relative(entry.path(), root).generic_string()] = ReadBytes(entry.path());
    }
    return files;
}

struct Source {
    std::string path;  // from the test's root folder
    std::string bytes;
};

struct Row {
    const char* what;
    std::vector<Source> sources;
    FixedSettings settings;
    RunOptions options;  // outputFolder is taken from the root folder
    Files before;        // files there before the run
    Files after;         // every file under the root afterwards
    std::uint64_t renamed = 0;
    std::vector<Failure::Kind> failures;
    bool runTwice = false;  // the second run must leave the same files
};

FixedSettings Settings(SplitMode split, const Text& lines, NamingMode naming) {
    FixedSettings settings;
    settings.split = split;
    settings.linesPerPiece = ReadLinesPerPiece(lines);
    settings.naming = naming;
    return settings;
}

FixedSettings FirstChars(const Text& length) {
    FixedSettings settings = Settings(SplitMode::Lines, u"1", NamingMode::FirstChars);
    settings.nameLength = ReadNameLength(length);
    return settings;
}

FixedSettings Prefix(const Text& prefix) {
    FixedSettings settings = Settings(SplitMode::Lines, u"1", NamingMode::Prefix);
    settings.prefix = prefix;
    return settings;
}

RunOptions Into(const char* folder) {
    RunOptions options;
    options.outputFolder = folder;
    return options;
}

RunOptions Header(std::int64_t lines) {
    RunOptions options;
    options.headerLines = lines;
    return options;
}

const std::string kHello = "hello world A\r\nhello world B\r\nhello world C";

std::vector<Row> Rows() {
    return {
        {"pieces that begin alike get name (2), name (3)",
         {{"s.txt", kHello}},
         FirstChars(u"7"),
         RunOptions(),
         {},
         {{"s.txt", kHello},
          {"hellow.txt", "hello world A"},
          {"hellow (2).txt", "hello world B"},
          {"hellow (3).txt", "hello world C"}},
         2,
         {}},
        {"name length 0 gives the numbered name with .txt",
         {{"s.log", "a\r\nb"}},
         FirstChars(u"0"),
         RunOptions(),
         {},
         {{"s.log", "a\r\nb"}, {"s-0001.txt", "a"}, {"s-0002.txt", "b"}},
         0,
         {}},
        {"first characters without a letter or digit, or a device's name",
         {{"s.txt", "-- --\r\ncon\r\nCon"}},
         FirstChars(u"3"),
         RunOptions(),
         {},
         {{"s.txt", "-- --\r\ncon\r\nCon"}, {"s-0001.txt", "-- --"}, {"s-0002.txt", "con"}, {"s-0003.txt", "Con"}},
         0,
         {}},
        {"two sources of one name into one output folder",
         {{"a/s.txt", "1\r\n2"}, {"b/s.txt", "3"}},
         Settings(SplitMode::Lines, u"1", NamingMode::Numbered),
         Into("out"),
         {},
         {{"a/s.txt", "1\r\n2"},
          {"b/s.txt", "3"},
          {"out/s-0001.txt", "1"},
          {"out/s-0002.txt", "2"},
          {"out/s-0001 (2).txt", "3"}},
         1,
         {}},
        {"the prefix's count restarts for a second source in the same folder",
         {{"a.txt", "1"}, {"b.txt", "2"}},
         Prefix(u"p"),
         RunOptions(),
         {},
         {{"a.txt", "1"}, {"b.txt", "2"}, {"p1.txt", "1"}, {"p1 (2).txt", "2"}},
         1,
         {}},
        {"a file from before the run is replaced, not renamed around; a second run gives the same files",
         {{"s.txt", kHello}},
         FirstChars(u"7"),
         RunOptions(),
         {{"hellow.txt", "old"}, {"hellow (2).txt", "old"}},
         {{"s.txt", kHello},
          {"hellow.txt", "hello world A"},
          {"hellow (2).txt", "hello world B"},
          {"hellow (3).txt", "hello world C"}},
         2,
         {},
         true},
        {"a prefix that climbs out of the folder writes nothing",
         {{"in/s.txt", "1\r\n2"}},
         Prefix(u"../victim"),
         Into("in"),
         {},
         {{"in/s.txt", "1\r\n2"}},
         0,
         {Failure::Kind::BadPrefix, Failure::Kind::BadPrefix}},
        {"a prefix with a folder in it writes nothing",
         {{"s.txt", "1"}},
         Prefix(u"a/b"),
         RunOptions(),
         {},
         {{"s.txt", "1"}},
         0,
         {Failure::Kind::BadPrefix}},
        {"a header longer than a short source is reported",
         {{"s.txt", "1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n"}},
         Settings(SplitMode::Lines, u"1", NamingMode::Numbered),
         Header(100),
         {},
         {{"s.txt", "1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n"}},
         0,
         {Failure::Kind::BadHeader}},
    };
}

TEST(PieceNames, noPieceOfARunIsLostAndNoneLeavesItsFolder) {
    for (const Row& row : Rows()) {
        SCOPED_TRACE(row.what);
        TempFolder root;
        Paths sources;
        for (const Source& source : row.sources) {
            fs::create_directories((root / source.path).parent_path());
            WriteBytes(root / source.path, source.bytes);
            sources.paths.push_back(root / source.path);
        }
        for (const auto& [name, bytes] : row.before) WriteBytes(root / name, bytes);
        RunOptions options = row.options;
        if (!options.outputFolder.empty()) {
            options.outputFolder = root / options.outputFolder.string();
            fs::create_directories(options.outputFolder);
        }
        for (int run = 0; run < (row.runTwice ? 2 : 1); ++run) {
            Host host;
            const RunReport report = SplitRun(sources, row.settings, host, options);
            EXPECT_EQ(FilesUnder(root.path()), row.after) << "run " << run;
            EXPECT_EQ(report.piecesRenamed, row.renamed);
            EXPECT_EQ(host.renamed.size(), row.renamed);
            std::vector<Failure::Kind> kinds;
            for (const Failure& failure : report.failures) kinds.push_back(failure.kind);
            EXPECT_EQ(kinds, row.failures);
        }
        // Nothing beside the root either.
        for (const auto& entry : fs::directory_iterator(root.path().parent_path())) {
            EXPECT_FALSE(entry.path().filename().string().starts_with("victim")) << entry.path();
        }
    }
}

// Every naming mode with hostile prefixes, first characters and source names,
// beside the source and into an output folder, in a real run and a dry run:
// each piece is written (or planned) once, under a name of its own, in the
// folder it belongs in, or refused with a report before it is written.
TEST(PieceNames, hostileNamesNeverLeaveTheFolderNorLoseAPiece) {
    // The prefixes that can begin a name: "con" gives con1, con2... which Windows does not keep.
    const std::vector<Text> accepted = {u"", u"p.q", u" ", u"con", u"x.."};
    const std::vector<Text> refused = {u"../x",          u"..",        u".",   u"a/b",   u"/abs", u"\\x",
                                       u"c:x",           u"a*b",       u"x\n", u"nul.a", u"COM",  u"lpt",
                                       u".partwright-x", u"..\\..\\y", u"a?",  u"\x7F"};
    std::vector<Text> prefixes = accepted;
    prefixes.insert(prefixes.end(), refused.begin(), refused.end());
    const std::string hostileText =
        "../../x\r\n..\\..\\y\r\n/etc/passwd\r\n.\r\ncon\r\nNUL.txt\r\ncom1\r\n:*?<>|\r\n\x01\x02\r\n"
        "a.b.c\r\nA\r\na\r\n";
#ifdef _WIN32
    // Windows drops a name's last dot, so "x." cannot be a source's name there.
    const std::vector<std::string> sourceNames = {"s.txt", "..x", "noext", "a.b.c", ".hidden"};
#else
    const std::vector<std::string> sourceNames = {"s.txt", "..x", "x.", "noext", "a.b.c", ".hidden"};
#endif
    for (const bool elsewhere : {false, true}) {
        for (const bool dryRun : {false, true}) {
            for (int mode = 0; mode < 3; ++mode) {
                for (std::size_t p = 0; p < (mode == 2 ? prefixes.size() : 1); ++p) {
                    SCOPED_TRACE(std::to_string(elsewhere) + std::to_string(dryRun) + " mode " + std::to_string(mode) +
                                 " prefix " + std::to_string(p));
                    TempFolder root;
                    const fs::path in = root / "deep/in";
                    const fs::path out = root / "deep/out";
                    fs::create_directories(in);
                    fs::create_directories(out);
                    Paths sources;
                    Files before;
                    for (const std::string& name : sourceNames) {
                        WriteBytes(in / name, hostileText);
                        sources.paths.push_back(in / name);
                        before["deep/in/" + name] = hostileText;
                    }
                    FixedSettings settings = Settings(SplitMode::Lines, u"1", static_cast<NamingMode>(mode));
                    settings.nameLength = ReadNameLength(u"12");
                    settings.prefix = prefixes[p];
                    RunOptions options;
                    options.dryRun = dryRun;
                    if (elsewhere) options.outputFolder = out;
                    struct Planner final : RunHost {
                        std::vector<fs::path> planned;
                        void PlannedPiece(const fs::path& target) override { planned.push_back(target); }
                    } host;
                    const RunReport report = SplitRun(sources, settings, host, options);

                    const fs::path home = elsewhere ? out : in;
                    const bool refuse = mode == 2 && p >= accepted.size();
                    const std::uint64_t pieces = refuse ? 0 : 12 * sourceNames.size();
                    Files after = FilesUnder(root.path());
                    for (const auto& [name, bytes] : before) {
                        EXPECT_EQ(after[name], bytes) << name;  // no source was touched
                        after.erase(name);
                    }
                    if (dryRun) {
                        EXPECT_TRUE(after.empty());
                        EXPECT_EQ(host.planned.size(), pieces);
                        std::set<fs::path> distinct(host.planned.begin(), host.planned.end());
                        EXPECT_EQ(distinct.size(), host.planned.size());
                        for (const fs::path& target : host.planned) EXPECT_EQ(target.parent_path(), home) << target;
                        continue;
                    }
                    EXPECT_EQ(report.piecesWritten, pieces);
                    EXPECT_EQ(after.size(), pieces);  // one file per piece: none replaced another
                    const std::string folder = elsewhere ? "deep/out/" : "deep/in/";
                    for (const auto& [name, bytes] : after) {
                        EXPECT_TRUE(name.starts_with(folder) && name.find('/', folder.size()) == std::string::npos)
                            << name;
                    }
                    EXPECT_EQ(report.failures.size(), refuse ? 12 * sourceNames.size() : 0u);
                }
            }
        }
    }
}

}  // namespace
}  // namespace partwright
