#include "partwright/codepage.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <langinfo.h>
#include <locale.h>
#endif

namespace partwright {

namespace {

// Code pages a source may be read in, besides the system's own.
constexpr std::array<unsigned, 13> kKnownCodepages = {1250, 1251, 1252, 1253, 1254, 1255, 1256,
                                                      1257, 1258, 874,  932,  936,  949};
constexpr unsigned kBig5 = 950;

bool IsKnown(unsigned codepage) {
    return codepage == kBig5 || codepage == kUtf8Codepage ||
           std::find(kKnownCodepages.begin(), kKnownCodepages.end(), codepage) != kKnownCodepages.end();
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) {
            return false;
        }
    }
    return true;
}

bool EqualsNoCase(std::string_view text, std::string_view lower) {
    return text.size() == lower.size() && StartsWithNoCase(text, lower);
}

}  // namespace

std::optional<unsigned> ParseCodepageName(std::string_view name) {
    if (EqualsNoCase(name, "utf-8") || EqualsNoCase(name, "utf8")) {
        return kUtf8Codepage;
    }
    if (StartsWithNoCase(name, "windows-")) {
        name.remove_prefix(8);
    } else if (StartsWithNoCase(name, "cp")) {
        name.remove_prefix(2);
    }
    unsigned number = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), number);
    if (name.empty() || error != std::errc{} || end != name.data() + name.size() || !IsKnown(number)) {
        return std::nullopt;
    }
    return number;
}

unsigned SystemCodepage() {
#ifdef _WIN32
    return GetACP();
#else
    // The locale the environment names, as setlocale(LC_ALL, "") would take
    // it, without changing the process's own locale.
    const locale_t locale = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
    if (locale == static_cast<locale_t>(0)) {
        return 1252;  // not installed: setlocale would leave the C locale
    }
    const std::optional<unsigned> codepage = ParseCodepageName(nl_langinfo_l(CODESET, locale));
    freelocale(locale);
    return codepage.value_or(1252);
#endif
}

bool IsAutoCodepage(std::string_view name) { return EqualsNoCase(name, "auto"); }

unsigned AutoFallbackCodepage() {
    const unsigned system = SystemCodepage();
    return system == kUtf8Codepage ? 1252 : system;
}

}  // namespace partwright
