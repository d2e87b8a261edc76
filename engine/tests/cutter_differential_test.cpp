#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "engine/cut/cutter.h"
#include "engine/name/naming.h"
#include "engine/read/source_reader.h"
#include "engine/read/text_form.h"
#include "engine/run/run_seam.h"
#include "engine/tests/literal_oracle.h"
#include "engine/tests/temp_folder.h"
#include "engine/tests/text_oracle.h"
#include "engine/tests/whole_file_io.h"
#include "engine/write/piece_encoding.h"
#include "partwright/codepage.h"
#include "partwright/split_run.h"

namespace partwright {
namespace {

using oracle::Piece;
using oracle::RecordingSink;

Text RandomText(std::mt19937& random, const Text& alphabet, std::size_t maxLength) {
    std::uniform_int_distribution<std::size_t> length(0, maxLength);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    Text text(length(random), u'\0');
    for (char16_t& unit : text) unit = alphabet[pick(random)];
    return text;
}

// Feeds the block text in random chunk sizes, sometimes all of size 1, as a streamed source does.
std::vector<Piece> CutStreamed(PieceCutter& cutter, const Text& blockText, std::mt19937& random,
                               std::vector<const char*>& faults) {
    RecordingSink sink;
    // Small chunks mostly; now and then chunks long enough for the 32-unit scan steps.
    const std::size_t largest = std::uniform_int_distribution<std::size_t>(1, 12)(random) *
                                (std::uniform_int_distribution<int>(0, 3)(random) == 0 ? 16 : 1);
    std::uniform_int_distribution<std::size_t> size(1, largest);
    for (std::size_t at = 0; at < blockText.size();) {
        std::size_t chunk = size(random);
        // The reader's steps end between characters.
        if (oracle::InsidePair(blockText, at + chunk)) ++chunk;
        EXPECT_TRUE(FeedUnits(cutter, TextView(blockText).substr(at, chunk), sink));
        at += chunk;
    }
    EXPECT_TRUE(cutter.Finish(sink));
    faults = sink.faults;
    return sink.pieces;
}

// Alphabets rich in CR, LF and the units of the separators, so line ends,
// near-misses and separators straddling chunk boundaries are common.
// Units of two and three bytes, and a lone surrogate, are cut and sized as the UTF-8 of each unit.
const std::vector<Text> kAlphabets = {u"\r\n", u"\r\na",   u"\r\nab", u"ab",
                                      u"a\r",  u"ab\r\n;", u"aab\n",  u"\r\na\u00E9\u20AC\xD83D"};

TEST(CutterDifferential, linesModeMatchesCountLinesAndGetLines) {
    std::mt19937 random(20261207);
    for (int round = 0; round < 8000; ++round) {
        const Text& alphabet = kAlphabets[static_cast<std::size_t>(round) % kAlphabets.size()];
        const LineEnd lineEnd = round % 4 == 3 ? LineEnd::Lf : LineEnd::CrLf;
        const Text blockText = RandomText(random, alphabet, round % 3 == 0 ? 400 : 40) + oracle::LineEndText(lineEnd);
        const std::int64_t n = std::uniform_int_distribution<std::int64_t>(1, round % 3 == 0 ? 40 : 6)(random);
        auto cutter = PieceCutter::Lines(n, lineEnd);
        std::vector<const char*> faults;
        const std::vector<Piece> fast = CutStreamed(*cutter, blockText, random, faults);
        ASSERT_EQ(fast, oracle::CutLines(blockText, static_cast<double>(n), lineEnd))
            << "round " << round << ", N " << n << ", " << ::testing::PrintToString(blockText);
        ASSERT_TRUE(faults.empty()) << faults.front();
    }
}

TEST(CutterDifferential, separatorModeMatchesTheLiteralCut) {
    std::mt19937 random(7);
    const std::vector<Text> separators = {u"",         u";",      u"a",    u"\r",    u"\n",     u"\r\n",
                                          u"aa",       u"ab",     u"aba",  u"abab",  u"aab",    u"\n\r",
                                          u"\r\n\r\n", u"a\r\na", u"aaaa", u"abaab", u"\r\r\n", u"ababababb"};
    for (int round = 0; round < 8000; ++round) {
        const Text& alphabet = kAlphabets[static_cast<std::size_t>(round) % kAlphabets.size()];
        const Text blockText = RandomText(random, alphabet, 50) + u"\r\n";
        Text separator = separators[static_cast<std::size_t>(round / 7) % separators.size()];
        if (round % 5 == 4) separator = RandomText(random, alphabet, 6);  // separators made of the text's own units
        auto cutter = PieceCutter::Separator(ToUtf8(separator));
        std::vector<const char*> faults;
        const std::vector<Piece> fast = CutStreamed(*cutter, blockText, random, faults);
        ASSERT_EQ(fast, oracle::CutAtSeparator(blockText, separator))
            << "round " << round << ", separator " << ::testing::PrintToString(separator) << ", "
            << ::testing::PrintToString(blockText);
        ASSERT_TRUE(faults.empty()) << faults.front();
    }
}

TEST(CutterDifferential, longSeparatorsAcrossManySmallChunks) {
    std::mt19937 random(99);
    for (int round = 0; round < 400; ++round) {
        // A periodic separator of 20 to 60 units over a text built from pieces of it.
        const Text unit = RandomText(random, u"ab", 4) + u"a";
        Text separator;
        while (separator.size() < 20) separator += unit;
        separator += RandomText(random, u"ab", 40);
        Text blockText;
        while (blockText.size() < 400) {
            const std::size_t take = std::uniform_int_distribution<std::size_t>(1, separator.size())(random);
            blockText += separator.substr(0, take);
            blockText += RandomText(random, u"ab", 3);
        }
        blockText += u"\r\n";
        auto cutter = PieceCutter::Separator(ToUtf8(separator));
        std::vector<const char*> faults;
        ASSERT_EQ(CutStreamed(*cutter, blockText, random, faults), oracle::CutAtSeparator(blockText, separator))
            << "round " << round;
    }
}

TEST(CutterDifferential, blankLineModeMatchesTheLiteralCut) {
    std::mt19937 random(31337);
    for (int round = 0; round < 3000; ++round) {
        const LineEnd lineEnd = round % 2 == 0 ? LineEnd::Lf : LineEnd::CrLf;
        const Text blockText = RandomText(random, u"\r\n\r\nx ", 40) + oracle::LineEndText(lineEnd);
        auto cutter = PieceCutter::BlankLines(lineEnd);
        std::vector<const char*> faults;
        ASSERT_EQ(CutStreamed(*cutter, blockText, random, faults), oracle::CutAtBlankLines(blockText, lineEnd))
            << "round " << round << ", " << ::testing::PrintToString(blockText);
    }
}

TEST(CutterDifferential, sizeModeMatchesTheLiteralCut) {
    // Units of 1, 2 and 3 UTF-8 bytes and surrogate halves (3 each), lines
    // shorter and longer than the limit, limits down to 1 byte.
    std::mt19937 random(1010);
    const std::vector<Text> alphabets = {u"ab\r\n", u"a\r\n\r\n", u"a\u00e9\u20ac\r\n", u"\r\nab\U0001F600",
                                         u"\n\n\ra"};
    for (int round = 0; round < 8000; ++round) {
        const Text& alphabet = alphabets[static_cast<std::size_t>(round) % alphabets.size()];
        const LineEnd lineEnd = (round / 5) % 2 == 0 ? LineEnd::Lf : LineEnd::CrLf;
        const Text blockText = RandomText(random, alphabet, round % 3 == 0 ? 300 : 40) + oracle::LineEndText(lineEnd);
        const std::uint64_t limit = std::uniform_int_distribution<std::uint64_t>(1, round % 3 == 0 ? 120 : 16)(random);
        // Sizes as written in each output encoding.
        const auto encoding = static_cast<OutputEncoding>(round % 4);
        const PieceEncoder encoder(encoding);
        auto cutter = PieceCutter::MaxBytes(limit, lineEnd, encoder);
        std::vector<const char*> faults;
        const std::vector<Piece> fast = CutStreamed(*cutter, blockText, random, faults);
        ASSERT_EQ(fast, oracle::CutMaxBytes(blockText, limit, lineEnd, 0, encoding))
            << "round " << round << ", limit " << limit << ", " << ::testing::PrintToString(blockText);
        ASSERT_TRUE(faults.empty()) << faults.front();
    }
}

TEST(CutterDifferential, largeChunksCrossTheVectorisedScanBoundaries) {
    // Line ends at every offset around the 32-unit steps of the scan.
    std::mt19937 random(5);
    for (int round = 0; round < 300; ++round) {
        const Text blockText = RandomText(random, u"abcdefghijklmnopqrstuvwxyz\r\n", 300) + u"\r\n";
        const std::int64_t n = std::uniform_int_distribution<std::int64_t>(1, 4)(random);
        auto lines = PieceCutter::Lines(n);
        RecordingSink linesSink;
        EXPECT_TRUE(FeedUnits(*lines, blockText, linesSink));
        EXPECT_TRUE(lines->Finish(linesSink));
        ASSERT_EQ(linesSink.pieces, oracle::CutLines(blockText, static_cast<double>(n))) << "round " << round;

        // LF lines of every length around the scan steps, and counts for the lane counting.
        Text lfText;
        for (int copy = 0; copy < 8; ++copy) lfText += blockText;
        lfText += u"\n";
        auto lfLines = PieceCutter::Lines(n * 40, LineEnd::Lf);
        RecordingSink lfSink;
        EXPECT_TRUE(FeedUnits(*lfLines, lfText, lfSink));
        EXPECT_TRUE(lfLines->Finish(lfSink));
        ASSERT_EQ(lfSink.pieces, oracle::CutLines(lfText, static_cast<double>(n * 40), LineEnd::Lf))
            << "round " << round;

        auto separator = PieceCutter::Separator("\r\nq");
        RecordingSink separatorSink;
        EXPECT_TRUE(FeedUnits(*separator, blockText, separatorSink));
        EXPECT_TRUE(separator->Finish(separatorSink));
        ASSERT_EQ(separatorSink.pieces, oracle::CutAtSeparator(blockText, u"\r\nq")) << "round " << round;
    }
}

struct OneSource final : SourceList {
    explicit OneSource(std::filesystem::path source) : path(std::move(source)) {}
    int Count() const override { return 1; }
    std::filesystem::path At(int) const override { return path; }
    std::filesystem::path path;
};

std::map<std::string, std::string> FilesIn(const std::filesystem::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        files[entry.path().filename().string()] = testing::ReadBytes(entry.path());
    }
    return files;
}

// The whole run with the code page and the line end left to each source
// ("auto"), read in chunks of a few bytes, against the literal reading: a
// source that is valid UTF-8 throughout as UTF-8, any other in the fallback
// code page; the first LF, with or without a CR before it, as the line end.
// Half the sources hold one invalid sequence, mostly past the first read, so
// the run meets it after it has cut pieces as UTF-8 and must cut the source
// again; separators and sizes that fall differently in the two readings
// leave no piece of the first cut behind.
TEST(RunDifferential, autoCodePageAndLineEndMatchTheLiteralReadingAcrossChunks) {
    std::mt19937 random(1818);
    const std::vector<std::string> valid = {"a",  "b",        ";",    " ",        "\r\n",         "\n",
                                            "\r", "\r\n\r\n", "\n\n", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80"};
    const std::vector<std::string> invalid = {"\xE9",         "\x93",     "\x94",        "\xC3",
                                              "\xED\xA0\x80", "\xC0\xAF", "\xF0\x9F\x98"};
    const std::vector<Text> separators = {u";", u"\u00E9", u"\u00C3\u00A9", u"", u"\r\n"};
    const std::string fallback = std::to_string(AutoFallbackCodepage());
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE(round);
        std::string bytes;
        for (std::size_t i = 0, count = random() % 80; i < count; ++i) bytes += valid[random() % valid.size()];
        if (round % 2 == 1) {
            bytes.insert(random() % (bytes.size() + 1), invalid[random() % invalid.size()]);
        }
        FixedSettings settings;
        settings.split = static_cast<SplitMode>(round % 3);
        settings.linesPerPiece = ReadLinesPerPiece(std::vector<Text>{u"1", u"2", u"3"}[random() % 3]);
        settings.separator = separators[random() % separators.size()];
        settings.naming = NamingMode::Numbered;
        RunOptions options;               // "auto" and whole sources are the defaults
        RunSeam seam;                     // the test-only switches
        options.lineEnd = LineEnd::Auto;  // the default outside Windows
        seam.chunkBytes = 1 + random() % 12;
        options.maxPieceBytes = random() % 4 == 0 ? 3 + random() % 20 : 0;

        testing::TempFolder folder;
        const std::filesystem::path source = folder / "s.txt";
        testing::WriteBytes(source, bytes);
        RunHost host;
        const RunReport report = SplitRun(OneSource(source), settings, host, options, seam);
        ASSERT_TRUE(report.ok()) << (report.failures.empty() ? "" : Describe(report.failures.front()));

        std::map<std::string, std::string> expected{{"s.txt", bytes}};
        bool isUtf8 = false;
        Text text = oracle::DecodeUtf8(bytes, &isUtf8);
        if (!isUtf8) {
            Failure failure;
            const auto blocks = ReadFileBlocks(source, {fallback, true}, failure);
            ASSERT_TRUE(blocks && blocks->size() == 1) << Describe(failure);
            text = blocks->front();
        }
        const LineEnd lineEnd = oracle::FirstLineEnd(bytes);
        const Text blockText = text + oracle::LineEndText(lineEnd);
        std::vector<oracle::Piece> pieces;
        if (bytes.empty()) {
        } else if (options.maxPieceBytes > 0) {
            pieces = oracle::CutMaxBytes(blockText, options.maxPieceBytes, lineEnd);
        } else if (settings.split == SplitMode::Lines) {
            pieces = oracle::CutLines(blockText, static_cast<double>(settings.linesPerPiece.text[0] - u'0'), lineEnd);
        } else if (settings.split == SplitMode::Separator) {
            pieces = oracle::CutAtSeparator(blockText, settings.separator);
        } else {
            pieces = oracle::CutAtBlankLines(blockText, lineEnd);
        }
        for (std::size_t index = 0; index < pieces.size(); ++index) {
            if (pieces[index].text.empty() && !pieces[index].writeWhenEmpty) continue;
            const std::filesystem::path name = NumberedName(source.native(), static_cast<std::int64_t>(index) + 1);
            expected[name.filename().string()] = WrittenLiterally(pieces[index].text, options.outputEncoding);
        }
        ASSERT_EQ(FilesIn(folder.path()), expected) << (isUtf8 ? "UTF-8" : "not UTF-8") << ", chunks of "
                                                    << seam.chunkBytes << ", " << ::testing::PrintToString(bytes);
    }
}

// Many lines per piece: pairs far from the piece's end are counted in
// stretches, which must neither miss nor double-count a pair at their edges.
TEST(CutterDifferential, manyLinesPerPieceMatchTheLiteralCut) {
    std::mt19937 random(64);
    for (int round = 0; round < 300; ++round) {
        // Lines from empty to long, and stray CRs and LFs.
        std::string bytes;
        const std::size_t size = 2000 + random() % 30000;
        while (bytes.size() < size) {
            bytes.append(random() % 3 == 0 ? 0 : random() % (round % 2 == 0 ? 8 : 120), 'x');
            bytes += random() % 10 == 0 ? (random() % 2 == 0 ? "\r" : "\n") : "\r\n";
        }
        bytes += "\r\n";
        const Text text(bytes.begin(), bytes.end());
        const std::int64_t n = std::vector<std::int64_t>{64, 65, 100, 257, 1000, 4096}[random() % 6];
        const std::size_t chunk = random() % 2 == 0 ? bytes.size() : 1 + random() % 5000;
        const LineEnd lineEnd = round % 4 < 2 ? LineEnd::CrLf : LineEnd::Lf;
        auto cutter = PieceCutter::Lines(n, lineEnd);
        RecordingSink sink;
        for (std::size_t at = 0; at < bytes.size(); at += chunk) {
            ASSERT_TRUE(cutter->Feed(std::string_view(bytes).substr(at, chunk), sink));
        }
        ASSERT_TRUE(cutter->Finish(sink));
        ASSERT_EQ(sink.pieces, oracle::CutLines(text, static_cast<double>(n), lineEnd))
            << "round " << round << ", N " << n;
    }
}

}  // namespace
}  // namespace partwright
