#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

#include "partwright/line_end.h"

namespace partwright {

// Finds the first LF of a source fed in order, and whether a CR stands before it.
class LineEndScan {
public:
    // `utf16`: the bytes pair into UTF-16 units, low byte first unless `bigEndian`.
    explicit LineEndScan(bool utf16, bool bigEndian = false) : utf16_(utf16), bigEndian_(bigEndian) {}

    // Takes the next bytes; true once the first LF is found.
    bool Feed(std::string_view bytes) {
        if (utf16_) {
            for (const char byte : bytes) {
                const auto b = static_cast<unsigned char>(byte);
                if (offset_++ % 2 == 0) {
                    first_ = b;
                } else if (Unit(static_cast<char16_t>(bigEndian_ ? (first_ << 8) | b : first_ | (b << 8)))) {
                    return true;
                }
            }
            return false;
        }
        if (bytes.empty()) return false;
        const void* lf = std::memchr(bytes.data(), '\n', bytes.size());
        if (lf == nullptr) {
            previous_ = static_cast<unsigned char>(bytes.back());
            return false;
        }
        const auto at = static_cast<std::size_t>(static_cast<const char*>(lf) - bytes.data());
        if (at > 0) previous_ = static_cast<unsigned char>(bytes[at - 1]);
        return Unit(u'\n');
    }

    [[nodiscard]] std::optional<LineEnd> found() const { return found_; }

private:
    bool Unit(char16_t unit) {
        if (unit == u'\n') {
            found_ = previous_ == u'\r' ? LineEnd::CrLf : LineEnd::Lf;
            return true;
        }
        previous_ = unit;
        return false;
    }

    bool utf16_;
    bool bigEndian_;
    std::uint64_t offset_ = 0;
    unsigned char first_ = 0;
    char16_t previous_ = 0;
    std::optional<LineEnd> found_;
};

}  // namespace partwright
