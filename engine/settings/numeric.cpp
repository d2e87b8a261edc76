#include "partwright/numeric.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

#include "engine/read/text_form.h"

namespace partwright {

namespace {

bool IsBlank(char16_t unit) {
    return unit == u' ' || unit == u'\t' || unit == u'\r' || unit == u'\n' || unit == u'\v' || unit == u'\f';
}

TextView Trimmed(TextView text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// strtod wants bytes; a locale whose decimal separator is not ASCII expects it in UTF-8.
// Returns false for a unit that can never be part of a number strtod reads (a NUL).
// (A surrogate is no part of a number: unit by unit is as good as by character.)
bool ToNarrow(TextView text, std::string& out) {
    if (text.find(u'\0') != TextView::npos) return false;
    AppendUtf8(text, out);
    return true;
}

template <typename Int>
std::optional<Int> ToWhole(TextView text) {
    const std::optional<double> value = ParseNumber(text);
    if (!value) return std::nullopt;
    const double rounded = RoundHalfEven(*value);
    if (rounded < static_cast<double>(std::numeric_limits<Int>::min()) ||
        rounded > static_cast<double>(std::numeric_limits<Int>::max())) {
        return std::nullopt;
    }
    return static_cast<Int>(rounded);
}

}  // namespace

std::optional<double> ParseNumber(TextView text) {
    const TextView trimmed = Trimmed(text);
    if (trimmed.empty()) return std::nullopt;
    // strtod also reads hexadecimal, "inf", "infinity" and "nan"; every one of
    // them holds an x or an n, which no decimal number does.
    for (char16_t unit : trimmed) {
        if (unit == u'x' || unit == u'X' || unit == u'n' || unit == u'N') return std::nullopt;
    }
    std::string narrow;
    if (!ToNarrow(trimmed, narrow)) return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(narrow.c_str(), &end);
    if (end != narrow.c_str() + narrow.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

bool IsNumeric(TextView text) { return ParseNumber(text).has_value(); }

double RoundHalfEven(double value) {
    if (!std::isfinite(value)) return value;
    const double below = std::floor(value);
    const double fraction = value - below;
    if (fraction < 0.5) return below;
    if (fraction > 0.5) return below + 1.0;
    return std::fmod(below, 2.0) == 0.0 ? below : below + 1.0;
}

std::optional<std::int32_t> ToInt32(TextView text) { return ToWhole<std::int32_t>(text); }

std::optional<std::int16_t> ToInt16(TextView text) { return ToWhole<std::int16_t>(text); }

}  // namespace partwright
