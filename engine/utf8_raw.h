#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "engine/codepage.h"
#include "engine/text.h"

namespace partwright {

// Encodes `text` as AppendUtf8 does, into `out`, which must have room for
// 3 * text.size() bytes; returns the position after the last byte written.
// For callers that keep their own buffer and must not pay for resizing it.
[[nodiscard]] char* EncodeUtf8(TextView text, char* out);

// The UTF-8 form of the unit of every byte of a single-byte code page.
struct ByteUtf8Forms {
    std::array<std::array<char, 3>, 256> bytes{};
    std::array<std::uint8_t, 256> length{};
};

// True when every byte is below 0x80, so the bytes are their own UTF-8.
[[nodiscard]] bool IsAscii(std::string_view bytes);

[[nodiscard]] ByteUtf8Forms Utf8FormsOf(const ByteTable& table);

// Encodes raw bytes of a single-byte code page whose bytes below 0x80 are
// ASCII, as EncodeUtf8 would encode their units; `out` must have room for
// 3 * bytes.size() bytes. Returns the position after the last byte written.
[[nodiscard]] char* EncodeBytesUtf8(std::string_view bytes, const ByteUtf8Forms& forms, char* out);

}  // namespace partwright
