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
        const auto pick = [&](std::size_t length, const char16_t* alphabet, std::size_t letters) {
            std::u16string text(length, u'\0');
            for (char16_t& unit : text) unit = alphabet[random() % letters];
            return text;
        };
        std::u16string separator = pick(1 + random() % (round % 5 == 0 ? 40 : 5), u"ab", 2);
        if (round % 7 == 0) separator = std::u16string(1 + random() % 30, u'a') + u"b";
        const std::u16string text = round % 3 == 0 ? std::u16string(random() % 2000, u'a') + pick(20, u"ab", 2)
                                                   : pick(random() % 600, u"aab", 3);
        SeparatorSearch<char16_t> search(separator);
        ASSERT_EQ(AllOccurrences<char16_t>(search, text), LiteralOccurrences<char16_t>(text, separator))
            << "round " << round;
        const std::string bytes(text.begin(), text.end());
        const std::string byteSeparator(separator.begin(), separator.end());
        SeparatorSearch<char> byteSearch(byteSeparator);
        ASSERT_EQ(AllOccurrences<char>(byteSearch, bytes), LiteralOccurrences<char>(bytes, byteSeparator))
            << "round " << round;
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

    SeparatorSearch<char16_t> wide(std::u16string(1000, u'a') + u"b");
    const std::u16string wideText = std::u16string(100000, u'a') + std::u16string(1000, u'a') + u"b";
    EXPECT_EQ(wide.Find(wideText, 0), 100000u);
    EXPECT_LE(wide.work(), 10 * wideText.size());
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
