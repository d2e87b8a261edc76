#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "engine/read/text_decoder.h"

namespace partwright {

// The decoder for a code page name: "system" (any case) or "" is the system's ANSI code page
// (SystemCodepage()); otherwise a name ParseCodepageName reads. Returns null
// and sets `error` for an unknown name ("auto" too: the reader resolves it
// per source) or a code page the system cannot convert.
[[nodiscard]] std::unique_ptr<TextDecoder> MakeDecoder(std::string_view name, std::string& error);

}  // namespace partwright
