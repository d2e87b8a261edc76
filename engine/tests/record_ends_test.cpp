// The CSV record scan, 32 and 64 bytes a step, against a byte-at-a-time
// reading of the record rules, on generated text cut into ranges of any
// length and asked for the n-th record end with n drawn anew each time.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/cut/record_ends.h"

namespace partwright {
namespace {

// The position of the LF of every record end: a field that begins with a
// quote runs to the quote that closes it, two quotes in it being one quote;
// a line end outside such a field ends the record.
std::vector<std::size_t> OracleEnds(const std::string& text, char delimiter, LineEnd end) {
    std::vector<std::size_t> ends;
    bool fieldStart = true;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"' && fieldStart) {
            // Inside the quoted field up to its closing quote.
            std::size_t j = i + 1;
            while (j < text.size() && !(text[j] == '"' && (j + 1 == text.size() || text[j + 1] != '"'))) {
                j += text[j] == '"' ? 2 : 1;
            }
            i = j;  // the closing quote (or the end: a quote never closed)
            fieldStart = false;
            continue;
        }
        const bool ended = c == '\n' && (end == LineEnd::Lf || (i > 0 && text[i - 1] == '\r'));
        if (ended) ends.push_back(i);
        fieldStart = ended || c == delimiter;
    }
    return ends;
}

std::string Generate(std::mt19937& random, char delimiter) {
    // Long plain stretches let whole 64-byte steps go by without a mark.
    const std::vector<std::string> pieces = {"\"", "\"\"", std::string(1, delimiter), "\r\n",  "\n",      "\r",
                                             "a",  "x\"y", std::string(70, 'p'),      "\"q\"", "\"\r\n\""};
    std::string text;
    const std::size_t length = random() % 2000;
    while (text.size() < length) text += pieces[random() % pieces.size()];
    return text;
}

struct Scan {
    std::vector<std::size_t> found;  // the LF of each end Find returned
    std::int64_t lines = 0;
    std::int64_t recordLine = 0;
};

// Scans `text` as a cutter does: ranges of random length, never between the
// CR and LF of a pair (the cutter handles those itself), and after each end
// found, on from the byte after it.
template <LineEnd kEnd>
Scan ScanRecords(const std::string& text, char delimiter, bool wide, std::uint32_t seed,
                 std::vector<std::int64_t>& asked) {
    std::mt19937 random(seed);
    CsvRecordEnds<kEnd> ends(delimiter, wide);
    Scan scan;
    asked.clear();
    std::int64_t remaining = 1 + random() % 4;
    asked.push_back(remaining);
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t to = std::min(text.size(), at + 1 + random() % 400);
        if (kEnd == LineEnd::CrLf && to < text.size() && text[to - 1] == '\r' && text[to] == '\n') ++to;
        const char* stop = ends.Find(text.data() + at, text.data() + to, remaining);
        if (stop == text.data() + to) {
            at = to;
            continue;
        }
        const std::size_t lf = static_cast<std::size_t>(stop - text.data()) + (kEnd == LineEnd::CrLf ? 1 : 0);
        scan.found.push_back(lf);
        at = lf + 1;
        remaining = 1 + random() % 4;
        asked.push_back(remaining);
    }
    scan.lines = ends.lines();
    scan.recordLine = ends.recordLine();
    return scan;
}

template <LineEnd kEnd>
void CheckAgainstOracle(int cases) {
    std::mt19937 random(20261208);
    for (int i = 0; i < cases; ++i) {
        const char delimiter = ",;\t"[random() % 3];
        const std::string text = Generate(random, delimiter);
        const std::vector<std::size_t> all = OracleEnds(text, delimiter, kEnd);
        const std::uint32_t seed = random();
        SCOPED_TRACE("case " + std::to_string(i));

        for (const bool wide : {false, true}) {
            if (wide && !CanScanCsvWide()) continue;
            SCOPED_TRACE(wide ? "64 bytes a step" : "32 bytes a step");
            std::vector<std::int64_t> asked;
            const Scan scan = ScanRecords<kEnd>(text, delimiter, wide, seed, asked);

            std::vector<std::size_t> expected;
            std::size_t passed = 0;
            for (const std::int64_t n : asked) {
                passed += static_cast<std::size_t>(n);
                if (passed > all.size()) break;
                expected.push_back(all[passed - 1]);
            }
            ASSERT_EQ(scan.found, expected);

            // The line the last record began on: the one after the last end.
            std::int64_t lastEndLine = 0;
            std::int64_t lines = 0;
            for (std::size_t k = 0; k < text.size(); ++k) {
                if (text[k] != '\n') continue;
                ++lines;
                if (!all.empty() && k <= all.back()) lastEndLine = lines;
            }
            EXPECT_EQ(scan.lines, lines);
            if (!all.empty()) {
                EXPECT_EQ(scan.recordLine, lastEndLine + 1);
            }
        }
    }
}

TEST(RecordEndsTest, everyStepWidthFindsTheRecordEndsOfAByteAtATimeReading) {
    CheckAgainstOracle<LineEnd::Lf>(1500);
    CheckAgainstOracle<LineEnd::CrLf>(1500);
}

}  // namespace
}  // namespace partwright
