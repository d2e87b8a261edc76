#include "engine/utf8.h"

#include <cstdint>
#include <cstring>

namespace partwright {

namespace {

// Writes the bytes of one code unit at `p` and returns the position after them.
inline char* EncodeUnit(char16_t unit, char* p) {
    const unsigned v = unit;
    if (v < 0x80) {
        *p++ = static_cast<char>(v);
    } else if (v < 0x800) {
        *p++ = static_cast<char>(0xC0 | (v >> 6));
        *p++ = static_cast<char>(0x80 | (v & 0x3F));
    } else {
        *p++ = static_cast<char>(0xE0 | (v >> 12));
        *p++ = static_cast<char>(0x80 | ((v >> 6) & 0x3F));
        *p++ = static_cast<char>(0x80 | (v & 0x3F));
    }
    return p;
}

// Exact byte count first: it is a branch-free pass the compiler vectorises, and
// it lets the output be sized once instead of growing per unit.
std::size_t EncodedLength(TextView text) {
    std::size_t bytes = text.size();
    for (const char16_t unit : text) {
        bytes += static_cast<std::size_t>(unit >= 0x80) + static_cast<std::size_t>(unit >= 0x800);
    }
    return bytes;
}

}  // namespace

void ToUTF8(char16_t unit, std::string& out) {
    char bytes[3];
    const char* end = EncodeUnit(unit, bytes);
    out.append(bytes, static_cast<std::size_t>(end - bytes));
}

void AppendUtf8(TextView text, std::string& out) {
    const std::size_t length = EncodedLength(text);
    if (length == 0) {
        return;
    }
    const std::size_t start = out.size();
    out.resize(start + length);
    char* p = out.data() + start;
    const char16_t* in = text.data();
    const char16_t* const end = in + text.size();
    if (length == text.size()) {
        // Pure ASCII: every unit is its own byte.
        while (in != end) {
            *p++ = static_cast<char>(*in++);
        }
        return;
    }
    while (in != end) {
        // Runs of ASCII four units at a time.
        while (end - in >= 4) {
            std::uint64_t four;
            std::memcpy(&four, in, sizeof four);
            if ((four & 0xFF80FF80FF80FF80ULL) != 0) {
                break;
            }
            p[0] = static_cast<char>(in[0]);
            p[1] = static_cast<char>(in[1]);
            p[2] = static_cast<char>(in[2]);
            p[3] = static_cast<char>(in[3]);
            p += 4;
            in += 4;
        }
        if (in == end) {
            break;
        }
        p = EncodeUnit(*in++, p);
    }
}

std::string CUni(TextView text) {
    std::string bytes;
    AppendUtf8(text, bytes);
    return bytes;
}

}  // namespace partwright
