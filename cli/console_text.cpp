#include "cli/console_text.h"

#include <cstdio>

#include "partwright/code_points.h"

namespace partwright {

namespace {

void AppendEscape(std::string& out, const char* format, unsigned value) {
    char escape[8];
    std::snprintf(escape, sizeof escape, format, value);
    out += escape;
}

}  // namespace

std::string ForTerminal(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    while (!utf8.empty()) {
        char32_t codePoint = 0;
        const std::size_t length = ReadUtf8(utf8, codePoint);
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

std::string LinesForTerminal(std::string_view utf8) {
    std::string out;
    for (std::size_t end; (end = utf8.find('\n')) != std::string_view::npos; utf8.remove_prefix(end + 1)) {
        out += ForTerminal(utf8.substr(0, end));
        out += '\n';
    }
    return out + ForTerminal(utf8);
}

}  // namespace partwright
