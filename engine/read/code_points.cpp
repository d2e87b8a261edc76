#include "partwright/code_points.h"

namespace partwright {

void AppendUtf8(char32_t codePoint, std::string& out) {
    char bytes[4];
    out.append(bytes, WriteUtf8(codePoint, bytes));
}

std::size_t ReadUtf8(std::string_view bytes, char32_t& codePoint) {
    if (bytes.empty()) return 0;
    const auto* const p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t length = 0;
    char32_t least = 0;  // the smallest code point of that length: below it the form is overlong
    if (p[0] < 0x80) {
        length = 1;
    } else if (p[0] >= 0xC0 && p[0] <= 0xDF) {
        length = 2, least = 0x80;
    } else if (p[0] >= 0xE0 && p[0] <= 0xEF) {
        length = 3, least = 0x800;
    } else if (p[0] >= 0xF0 && p[0] <= 0xF7) {
        length = 4, least = 0x10000;
    } else {
        return 0;
    }
    if (bytes.size() < length) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((p[k] & 0xC0) != 0x80) return 0;
    }
    const char32_t c = CodePointOfSequence(p, length);
    if (c < least || c > 0x10FFFF) return 0;
    codePoint = c;
    return length;
}

}  // namespace partwright
