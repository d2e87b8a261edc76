#pragma once

#include <bit>
#include <cstdint>
#include <optional>

#include "engine/cut/line_end_units.h"
#include "engine/cut/unit_search.h"
#include "partwright/line_end.h"

// With GCC or Clang on x86, the CSV scan also has a 64-byte form for
// processors with AVX2, PCLMUL and POPCNT, chosen when the program runs
// (64-bit builds: the masks are 64-bit integers).
#if defined(__SSE2__) && defined(__GNUC__) && defined(__x86_64__)
#define PARTWRIGHT_CSV_WIDE 1
#define PARTWRIGHT_CSV_WIDE_TARGET __attribute__((target("avx2,bmi,popcnt,pclmul")))
#endif

namespace partwright {

// Whether this processor runs the 64-byte CSV scan.
[[nodiscard]] bool CanScanCsvWide();

// What ends a line for the lines, size and blank-line cutters. The cutters
// scan a block text left to right, each byte once, and ask the policy for the
// next ends; a policy may carry state from one call to the next, so the
// ranges it is given follow each other (a cutter skips only the bytes of an
// end it handled itself, see EndedBetweenChunks).

// Every line end counts.
template <LineEnd kEnd>
class LineEnds {
public:
    // Whether FindLast may look back over bytes already scanned.
    static constexpr bool kCanSearchBack = true;

    // The `remaining`-th end in [from, to), at its first byte; `to` when
    // there are fewer, with `remaining` lowered by the number found.
    const char* Find(const char* from, const char* to, std::int64_t& remaining) {
        return FindEnds<char, kEnd>(from, to, remaining);
    }
    [[nodiscard]] const char* FindLast(const char* from, const char* to, const char* end) const {
        return FindLastEnd<char, kEnd>(from, to, end);
    }
    // Whether a line end that begins at the end of the bytes so far would lie inside a record.
    [[nodiscard]] bool Quoted() const { return false; }
    // A CR LF whose CR ended the previous range and whose LF the cutter took.
    void EndedBetweenChunks() {}
    void Reset() {}
};

// CSV records: a line end ends a record unless it lies in a quoted field. A
// field that begins with a quote runs to the quote that closes it; two quotes
// in it are one quote. A quote elsewhere is an ordinary byte, and so are the
// bytes after a closing quote up to the next delimiter (as Python's csv
// module reads them). The scan looks at 32 or 64 bytes a step for quotes and
// LFs, and at each of those only, so quoted data costs little more than lines.
template <LineEnd kEnd>
class CsvRecordEnds {
public:
    static constexpr bool kCanSearchBack = false;
    static constexpr std::int64_t kEndSize = kEnd == LineEnd::CrLf ? 2 : 1;

    // `wide`: scan 64 bytes a step (only where CanScanCsvWide()).
    explicit CsvRecordEnds(char delimiter, bool wide = CanScanCsvWide()) : delimiter_(delimiter), wide_(wide) {}

    const char* Find(const char* from, const char* to, std::int64_t& remaining) {
        if (from == to) return to;
        const char* p = from;
        const char* done = from;  // bytes before it are settled (the second of two quotes)
        if (quoteLast_) {
            quoteLast_ = false;
            if (*p == '"') {
                done = p + 1;  // two quotes: still inside
            } else {
                quoted_ = false;  // the quote closed the field
                fieldStart_ = false;
            }
        }
        const char* found = to;
#if defined(PARTWRIGHT_CSV_WIDE)
        if (wide_) {
            p = FindWide(p, from, to, done, remaining, found);
            if (found != to) return Settle(found);
        }
#endif
#if defined(__SSE2__)
        const __m128i quote = simd::Splat('"');
        const __m128i lf = simd::Splat('\n');
        for (; to - p >= 32; p += 32) {
            const std::uint32_t quotes = simd::Mask32(p, quote);
            const std::uint32_t lfs = simd::Mask32(p, lf);
            if (p >= done) {
                switch (Block(p, from, quotes, lfs, remaining, found)) {
                case Fast::Found: return Settle(found);
                case Fast::Done: continue;
                case Fast::Exact: break;
                }
            }
            std::uint32_t marks = quotes | lfs;
            while (marks != 0) {
                const char* at = p + std::countr_zero(marks);
                marks &= marks - 1;
                if (at >= done && Visit(at, from, to, done, remaining)) return Settle(at);
            }
        }
#endif
        for (; p != to; ++p) {
            if ((*p == '"' || *p == '\n') && p >= done && Visit(p, from, to, done, remaining)) return Settle(p);
        }
        if (!quoted_) fieldStart_ = StartsField(to, from);
        last_ = to[-1];
        return found;
    }

    [[nodiscard]] const char* FindLast(const char*, const char*, const char*) const { return nullptr; }

    [[nodiscard]] bool Quoted() const { return quoted_ && !quoteLast_; }
    void EndedBetweenChunks() {
        last_ = '\n';
        fieldStart_ = true;
        ++lines_;
        recordLine_ = lines_ + 1;
    }
    void Reset() { *this = CsvRecordEnds(delimiter_, wide_); }

    // The line, from 1, on which the record being scanned began.
    [[nodiscard]] std::int64_t recordLine() const { return recordLine_; }
    // The LFs scanned, quoted or not.
    [[nodiscard]] std::int64_t lines() const { return lines_; }

private:
#if defined(PARTWRIGHT_CSV_WIDE)
    // The 64-byte steps of Find from `p` (record_ends_wide.cpp): returns
    // where they stopped, fewer than 64 bytes before `to`, or sets `found`.
    PARTWRIGHT_CSV_WIDE_TARGET const char* FindWide(const char* p, const char* from, const char* to, const char*& done,
                                                    std::int64_t& remaining, const char*& found);
#endif
#if defined(__SSE2__)
    enum class Fast { Done, Found, Exact };

    // Each bit the parity of the bits up to it: set inside a quoted stretch.
    static std::uint32_t PrefixXor(std::uint32_t x) {
        x ^= x << 1;
        x ^= x << 2;
        x ^= x << 4;
        x ^= x << 8;
        x ^= x << 16;
        return x;
    }

    // The 32 bytes at `p` at once, every quote taken to open or close a
    // quoted stretch: so it is where each quote that opens one begins a
    // field (or follows the quote that closes one: a doubled quote), which
    // is checked. Exact when a quote does not, or when one that closes is
    // the last byte: the bytes are then gone over one mark at a time.
    Fast Block(const char* p, const char* from, std::uint32_t quotes, std::uint32_t lfs, std::int64_t& remaining,
               const char*& found) {
        const std::uint32_t inside = PrefixXor(quotes) ^ (quoted_ ? ~0u : 0u);
        const std::uint32_t closing = quotes & ~inside;
        if ((closing >> 31) != 0) return Fast::Exact;
        std::uint32_t ends = lfs & ~inside;
        if (kEnd == LineEnd::CrLf && ends != 0) {
            const bool crBefore = Before(p, from) == '\r';
            ends &= (simd::Mask32(p, simd::Splat('\r')) << 1) | (crBefore ? 1u : 0u);
        }
        const std::uint32_t opening = quotes & inside;
        if (opening != 0) {
            const std::uint32_t starts = (simd::Mask32(p, simd::Splat(delimiter_)) << 1) | (ends << 1) |
                                         (StartsField(p, from) ? 1u : 0u);
            if ((opening & ~starts & ~(closing << 1)) != 0) return Fast::Exact;
        }
        std::uint32_t counted = ends;
        if (kEnd == LineEnd::CrLf && p == from) counted &= ~1u;  // its CR lay in an earlier range
        const int count = simd::CountBits(counted);
        if (count >= remaining) {
            for (std::int64_t skip = remaining - 1; skip > 0; --skip) counted &= counted - 1;
            const int bit = std::countr_zero(counted);
            lines_ += simd::CountBits(lfs & ((2u << bit) - 1u));
            recordLine_ = lines_ + 1;
            remaining = 0;
            quoted_ = false;
            found = p + bit;
            return Fast::Found;
        }
        remaining -= count;
        if (ends != 0) {
            const int last = 31 - std::countl_zero(ends);
            recordLine_ = lines_ + simd::CountBits(lfs & ((2u << last) - 1u)) + 1;
        }
        lines_ += simd::CountBits(lfs);
        quoted_ = (inside >> 31) != 0;
        return Fast::Done;
    }
#endif

    // The byte before `at`, which may be the last of an earlier range.
    [[nodiscard]] char Before(const char* at, const char* from) const { return at > from ? at[-1] : last_; }

    [[nodiscard]] bool StartsField(const char* at, const char* from) const {
        if (at == from) return fieldStart_;
        const char before = at[-1];
        if (before == delimiter_) return true;
        if (before != '\n') return false;
        return kEnd == LineEnd::Lf || Before(at - 1, from) == '\r';
    }

    // A quote or an LF at `at`; true when it ends the `remaining`-th record.
    bool Visit(const char* at, const char* from, const char* to, const char*& done, std::int64_t& remaining) {
        if (*at == '\n') {
            ++lines_;
            if (quoted_) return false;
            if (kEnd == LineEnd::CrLf && Before(at, from) != '\r') return false;
            recordLine_ = lines_ + 1;
            // A CR LF whose CR lay in an earlier range is not one of this range's.
            if (kEnd == LineEnd::CrLf && at == from) return false;
            return --remaining == 0;
        }
        if (!quoted_) {
            quoted_ = StartsField(at, from);
            return false;
        }
        if (at + 1 == to) {
            quoteLast_ = true;
        } else if (at[1] == '"') {
            done = at + 2;
        } else {
            quoted_ = false;
        }
        return false;
    }

    // The record end whose LF is at `lf`: the scan stops after it.
    const char* Settle(const char* lf) {
        last_ = '\n';
        fieldStart_ = true;
        return lf - (kEndSize - 1);
    }

    char delimiter_;
    bool wide_;
    bool quoted_ = false;     // inside a quoted field
    bool quoteLast_ = false;  // ... and the last byte scanned was a quote that may close it
    bool fieldStart_ = true;  // the next byte begins a field
    char last_ = '\n';        // the last byte scanned
    std::int64_t lines_ = 0;
    std::int64_t recordLine_ = 1;
};

// CsvRecordEnds one byte at a time, for the few bytes of a header.
class CsvByteState {
public:
    explicit CsvByteState(char delimiter) : delimiter_(delimiter) {}

    // Whether `byte` is the LF of a line end outside quoted fields (a lone
    // LF, with `lf`; else the LF of a CR LF).
    bool Step(char byte, bool lf) {
        if (quoted_) {
            const bool closes = quoteLast_ && byte != '"';
            quoteLast_ = !quoteLast_ && byte == '"';
            if (!closes) {
                last_ = byte;
                return false;
            }
            quoted_ = false;
            fieldStart_ = false;
        }
        bool ended = false;
        if (byte == '"') {
            quoted_ = fieldStart_;
            fieldStart_ = false;
        } else if (byte == delimiter_) {
            fieldStart_ = true;
        } else {
            ended = byte == '\n' && (lf || last_ == '\r');
            fieldStart_ = ended;
        }
        last_ = byte;
        return ended;
    }

private:
    char delimiter_;
    bool quoted_ = false;
    bool quoteLast_ = false;
    bool fieldStart_ = true;
    char last_ = '\n';
};

// The line on which a record that a quote left open began, once a block
// text's own bytes are all scanned.
template <LineEnd kEnd>
std::optional<std::int64_t> UnclosedLine(const LineEnds<kEnd>&) {
    return std::nullopt;
}
template <LineEnd kEnd>
std::optional<std::int64_t> UnclosedLine(const CsvRecordEnds<kEnd>& ends) {
    if (!ends.Quoted()) return std::nullopt;
    return ends.recordLine();
}

}  // namespace partwright
