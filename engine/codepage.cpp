#include "engine/codepage.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <charconv>
#include <optional>
#include <system_error>

#include "engine/utf8_source.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#endif

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define PARTWRIGHT_SSE2 1
#endif

namespace partwright {

namespace {

// Code pages a source may be read in, besides the system's own.
constexpr std::array<unsigned, 13> kKnownCodepages = {1250, 1251, 1252, 1253, 1254, 1255, 1256,
                                                      1257, 1258, 874,  932,  936,  949};
constexpr unsigned kBig5 = 950;

bool IsKnown(unsigned codepage) {
    return codepage == kBig5 || codepage == kUtf8Codepage ||
           std::find(kKnownCodepages.begin(), kKnownCodepages.end(), codepage) != kKnownCodepages.end();
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) {
            return false;
        }
    }
    return true;
}

bool EqualsNoCase(std::string_view text, std::string_view lower) {
    return text.size() == lower.size() && StartsWithNoCase(text, lower);
}

// "windows-1251", "cp1251", "1251" -> 1251; "utf-8", "utf8" -> 65001; nothing for anything else.
std::optional<unsigned> ParseCodepageName(std::string_view name) {
    if (EqualsNoCase(name, "utf-8") || EqualsNoCase(name, "utf8")) {
        return kUtf8Codepage;
    }
    if (StartsWithNoCase(name, "windows-")) {
        name.remove_prefix(8);
    } else if (StartsWithNoCase(name, "cp")) {
        name.remove_prefix(2);
    }
    unsigned number = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), number);
    if (name.empty() || error != std::errc{} || end != name.data() + name.size() || !IsKnown(number)) {
        return std::nullopt;
    }
    return number;
}

#ifndef _WIN32

// windows-1252 as Windows converts it: the five bytes the code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) keep their value as the code unit.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

class Windows1252Decoder final : public TextDecoder {
public:
    std::size_t DecodeInto(std::span<const char> bytes, bool /*endOfInput*/, char16_t* p) override {
        const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
        std::size_t i = 0;
#ifdef PARTWRIGHT_SSE2
        // Sixteen bytes at a time unless one of them lies in 0x80..0x9F, the
        // only range where windows-1252 differs from Latin-1.
        const __m128i c1Limit = _mm_set1_epi8(static_cast<char>(0xA0));
        for (; i + 16 <= bytes.size(); i += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
            if (_mm_movemask_epi8(_mm_cmplt_epi8(v, c1Limit)) != 0) {
                for (std::size_t k = i; k < i + 16; ++k) {
                    p[k] = Map(in[k]);
                }
                continue;
            }
            const __m128i zero = _mm_setzero_si128();
            _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i), _mm_unpacklo_epi8(v, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i + 8), _mm_unpackhi_epi8(v, zero));
        }
#endif
        for (; i < bytes.size(); ++i) {
            p[i] = Map(in[i]);
        }
        return bytes.size();
    }

private:
    static char16_t Map(unsigned char b) {
        return (b >= 0x80 && b < 0xA0) ? kWindows1252High[b - 0x80] : static_cast<char16_t>(b);
    }
};

#endif  // !_WIN32

#ifdef _WIN32

// The platform's own conversion. A multi-byte character cut at the end of one
// call is held back by looking at the code page's lead bytes.
class WindowsDecoder final : public TextDecoder {
public:
    explicit WindowsDecoder(UINT codepage) : codepage_(codepage) {
        CPINFO info;
        if (GetCPInfo(codepage, &info) && info.MaxCharSize > 1) {
            for (int i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i] != 0; i += 2) {
                for (unsigned b = info.LeadByte[i]; b <= info.LeadByte[i + 1]; ++b) {
                    leadByte_[b] = true;
                }
            }
        }
    }

    std::size_t DecodeInto(std::span<const char> bytes, bool endOfInput, char16_t* out) override {
        if (!pending_.empty()) {
            pending_.append(bytes.data(), bytes.size());
            return Convert(pending_, endOfInput, out);
        }
        return Convert(std::string_view(bytes.data(), bytes.size()), endOfInput, out);
    }

private:
    // No code page gives more units than bytes, so `out` has room for all.
    std::size_t Convert(std::string_view input, bool endOfInput, char16_t* out) {
        const std::size_t whole = endOfInput ? input.size() : input.size() - IncompleteTail(input);
        std::string tail(input.substr(whole));
        int units = 0;
        if (whole > 0) {
            const int length = static_cast<int>(whole);
            units = MultiByteToWideChar(codepage_, 0, input.data(), length, reinterpret_cast<wchar_t*>(out), length);
        }
        pending_ = std::move(tail);
        return static_cast<std::size_t>(units);
    }

    // How many bytes at the end begin a character that the next call completes.
    std::size_t IncompleteTail(std::string_view input) const {
        std::size_t i = 0;
        while (i < input.size()) {
            i += leadByte_[static_cast<unsigned char>(input[i])] ? 2 : 1;
        }
        return i > input.size() ? 1 : 0;
    }

    UINT codepage_;
    std::array<bool, 256> leadByte_{};
    std::string pending_;
};

#else  // POSIX

// glibc's iconv names for the Windows code pages.
const char* IconvName(unsigned codepage) {
    switch (codepage) {
        case 1250: return "WINDOWS-1250";
        case 1251: return "WINDOWS-1251";
        case 1253: return "WINDOWS-1253";
        case 1254: return "WINDOWS-1254";
        case 1255: return "WINDOWS-1255";
        case 1256: return "WINDOWS-1256";
        case 1257: return "WINDOWS-1257";
        case 1258: return "WINDOWS-1258";
        case 874: return "WINDOWS-874";
        case 932: return "CP932";
        case 936: return "CP936";
        case 949: return "CP949";
        case 950: return "CP950";
        default: return nullptr;
    }
}

// A byte iconv cannot map (undefined in the code page, or a broken or cut
// multi-byte sequence) becomes the code unit of the byte's own value, U+0000
// to U+00FF: the same rule as windows-1252's undefined bytes, and the byte
// stays recoverable from the text.
class IconvDecoder final : public TextDecoder {
public:
    explicit IconvDecoder(iconv_t cd) : cd_(cd) {}
    ~IconvDecoder() override { iconv_close(cd_); }
    IconvDecoder(const IconvDecoder&) = delete;
    IconvDecoder& operator=(const IconvDecoder&) = delete;

    std::size_t DecodeInto(std::span<const char> bytes, bool endOfInput, char16_t* out) override {
        if (!pending_.empty()) {
            // A character was cut at the end of the last call: join it to this input.
            joined_.assign(pending_);
            pending_.clear();
            joined_.append(bytes.data(), bytes.size());
            return Convert(joined_.data(), joined_.size(), endOfInput, out);
        }
        return Convert(bytes.data(), bytes.size(), endOfInput, out);
    }

private:
    // No supported code page gives more than one unit per byte; the held
    // bytes of a cut character (at most 3) and what a stateful converter
    // releases when flushed stay within kSpareUnits.
    std::size_t Convert(const char* data, std::size_t size, bool endOfInput, char16_t* out) {
        char* in = const_cast<char*>(data);
        std::size_t inLeft = size;
        char* outStart = reinterpret_cast<char*>(out);
        char* outPtr = outStart;
        std::size_t outLeft = (size + 8) * sizeof(char16_t);
        auto emitByte = [&](char byte) {
            *reinterpret_cast<char16_t*>(outPtr) = static_cast<unsigned char>(byte);
            outPtr += sizeof(char16_t);
            outLeft -= sizeof(char16_t);
        };
        while (inLeft > 0) {
            if (iconv(cd_, &in, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1)) {
                break;
            }
            if (errno == EINVAL && !endOfInput) {
                pending_.assign(in, inLeft);
                inLeft = 0;
                break;
            }
            // EILSEQ, or EINVAL at the very end: the byte stands for itself.
            // Flush rather than reset: a stateful converter (windows-1258)
            // may still hold the character before it.
            iconv(cd_, nullptr, nullptr, &outPtr, &outLeft);
            emitByte(*in);
            ++in;
            --inLeft;
        }
        if (endOfInput) {
            iconv(cd_, nullptr, nullptr, &outPtr, &outLeft);
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
        return static_cast<std::size_t>(outPtr - outStart) / sizeof(char16_t);
    }

    iconv_t cd_;
    std::string pending_;
    std::string joined_;  // kept to spare an allocation per call
};

#endif

// Code pages with one byte per character and no state between characters
// (windows-1258 is left out: its converters compose base letters with the
// tone marks that follow).
bool IsStatelessSingleByte(unsigned codepage) {
    return codepage == 874 || (codepage >= 1250 && codepage <= 1257);
}

// The table of a stateless single-byte code page, from decoding each byte
// alone; nothing if a byte does not give exactly one unit or a byte below
// 0x80 is not its ASCII character.
std::optional<ByteTable> TableOf(TextDecoder& decoder) {
    ByteTable table{};
    for (unsigned b = 0; b < 256; ++b) {
        const char byte = static_cast<char>(b);
        char16_t units[1 + TextDecoder::kSpareUnits];
        if (decoder.DecodeInto(std::span<const char>(&byte, 1), true, units) != 1) return std::nullopt;
        if (b < 0x80 && units[0] != b) return std::nullopt;
        table[b] = units[0];
    }
    return table;
}

}  // namespace

void TextDecoder::Decode(std::span<const char> bytes, bool endOfInput, Text& out) {
    const std::size_t start = out.size();
    out.resize(start + bytes.size() + kSpareUnits);
    out.resize(start + DecodeInto(bytes, endOfInput, out.data() + start));
}

unsigned SystemCodepage() {
#ifdef _WIN32
    return GetACP();
#else
    // The locale the environment names, as setlocale(LC_ALL, "") would take
    // it, without changing the process's own locale.
    const locale_t locale = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
    if (locale == static_cast<locale_t>(0)) {
        return 1252;  // not installed: setlocale would leave the C locale
    }
    const std::optional<unsigned> codepage = ParseCodepageName(nl_langinfo_l(CODESET, locale));
    freelocale(locale);
    return codepage.value_or(1252);
#endif
}

bool IsAutoCodepage(std::string_view name) { return EqualsNoCase(name, "auto"); }

unsigned AutoFallbackCodepage() {
    const unsigned system = SystemCodepage();
    return system == kUtf8Codepage ? 1252 : system;
}

std::unique_ptr<TextDecoder> TextDecoder::ForCodepage(std::string_view name, std::string& error) {
    unsigned codepage = SystemCodepage();
    if (!name.empty() && !EqualsNoCase(name, "system")) {
        const auto parsed = ParseCodepageName(name);
        if (!parsed) {
            error = "unknown code page: " + std::string(name);
            return nullptr;
        }
        codepage = *parsed;
    }
    if (codepage == kUtf8Codepage) {
        // Our own on every platform: Windows' conversion would replace a byte
        // that is not UTF-8 by U+FFFD, losing it.
        auto decoder = MakeUtf8Decoder();
        decoder->utf8_ = true;
        return decoder;
    }
    std::unique_ptr<TextDecoder> decoder;
#ifdef _WIN32
    if (!IsValidCodePage(codepage)) {
        error = "code page " + std::to_string(codepage) + " is not installed";
        return nullptr;
    }
    decoder = std::make_unique<WindowsDecoder>(codepage);
#else
    if (codepage == 1252) {
        decoder = std::make_unique<Windows1252Decoder>();
    } else {
        const char* target = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";
        const iconv_t cd = iconv_open(target, IconvName(codepage));
        if (cd == reinterpret_cast<iconv_t>(-1)) {
            error = "code page " + std::to_string(codepage) + " is not available: " +
                    std::system_category().message(errno);
            return nullptr;
        }
        decoder = std::make_unique<IconvDecoder>(cd);
    }
#endif
    if (IsStatelessSingleByte(codepage)) decoder->table_ = TableOf(*decoder);
    return decoder;
}

}  // namespace partwright
