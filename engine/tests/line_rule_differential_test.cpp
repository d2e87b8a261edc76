// The cut into equal parts and the cut before matching lines, whole runs
// against a slow model written from the rules' words, and the cases that
// mark their edges.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "engine/run/run_seam.h"
#include "engine/tests/run_test_support.h"
#include "partwright/line_match.h"
#include "partwright/split_run.h"

namespace partwright {
namespace {

using namespace run_test;

struct ModelLine {
    std::string text;      // without its line end
    std::uint64_t endsAt;  // the source byte just past its line end (the source's end for the run's own)
    bool ownEnd;           // its line end is the source's, not the one the run appends
};

// What the model is asked to cut.
struct ModelCase {
    std::string source;
    LineEnd lineEnd = LineEnd::CrLf;
    std::int64_t headerLines = 0;
    bool keepLineEnds = true;
    std::uint64_t parts = 0;             // or
    std::optional<std::string> pattern;  // an ECMAScript regular expression meaning what the RE2 one means
};

std::string EndOf(LineEnd lineEnd) { return lineEnd == LineEnd::Lf ? "\n" : "\r\n"; }

// The piece files of a source "s.txt", by name, as the rules say in words:
// the header is the first lines with their line ends; the rest, with the line
// end the run appends, is lines; "piece k ends at the first line end at or
// after k/N of the bytes" after the header; "a cut before every line that
// matches", never before the first; pieces counted from 1 and written when not empty.
std::map<std::string, std::string> ModelPieces(const ModelCase& c, std::uint64_t& pieceCount) {
    const std::string end = EndOf(c.lineEnd);
    std::string header;
    std::size_t at = 0;
    for (std::int64_t i = 0; i < c.headerLines; ++i) {
        const std::size_t found = c.source.find(end, at);
        at = found + end.size();
    }
    header = c.source.substr(0, at);
    const std::uint64_t bodyStart = at;
    const std::uint64_t size = c.source.size();
    const std::string text = c.source.substr(at) + end;
    std::vector<ModelLine> lines;
    for (std::size_t from = 0;;) {
        const std::size_t found = text.find(end, from);
        if (found == std::string::npos) break;  // the last segment, after the run's line end, is empty
        const std::uint64_t past = bodyStart + found + end.size();
        lines.push_back({text.substr(from, found - from), std::min(past, size), past <= size});
        from = found + end.size();
    }
    // Keeping line ends, the pieces give the source back: the run's line end
    // after a source's own makes no empty line of its own.
    if (c.keepLineEnds && !lines.empty() && lines.back().text.empty() && !lines.back().ownEnd) lines.pop_back();
    std::vector<bool> cutBefore(lines.size(), false);
    if (c.parts > 0) {
        const std::uint64_t body = size - bodyStart;
        for (std::uint64_t k = 1; k < c.parts; ++k) {
            for (std::size_t i = 0; i < lines.size(); ++i) {
                if (double(lines[i].endsAt - bodyStart) * double(c.parts) >= double(k) * double(body)) {
                    if (i + 1 < lines.size()) cutBefore[i + 1] = true;
                    break;
                }
            }
        }
    } else {
        const std::regex re(*c.pattern);
        for (std::size_t i = 1; i < lines.size(); ++i) cutBefore[i] = std::regex_search(lines[i].text, re);
    }
    std::vector<std::string> pieces;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i == 0 || cutBefore[i]) {
            pieces.emplace_back();
        } else if (!c.keepLineEnds) {
            pieces.back() += end;  // joins the line before to this one
        }
        pieces.back() += lines[i].text;
        if (c.keepLineEnds && lines[i].ownEnd) pieces.back() += end;
    }
    pieceCount = pieces.size();
    std::map<std::string, std::string> files;
    for (std::size_t k = 0; k < pieces.size(); ++k) {
        if (pieces[k].empty()) continue;
        std::string number = std::to_string(k + 1);
        number.insert(0, 4 - std::min<std::size_t>(4, number.size()), '0');
        files["s-" + number + ".txt"] = header + pieces[k];
    }
    return files;
}

struct RunOutcome {
    std::map<std::string, std::string> files;
    RunReport report;
};

RunOutcome RunEngine(const ModelCase& c, const std::string& re2Pattern, std::size_t chunkBytes) {
    Folder folder;
    const fs::path source = folder.Write("s.txt", c.source);
    fs::create_directory(folder / "out");
    RunOptions options;
    options.reading.codepage = "utf-8";
    options.lineEnd = c.lineEnd;
    options.headerLines = c.headerLines;
    options.finalLineEnd = c.keepLineEnds;
    options.outputFolder = folder / "out";
    options.writerThreads = 0;
    options.parts = c.parts;
    if (c.pattern) options.matchPattern = re2Pattern;
    RunSeam seam;
    seam.chunkBytes = chunkBytes;
    RecordingHost host;
    RunOutcome outcome;
    outcome.report = SplitRun(PathList{source}, FixedSettings{}, host, options, seam);
    for (auto& [name, bytes] : folder.Files()) {
        if (name.starts_with("out/")) outcome.files[name.substr(4)] = bytes;
    }
    return outcome;
}

// Generated sources of CR, LF, both line ends, empty lines, characters of
// two and three bytes, headings and no final line end, read in chunks of 1
// to 9 bytes or whole, with and without a header and kept line ends.
TEST(LineRuleDifferential, partsAndMatchAgreeWithTheModel) {
    std::mt19937 random(3434);
    const std::vector<std::string> alphabet = {"a", "b", "=", " ", "\r", "\n", "\r\n", "\xC3\xA9", "\xE2\x82\xAC", "7"};
    // RE2's pattern, and the same in ECMAScript.
    const std::vector<std::pair<std::string, std::string>> patterns = {
        {"^== ", "^== "},     {"a$", "a$"},     {"^$", "^$"},
        {"b", "b"},           {"^a?b", "^a?b"}, {"\xC3\xA9$", "\xC3\xA9$"},
        {"=|^\\d", "=|^\\d"}, {"\r", "\r"},     {"(a|b)(a|b)", "(a|b)(a|b)"}};
    for (int round = 0; round < 1200; ++round) {
        ModelCase c;
        c.lineEnd = round % 2 == 0 ? LineEnd::CrLf : LineEnd::Lf;
        c.keepLineEnds = random() % 4 != 0;
        c.headerLines = random() % 3 == 0 ? 1 + random() % 2 : 0;
        for (std::int64_t i = 0; i < c.headerLines; ++i) {
            c.source += 'h';
            c.source += std::to_string(i);
            c.source += EndOf(c.lineEnd);
        }
        const std::size_t pieces = random() % 30;
        for (std::size_t i = 0; i < pieces; ++i) {
            if (random() % 5 == 0) c.source += "== ";
            c.source += alphabet[random() % alphabet.size()];
        }
        std::string re2Pattern;
        if (round % 3 == 0) {
            const auto& pattern = patterns[random() % patterns.size()];
            re2Pattern = pattern.first;
            c.pattern = pattern.second;
        } else {
            c.parts = 1 + random() % 9;
        }
        const std::size_t chunkBytes = random() % 3 == 0 ? 0 : 1 + random() % 9;
        std::uint64_t modelPieces = 0;
        const auto expected = ModelPieces(c, modelPieces);
        const RunOutcome fast = RunEngine(c, re2Pattern, chunkBytes);
        ASSERT_EQ(fast.files, expected) << "round " << round << ", parts " << c.parts << ", pattern " << re2Pattern
                                        << ", chunk " << chunkBytes << ", " << ::testing::PrintToString(c.source);
        ASSERT_TRUE(fast.report.failures.empty()) << Describe(fast.report.failures.front());
        if (c.parts > 0) {
            EXPECT_EQ(fast.report.sourcesShortOfParts, c.source.size() > 0 && modelPieces < c.parts ? 1u : 0u)
                << "round " << round;
        }
    }
}

// Hears which sources gave fewer parts than asked.
struct PartsHost final : RunHost {
    std::vector<std::pair<fs::path, std::uint64_t>> fewer;
    void FewerParts(const fs::path& source, std::uint64_t pieces) override { fewer.emplace_back(source, pieces); }
};

struct TableCase {
    const char* what;
    std::string source;
    std::uint64_t parts;
    std::optional<std::string> pattern;
    std::map<std::string, std::string> files;
    std::uint64_t shortOfParts = 0;
};

// Cases that mark the rules' edges, each through a whole run.
TEST(LineRuleCases, eachGivesItsPieces) {
    const std::string longLine(3 << 20, 'x');
    const std::vector<TableCase> cases = {
        {"eight even lines in four parts",
         "1a\n2a\n3a\n4a\n5a\n6a\n7a\n8a\n",
         4,
         {},
         {{"s-0001.txt", "1a\n2a\n"},
          {"s-0002.txt", "3a\n4a\n"},
          {"s-0003.txt", "5a\n6a\n"},
          {"s-0004.txt", "7a\n8a\n"}}},
        {"fewer lines than parts", "a\nb\n", 5, {}, {{"s-0001.txt", "a\n"}, {"s-0002.txt", "b\n"}}, 1},
        {"a long line reaching three shares ends one piece",
         "a\n" + std::string(40, 'x') + "\nb\nc\n",
         4,
         {},
         {{"s-0001.txt", "a\n" + std::string(40, 'x') + "\n"}, {"s-0002.txt", "b\nc\n"}},
         1},
        {"a heading at the start begins the first piece",
         "== A\nx\n== B\ny\n",
         0,
         "^== ",
         {{"s-0001.txt", "== A\nx\n"}, {"s-0002.txt", "== B\ny\n"}}},
        {"text before the first heading is the first piece",
         "pre\n== A\nx",
         0,
         "^== ",
         {{"s-0001.txt", "pre\n"}, {"s-0002.txt", "== A\nx"}}},
        {"no match: one piece", "a\nb\n", 0, "^zz", {{"s-0001.txt", "a\nb\n"}}},
        {"a line is matched without its line end", "a\r\nb\r\n", 0, "\\r", {{"s-0001.txt", "a\r\nb\r\n"}}},
        {"a line past a MiB is matched on its first MiB",
         "a\n" + longLine + "MARK\nMARK\n",
         0,
         "MARK",
         {{"s-0001.txt", "a\n" + longLine + "MARK\n"}, {"s-0002.txt", "MARK\n"}}},
        {"a match inside a line's first MiB cuts",
         "a\n" + longLine.substr(0, 1000) + "MARK" + longLine + "\n",
         0,
         "MARK",
         {{"s-0001.txt", "a\n"}, {"s-0002.txt", longLine.substr(0, 1000) + "MARK" + longLine + "\n"}}},
    };
    for (const TableCase& c : cases) {
        for (const std::size_t chunk : {std::size_t{0}, std::size_t{3}}) {
            Folder folder;
            const fs::path source = folder.Write("s.txt", c.source);
            fs::create_directory(folder / "out");
            RunOptions options;
            options.finalLineEnd = true;
            options.outputFolder = folder / "out";
            options.parts = c.parts;
            options.matchPattern = c.pattern;
            RunSeam seam;
            seam.chunkBytes = chunk == 0 || c.source.size() > 100000 ? 0 : chunk;
            PartsHost host;
            const RunReport report = SplitRun(PathList{source}, FixedSettings{}, host, options, seam);
            if (c.shortOfParts > 0) {
                ASSERT_EQ(host.fewer.size(), 1u) << c.what;
                EXPECT_EQ(host.fewer[0].first, source);
                EXPECT_EQ(host.fewer[0].second, c.files.size()) << c.what;
            }
            std::map<std::string, std::string> files;
            for (auto& [name, bytes] : folder.Files()) {
                if (name.starts_with("out/")) files[name.substr(4)] = bytes;
            }
            EXPECT_EQ(files, c.files) << c.what << ", chunk " << chunk;
            EXPECT_EQ(report.sourcesShortOfParts, c.shortOfParts) << c.what;
            EXPECT_TRUE(report.ok()) << c.what;
        }
    }
}

// A UTF-16 source is converted before it is cut: its shares are still of its own bytes.
TEST(LineRuleCases, partsOfAConvertedSourceShareItsBytes) {
    Folder folder;
    std::u16string text = u"\uFEFF";
    for (int i = 0; i < 8; ++i) text += (i % 2 == 0 ? u"\u0416\u0416\u0416\u0416\r\n" : u"abcd\r\n");
    const fs::path source = folder.Write("s.txt", Utf16(text));
    RunOptions options;
    options.finalLineEnd = true;
    options.outputEncoding = OutputEncoding::Utf8;
    options.parts = 4;
    RecordingHost host;
    const RunReport report = SplitRun(PathList{source}, FixedSettings{}, host, options);
    ASSERT_TRUE(report.ok());
    const auto files = folder.Files();
    const std::string pair = "\xD0\x96\xD0\x96\xD0\x96\xD0\x96\r\nabcd\r\n";
    for (const char* name : {"s-0001.txt", "s-0002.txt", "s-0003.txt", "s-0004.txt"}) {
        ASSERT_TRUE(files.count(name)) << name;
        EXPECT_EQ(files.at(name), pair) << name;
    }
}

TEST(LineRuleCases, aBadPatternIsNamedWithItsPlace) {
    EXPECT_EQ(PatternProblem("ab(c"), "missing ): ab(c (at character 1)");
    EXPECT_EQ(PatternProblem("a**"), "bad repetition operator: ** (at character 2)");
    EXPECT_FALSE(PatternProblem("^== (\\w+)").has_value());
    // A run given one anyway reports each source and writes nothing.
    Folder folder;
    const fs::path source = folder.Write("s.txt", "a\nb\n");
    RunOptions options;
    options.matchPattern = "x[";
    RecordingHost host;
    const RunReport report = SplitRun(PathList{source}, FixedSettings{}, host, options);
    ASSERT_EQ(report.failures.size(), 1u);
    EXPECT_EQ(report.failures[0].kind, Failure::Kind::BadPattern);
    EXPECT_EQ(folder.Files().size(), 1u);
}

}  // namespace
}  // namespace partwright
