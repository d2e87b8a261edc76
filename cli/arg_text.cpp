#include "cli/arg_text.h"

#include "partwright/code_points.h"

namespace partwright {

std::string ArgumentFromUtf16(TextView text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        AppendUtf8(NextCodePoint(text, at), out);
    }
    return out;
}

std::optional<Text> TextFromArgument(std::string_view utf8) {
    Text out;
    out.reserve(utf8.size());
    while (!utf8.empty()) {
        char32_t codePoint = 0;
        const std::size_t length = ReadUtf8(utf8, codePoint);
        if (length == 0) {
            return std::nullopt;
        }
        char16_t units[2];
        out.append(units, WriteUtf16(codePoint, units));
        utf8.remove_prefix(length);
    }
    return out;
}

std::optional<std::filesystem::path> PathFromArgument(const std::string& utf8) {
#ifdef _WIN32
    const auto units = TextFromArgument(utf8);
    if (!units) {
        return std::nullopt;
    }
    return std::filesystem::path(std::wstring(units->begin(), units->end()));
#else
    // POSIX file names are bytes: take them as given, whatever their encoding.
    return std::filesystem::path(utf8);
#endif
}

std::string PathForConsole(const std::filesystem::path& path) {
#ifdef _WIN32
    const std::wstring& wide = path.native();
    return ArgumentFromUtf16(Text(wide.begin(), wide.end()));
#else
    return path.native();
#endif
}

}  // namespace partwright
