#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "partwright/text.h"

namespace partwright {

// Command-line arguments travel through the option parser as UTF-8. On
// Windows they arrive as UTF-16 and may hold lone surrogates (file names are
// not required to be valid UTF-16), so they are carried in the generalised
// form of UTF-8 that encodes a lone surrogate as three bytes; a proper pair
// becomes ordinary four-byte UTF-8. Decoding accepts both, so UTF-16 -> UTF-8
// -> UTF-16 gives back exactly the code units that came in.

// UTF-16 code units to (generalised) UTF-8.
[[nodiscard]] std::string ArgumentFromUtf16(TextView text);

// UTF-8 (lone surrogates allowed) to UTF-16 code units; nothing when the
// bytes are not well-formed (stray continuation byte, cut sequence, overlong
// form, a value above U+10FFFF).
//   TextFromArgument("a\xE2\x82\xAC") == u"a\u20AC"
[[nodiscard]] std::optional<Text> TextFromArgument(std::string_view utf8);

// A file argument as a path: the bytes as given on POSIX, the UTF-16 form on Windows.
[[nodiscard]] std::optional<std::filesystem::path> PathFromArgument(const std::string& utf8);

// A path as UTF-8 for the console.
[[nodiscard]] std::string PathForConsole(const std::filesystem::path& path);

}  // namespace partwright
