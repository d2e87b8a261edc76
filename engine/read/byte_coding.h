#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "engine/read/text_decoder.h"

namespace partwright {

// The bytes each byte of a single-byte code page is written as (its unit's CESU-8).
using ByteUtf8Lengths = std::array<std::uint8_t, 256>;

// The CESU-8 form of the unit of every byte of a single-byte code page.
// `verbatim` forms give every byte itself: for bytes that are already the
// CESU-8 of their units.
struct ByteUtf8Forms {
    std::array<std::array<char, 3>, 256> bytes{};
    ByteUtf8Lengths length{};
    bool verbatim = false;
};

[[nodiscard]] ByteUtf8Forms Utf8FormsOf(const ByteTable& table);
[[nodiscard]] ByteUtf8Forms VerbatimForms();

// How the bytes on the raw-byte path stand for code units, and what they are
// written as: through the table of a single-byte code page, one byte a unit;
// or, with no table, as the CESU-8 pieces are written in (one to three bytes
// a unit), which the reader makes of a UTF-8 source. A cut is made between
// units: with no table, never inside the bytes of one (a lead byte starts each unit).
struct ByteCoding {
    const ByteTable* table = nullptr;
    ByteUtf8Forms forms = VerbatimForms();  // of `table`; verbatim without one

    [[nodiscard]] static ByteCoding SingleByte(const ByteTable& table) { return {&table, Utf8FormsOf(table)}; }
    [[nodiscard]] static ByteCoding Utf8() { return {}; }
};

// True when every byte is below 0x80, so the bytes are their own UTF-8.
[[nodiscard]] bool IsAscii(std::string_view bytes);

// Encodes raw bytes of a single-byte code page whose bytes below 0x80 are
// ASCII, as EncodeCesu8 would encode their units; `out` must have room for
// 3 * bytes.size() bytes. Returns the position after the last byte written.
[[nodiscard]] char* EncodeBytesUtf8(std::string_view bytes, const ByteUtf8Forms& forms, char* out);

}  // namespace partwright
