#include "cli/console_text.h"

#include <cstdint>
#include <cstdio>

namespace partwright {

namespace {

void AppendEscape(std::string& out, const char* format, unsigned value)
{
    char escape[8];
    std::snprintf(escape, sizeof escape, format, value);
    out += escape;
}

// The length of the well-formed sequence at the front of `bytes` (generalised
// UTF-8: a surrogate's three-byte form counts) and its code point, or 0.
std::size_t SequenceAt(std::string_view bytes, std::uint32_t& codePoint)
{
    const auto lead = static_cast<unsigned char>(bytes[0]);
    std::size_t length = 0;
    std::uint32_t least = 0;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, codePoint = lead & 0x1Fu, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, codePoint = lead & 0x0Fu, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, codePoint = lead & 0x07u, least = 0x10000;
    } else {
        return 0;
    }
    if (bytes.size() < length) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(bytes[k]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        codePoint = (codePoint << 6) | (next & 0x3Fu);
    }
    return codePoint >= least && codePoint <= 0x10FFFF ? length : 0;
}

}  // namespace

std::string ForTerminal(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    while (!utf8.empty()) {
        std::uint32_t codePoint = 0;
        const std::size_t length = SequenceAt(utf8, codePoint);
        if (length == 0) {
            AppendEscape(out, "\\x%02X", static_cast<unsigned char>(utf8[0]));
            utf8.remove_prefix(1);
            continue;
        }
        if (codePoint < 0x20 || codePoint == 0x7F) {
            AppendEscape(out, "\\x%02X", codePoint);
        } else if ((codePoint >= 0x80 && codePoint <= 0x9F) || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
            AppendEscape(out, "\\u%04X", codePoint);
        } else {
            out.append(utf8.substr(0, length));
        }
        utf8.remove_prefix(length);
    }
    return out;
}

std::string LinesForTerminal(std::string_view utf8)
{
    std::string out;
    for (std::size_t end; (end = utf8.find('\n')) != std::string_view::npos; utf8.remove_prefix(end + 1)) {
        out += ForTerminal(utf8.substr(0, end));
        out += '\n';
    }
    return out + ForTerminal(utf8);
}

}  // namespace partwright
