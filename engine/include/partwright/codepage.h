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

// "auto" (any case): each source is read as UTF-8 when it is valid UTF-8
// from its first byte to its last, and in the system's ANSI code page otherwise.
[[nodiscard]] bool IsAutoCodepage(std::string_view name);

// Whether sources can be read in the code page `name` names ("" is the
// system's, see SystemCodepage); when not, `error` says why. "auto" is no
// code page of its own: false.
[[nodiscard]] bool CanReadCodepage(std::string_view name, std::string& error);

}  // namespace partwright
