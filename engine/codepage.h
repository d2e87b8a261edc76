#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "engine/text.h"

namespace partwright {

// Turns bytes of an ANSI code page into UTF-16 code units. No byte is ever
// dropped: a byte the code page cannot map becomes a code unit of its own.
class TextDecoder {
public:
    virtual ~TextDecoder() = default;

    // Appends the text of `bytes` to `out`. With `endOfInput` false, a
    // multi-byte character cut at the end of `bytes` is kept for the next call;
    // with it true, the decoder's state is flushed and reset, so the next call
    // starts afresh (each 30000-byte block is converted on its own).
    virtual void Decode(std::span<const char> bytes, bool endOfInput, Text& out) = 0;

    // The decoder for a code page name: "" is the system's ANSI code page
    // (GetACP() on Windows, windows-1252 elsewhere); otherwise "windows-1250"
    // to "windows-1258", "874", "932", "936", "949", "950", also written "cpNNNN"
    // or "NNNN". Returns null and sets `error` for an unknown name.
    [[nodiscard]] static std::unique_ptr<TextDecoder> ForCodepage(std::string_view name, std::string& error);
};

}  // namespace partwright
