#include "partwright/byte_size.h"

namespace partwright {

std::optional<std::uint64_t> ParseByteSize(std::string_view text, std::string* why) {
    const auto refuse = [why](const char* reason) {
        if (why) *why = reason;
        return std::nullopt;
    };
    std::size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
    if (digits == 0) return refuse("is not a whole number of bytes (such as 4096, 64K, 1M or 2G)");
    int shift = 0;
    const std::string_view suffix = text.substr(digits);
    if (suffix == "K" || suffix == "k") {
        shift = 10;
    } else if (suffix == "M" || suffix == "m") {
        shift = 20;
    } else if (suffix == "G" || suffix == "g") {
        shift = 30;
    } else if (!suffix.empty()) {
        return refuse("has an unknown suffix: use K, M or G");
    }
    // Far beyond any file, and safe from overflow once shifted.
    constexpr std::uint64_t kMost = std::uint64_t{1} << 62;
    std::uint64_t number = 0;
    for (std::size_t i = 0; i < digits; ++i) {
        number = number * 10 + static_cast<std::uint64_t>(text[i] - '0');
        if (number > (kMost >> shift)) return refuse("is too large");
    }
    if (number == 0) return refuse("is less than one byte");
    return number << shift;
}

}  // namespace partwright
