#include "engine/read/decoder_factory.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <span>

#include "engine/read/ansi_decoder.h"
#include "engine/read/utf8_source.h"
#include "partwright/codepage.h"

namespace partwright {

namespace {

// Code pages with one byte per character and no state between characters
// (windows-1258 is left out: its converters compose base letters with the
// tone marks that follow).
bool IsStatelessSingleByte(unsigned codepage) { return codepage == 874 || (codepage >= 1250 && codepage <= 1257); }

// The table of a stateless single-byte code page, from decoding each byte
// alone; nothing if a byte does not give exactly one unit or a byte below
// 0x80 is not its ASCII character.
std::optional<ByteTable> TableOf(TextDecoder& decoder) {
    ByteTable table{};
    for (unsigned b = 0; b < 256; ++b) {
        const char byte = static_cast<char>(b);
        char16_t units[1 + TextDecoder::kSpareUnits];
        if (decoder.DecodeInto(std::span<const char>(&byte, 1), true, units) != 1) return std::nullopt;
        if (b < 0x80 && units[0] != b) return std::nullopt;
        table[b] = units[0];
    }
    return table;
}

bool IsSystemCodepageName(std::string_view name) {
    constexpr std::string_view kSystem = "system";
    return std::equal(name.begin(), name.end(), kSystem.begin(), kSystem.end(),
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

}  // namespace

std::unique_ptr<TextDecoder> MakeDecoder(std::string_view name, std::string& error) {
    unsigned codepage = SystemCodepage();
    if (!name.empty() && !IsSystemCodepageName(name)) {
        const auto parsed = ParseCodepageName(name);
        if (!parsed) {
            error = "unknown code page: " + std::string(name);
            return nullptr;
        }
        codepage = *parsed;
    }
    if (codepage == kUtf8Codepage) {
        // Our own on every platform: Windows' conversion would replace a byte
        // that is not UTF-8 by U+FFFD, losing it.
        auto decoder = MakeUtf8Decoder();
        decoder->utf8_ = true;
        return decoder;
    }
    std::unique_ptr<TextDecoder> decoder = MakeAnsiDecoder(codepage, error);
    if (decoder && IsStatelessSingleByte(codepage)) decoder->table_ = TableOf(*decoder);
    return decoder;
}

// Declared with the code page names the front ends check (partwright/codepage.h).
bool CanReadCodepage(std::string_view name, std::string& error) {
    return !IsAutoCodepage(name) && MakeDecoder(name, error) != nullptr;
}

}  // namespace partwright
