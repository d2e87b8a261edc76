// The 64-byte steps of the CSV record scan, compiled for AVX2, PCLMUL and
// POPCNT and run only where the processor has them. A step finds the quotes
// and LFs of 64 bytes as two bit masks; a carry-less multiply by all ones
// turns the quote mask into the mask of the bytes inside quoted stretches,
// and a population count gives the records ended in the step.

#include "engine/cut/record_ends.h"

#if defined(PARTWRIGHT_CSV_WIDE)

#include <immintrin.h>

namespace partwright {

namespace {

// Bit i set where the i-th of the 64 bytes `lo` and `hi` equals the needle's.
PARTWRIGHT_CSV_WIDE_TARGET inline std::uint64_t Mask64(__m256i lo, __m256i hi, __m256i needle) {
    const auto low = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(lo, needle)));
    const auto high = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(hi, needle)));
    return low | (std::uint64_t{high} << 32);
}

// Each bit the parity of the bits up to it: set inside a quoted stretch.
PARTWRIGHT_CSV_WIDE_TARGET inline std::uint64_t InsideQuotes(std::uint64_t quotes) {
    const __m128i all = _mm_set1_epi8(-1);
    return static_cast<std::uint64_t>(
        _mm_cvtsi128_si64(_mm_clmulepi64_si128(_mm_cvtsi64_si128(static_cast<long long>(quotes)), all, 0)));
}

PARTWRIGHT_CSV_WIDE_TARGET inline int Count64(std::uint64_t x) { return __builtin_popcountll(x); }

}  // namespace

bool CanScanCsvWide() {
    static const bool can = (__builtin_cpu_init(), __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
                                                       __builtin_cpu_supports("popcnt") &&
                                                       __builtin_cpu_supports("pclmul"));
    return can;
}

// As the 32-byte steps of Find: each quote is first taken to open or close a
// quoted stretch, which holds where each quote that opens one begins a field
// or follows the quote that closes one (a doubled quote, the pair perhaps
// split between two steps). A step where that does not hold, or whose last
// byte is a closing quote with no 64-byte step after it, is gone over one
// mark at a time.
template <LineEnd kEnd>
const char* CsvRecordEnds<kEnd>::FindWide(const char* p, const char* from, const char* to, const char*& done,
                                          std::int64_t& remaining, const char*& found) {
    const __m256i quote = _mm256_set1_epi8('"');
    const __m256i lf = _mm256_set1_epi8('\n');
    const __m256i cr = _mm256_set1_epi8('\r');
    const __m256i delimiter = _mm256_set1_epi8(delimiter_);
    // The state the fast steps change, in registers: the references and the
    // members could alias each other.
    std::int64_t left = remaining;
    std::int64_t lines = lines_;
    std::int64_t recordLine = recordLine_;
    std::uint64_t quoted = quoted_ ? ~std::uint64_t{0} : 0;
    std::uint64_t closedLast = 0;  // 1 when the last step ended with a closing quote
    // The step of the last record end seen, for the line its record began
    // on, worked out only when it is stored: lines before the step, its LFs
    // and its ends; no step yet while endLines is negative.
    std::int64_t endLines = -1;
    std::uint64_t endLfs = 0;
    std::uint64_t endEnds = 0;
    const auto store = [&] {
        if (endLines >= 0) {
            const int last = 63 - std::countl_zero(endEnds);
            recordLine = endLines + Count64(endLfs & ((std::uint64_t{2} << last) - 1)) + 1;
            endLines = -1;
        }
        remaining = left;
        lines_ = lines;
        recordLine_ = recordLine;
        quoted_ = quoted != 0;
    };
    for (; to - p >= 64; p += 64) {
        const __m256i lo = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const __m256i hi = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
        const std::uint64_t quotes = Mask64(lo, hi, quote);
        const std::uint64_t lfs = Mask64(lo, hi, lf);
        if (p >= done) {
            const std::uint64_t inside = InsideQuotes(quotes) ^ quoted;
            const std::uint64_t closing = quotes & ~inside;
            std::uint64_t ends = lfs & ~inside;
            if (kEnd == LineEnd::CrLf && ends != 0) {
                const bool crBefore = Before(p, from) == '\r';
                ends &= (Mask64(lo, hi, cr) << 1) | (crBefore ? 1u : 0u);
            }
            // A quote that closes a stretch as the step's last byte may be the
            // first of two: the next step's first quote is then taken as one
            // that follows it, when that step is a 64-byte one too.
            bool exact = (closing >> 63) != 0 && to - p < 128;
            const std::uint64_t opening = quotes & inside;
            if (!exact && opening != 0) {
                const std::uint64_t starts = (Mask64(lo, hi, delimiter) << 1) | (ends << 1) |
                                             (StartsField(p, from) ? 1u : 0u);
                exact = (opening & ~starts & ~((closing << 1) | closedLast)) != 0;
            }
            if (!exact) {
                std::uint64_t counted = ends;
                if (kEnd == LineEnd::CrLf && p == from) counted &= ~std::uint64_t{1};  // its CR lay in an earlier range
                const int count = Count64(counted);
                if (count >= left) {
                    for (std::int64_t skip = left - 1; skip > 0; --skip) counted &= counted - 1;
                    const int bit = std::countr_zero(counted);
                    lines += Count64(lfs & ((std::uint64_t{2} << bit) - 1));
                    endLines = -1;
                    recordLine = lines + 1;
                    left = 0;
                    quoted = 0;
                    store();
                    found = p + bit;
                    return p;
                }
                left -= count;
                if (ends != 0) {
                    endLines = lines;
                    endLfs = lfs;
                    endEnds = ends;
                }
                lines += Count64(lfs);
                quoted = static_cast<std::uint64_t>(static_cast<std::int64_t>(inside) >> 63);
                closedLast = closing >> 63;
                continue;
            }
        }
        store();
        if (closedLast != 0 && *p == '"') {
            // The second of two quotes, the first the last byte of the step before: still inside.
            quoted_ = true;
            done = p + 1;
        }
        closedLast = 0;
        std::uint64_t marks = quotes | lfs;
        while (marks != 0) {
            const char* at = p + std::countr_zero(marks);
            marks &= marks - 1;
            if (at >= done && Visit(at, from, to, done, remaining)) {
                found = at;
                return p;
            }
        }
        left = remaining;
        lines = lines_;
        recordLine = recordLine_;
        quoted = quoted_ ? ~std::uint64_t{0} : 0;
    }
    store();
    return p;
}

template const char* CsvRecordEnds<LineEnd::Lf>::FindWide(const char*, const char*, const char*, const char*&,
                                                          std::int64_t&, const char*&);
template const char* CsvRecordEnds<LineEnd::CrLf>::FindWide(const char*, const char*, const char*, const char*&,
                                                            std::int64_t&, const char*&);

}  // namespace partwright

#else

namespace partwright {

bool CanScanCsvWide() { return false; }

}  // namespace partwright

#endif
