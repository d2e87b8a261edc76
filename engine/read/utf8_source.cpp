#include "engine/read/utf8_source.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "engine/read/text_decoder.h"
#include "partwright/code_points.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define PARTWRIGHT_SSE2 1
#endif
// With GCC or Clang on x86, the check also has a 32-byte form for processors
// with AVX2, chosen when the program runs.
#if defined(PARTWRIGHT_SSE2) && defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define PARTWRIGHT_AVX2 1
#endif

namespace partwright {

namespace {

// The length of the sequence a byte starts (0 when it starts none) and the
// range its second byte must lie in, which rules out overlong forms, encoded
// surrogates and code points above U+10FFFF.
struct Lead {
    std::uint8_t length;
    std::uint8_t low;
    std::uint8_t high;
};

constexpr Lead LeadOf(unsigned char b) {
    if (b < 0x80) return {1, 0, 0};
    if (b < 0xC2) return {0, 0, 0};
    if (b < 0xE0) return {2, 0x80, 0xBF};
    if (b == 0xE0) return {3, 0xA0, 0xBF};
    if (b == 0xED) return {3, 0x80, 0x9F};
    if (b < 0xF0) return {3, 0x80, 0xBF};
    if (b == 0xF0) return {4, 0x90, 0xBF};
    if (b < 0xF4) return {4, 0x80, 0xBF};
    if (b == 0xF4) return {4, 0x80, 0x8F};
    return {0, 0, 0};
}

// The length of the valid sequence at `p`, of which `avail` (at least 1)
// bytes are there; 0 when there is none. `cut` is set when the bytes there
// are a valid start that needs more than `avail` bytes.
std::size_t SequenceAt(const unsigned char* p, std::size_t avail, bool& cut) {
    cut = false;
    const Lead lead = LeadOf(p[0]);
    for (std::size_t i = 1; i < lead.length; ++i) {
        if (i == avail) {
            cut = true;
            return 0;
        }
        const unsigned low = i == 1 ? lead.low : 0x80;
        const unsigned high = i == 1 ? lead.high : 0xBF;
        if (p[i] < low || p[i] > high) return 0;
    }
    return lead.length;
}

// Writes the code units of the sequence at `p` (or of the byte, when
// `length` is 0) and returns the position after them.
char16_t* UnitsOf(const unsigned char* p, std::size_t length, char16_t* out) {
    if (length == 0) {
        *out++ = p[0];
        return out;
    }
    return WriteUtf16(CodePointOfSequence(p, length), out);
}

class Utf8Decoder final : public TextDecoder {
public:
    std::size_t DecodeInto(std::span<const char> bytes, bool endOfInput, char16_t* out) override {
        if (pending_.empty()) return Convert(std::string_view(bytes.data(), bytes.size()), endOfInput, out);
        // A sequence was cut at the end of the last call: join it to this input.
        joined_.assign(pending_);
        pending_.clear();
        joined_.append(bytes.data(), bytes.size());
        return Convert(joined_, endOfInput, out);
    }

private:
    // Never more units than bytes: a pair takes four bytes, any other unit at least one.
    std::size_t Convert(std::string_view input, bool endOfInput, char16_t* out) {
        const auto* p = reinterpret_cast<const unsigned char*>(input.data());
        const auto* const end = p + input.size();
        char16_t* o = out;
        while (p != end) {
            if (*p < 0x80) {
                *o++ = *p++;
                continue;
            }
            bool cut = false;
            const std::size_t length = SequenceAt(p, static_cast<std::size_t>(end - p), cut);
            if (cut && !endOfInput) {
                pending_.assign(reinterpret_cast<const char*>(p), static_cast<std::size_t>(end - p));
                break;
            }
            o = UnitsOf(p, length, o);
            p += length == 0 ? 1 : length;
        }
        return static_cast<std::size_t>(o - out);
    }

    std::string pending_;
    std::string joined_;  // kept to spare an allocation per call
};

}  // namespace

std::unique_ptr<TextDecoder> MakeUtf8Decoder() { return std::make_unique<Utf8Decoder>(); }

std::size_t Utf8CutTailLength(std::string_view bytes) {
    const auto* const end = reinterpret_cast<const unsigned char*>(bytes.data() + bytes.size());
    for (std::size_t k = 1; k <= 3 && k <= bytes.size(); ++k) {
        bool cut = false;
        (void)SequenceAt(end - k, k, cut);
        if (cut) return k;
    }
    return 0;
}

namespace {

// The scalar scan of PlainUtf8Prefix, from `p`, which starts a sequence.
const unsigned char* PlainFrom(const unsigned char* p, const unsigned char* const end) {
    while (p != end) {
        const unsigned b = *p;
        if (b < 0x80) {
            ++p;
        } else if (b >= 0xC2 && b < 0xE0) {
            if (end - p < 2 || (p[1] & 0xC0) != 0x80) break;
            p += 2;
        } else if (b >= 0xE0 && b < 0xF0) {
            if (end - p < 3 || (p[2] & 0xC0) != 0x80) break;
            const Lead lead = LeadOf(static_cast<unsigned char>(b));
            if (p[1] < lead.low || p[1] > lead.high) break;
            p += 3;
        } else if (b >= 0xF0 && b < 0xF5) {
            if (end - p < 4 || (p[2] & 0xC0) != 0x80 || (p[3] & 0xC0) != 0x80) break;
            const Lead lead = LeadOf(static_cast<unsigned char>(b));
            if (p[1] < lead.low || p[1] > lead.high) break;
            p += 4;
        } else {
            break;
        }
    }
    return p;
}

#ifdef PARTWRIGHT_SSE2
// The start of the sequence that holds the byte at `p`, given that the bytes
// from `begin` up to `p` are plain sequences (the last perhaps unfinished).
const unsigned char* SequenceStart(const unsigned char* begin, const unsigned char* p) {
    const unsigned char* lead = p;
    while (lead > begin && p - lead < 3 && (lead[-1] & 0xC0) == 0x80) --lead;
    if (lead > begin) {
        const std::size_t length = LeadOf(lead[-1]).length;
        if (length > 1 && lead - 1 + length > p) return lead - 1;
    }
    return p;
}

// `v` moved up by `n` bytes (1 or 2), the last bytes of `previous` filling in.
template <int n>
__m128i Preceding(__m128i v, __m128i previous) {
    return _mm_or_si128(_mm_slli_si128(v, n), _mm_srli_si128(previous, 16 - n));
}

__m128i MaskedEquals(__m128i v, int mask, int value) {
    return _mm_cmpeq_epi8(_mm_and_si128(v, _mm_set1_epi8(static_cast<char>(mask))),
                          _mm_set1_epi8(static_cast<char>(value)));
}
#endif

#ifdef PARTWRIGHT_AVX2
// `v` moved up by `n` bytes, the last bytes of `previous` filling in.
template <int n>
__attribute__((target("avx2"))) __m256i Preceding256(__m256i v, __m256i previous) {
    return _mm256_alignr_epi8(v, _mm256_permute2x128_si256(previous, v, 0x21), 16 - n);
}

// A sixteen-entry table, in both halves of a register for _mm256_shuffle_epi8.
__attribute__((target("avx2"))) __m256i Table256(const std::array<std::uint8_t, 16>& t) {
    return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(t.data())));
}

// The check of PlainUtf8Prefix, 32 bytes at a time, by table lookups on the
// nibbles of each pair of neighbouring bytes (the method of Keiser and
// Lemire, "Validating UTF-8 In Less Than One Instruction Per Byte"). Each
// table entry is a set of the faults a pair can show; a pair is at fault
// when all three lookups share one. Returns the start of the first 32 bytes
// that break a rule, or of the last fewer than 32; a byte earlier when the
// byte before is C0 or C1, whose fault shows only with the byte after it.
__attribute__((target("avx2"))) const unsigned char* PlainBlocksAvx2(const unsigned char* const start,
                                                                     const unsigned char* const end) {
    const unsigned char* p = start;
    constexpr std::uint8_t kTooShort = 1 << 0;   // a lead not followed by a continuation
    constexpr std::uint8_t kTooLong = 1 << 1;    // a continuation after ASCII
    constexpr std::uint8_t kOverlong3 = 1 << 2;  // E0 80..9F
    constexpr std::uint8_t kTooLarge = 1 << 3;   // F4 90..BF, F5..FF
    constexpr std::uint8_t kSurrogate = 1 << 4;  // ED A0..BF
    constexpr std::uint8_t kOverlong2 = 1 << 5;  // C0, C1
    constexpr std::uint8_t kTooLarge1000 = 1 << 6;
    constexpr std::uint8_t kOverlong4 = 1 << 6;  // F0 80..8F
    constexpr std::uint8_t kTwoConts = 1 << 7;   // a continuation after a continuation
    constexpr std::uint8_t kCarry = kTooShort | kTooLong | kTwoConts;
    constexpr std::uint8_t kLarge = kCarry | kTooLarge | kTooLarge1000;
    // By the high nibble of the first byte of a pair.
    const __m256i firstHigh = Table256({kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong,
                                        kTwoConts, kTwoConts, kTwoConts, kTwoConts, kTooShort | kOverlong2, kTooShort,
                                        kTooShort | kOverlong3 | kSurrogate,
                                        kTooShort | kTooLarge | kTooLarge1000 | kOverlong4});
    // By its low nibble.
    const __m256i firstLow = Table256({kCarry | kOverlong3 | kOverlong2 | kOverlong4, kCarry | kOverlong2, kCarry,
                                       kCarry, kCarry | kTooLarge, kLarge, kLarge, kLarge, kLarge, kLarge, kLarge,
                                       kLarge, kLarge, kLarge | kSurrogate, kLarge, kLarge});
    // By the high nibble of the second byte.
    constexpr std::uint8_t kCont = kTooLong | kOverlong2 | kTwoConts;
    const __m256i secondHigh = Table256({kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort,
                                         kTooShort, kCont | kOverlong3 | kTooLarge1000 | kOverlong4,
                                         kCont | kOverlong3 | kTooLarge, kCont | kSurrogate | kTooLarge,
                                         kCont | kSurrogate | kTooLarge, kTooShort, kTooShort, kTooShort, kTooShort});
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    const __m256i high = _mm256_set1_epi8(static_cast<char>(0x80));
    // Bytes that still expect continuations when a block ends after them.
    const __m256i unfinished = _mm256_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                                -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, static_cast<char>(0xEF),
                                                static_cast<char>(0xDF), static_cast<char>(0xBF));
    __m256i previous = _mm256_setzero_si256();
    while (end - p >= 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        if (_mm256_movemask_epi8(v) == 0) {
            // ASCII: at fault only when the block before left a sequence open.
            const __m256i open = _mm256_subs_epu8(previous, unfinished);
            if (!_mm256_testz_si256(open, open)) break;
            // The rest of an ASCII run, 128 bytes at a time.
            for (p += 32; end - p >= 128; p += 128) {
                const auto* block = reinterpret_cast<const __m256i*>(p);
                const __m256i any =
                    _mm256_or_si256(_mm256_or_si256(_mm256_loadu_si256(block), _mm256_loadu_si256(block + 1)),
                                    _mm256_or_si256(_mm256_loadu_si256(block + 2), _mm256_loadu_si256(block + 3)));
                if (_mm256_movemask_epi8(any) != 0) break;
            }
            previous = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p - 32));
            continue;
        }
        const __m256i before1 = Preceding256<1>(v, previous);
        const __m256i faults = _mm256_and_si256(
            _mm256_and_si256(_mm256_shuffle_epi8(firstHigh, _mm256_and_si256(_mm256_srli_epi16(before1, 4), nibble)),
                             _mm256_shuffle_epi8(firstLow, _mm256_and_si256(before1, nibble))),
            _mm256_shuffle_epi8(secondHigh, _mm256_and_si256(_mm256_srli_epi16(v, 4), nibble)));
        // The third byte of a three-byte sequence (the fourth of a four-byte
        // one) must be a continuation: the pair check sees two in a row there.
        const __m256i third = _mm256_subs_epu8(Preceding256<2>(v, previous), _mm256_set1_epi8(0xE0 - 0x80));
        const __m256i fourth = _mm256_subs_epu8(Preceding256<3>(v, previous), _mm256_set1_epi8(0xF0 - 0x80));
        const __m256i expected = _mm256_and_si256(_mm256_or_si256(third, fourth), high);
        // F5 to FF are never UTF-8; the pair check sees one only with the byte
        // after it, which may lie past the blocks checked.
        const __m256i neverUtf8 = _mm256_subs_epu8(v, _mm256_set1_epi8(static_cast<char>(0xF4)));
        const __m256i bad = _mm256_or_si256(_mm256_xor_si256(faults, expected), neverUtf8);
        if (!_mm256_testz_si256(bad, bad)) break;
        previous = v;
        p += 32;
    }
    // A C0 or C1 that ends the blocks checked is left to the caller.
    if (p != start && (p[-1] & 0xFE) == 0xC0) --p;
    return p;
}

bool HasAvx2() {
    static const bool has = (__builtin_cpu_init(), __builtin_cpu_supports("avx2") != 0);
    return has;
}
#endif

}  // namespace

bool CanCheckUtf8With(Utf8Check path) {
    switch (path) {
    case Utf8Check::Scalar: return true;
#ifdef PARTWRIGHT_SSE2
    case Utf8Check::Sse2: return true;
#endif
#ifdef PARTWRIGHT_AVX2
    case Utf8Check::Avx2: return HasAvx2();
#endif
    default: return false;
    }
}

std::size_t PlainUtf8Prefix(std::string_view bytes) {
#ifdef PARTWRIGHT_AVX2
    if (HasAvx2()) return PlainUtf8Prefix(bytes, Utf8Check::Avx2);
#endif
#ifdef PARTWRIGHT_SSE2
    return PlainUtf8Prefix(bytes, Utf8Check::Sse2);
#else
    return PlainUtf8Prefix(bytes, Utf8Check::Scalar);
#endif
}

std::size_t PlainUtf8Prefix(std::string_view bytes, Utf8Check path) {
    const auto* const begin = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = begin + bytes.size();
    const auto* p = begin;
    if (path == Utf8Check::Scalar) return static_cast<std::size_t>(PlainFrom(p, end) - begin);
#ifdef PARTWRIGHT_AVX2
    // The wide check runs first; the narrow one takes what it leaves.
    if (path == Utf8Check::Avx2 && HasAvx2()) p = SequenceStart(begin, PlainBlocksAvx2(p, end));
#endif
#ifdef PARTWRIGHT_SSE2
    // Sixteen bytes at a time: a lead of two bytes must be followed by one
    // continuation byte, a lead of three by two, and there must be no other
    // continuation bytes; C0, C1 and F0 to FF (four-byte leads, or no UTF-8)
    // never occur; E0 is followed by A0 to BF (no overlong form), ED by 80 to
    // 9F (no surrogate). On the first block that breaks a rule, or holds a
    // four-byte sequence, the scalar scan takes over from where it begins.
    __m128i previous = _mm_setzero_si128();
    __m128i previousLead2 = _mm_setzero_si128();
    __m128i previousLead3 = _mm_setzero_si128();
    for (; end - p >= 16; p += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const bool pending = (_mm_movemask_epi8(_mm_or_si128(previousLead2, previousLead3)) & 0xC000) != 0;
        if (_mm_movemask_epi8(v) == 0 && !pending) {
            previous = v;
            previousLead2 = previousLead3 = _mm_setzero_si128();
            continue;
        }
        const __m128i lead2 = MaskedEquals(v, 0xE0, 0xC0);
        const __m128i lead3 = MaskedEquals(v, 0xF0, 0xE0);
        const __m128i continuation = MaskedEquals(v, 0xC0, 0x80);
        const __m128i expected = _mm_or_si128(_mm_or_si128(Preceding<1>(lead2, previousLead2),
                                                           Preceding<1>(lead3, previousLead3)),
                                              Preceding<2>(lead3, previousLead3));
        __m128i bad = _mm_xor_si128(expected, continuation);
        bad = _mm_or_si128(bad, MaskedEquals(v, 0xFE, 0xC0));
        bad = _mm_or_si128(bad, MaskedEquals(v, 0xF0, 0xF0));
        const __m128i before = Preceding<1>(v, previous);
        const __m128i afterE0 = _mm_cmpeq_epi8(before, _mm_set1_epi8(static_cast<char>(0xE0)));
        const __m128i afterED = _mm_cmpeq_epi8(before, _mm_set1_epi8(static_cast<char>(0xED)));
        bad = _mm_or_si128(bad, _mm_and_si128(afterE0, MaskedEquals(v, 0xE0, 0x80)));
        bad = _mm_or_si128(bad, _mm_and_si128(afterED, MaskedEquals(v, 0xE0, 0xA0)));
        if (_mm_movemask_epi8(bad) != 0) break;
        previous = v;
        previousLead2 = lead2;
        previousLead3 = lead3;
    }
    p = SequenceStart(begin, p);
#endif
    return static_cast<std::size_t>(PlainFrom(p, end) - begin);
}

void AppendRepairedUtf8(std::string_view bytes, std::string& out) {
    while (!bytes.empty()) {
        const std::size_t plain = PlainUtf8Prefix(bytes);
        out.append(bytes.data(), plain);
        bytes.remove_prefix(plain);
        if (bytes.empty()) return;
        // A byte that begins no valid sequence: the character of its own value.
        AppendUtf8(static_cast<unsigned char>(bytes.front()), out);
        bytes.remove_prefix(1);
    }
}

void Utf8Validator::Feed(std::string_view bytes) {
    while (valid_ && heldLength_ > 0 && !bytes.empty()) {
        // Complete the sequence cut at the end of the last call, a byte at a time.
        held_[heldLength_++] = bytes.front();
        bytes.remove_prefix(1);
        bool cut = false;
        const std::size_t length = SequenceAt(reinterpret_cast<const unsigned char*>(held_), heldLength_, cut);
        if (length > 0) {
            heldLength_ = 0;
        } else if (!cut) {
            valid_ = false;
        }
    }
    while (valid_ && !bytes.empty()) {
        bytes.remove_prefix(PlainUtf8Prefix(bytes));
        if (bytes.empty()) return;
        bool cut = false;
        const std::size_t length = SequenceAt(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), cut);
        if (cut) {
            heldLength_ = bytes.size();
            std::memcpy(held_, bytes.data(), heldLength_);
            return;
        }
        if (length == 0) valid_ = false;
        bytes.remove_prefix(length);
    }
}

}  // namespace partwright
