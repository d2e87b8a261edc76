#include "engine/name/naming.h"

#include <algorithm>
#include <string_view>

#include "engine/name/temporary_name.h"
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

bool IsNameChar(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9'); }

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

NativeString FirstCharsName(const NativeString& source, TextView pieceStart, std::int32_t x, std::int64_t number) {
    const std::size_t take = x <= 0 ? 0 : std::min(pieceStart.size(), static_cast<std::size_t>(x));
    const Text name = AlphaNumOnly(pieceStart.substr(0, take));
    if (!name.empty() && !IsDeviceName(name)) return GetFolder(source) + ToNative(name) + Ascii(".txt");
    return GetFolder(source) + GetBaseName(GetFileName(source)) + NativeChar('-') + Ascii(PadZeros(number, 4)) +
           Ascii(".txt");
}

NativeString CopyName(const NativeString& target, int copy, std::size_t keptTail) {
    if (keptTail > 0 && keptTail < target.size()) {
        const std::size_t cut = target.size() - keptTail;
        return CopyName(target.substr(0, cut), copy) + target.substr(cut);
    }
    const std::size_t nameStart = LastSeparator(target) == NativeString::npos ? 0 : LastSeparator(target) + 1;
    std::size_t dot = target.rfind(kDot);
    if (dot == NativeString::npos || dot < nameStart) dot = target.size();
    return target.substr(0, dot) + Ascii(" (" + std::to_string(copy) + ")") + target.substr(dot);
}

bool IsDeviceName(TextView fileName) {
    TextView stem = fileName.substr(0, std::min(fileName.find(u'.'), fileName.size()));
    while (!stem.empty() && stem.back() == u' ') stem.remove_suffix(1);
    std::string upper;
    for (const char16_t c : stem) {
        if (c > 0x7F) return false;
        upper += static_cast<char>(c >= u'a' && c <= u'z' ? c - u'a' + u'A' : c);
    }
    if (upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "NUL" || upper == "CONIN$" ||
        upper == "CONOUT$") {
        return true;
    }
    return upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT")) && upper[3] >= '0' &&
           upper[3] <= '9';
}

const char* PrefixProblem(TextView prefix) {
    if (prefix.find_first_of(u"/\\") != TextView::npos) return "it holds a folder separator (/ or \\)";
    if (prefix == u"." || prefix == u"..") return "it is \".\" or \"..\"";
    if (prefix.find_first_of(u":*?\"<>|") != TextView::npos) return "it holds one of : * ? \" < > |";
    for (const char16_t c : prefix) {
        if (c < 0x20 || c == 0x7F) return "it holds a control character";
    }
    Text upper;
    for (const char16_t c : prefix) upper += c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
    // Without a dot the counting number ends the stem: only COM and LPT can turn into a device.
    const bool dotted = prefix.find(u'.') != TextView::npos;
    if ((dotted && IsDeviceName(prefix)) || upper == u"COM" || upper == u"LPT") {
        return "with a number after it, it makes a name Windows keeps for a device (CON, NUL, COM1...)";
    }
    const bool temporary = prefix.size() >= kTemporaryPrefix.size() &&
                           std::equal(kTemporaryPrefix.begin(), kTemporaryPrefix.end(), prefix.begin(),
                                      [](char ascii, char16_t unit) { return static_cast<char16_t>(ascii) == unit; });
    if (temporary) return kTemporaryNameReason;
    return nullptr;
}

}  // namespace partwright
