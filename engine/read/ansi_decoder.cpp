#include "engine/read/ansi_decoder.h"

#include <array>
#include <bit>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <iconv.h>
#endif

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define PARTWRIGHT_SSE2 1
#endif

namespace partwright {

namespace {

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

}  // namespace

std::unique_ptr<TextDecoder> MakeAnsiDecoder(unsigned codepage, std::string& error) {
#ifdef _WIN32
    if (!IsValidCodePage(codepage)) {
        error = "code page " + std::to_string(codepage) + " is not installed";
        return nullptr;
    }
    return std::make_unique<WindowsDecoder>(codepage);
#else
    if (codepage == 1252) return std::make_unique<Windows1252Decoder>();
    const char* target = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";
    const iconv_t cd = iconv_open(target, IconvName(codepage));
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        error = "code page " + std::to_string(codepage) + " is not available: " + std::system_category().message(errno);
        return nullptr;
    }
    return std::make_unique<IconvDecoder>(cd);
#endif
}

}  // namespace partwright
