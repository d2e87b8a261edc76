#include "engine/files/tracked_temporaries.h"

#include <atomic>
#include <cstring>

#include "partwright/pieces_in_progress.h"

#ifndef _WIN32
#include <ctime>
#include <unistd.h>
#endif

namespace partwright {

#ifndef _WIN32

namespace {

// A handler may neither lock nor allocate: fixed slots of atomics and bytes.
enum State : int {
    kFree = 0,
    kFilling = 1,   // the name is being copied in; not created yet
    kCreating = 2,  // the file may be being created right now
    kHeld = 3,      // the file exists under the name
};

struct TrackedName {
    std::atomic<int> state{kFree};
    std::atomic<long> owner{0};  // the thread that creates it, where the system says
    char path[4096] = {};
};
constexpr int kTrackedSlots = 16;  // more than the writers of a run, and the run's own thread
// Zeroed before the program starts, with no code run for it at start.
constinit TrackedName tracked[kTrackedSlots];
constinit std::atomic<bool> ending{false};

struct TrackedFolder {
    std::atomic<int> state{kFree};
    std::atomic<std::uint64_t> count{0};
    char path[4000] = {};
};
constexpr int kTrackedFolders = 4;  // one a run that cuts by column; a few runs at once in tests
constinit TrackedFolder trackedFolders[kTrackedFolders];

// Appends the decimal of `number` to `text` at `at`, with its terminating zero.
void PutNumber(char* text, std::size_t at, std::uint64_t number) {
    char digits[24];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + number % 10);
        number /= 10;
    } while (number > 0);
    while (count > 0) text[at++] = digits[--count];
    text[at] = '\0';
}

// Removes the folder's files and the folder, with no allocation (from a handler).
void RemoveTrackedFolder(TrackedFolder& folder) {
    char file[sizeof folder.path + 32];
    const std::size_t length = std::strlen(folder.path);
    std::memcpy(file, folder.path, length);
    file[length] = '/';
    const std::uint64_t count = folder.count.load();
    for (std::uint64_t number = 1; number <= count; ++number) {
        PutNumber(file, length + 1, number);
        (void)::unlink(file);
    }
    (void)::rmdir(folder.path);
}

long ThisThread() {
#ifdef __linux__
    return static_cast<long>(::gettid());
#else
    return 0;
#endif
}

}  // namespace

int TrackTemporary(const std::filesystem::path& name) {
    const std::string& bytes = name.native();
    if (bytes.size() >= sizeof tracked[0].path) return ending.load() ? kProgramEnding : kNotTracked;
    for (int slot = 0; slot < kTrackedSlots; ++slot) {
        int expected = kFree;
        if (!tracked[slot].state.compare_exchange_strong(expected, kFilling)) continue;
        std::memcpy(tracked[slot].path, bytes.c_str(), bytes.size() + 1);
        tracked[slot].owner.store(ThisThread());
        tracked[slot].state.store(kCreating);
        // After the slot shows the name (all sequentially consistent): either
        // the handler sees the name, or this thread sees that it has run.
        if (ending.load()) {
            tracked[slot].state.store(kFree);
            return kProgramEnding;
        }
        return slot;
    }
    return ending.load() ? kProgramEnding : kNotTracked;
}

void TemporaryCreated(int slot, bool created) {
    if (slot >= 0) tracked[slot].state.store(created ? kHeld : kFree);
}

void UntrackTemporary(int slot) {
    if (slot >= 0) tracked[slot].state.store(kFree);
}

int TrackedSlotOf(const std::filesystem::path& name) {
    // Only a slot this thread filled: another thread may free and fill its own
    // slots meanwhile, but none of this thread's (owner is stored before the
    // state shows the name).
    const long me = ThisThread();
    for (int slot = 0; slot < kTrackedSlots; ++slot) {
        const int state = tracked[slot].state.load();
        if (state != kCreating && state != kHeld) continue;
        if (tracked[slot].owner.load() != me) continue;
        if (name.native() == tracked[slot].path) return slot;
    }
    return kNotTracked;
}

void RemovePiecesInProgress() noexcept {
    ending.store(true);
    const long me = ThisThread();
    for (TrackedName& name : tracked) {
        // Another thread in the middle of creating the file: let it finish, so
        // that the file is there to be removed (for a second at most).
        for (int wait = 0; wait < 1000 && name.state.load() == kCreating && name.owner.load() != me; ++wait) {
            const timespec millisecond{0, 1000000};
            (void)::nanosleep(&millisecond, nullptr);
        }
        const int state = name.state.load();
        if (state == kCreating || state == kHeld) (void)::unlink(name.path);
    }
    for (TrackedFolder& folder : trackedFolders) {
        if (folder.state.load() == kHeld) RemoveTrackedFolder(folder);
    }
}

int TrackTemporaryFolder(const std::filesystem::path& folder) {
    const std::string& bytes = folder.native();
    if (bytes.size() >= sizeof trackedFolders[0].path) return ending.load() ? kProgramEnding : kNotTracked;
    for (int slot = 0; slot < kTrackedFolders; ++slot) {
        int expected = kFree;
        if (!trackedFolders[slot].state.compare_exchange_strong(expected, kFilling)) continue;
        std::memcpy(trackedFolders[slot].path, bytes.c_str(), bytes.size() + 1);
        trackedFolders[slot].count.store(0);
        trackedFolders[slot].state.store(kHeld);
        if (ending.load()) {
            trackedFolders[slot].state.store(kFree);
            return kProgramEnding;
        }
        return slot;
    }
    return ending.load() ? kProgramEnding : kNotTracked;
}

void TemporaryFolderHolds(int slot, std::uint64_t count) {
    if (slot >= 0) trackedFolders[slot].count.store(count);
}

void UntrackTemporaryFolder(int slot) {
    if (slot >= 0) trackedFolders[slot].state.store(kFree);
}

void AllowTemporariesAgain() { ending.store(false); }

#else

// Windows ends a program by a signal with no handler of ours in between: nothing to track.
int TrackTemporary(const std::filesystem::path&) { return kNotTracked; }
void TemporaryCreated(int, bool) {}
void UntrackTemporary(int) {}
int TrackedSlotOf(const std::filesystem::path&) { return kNotTracked; }
void RemovePiecesInProgress() noexcept {}
int TrackTemporaryFolder(const std::filesystem::path&) { return kNotTracked; }
void TemporaryFolderHolds(int, std::uint64_t) {}
void UntrackTemporaryFolder(int) {}
void AllowTemporariesAgain() {}

#endif

}  // namespace partwright
