#include "cli/arg_text.h"

#include <cstdint>

#include "engine/utf8.h"

namespace partwright {

namespace {

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

std::string ArgumentFromUtf16(TextView text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            const std::uint32_t cp = 0x10000 + ((static_cast<std::uint32_t>(unit) - 0xD800) << 10) +
                                     (static_cast<std::uint32_t>(text[i + 1]) - 0xDC00);
            AppendCodePoint(cp, out);
            ++i;
        } else {
            AppendCodePoint(unit, out);
        }
    }
    return out;
}

std::optional<Text> TextFromArgument(std::string_view utf8)
{
    Text out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        int extra = 0;
        std::uint32_t cp = 0;
        std::uint32_t least = 0;
        if (lead < 0x80) {
            cp = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1, cp = lead & 0x1F, least = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2, cp = lead & 0x0F, least = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3, cp = lead & 0x07, least = 0x10000;
        } else {
            return std::nullopt;
        }
        if (utf8.size() - i <= static_cast<std::size_t>(extra)) {
            return std::nullopt;
        }
        for (int k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(utf8[i + k]);
            if ((next & 0xC0) != 0x80) {
                return std::nullopt;
            }
            cp = (cp << 6) | (next & 0x3F);
        }
        if (cp < least || cp > 0x10FFFF) {
            return std::nullopt;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

std::optional<std::filesystem::path> PathFromArgument(const std::string& utf8)
{
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

std::string PathForConsole(const std::filesystem::path& path)
{
#ifdef _WIN32
    const std::wstring& wide = path.native();
    return ArgumentFromUtf16(Text(wide.begin(), wide.end()));
#else
    return path.native();
#endif
}

}  // namespace partwright
