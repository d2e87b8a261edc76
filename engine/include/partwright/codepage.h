#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace partwright {

inline constexpr unsigned kUtf8Codepage = 65001;

// The number of a code page a source may be read in: "windows-1250" to
// "windows-1258", "874", "932", "936", "949", "950", also written "cpNNNN" or
// "NNNN", and UTF-8 ("utf-8", "utf8", "65001"), in any case; nothing for any
// other name.
//   ParseCodepageName("CP1251") == 1251, ParseCodepageName("utf8") == 65001
[[nodiscard]] std::optional<unsigned> ParseCodepageName(std::string_view name);

// The system's ANSI code page. On Windows GetACP(); elsewhere the code page
// of the character set of the user's locale (LC_CTYPE as setlocale(LC_ALL, "")
// finds it in the environment), or 1252 (windows-1252) when that locale is
// C/POSIX, is not installed, or names a character set not read here.
//   LANG=C.UTF-8 -> 65001; LC_ALL=C -> 1252
[[nodiscard]] unsigned SystemCodepage();

// "auto" (any case), the default: each source is read as UTF-8 when it is
// valid UTF-8 from its first byte to its last, and otherwise in
// AutoFallbackCodepage().
[[nodiscard]] bool IsAutoCodepage(std::string_view name);

// The code page of a source that "auto" finds not to be UTF-8: the system's
// ANSI code page, unless that is UTF-8 itself (a UTF-8 locale, Windows set
// to 65001): then windows-1252, as browsers read unlabelled Western text.
//   LC_ALL=C -> 1252; LANG=C.UTF-8 -> 1252; LANG=ru_RU.KOI8-R -> the locale's
[[nodiscard]] unsigned AutoFallbackCodepage();

// Whether sources can be read in the code page `name` names ("system" or ""
// is the system's, see SystemCodepage); when not, `error` says why. "auto" is no
// code page of its own: false.
[[nodiscard]] bool CanReadCodepage(std::string_view name, std::string& error);

}  // namespace partwright
