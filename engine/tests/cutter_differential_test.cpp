#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/cutter.h"
#include "engine/tests/literal_oracle.h"

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
        const std::size_t chunk = size(random);
        EXPECT_TRUE(cutter.Feed(TextView(blockText).substr(at, chunk), sink));
        at += chunk;
    }
    EXPECT_TRUE(cutter.Finish(sink));
    faults = sink.faults;
    return sink.pieces;
}

// Alphabets rich in CR, LF and the units of the separators, so line ends,
// near-misses and separators straddling chunk boundaries are common.
const std::vector<Text> kAlphabets = {u"\r\n", u"\r\na", u"\r\nab", u"ab", u"a\r", u"ab\r\n;", u"aab\n"};

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
            << "round " << round << ", N " << n << ", " << testing::PrintToString(blockText);
        ASSERT_TRUE(faults.empty()) << faults.front();
    }
}

TEST(CutterDifferential, separatorModeMatchesTheLiteralCut) {
    std::mt19937 random(7);
    const std::vector<Text> separators = {u"",       u";",      u"a",      u"\r",   u"\n",     u"\r\n",
                                          u"aa",     u"ab",     u"aba",    u"abab", u"aab",    u"\n\r",
                                          u"\r\n\r\n", u"a\r\na", u"aaaa", u"abaab", u"\r\r\n", u"ababababb"};
    for (int round = 0; round < 8000; ++round) {
        const Text& alphabet = kAlphabets[static_cast<std::size_t>(round) % kAlphabets.size()];
        const Text blockText = RandomText(random, alphabet, 50) + u"\r\n";
        Text separator = separators[static_cast<std::size_t>(round / 7) % separators.size()];
        if (round % 5 == 4) separator = RandomText(random, alphabet, 6);  // separators made of the text's own units
        auto cutter = PieceCutter::Separator(separator);
        std::vector<const char*> faults;
        const std::vector<Piece> fast = CutStreamed(*cutter, blockText, random, faults);
        ASSERT_EQ(fast, oracle::CutAtSeparator(blockText, separator))
            << "round " << round << ", separator " << testing::PrintToString(separator) << ", "
            << testing::PrintToString(blockText);
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
        auto cutter = PieceCutter::Separator(separator);
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
            << "round " << round << ", " << testing::PrintToString(blockText);
    }
}

TEST(CutterDifferential, sizeModeMatchesTheLiteralCut) {
    // Units of 1, 2 and 3 UTF-8 bytes and surrogate halves (3 each), lines
    // shorter and longer than the limit, limits down to 1 byte.
    std::mt19937 random(1010);
    const std::vector<Text> alphabets = {u"ab\r\n", u"a\r\n\r\n", u"a\u00e9\u20ac\r\n", u"\r\nab\U0001F600", u"\n\n\ra"};
    for (int round = 0; round < 8000; ++round) {
        const Text& alphabet = alphabets[static_cast<std::size_t>(round) % alphabets.size()];
        const LineEnd lineEnd = (round / 5) % 2 == 0 ? LineEnd::Lf : LineEnd::CrLf;
        const Text blockText = RandomText(random, alphabet, round % 3 == 0 ? 300 : 40) + oracle::LineEndText(lineEnd);
        const std::uint64_t limit = std::uniform_int_distribution<std::uint64_t>(1, round % 3 == 0 ? 120 : 16)(random);
        auto cutter = PieceCutter::MaxBytes(limit, lineEnd);
        std::vector<const char*> faults;
        const std::vector<Piece> fast = CutStreamed(*cutter, blockText, random, faults);
        ASSERT_EQ(fast, oracle::CutMaxBytes(blockText, limit, lineEnd))
            << "round " << round << ", limit " << limit << ", " << testing::PrintToString(blockText);
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
        EXPECT_TRUE(lines->Feed(blockText, linesSink));
        EXPECT_TRUE(lines->Finish(linesSink));
        ASSERT_EQ(linesSink.pieces, oracle::CutLines(blockText, static_cast<double>(n))) << "round " << round;

        // LF lines of every length around the scan steps, and counts for the lane counting.
        Text lfText;
        for (int copy = 0; copy < 8; ++copy) lfText += blockText;
        lfText += u"\n";
        auto lfLines = PieceCutter::Lines(n * 40, LineEnd::Lf);
        RecordingSink lfSink;
        EXPECT_TRUE(lfLines->Feed(lfText, lfSink));
        EXPECT_TRUE(lfLines->Finish(lfSink));
        ASSERT_EQ(lfSink.pieces, oracle::CutLines(lfText, static_cast<double>(n * 40), LineEnd::Lf)) << "round " << round;

        auto separator = PieceCutter::Separator(u"\r\nq");
        RecordingSink separatorSink;
        EXPECT_TRUE(separator->Feed(blockText, separatorSink));
        EXPECT_TRUE(separator->Finish(separatorSink));
        ASSERT_EQ(separatorSink.pieces, oracle::CutAtSeparator(blockText, u"\r\nq")) << "round " << round;
    }
}

}  // namespace
}  // namespace partwright
