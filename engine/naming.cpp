#include "engine/naming.h"

#include <algorithm>
#include <string_view>

#include "partwright/code_points.h"

namespace partwright {

namespace {



constexpr NativeChar kDot = NativeChar('.');

bool IsSeparator(NativeChar c) {
#ifdef _WIN32
    return c == NativeChar('\\') || c == NativeChar('/');
#else
    return c == NativeChar('/');
#endif
}

// Position of the last folder separator, or npos.
std::size_t LastSeparator(const NativeString& path) {
    for (std::size_t i = path.size(); i > 0; --i) {
        if (IsSeparator(path[i - 1])) {
            return i - 1;
        }
    }
    return NativeString::npos;
}

NativeString Ascii(std::string_view text) { return NativeString(text.begin(), text.end()); }

bool IsNameChar(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9');
}

}  // namespace

NativeString GetFolder(const NativeString& path) {
    const std::size_t last = LastSeparator(path);
    return last == NativeString::npos ? NativeString() : path.substr(0, last + 1);
}

NativeString GetFileName(const NativeString& path) {
    const std::size_t last = LastSeparator(path);
    return last == NativeString::npos ? path : path.substr(last + 1);
}

NativeString GetBaseName(const NativeString& fileName) {
    const std::size_t dot = fileName.rfind(kDot);
    return dot == NativeString::npos ? fileName : fileName.substr(0, dot);
}

NativeString GetExtension(const NativeString& fileName) {
    const std::size_t dot = fileName.rfind(kDot);
    return dot == NativeString::npos ? NativeString() : fileName.substr(dot + 1);
}

std::string PadZeros(std::int64_t number, int width) {
    std::string digits = std::to_string(number);
    if (static_cast<int>(digits.size()) < width) {
        digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
    }
    return digits;
}

Text AlphaNumOnly(TextView text) {
    Text kept;
    for (const char16_t c : text) {
        if (IsNameChar(c)) {
            kept += c;
        }
    }
    return kept;
}

NativeString ToNative(TextView text) {
#ifdef _WIN32
    return NativeString(text.begin(), text.end());
#else
    // A file name wants real characters: pairs are joined, a lone half becomes U+FFFD.
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const char32_t c = NextCodePoint(text, at);
        AppendUtf8(IsSurrogate(c) ? char32_t{0xFFFD} : c, out);
    }
    return out;
#endif
}

NativeString NameFromFirstChars(const NativeString& source, TextView pieceStart, std::int32_t x) {
    const std::size_t take = x <= 0 ? 0 : std::min(pieceStart.size(), static_cast<std::size_t>(x));
    return GetFolder(source) + ToNative(AlphaNumOnly(pieceStart.substr(0, take))) + Ascii(".txt");
}

NativeString NumberedName(const NativeString& source, std::int64_t number) {
    const NativeString fileName = GetFileName(source);
    NativeString name = GetFolder(source) + GetBaseName(fileName) + NativeChar('-') + Ascii(PadZeros(number, 4));
    if (fileName.find(kDot) != NativeString::npos) {
        name += kDot;
        name += GetExtension(fileName);
    }
    return name;
}

NativeString PrefixCounterName(TextView prefix, const NativeString& source, std::int64_t number) {
    const NativeString fileName = GetFileName(source);
    NativeString name = GetFolder(source) + ToNative(prefix) + Ascii(std::to_string(number));
    if (fileName.find(kDot) != NativeString::npos) {
        name += kDot;
        name += GetExtension(fileName);
    }
    return name;
}

}  // namespace partwright
