#include "engine/read/rest_check.h"

#include <atomic>
#include <string_view>
#include <thread>

#include "engine/files/native_file.h"
#include "engine/read/utf8_source.h"

namespace partwright {

namespace {

// A check of the whole source this long or longer goes on two threads.
constexpr std::uint64_t kTwoThreadCheckBytes = std::uint64_t{16} << 20;

// Checks the bytes [from, to) of the source by reads at their offsets,
// through `check`, which must be at a character's start at `to`.
// `abandon`: another thread found the source is not UTF-8.
bool CheckRange(const NativeFile& file, std::uint64_t from, std::uint64_t to, std::uint64_t size, Utf8Validator& check,
                bool& valid, std::atomic<bool>& abandon, std::string& reason) {
    PageBuffer<char> scratch(kScratchBytes);
    valid = check.valid();
    while (valid && from < to && !abandon.load(std::memory_order_relaxed)) {
        const ScratchStep place = ScratchStepAt(from, to);
        std::size_t got = 0;
        if (!file.ReadAt(from, scratch.data() + place.lead, place.count, got, reason)) return false;
        if (got < place.count) {
            reason = ShortfallReason(from + got, size);
            return false;
        }
        from += got;
        std::string_view step(scratch.data() + place.lead, got);
        if (check.atBoundary()) step.remove_prefix(PlainUtf8Prefix(step));
        if (!step.empty()) check.Feed(step);
        valid = check.valid();
    }
    valid = valid && check.ValidAtEnd();
    if (!valid) abandon.store(true, std::memory_order_relaxed);
    return true;
}

// As CheckRestIsUtf8, the two halves side by side: the second begins at
// the first character that starts at or after the middle, so that in
// valid UTF-8 no character crosses from one half to the other.
bool CheckRestOnTwoThreads(const NativeFile& file, std::uint64_t from, std::uint64_t size, Utf8Validator& check,
                           bool& valid, std::string& reason) {
    std::uint64_t middle = from + (size - from) / 2;
    char probe[4] = {};
    std::size_t got = 0;
    if (!file.ReadAt(middle, probe, sizeof probe, got, reason)) return false;
    std::size_t skip = 0;
    while (skip < got && (static_cast<unsigned char>(probe[skip]) & 0xC0) == 0x80) ++skip;
    if (skip == sizeof probe) {
        valid = false;  // four continuation bytes in a row
        return true;
    }
    middle += skip;
    std::atomic<bool> abandon{false};
    Utf8Validator second;
    bool secondValid = false;
    bool secondRead = false;
    std::string secondReason;
    std::thread other(
        [&] { secondRead = CheckRange(file, middle, size, size, second, secondValid, abandon, secondReason); });
    const bool firstRead = CheckRange(file, from, middle, size, check, valid, abandon, reason);
    other.join();
    if (!firstRead) return false;
    if (valid && !secondRead) {
        reason = secondReason;
        return false;
    }
    valid = valid && secondValid;
    return true;
}

}  // namespace

std::string ShortfallReason(std::uint64_t got, std::uint64_t measured) {
    return "it ended after " + std::to_string(got) + " of the " + std::to_string(measured) +
           " bytes it had when opened";
}

bool CheckRestIsUtf8(NativeFile& file, std::uint64_t from, std::uint64_t size, Utf8Validator& check, bool& valid,
                     std::string& reason) {
    if (kCanReadAtOffsets && size - from >= kTwoThreadCheckBytes)
        return CheckRestOnTwoThreads(file, from, size, check, valid, reason);
    PageBuffer<char> scratch(kScratchBytes);
    std::uint64_t at = from;
    valid = check.valid();
    while (valid && at < size) {
        const ScratchStep place = ScratchStepAt(at, size);
        std::size_t got = 0;
        if (!file.Read(scratch.data() + place.lead, place.count, got, reason)) return false;
        if (got == 0) {
            reason = ShortfallReason(at, size);
            return false;
        }
        at += got;
        std::string_view step(scratch.data() + place.lead, got);
        if (check.atBoundary()) step.remove_prefix(PlainUtf8Prefix(step));
        if (!step.empty()) check.Feed(step);
        valid = at < size ? check.valid() : check.ValidAtEnd();
    }
    return file.Seek(from, reason);
}

}  // namespace partwright
