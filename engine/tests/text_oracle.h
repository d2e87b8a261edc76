#pragma once

// The forms text is written in, encoded literally, character by character
// from the bit layouts: what the engine's fast encoders are held against.

#include <string>

#include "partwright/run_interface.h"
#include "partwright/text.h"

namespace partwright {

// The bytes of one code unit on its own, by UTF-8's bit layout written out.
[[nodiscard]] inline std::string UnitBytesLiterally(char16_t unit) {
    const unsigned v = unit;
    if (v <= 0x7F) return std::string(1, static_cast<char>(v));
    if (v <= 0x7FF) return {static_cast<char>(0xC0 + v / 64), static_cast<char>(0x80 + v % 64)};
    return {static_cast<char>(0xE0 + v / 4096), static_cast<char>(0x80 + v / 64 % 64),
            static_cast<char>(0x80 + v % 64)};
}

// 1.0.0's form: every code unit on its own.
[[nodiscard]] inline std::string ToCesu8(TextView text) {
    std::string bytes;
    for (const char16_t unit : text) bytes += UnitBytesLiterally(unit);
    return bytes;
}

// UTF-8: a surrogate pair as the four bytes of its character, a lone half on its own.
[[nodiscard]] inline std::string Utf8Literally(TextView text) {
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            const unsigned c = 0x10000 + (unit - 0xD800) * 1024 + (text[++i] - 0xDC00);
            bytes += {static_cast<char>(0xF0 + c / 262144), static_cast<char>(0x80 + c / 4096 % 64),
                      static_cast<char>(0x80 + c / 64 % 64), static_cast<char>(0x80 + c % 64)};
        } else {
            bytes += UnitBytesLiterally(static_cast<char16_t>(unit));
        }
    }
    return bytes;
}

// UTF-16 little-endian, unit by unit.
[[nodiscard]] inline std::string Utf16LeLiterally(TextView text) {
    std::string bytes;
    for (const char16_t unit : text) bytes += {static_cast<char>(unit % 256), static_cast<char>(unit / 256)};
    return bytes;
}

// `text` as a piece file holds it in `encoding`, its byte-order mark left out.
[[nodiscard]] inline std::string WrittenLiterally(TextView text, OutputEncoding encoding) {
    switch (encoding) {
    case OutputEncoding::Utf16Le: return Utf16LeLiterally(text);
    case OutputEncoding::Cesu8: return ToCesu8(text);
    default: return Utf8Literally(text);
    }
}

}  // namespace partwright
