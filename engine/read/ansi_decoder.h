#pragma once

#include <memory>
#include <string>

#include "engine/read/text_decoder.h"

namespace partwright {

// The decoder of an ANSI code page other than UTF-8, by its number (see
// ParseCodepageName): the platform's own conversion on Windows, iconv
// elsewhere (windows-1252 without it). Null, with `error` set, when the
// system cannot convert that code page.
[[nodiscard]] std::unique_ptr<TextDecoder> MakeAnsiDecoder(unsigned codepage, std::string& error);

}  // namespace partwright
