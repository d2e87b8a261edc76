#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "engine/text_decoder.h"
#include "partwright/text.h"

namespace partwright {

// Encodes `text` as AppendUtf8 does, into `out`, which must have room for
// 3 * text.size() bytes; returns the position after the last byte written.
// For callers that keep their own buffer and must not pay for resizing it.
[[nodiscard]] char* EncodeUtf8(TextView text, char* out);

// The UTF-8 form of the unit of every byte of a single-byte code page.
// `verbatim` forms give every byte itself: for bytes that are already the
// UTF-8 of their units.
struct ByteUtf8Forms {
    std::array<std::array<char, 3>, 256> bytes{};
    std::array<std::uint8_t, 256> length{};
    bool verbatim = false;
};

// How the bytes on the raw-byte path stand for code units: through the table
// of a single-byte code page, one byte a unit; or, with no table, as the
// UTF-8 pieces are written in (one to three bytes a unit, see EncodeUtf8),
// which the reader makes of a UTF-8 source. A cut is made between units:
// with no table, never inside the bytes of one (a lead byte starts each unit).
struct ByteCoding {
    const ByteTable* table = nullptr;
};

// True when every byte is below 0x80, so the bytes are their own UTF-8.
[[nodiscard]] bool IsAscii(std::string_view bytes);

[[nodiscard]] ByteUtf8Forms Utf8FormsOf(const ByteTable& table);
[[nodiscard]] ByteUtf8Forms VerbatimForms();

// Encodes raw bytes of a single-byte code page whose bytes below 0x80 are
// ASCII, as EncodeUtf8 would encode their units; `out` must have room for
// 3 * bytes.size() bytes. Returns the position after the last byte written.
[[nodiscard]] char* EncodeBytesUtf8(std::string_view bytes, const ByteUtf8Forms& forms, char* out);

}  // namespace partwright
