#include "engine/cut/cutter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "engine/tests/literal_oracle.h"

namespace partwright {
namespace {

using oracle::Piece;
using oracle::RecordingSink;

enum class Mode { Lines, Separator, BlankLines };

struct CutCase {
    const char* name;
    Mode mode;
    Text block;  // the block as read; the cut adds the CR LF the run appends
    std::int64_t n = 1;
    Text separator;
    std::vector<Text> expected;
};

std::unique_ptr<PieceCutter> MakeCutter(const CutCase& c) {
    switch (c.mode) {
    case Mode::Lines: return PieceCutter::Lines(c.n);
    case Mode::Separator: return PieceCutter::Separator(ToUtf8(c.separator));
    case Mode::BlankLines: return PieceCutter::BlankLines();
    }
    return nullptr;
}

// Feeds the block in chunks of `chunk` units, then the run's CR LF, as the run does.
std::vector<Piece> CutInChunks(PieceCutter& cutter, TextView block, std::size_t chunk, RecordingSink& sink) {
    for (std::size_t at = 0; at < block.size(); at += chunk) {
        EXPECT_TRUE(FeedUnits(cutter, block.substr(at, chunk), sink));
    }
    EXPECT_TRUE(cutter.Feed("\r\n", sink));
    EXPECT_TRUE(cutter.Finish(sink));
    return sink.pieces;
}

std::vector<Piece> Expected(const CutCase& c) {
    std::vector<Piece> pieces;
    for (const Text& text : c.expected) pieces.push_back({text, c.mode != Mode::Lines});
    return pieces;
}

std::vector<Piece> Oracle(const CutCase& c) {
    const Text blockText = c.block + u"\r\n";
    switch (c.mode) {
    case Mode::Lines: return oracle::CutLines(blockText, static_cast<double>(c.n));
    case Mode::Separator: return oracle::CutAtSeparator(blockText, c.separator);
    case Mode::BlankLines: return oracle::CutAtBlankLines(blockText);
    }
    return {};
}

Text Repeated(TextView text, std::size_t times) {
    Text repeated;
    for (std::size_t i = 0; i < times; ++i) repeated += text;
    return repeated;
}

const std::vector<CutCase> kCases = {
    {"twoLinesPerPieceWithoutFinalLineEnd", Mode::Lines, u"a\r\nb\r\nc", 2, u"", {u"a\r\nb", u"c"}},
    {"threeLinesFillingTheGroupLeaveAnEmptyPiece", Mode::Lines, u"a\r\nb\r\nc\r\n", 3, u"", {u"a\r\nb\r\nc", u""}},
    {"moreLinesPerPieceThanTheBlockHas", Mode::Lines, u"a\r\nb\r\nc", 10, u"", {u"a\r\nb\r\nc"}},
    {"emptyLineInTheMiddleIsAnEmptyPiece", Mode::Lines, u"a\r\n\r\nb", 1, u"", {u"a", u"", u"b", u""}},
    {"blockEndingWithItsOwnLineEnd", Mode::Lines, u"a\r\nb\r\n", 2, u"", {u"a\r\nb", u""}},
    {"lineAndEmptyLineJoinedByOneLineEnd", Mode::Lines, u"x\r\n\r\n", 2, u"", {u"x\r\n", u""}},
    {"twoEmptyLinesHoldOneLineEnd", Mode::Lines, u"\r\n\r\nz", 2, u"", {u"\r\n", u"z"}},
    {"lineFeedsAloneEndNoLine", Mode::Lines, u"a\nb\nc", 1, u"", {u"a\nb\nc", u""}},
    {"carriageReturnsAloneEndNoLine", Mode::Lines, u"a\rb\r", 1, u"", {u"a\rb\r", u""}},
    {"carriageReturnBeforeLineEndStaysInTheLine", Mode::Lines, u"a\r\r\nb", 1, u"", {u"a\r", u"b", u""}},
    {"lineFeedBeforeLineEndStaysInTheLine", Mode::Lines, u"a\n\r\nb", 1, u"", {u"a\n", u"b", u""}},
    {"emptyBlockGivesTwoEmptyLinesPieces", Mode::Lines, u"", 1, u"", {u"", u""}},
    {"emptyBlockWithLargeGroup", Mode::Lines, u"", 5, u"", {u""}},
    {"manyGroupsRunStraightThroughTheBlock",
     Mode::Lines,
     u"1\r\n2\r\n3\r\n4\r\n5",
     2,
     u"",
     {u"1\r\n2", u"3\r\n4", u"5"}},
    // Enough line ends for the vector count, in a group as large as a run allows (9e18):
    // no sum may overflow.
    {"largestGroupCountHoldsEveryLine",
     Mode::Lines,
     Repeated(u"x\r\n", 200),
     9'000'000'000'000'000'000,
     u"",
     {Repeated(u"x\r\n", 200)}},
    {"separatorBetweenTwoTexts", Mode::Separator, u"x;y", 1, u";", {u"x", u"y\r\n"}},
    {"emptySeparatorGivesTheWholeBlockText", Mode::Separator, u"abc", 1, u"", {u"abc\r\n"}},
    {"separatorThatNeverOccurs", Mode::Separator, u"abc", 1, u"#", {u"abc\r\n"}},
    {"separatorAtTheStartGivesAnEmptyFirstPiece", Mode::Separator, u";x", 1, u";", {u"", u"x\r\n"}},
    {"separatorAtTheEndLeavesTheLineEndAlone", Mode::Separator, u"x;", 1, u";", {u"x", u"\r\n"}},
    {"touchingSeparatorsGiveAnEmptyPiece", Mode::Separator, u"a;;b", 1, u";", {u"a", u"", u"b\r\n"}},
    {"occurrencesNeverOverlap", Mode::Separator, u"aaa", 1, u"aa", {u"", u"a\r\n"}},
    {"occurrencesFoundLeftToRight", Mode::Separator, u"abababa", 1, u"aba", {u"", u"b", u"\r\n"}},
    {"separatorMayTakeTheAppendedLineEnd", Mode::Separator, u"abc", 1, u"c\r", {u"ab", u"\n"}},
    {"caseCounts", Mode::Separator, u"aAa", 1, u"A", {u"a", u"a\r\n"}},
    {"longSeparatorWithRepeatsInside", Mode::Separator, u"xabcabcabdyabcabd", 1, u"abcabd", {u"xabc", u"y", u"\r\n"}},
    {"separatorIsTheWholeBlockText", Mode::Separator, u"ab", 1, u"ab\r\n", {u"", u""}},
    {"blankLinesCutParagraphs", Mode::BlankLines, u"p1\r\n\r\np2\r\n", 1, u"", {u"p1", u"p2", u""}},
    {"blockWithoutBlankLineIsOnePiece", Mode::BlankLines, u"a\r\nb", 1, u"", {u"a\r\nb\r\n"}},
    {"blockEndingWithABlankLineEndsWithOneLineEnd", Mode::BlankLines, u"a\r\n\r\n", 1, u"", {u"a", u"\r\n"}},
    {"threeLineEndsCutOnce", Mode::BlankLines, u"a\r\n\r\n\r\nb", 1, u"", {u"a", u"\r\nb\r\n"}},
    {"fourLineEndsGiveAnEmptyPiece", Mode::BlankLines, u"a\r\n\r\n\r\n\r\nb", 1, u"", {u"a", u"", u"b\r\n"}},
    {"lineOfBlanksIsNotBlank", Mode::BlankLines, u"a\r\n \t\r\nb", 1, u"", {u"a\r\n \t\r\nb\r\n"}},
    {"lineFeedsAloneMakeNoBlankLine", Mode::BlankLines, u"a\n\nb\r\r", 1, u"", {u"a\n\nb\r\r\r\n"}},
};

TEST(PieceCutter, cutsEveryEdgeCaseAsTheRulesSayInAnyChunking) {
    for (const CutCase& c : kCases) {
        SCOPED_TRACE(c.name);
        // The table itself is checked against the literal rules, so a wrong row cannot hide.
        EXPECT_EQ(Oracle(c), Expected(c));
        for (std::size_t chunk : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{5}, std::size_t{1000}}) {
            SCOPED_TRACE(chunk);
            auto cutter = MakeCutter(c);
            RecordingSink sink;
            EXPECT_EQ(CutInChunks(*cutter, c.block, chunk, sink), Expected(c));
            EXPECT_TRUE(sink.faults.empty()) << sink.faults.front();
        }
    }
}

TEST(PieceCutter, startsAfreshForEveryBlockText) {
    for (const CutCase& c : kCases) {
        SCOPED_TRACE(c.name);
        auto cutter = MakeCutter(c);
        RecordingSink first;
        RecordingSink second;
        CutInChunks(*cutter, u"q\r\nr;s\r", 2, first);
        EXPECT_EQ(CutInChunks(*cutter, c.block, 3, second), Expected(c));
    }
}

TEST(PieceCutter, stopFromTheSinkEndsTheCuttingAndLeavesTheCutterReusable) {
    for (const CutCase& c : kCases) {
        SCOPED_TRACE(c.name);
        const std::vector<Piece> expected = Expected(c);
        for (std::size_t stopAt = 0; stopAt < expected.size(); ++stopAt) {
            auto cutter = MakeCutter(c);
            RecordingSink sink(static_cast<int>(stopAt));
            const Text blockText = c.block + u"\r\n";
            bool going = true;
            for (std::size_t at = 0; at < blockText.size() && going; ++at) {
                going = FeedUnits(*cutter, TextView(blockText).substr(at, 1), sink);
            }
            if (going) going = cutter->Finish(sink);
            EXPECT_FALSE(going);
            ASSERT_EQ(sink.pieces.size(), stopAt);
            // Pieces before the stop are whole.
            for (std::size_t i = 0; i < stopAt; ++i) EXPECT_EQ(sink.pieces[i], expected[i]);

            RecordingSink again;
            EXPECT_EQ(CutInChunks(*cutter, c.block, 4, again), expected);
        }
    }
}

// Pieces come as views of what was fed, not as copies gathered into one text.
class ViewCheckingSink final : public PieceSink {
public:
    explicit ViewCheckingSink(std::string_view fed) : fed_(fed) {}
    bool BeginPiece() override { return true; }
    void AppendToPiece(std::string_view units) override {
        const bool inside = units.data() >= fed_.data() && units.data() + units.size() <= fed_.data() + fed_.size();
        if (inside)
            ++viewsIntoFed;
        else
            unitsFromElsewhere += units.size();
    }
    void EndPiece(bool) override {}
    int viewsIntoFed = 0;
    std::size_t unitsFromElsewhere = 0;

private:
    std::string_view fed_;
};

TEST(PieceCutter, handsOverContentAsViewsIntoTheFedChunk) {
    std::string chunk;
    for (int i = 0; i < 1000; ++i) chunk += "some line of text\r\n";
    std::vector<std::unique_ptr<PieceCutter>> cutters;
    cutters.push_back(PieceCutter::Lines(7));
    cutters.push_back(PieceCutter::Separator("line"));
    cutters.push_back(PieceCutter::BlankLines());
    for (auto& cutter : cutters) {
        ViewCheckingSink sink(chunk);
        EXPECT_TRUE(cutter->Feed(chunk, sink));
        EXPECT_TRUE(cutter->Finish(sink));
        EXPECT_GT(sink.viewsIntoFed, 0);
        // Only a held line end or separator start comes from elsewhere, a few units.
        EXPECT_LE(sink.unitsFromElsewhere, 4u);
    }
}

}  // namespace
}  // namespace partwright
