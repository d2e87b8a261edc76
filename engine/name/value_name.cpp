#include "engine/name/value_name.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>

#include "partwright/code_points.h"

namespace partwright {

namespace {

struct Range {
    char32_t first;
    char32_t last;
};

constexpr Range kLetters[] = {
#include "engine/name/name_letters.inc"
};

constexpr std::size_t kMostBytes = 100;

// The code point of the UTF-8 sequence at value[at] and its length; length 0
// for a byte that begins no well-formed sequence.
std::size_t NextSequence(std::string_view value, std::size_t at, char32_t& c) {
    const auto lead = static_cast<unsigned char>(value[at]);
    const std::size_t length = lead < 0x80   ? 1
                               : lead < 0xC2 ? 0
                               : lead < 0xE0 ? 2
                               : lead < 0xF0 ? 3
                               : lead < 0xF5 ? 4
                                             : 0;
    if (length == 0 || value.size() - at < length) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((static_cast<unsigned char>(value[at + k]) & 0xC0) != 0x80) return 0;
    }
    c = CodePointOfSequence(reinterpret_cast<const unsigned char*>(value.data() + at), length);
    // Overlong forms, surrogates and code points past U+10FFFF are no characters.
    constexpr std::array<char32_t, 5> kLeast{0, 0, 0x80, 0x800, 0x10000};
    if (c < kLeast[length] || IsSurrogate(c) || c > 0x10FFFF) return 0;
    return length;
}

}  // namespace

bool IsValueNameChar(char32_t c) {
    if (c < 0x80) {
        return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z') || (c >= U'0' && c <= U'9') || c == U'-' ||
               c == U'_';
    }
    const Range* after = std::upper_bound(std::begin(kLetters), std::end(kLetters), c,
                                          [](char32_t code, const Range& range) { return code < range.first; });
    return after != std::begin(kLetters) && c <= std::prev(after)->last;
}

Text ValueNamePart(std::string_view value) {
    Text kept;
    std::size_t bytes = 0;
    for (std::size_t at = 0; at < value.size();) {
        char32_t c = 0;
        const std::size_t length = NextSequence(value, at, c);
        if (length == 0) {
            ++at;
            continue;
        }
        at += length;
        if (!IsValueNameChar(c)) continue;
        if (bytes + length > kMostBytes) break;
        bytes += length;
        char16_t units[2];
        kept.append(units, WriteUtf16(c, units));
    }
    return kept;
}

}  // namespace partwright
