#include "partwright/byte_size.h"

#include <algorithm>

namespace partwright {

namespace {

// The value of a run of decimal digits, or nothing when it exceeds `most`: checked before each
// step, so that a long number cannot wrap round to a small one.
std::optional<std::uint64_t> DigitsUpTo(std::string_view digits, std::uint64_t most) {
    std::uint64_t number = 0;
    for (const char digit : digits) {
        const auto value = static_cast<std::uint64_t>(digit - '0');
        if (number > (most - value) / 10) return std::nullopt;
        number = number * 10 + value;
    }
    return number;
}

}  // namespace

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
    const std::optional<std::uint64_t> number = DigitsUpTo(text.substr(0, digits), kMost >> shift);
    if (!number) return refuse("is too large");
    if (*number == 0) return refuse("is less than one byte");
    return *number << shift;
}

std::optional<std::uint64_t> ParseCount(std::string_view text, std::uint64_t most, std::string* why) {
    const auto refuse = [why](const std::string& reason) {
        if (why) *why = reason;
        return std::nullopt;
    };
    const bool digitsOnly = !text.empty() &&
                            std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!digitsOnly) return refuse("is not a whole number");
    const std::optional<std::uint64_t> number = DigitsUpTo(text, most);
    if (!number) return refuse("is too large: the most is " + std::to_string(most));
    if (*number == 0) return refuse("is less than 1");
    return number;
}

}  // namespace partwright
