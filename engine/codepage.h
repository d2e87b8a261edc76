#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "engine/text.h"

namespace partwright {

// The code unit of every byte of a single-byte code page.
using ByteTable = std::array<char16_t, 256>;

// Turns bytes of an ANSI code page into UTF-16 code units. No byte is ever
// dropped: a byte the code page cannot map becomes a code unit of its own.
class TextDecoder {
public:
    // DecodeInto never writes more than this many units beyond one per byte
    // (a character held from the previous call, what a converter flushes).
    static constexpr std::size_t kSpareUnits = 16;

    virtual ~TextDecoder() = default;

    // Writes the text of `bytes` to `out`, which must hold bytes.size() +
    // kSpareUnits units, and returns the number of units written. With
    // `endOfInput` false, a multi-byte character cut at the end of `bytes` is
    // kept for the next call; with it true, the decoder's state is flushed and
    // reset, so the next call starts afresh (each 30000-byte block is
    // converted on its own).
    virtual std::size_t DecodeInto(std::span<const char> bytes, bool endOfInput, char16_t* out) = 0;

    // Appends the text of `bytes` to `out` (DecodeInto for callers without a buffer of their own).
    void Decode(std::span<const char> bytes, bool endOfInput, Text& out);

    // For a stateless single-byte code page whose bytes below 0x80 are ASCII
    // (windows-1250 to 1257, 874): the unit of every byte, so that text can be
    // cut and written as raw bytes. Null for any other code page.
    [[nodiscard]] const ByteTable* SingleByteTable() const { return table_ ? &*table_ : nullptr; }

    // True for UTF-8, whose valid text is already the UTF-8 pieces are written in.
    [[nodiscard]] bool IsUtf8() const { return utf8_; }

    // The decoder for a code page name: "system" (any case) or "" is the
    // system's ANSI code page (SystemCodepage()); otherwise "windows-1250" to "windows-1258", "874",
    // "932", "936", "949", "950", also written "cpNNNN" or "NNNN", and UTF-8
    // ("utf-8", "utf8", "65001"). Returns null and sets `error` for an unknown
    // name ("auto" too: the reader resolves it per source).
    [[nodiscard]] static std::unique_ptr<TextDecoder> ForCodepage(std::string_view name, std::string& error);

private:
    std::optional<ByteTable> table_;
    bool utf8_ = false;
};

inline constexpr unsigned kUtf8Codepage = 65001;

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

}  // namespace partwright
