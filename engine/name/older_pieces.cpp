#include "engine/name/older_pieces.h"

#include <cstddef>

#include "engine/name/naming.h"

namespace partwright {

namespace {

// "." and the extension, when the source's file name has a dot, as naming adds them.
NativeString TailOf(const NativeString& sourceName) {
    if (sourceName.find(NativeChar('.')) == NativeString::npos) return {};
    return NativeChar('.') + GetExtension(sourceName);
}

bool IsDigit(NativeChar c) { return c >= NativeChar('0') && c <= NativeChar('9'); }

// A character of a file name as the file system compares it: where names
// ignore case, SMALL-0004.TXT is the file a piece small-0004.txt would replace.
NativeChar Folded(NativeChar c) {
#if defined(_WIN32) || defined(__APPLE__)
    if (c >= NativeChar('A') && c <= NativeChar('Z')) return static_cast<NativeChar>(c - 'A' + 'a');
#endif
    return c;
}

using NativeStringView = std::basic_string_view<NativeChar>;

// Whether `text` at `at` holds `part`, as the file system compares names.
bool SameAt(NativeStringView text, std::size_t at, NativeStringView part) {
    if (at + part.size() > text.size()) return false;
    return std::equal(part.begin(), part.end(), text.begin() + static_cast<std::ptrdiff_t>(at),
                      [](NativeChar a, NativeChar b) { return Folded(a) == Folded(b); });
}

}  // namespace

CountedNames::CountedNames(bool numbered, const NativeString& sourceName, TextView prefix) : numbered_(numbered) {
    head_ = numbered_ ? GetBaseName(sourceName) + NativeChar('-') : ToNative(prefix);
    tail_ = TailOf(sourceName);
}

CountedNames CountedNames::Numbered(const NativeString& sourceName) { return CountedNames(true, sourceName, {}); }

CountedNames CountedNames::Prefix(TextView prefix, const NativeString& sourceName) {
    return CountedNames(false, sourceName, prefix);
}

// Read in place, as it is called for every piece of a run.
std::optional<std::int64_t> CountedNames::NumberOf(NativeStringView fileName) const {
    if (fileName.size() <= head_.size() + tail_.size()) return std::nullopt;
    if (!SameAt(fileName, 0, head_) || !SameAt(fileName, fileName.size() - tail_.size(), tail_)) return std::nullopt;
    const NativeStringView digits = fileName.substr(head_.size(), fileName.size() - head_.size() - tail_.size());
    const bool negative = !numbered_ && digits[0] == NativeChar('-');
    const std::size_t first = negative ? 1 : 0;
    const std::size_t count = digits.size() - first;
    // Beyond 18 digits no piece number reaches.
    if (count == 0 || count > 18) return std::nullopt;
    std::int64_t number = 0;
    for (std::size_t at = first; at < digits.size(); ++at) {
        if (!IsDigit(digits[at])) return std::nullopt;
        number = number * 10 + (digits[at] - NativeChar('0'));
    }
    // Only the digits naming writes count: numbered, four at least and no
    // other zero in front (PadZeros); prefix, no zero in front, no "-0".
    const bool zeroInFront = digits[first] == NativeChar('0');
    if (numbered_ && (count < 4 || (count > 4 && zeroInFront))) return std::nullopt;
    if (!numbered_ && ((count > 1 && zeroInFront) || (negative && number == 0))) return std::nullopt;
    return negative ? -number : number;
}

}  // namespace partwright
