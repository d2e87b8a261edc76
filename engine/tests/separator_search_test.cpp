#include "engine/cut/separator_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

namespace partwright {
namespace {

// Every occurrence, left to right and non-overlapping, as the cutter asks for them.
template <class Unit>
std::vector<std::size_t> AllOccurrences(SeparatorSearch<Unit>& search, std::basic_string_view<Unit> text) {
    std::vector<std::size_t> found;
    for (std::size_t at = search.Find(text, 0); at != std::basic_string_view<Unit>::npos;
         at = search.Find(text, at + search.separator().size())) {
        found.push_back(at);
    }
    return found;
}

template <class Unit>
std::vector<std::size_t> LiteralOccurrences(std::basic_string_view<Unit> text, std::basic_string_view<Unit> separator) {
    std::vector<std::size_t> found;
    for (auto at = text.begin(); (at = std::search(at, text.end(), separator.begin(), separator.end())) != text.end();
         at += static_cast<std::ptrdiff_t>(separator.size())) {
        found.push_back(static_cast<std::size_t>(at - text.begin()));
    }
    return found;
}

// Texts and separators from a tiny alphabet, so near-misses are everywhere,
// some long enough for the compares to fail often and hand over to the prefix function.
TEST(SeparatorSearch, findsTheSameOccurrencesAsALiteralSearch) {
    std::mt19937 random(11);
    for (int round = 0; round < 4000; ++round) {
        const auto pick = [&](std::size_t length, const char* alphabet, std::size_t letters) {
            std::string text(length, '\0');
            for (char& unit : text) unit = alphabet[random() % letters];
            return text;
        };
        std::string separator = pick(1 + random() % (round % 5 == 0 ? 40 : 5), "ab", 2);
        if (round % 7 == 0) separator = std::string(1 + random() % 30, 'a') + "b";
        const std::string text = round % 3 == 0 ? std::string(random() % 2000, 'a') + pick(20, "ab", 2)
                                                : pick(random() % 600, "aab", 3);
        SeparatorSearch<char> search(separator);
        ASSERT_EQ(AllOccurrences<char>(search, text), LiteralOccurrences<char>(text, separator)) << "round " << round;
    }
}

// A first-unit scan with a compare at every candidate looks at about
// 1000 units per position here (10^8 in all); a linear search at a small
// multiple of the 10^5 units.
TEST(SeparatorSearch, looksAtEachUnitABoundedNumberOfTimesForAPathologicalSeparator) {
    const std::string text(100000, 'a');
    SeparatorSearch<char> search(std::string(1000, 'a') + "b");
    EXPECT_EQ(search.Find(text, 0), std::string_view::npos);
    EXPECT_LE(search.work(), 10 * text.size());

    const std::string found = text + std::string(1000, 'a') + "b";
    EXPECT_EQ(search.Find(found, 0), 100000u);
    EXPECT_LE(search.work(), 10 * (text.size() + found.size()));
}

// A start of the separator held across chunk ends, as the cutter carries it:
// trying each border of the held start again at every chunk would look at
// about 1000 * 1000 / 2 units per chunk; going on with the prefix function
// looks at each unit a bounded number of times.
TEST(SeparatorSearch, resumingAHeldStartLooksAtEachUnitABoundedNumberOfTimes) {
    SeparatorSearch<char> search(std::string(1000, 'a') + "b");
    const std::string chunk(100, 'a');
    std::size_t matched = 999;
    for (int i = 0; i < 1000; ++i) {
        const auto resumed = search.Resume(chunk, matched);
        ASSERT_EQ(resumed.consumed, chunk.size());
        ASSERT_EQ(resumed.matched, 1000u);  // the longest start still open: 1000 "a"s
        matched = resumed.matched;
    }
    EXPECT_LE(search.work(), 3 * 1000 * chunk.size());

    // The "b" completes the occurrence; an "x" leaves no start open, so the chunk takes over.
    EXPECT_EQ(search.Resume("abz", 999).consumed, 2u);
    EXPECT_EQ(search.Resume("abz", 999).matched, 1001u);
    EXPECT_EQ(search.Resume("xaa", 999).consumed, 1u);
    EXPECT_EQ(search.Resume("xaa", 999).matched, 0u);
    EXPECT_EQ(search.Resume("", 5).matched, 5u);
}

}  // namespace
}  // namespace partwright
