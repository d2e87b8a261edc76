#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "partwright/text.h"

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

private:
    // The factory (decoder_factory.h) knows which code page a decoder reads.
    friend std::unique_ptr<TextDecoder> MakeDecoder(std::string_view name, std::string& error);

    std::optional<ByteTable> table_;
    bool utf8_ = false;
};

}  // namespace partwright
