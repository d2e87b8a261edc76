#pragma once

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "engine/cut/unit_search.h"
#include "partwright/line_end.h"

namespace partwright {

// The line ends of the cutting rules, as units of either kind, and the
// searches for them that the cutters share.

template <class Unit>
constexpr Unit kLineEndUnits[] = {Unit('\r'), Unit('\n')};
template <class Unit>
constexpr std::basic_string_view<Unit> kLineEnd(kLineEndUnits<Unit>, 2);
template <class Unit>
constexpr std::basic_string_view<Unit> kCarriageReturn(kLineEndUnits<Unit>, 1);

template <class Unit>
constexpr std::basic_string_view<Unit> kLf(kLineEndUnits<Unit> + 1, 1);

template <class Unit, LineEnd kEnd>
constexpr std::basic_string_view<Unit> LineEndUnits() {
    if constexpr (kEnd == LineEnd::CrLf) {
        return kLineEnd<Unit>;
    } else {
        return kLf<Unit>;
    }
}

// The `remaining`-th line end in [from, to), at its first unit; `to` when
// there are fewer, with `remaining` lowered by the number found.
template <class Unit, LineEnd kEnd>
const Unit* FindEnds(const Unit* from, const Unit* to, std::int64_t& remaining) {
    if constexpr (kEnd == LineEnd::CrLf) {
        return FindLineEnds(from, to, remaining);
    } else {
        return FindLfs(from, to, remaining);
    }
}

// The first unit of the last line end that begins in [from, to) and lies
// wholly before `end`, or null.
template <class Unit, LineEnd kEnd>
const Unit* FindLastEnd(const Unit* from, const Unit* to, const Unit* end) {
    if constexpr (kEnd == LineEnd::Lf) {
        return FindLastUnit(from, to, Unit('\n'));
    } else {
        const Unit* stop = std::min(to + 1, end);  // where the LF of a CR at to - 1 lies
        while (stop - from >= 2) {
            const Unit* lf = FindLastUnit(from + 1, stop, Unit('\n'));
            if (lf == nullptr) return nullptr;
            if (lf[-1] == Unit('\r')) return lf - 1;
            stop = lf;
        }
        return nullptr;
    }
}

}  // namespace partwright
