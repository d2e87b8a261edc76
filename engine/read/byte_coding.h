#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "engine/read/text_decoder.h"

namespace partwright {

// The bytes each byte of a single-byte code page becomes in the text's form (its unit's UTF-8).
using ByteUtf8Lengths = std::array<std::uint8_t, 256>;

// The UTF-8 of the unit of every byte of a single-byte code page.
struct ByteUtf8Forms {
    std::array<std::array<char, 3>, 256> bytes{};
    ByteUtf8Lengths length{};
};

[[nodiscard]] ByteUtf8Forms Utf8FormsOf(const ByteTable& table);

// Encodes raw bytes of a single-byte code page whose bytes below 0x80 are
// ASCII, as EncodeUtf8 would encode their units; `out` must have room for
// 3 * bytes.size() bytes. Returns the position after the last byte written.
[[nodiscard]] char* EncodeBytesUtf8(std::string_view bytes, const ByteUtf8Forms& forms, char* out);

}  // namespace partwright
