#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/cut/unit_search.h"

namespace partwright {

// Finds a separator in text, left to right. The usual way is a scan for its
// first unit and a compare at each candidate, which is fast for ordinary
// separators but quadratic for one like "aaa...ab" over a run of "a"s; once
// the failed compares cost more than the scan has covered, the search goes on
// with the prefix function (Knuth-Morris-Pratt), which is linear whatever the
// separator and the text.
template <class Unit>
class SeparatorSearch {
public:
    using View = std::basic_string_view<Unit>;

    explicit SeparatorSearch(std::basic_string<Unit> separator)
        : separator_(std::move(separator)), border_(separator_.size() + 1, 0) {
        for (std::size_t i = 1, k = 0; i < separator_.size(); ++i) {
            while (k > 0 && separator_[i] != separator_[k]) k = border_[k];
            if (separator_[i] == separator_[k]) ++k;
            border_[i + 1] = k;
        }
    }

    [[nodiscard]] View separator() const { return separator_; }

    // The first whole occurrence in `units` at or after `from`, or npos.
    // The separator must not be empty.
    [[nodiscard]] std::size_t Find(View units, std::size_t from) {
        const std::size_t length = separator_.size();
        if (units.size() < length || from > units.size() - length) return View::npos;
        const Unit* const base = units.data();
        const Unit* const lastStart = base + (units.size() - length) + 1;
        const Unit* const start = base + from;
        const Unit first = separator_[0];
        const View rest = View(separator_).substr(1);
        std::uint64_t compared = 0;
        for (const Unit* p = start;; ++p) {
            p = FindUnit(p, lastStart, first);
            if (p == lastStart) {
                work_ += static_cast<std::uint64_t>(p - start) + compared;
                return View::npos;
            }
            if (View(p + 1, length - 1) == rest) {
                work_ += static_cast<std::uint64_t>(p - start) + compared;
                return static_cast<std::size_t>(p - base);
            }
            compared += length;
            if (compared > 4 * static_cast<std::uint64_t>(p - start) + kCompareAllowance) {
                work_ += static_cast<std::uint64_t>(p - start) + compared;
                return FindByBorders(units, static_cast<std::size_t>(p - base));
            }
        }
    }

    // How far a start of the separator seen before `units` gets: with its
    // first `matched` units already seen, the prefix function goes on unit by
    // unit until the occurrence is whole (matched == separator length), or
    // the leftmost start still possible lies inside `units` (matched <=
    // consumed), or `units` ends. Each unit of `units` is stepped over once,
    // and the steps back along borders never outnumber the units matched, so
    // a start held across many chunks costs no more than the chunks.
    struct Resumed {
        std::size_t consumed;  // units of `units` gone over
        std::size_t matched;   // units of the separator that the last units seen match
    };
    [[nodiscard]] Resumed Resume(View units, std::size_t matched) {
        std::size_t consumed = 0;
        while (matched > consumed && matched < separator_.size() && consumed < units.size()) {
            matched = Step(matched, units[consumed++]);
        }
        return {consumed, matched};
    }

    // The longest end of `units` that is a proper prefix of the separator.
    // `units` holds no whole occurrence, so only its last length - 1 units matter.
    [[nodiscard]] std::size_t LongestPrefixAtEnd(View units) const {
        const std::size_t window = std::min(units.size(), separator_.size() - 1);
        std::size_t matched = 0;
        for (Unit unit : units.substr(units.size() - window)) {
            while (matched > 0 && separator_[matched] != unit) matched = border_[matched];
            if (separator_[matched] == unit) ++matched;
        }
        return matched;
    }

    // Units looked at so far (scanned, compared, or stepped over by the
    // prefix function): what a test counts to tell a linear search from a
    // quadratic one.
    [[nodiscard]] std::uint64_t work() const { return work_; }

private:
    // Room for a few failed compares of a long separator near the start of a scan.
    static constexpr std::uint64_t kCompareAllowance = 256;

    // The prefix function's step: from `matched` units matched, on to the next unit.
    std::size_t Step(std::size_t matched, Unit unit) {
        while (matched > 0 && separator_[matched] != unit) {
            matched = border_[matched];
            ++work_;
        }
        ++work_;
        return separator_[matched] == unit ? matched + 1 : matched;
    }

    std::size_t FindByBorders(View units, std::size_t from) {
        const std::size_t length = separator_.size();
        std::size_t matched = 0;
        for (std::size_t i = from; i < units.size(); ++i) {
            if ((matched = Step(matched, units[i])) == length) return i + 1 - length;
        }
        return View::npos;
    }

    std::basic_string<Unit> separator_;
    std::vector<std::size_t> border_;  // border_[k]: longest proper border of separator_[0, k)
    std::uint64_t work_ = 0;
};

}  // namespace partwright
