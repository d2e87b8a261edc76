#pragma once

#include <bit>
#include <cstddef>
#include <cstring>

namespace partwright {

// UTF-16 bytes to code units, chunk by chunk: a byte whose partner comes in
// the next chunk is held for it.
class Utf16Units {
public:
    // Writes the units of `count` bytes at `data` to `out`, high byte first
    // when `bigEndian`; returns how many. `last`: no bytes follow.
    std::size_t Convert(const char* data, std::size_t count, bool last, char16_t* out, bool bigEndian) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(data);
        char16_t* p = out;
        if (haveOddByte_ && count > 0) {
            *p++ = UnitOf(oddByte_, bytes[0], bigEndian);
            haveOddByte_ = false;
            ++bytes;
            --count;
        }
        const std::size_t pairs = count / 2;
        if (!bigEndian && std::endian::native == std::endian::little) {
            std::memcpy(p, bytes, pairs * 2);
        } else {
            for (std::size_t k = 0; k < pairs; ++k) p[k] = UnitOf(bytes[2 * k], bytes[2 * k + 1], bigEndian);
        }
        p += pairs;
        if (count % 2 != 0) {
            haveOddByte_ = true;
            oddByte_ = bytes[count - 1];
        }
        if (last && haveOddByte_) {
            // The lone last byte of an odd-length source: its half, 0 as the other.
            *p++ = UnitOf(oddByte_, 0, bigEndian);
            haveOddByte_ = false;
        }
        return static_cast<std::size_t>(p - out);
    }

private:
    [[nodiscard]] static char16_t UnitOf(unsigned first, unsigned second, bool bigEndian) {
        return static_cast<char16_t>(bigEndian ? (first << 8) | second : first | (second << 8));
    }

    bool haveOddByte_ = false;
    unsigned char oddByte_ = 0;
};

}  // namespace partwright
