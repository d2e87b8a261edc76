#include "engine/name/older_pieces.h"

#include <algorithm>
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

// Whether `text` at `at` holds `part`, as the file system compares names.
bool SameAt(const NativeString& text, std::size_t at, const NativeString& part) {
    if (at + part.size() > text.size()) return false;
    return std::equal(part.begin(), part.end(), text.begin() + static_cast<std::ptrdiff_t>(at),
                      [](NativeChar a, NativeChar b) { return Folded(a) == Folded(b); });
}

}  // namespace

CountedNames::CountedNames(bool numbered, NativeString sourceName, Text prefix)
    : numbered_(numbered), sourceName_(std::move(sourceName)), prefix_(std::move(prefix)) {
    head_ = numbered_ ? GetBaseName(sourceName_) + NativeChar('-') : ToNative(prefix_);
    tail_ = TailOf(sourceName_);
}

CountedNames CountedNames::Numbered(const NativeString& sourceName) { return CountedNames(true, sourceName, {}); }

CountedNames CountedNames::Prefix(TextView prefix, const NativeString& sourceName) {
    return CountedNames(false, sourceName, Text(prefix));
}

std::optional<std::int64_t> CountedNames::NumberOf(const NativeString& fileName) const {
    if (fileName.size() <= head_.size() + tail_.size()) return std::nullopt;
    if (!SameAt(fileName, 0, head_) || !SameAt(fileName, fileName.size() - tail_.size(), tail_)) return std::nullopt;
    const NativeString digits = fileName.substr(head_.size(), fileName.size() - head_.size() - tail_.size());
    const bool negative = !numbered_ && digits[0] == NativeChar('-');
    const std::size_t first = negative ? 1 : 0;
    // Beyond 18 digits no piece number reaches.
    if (digits.size() == first || digits.size() - first > 18) return std::nullopt;
    std::int64_t number = 0;
    for (std::size_t at = first; at < digits.size(); ++at) {
        if (!IsDigit(digits[at])) return std::nullopt;
        number = number * 10 + (digits[at] - NativeChar('0'));
    }
    if (negative) number = -number;
    // Only the name naming itself writes counts: no other padding, no "+", no "-0".
    const NativeString written = numbered_ ? NumberedName(sourceName_, number)
                                           : PrefixCounterName(prefix_, sourceName_, number);
    if (written.size() != fileName.size() || !SameAt(fileName, 0, written)) return std::nullopt;
    return number;
}

std::vector<std::pair<std::int64_t, std::filesystem::path>> FilesNumberedPast(const std::filesystem::path& folder,
                                                                              const CountedNames& names,
                                                                              std::int64_t last,
                                                                              std::error_code& error) {
    std::vector<std::pair<std::int64_t, std::filesystem::path>> found;
    error.clear();
    std::filesystem::directory_iterator entry(folder.empty() ? std::filesystem::path(".") : folder, error);
    for (; !error && entry != std::filesystem::directory_iterator(); entry.increment(error)) {
        const std::optional<std::int64_t> number = names.NumberOf(entry->path().filename().native());
        if (!number || *number <= last) continue;
        std::error_code statusError;
        if (!entry->is_regular_file(statusError)) continue;
        found.emplace_back(*number, folder / entry->path().filename());
    }
    std::sort(found.begin(), found.end());
    return found;
}

}  // namespace partwright
