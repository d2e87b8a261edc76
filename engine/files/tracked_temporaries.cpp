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
}

void AllowTemporariesAgain() { ending.store(false); }

#else

// Windows ends a program by a signal with no handler of ours in between: nothing to track.
int TrackTemporary(const std::filesystem::path&) { return kNotTracked; }
void TemporaryCreated(int, bool) {}
void UntrackTemporary(int) {}
int TrackedSlotOf(const std::filesystem::path&) { return kNotTracked; }
void RemovePiecesInProgress() noexcept {}
void AllowTemporariesAgain() {}

#endif

}  // namespace partwright
