// What it costs to put one short piece (13 bytes) into a folder under its own
// name, on one and on two threads, three ways:
//  - PieceWriter: the program's own writer (an unnamed file, filled, then linked under its name);
//  - Unnamed:     the same four system calls bare: open(O_TMPFILE), write, linkat, close;
//  - Named:       what GNU split does: open(O_CREAT | O_TRUNC), write, close, where the name
//                 shows an empty or half-written file until the write is done.
// The pieces go to a fresh folder on /dev/shm (tmpfs, as bench/compare.sh
// uses), one per run, removed after it. Unnamed against Named is the kernel's
// price of a name that never shows part of a piece; PieceWriter against
// Unnamed is the program's own work per piece.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "engine/files/file_identity.h"
#include "engine/write/piece_writer.h"

namespace partwright {
namespace {

constexpr std::string_view kPiece = "line 000001\r\n";

std::filesystem::path FreshFolder() {
    static int runs = 0;
    const std::filesystem::path base = std::filesystem::exists("/dev/shm") ? std::filesystem::path("/dev/shm")
                                                                           : std::filesystem::temp_directory_path();
    std::filesystem::path made = base / ("partwright-publish-bench-" + std::to_string(::getpid()) + "-" +
                                         std::to_string(runs++));
    std::filesystem::create_directory(made);
    return made;
}

// The folder of the current run: made before its threads start, removed after they end.
std::filesystem::path folder;

void MakeFolder(const benchmark::State&) { folder = FreshFolder(); }

void RemoveFolder(const benchmark::State&) {
    std::error_code error;
    std::filesystem::remove_all(folder, error);
}

std::string NameOf(const benchmark::State& state, std::int64_t piece) {
    char name[64];
    std::snprintf(name, sizeof name, "piece-%d-%06lld.txt", state.thread_index(), static_cast<long long>(piece));
    return name;
}

void PieceWriterPublishes(benchmark::State& state) {
    PieceWriter writer;
    const FileIdentitySet sources;
    Failure failure;
    std::int64_t piece = 0;
    for (auto _ : state) {
        if (!writer.Open(folder / NameOf(state, piece++), sources, failure) || !writer.Append(kPiece, failure) ||
            !writer.Commit(failure)) {
            state.SkipWithError(failure.reason.c_str());
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
}

// Publishes a piece a turn by `publish(folder descriptor, name)` with the bare calls; `calls` names them for a failure.
template <class Publish>
void PublishByCalls(benchmark::State& state, const char* calls, Publish publish) {
    const int dir = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    std::int64_t piece = 0;
    for (auto _ : state) {
        if (!publish(dir, NameOf(state, piece++).c_str())) {
            state.SkipWithError((std::string(calls) + " failed").c_str());
            break;
        }
    }
    ::close(dir);
    state.SetItemsProcessed(state.iterations());
}

bool WrittenInto(int fd) { return ::write(fd, kPiece.data(), kPiece.size()) == static_cast<ssize_t>(kPiece.size()); }

void UnnamedFileLinked(benchmark::State& state) {
    PublishByCalls(state, "open(O_TMPFILE), write, linkat or close", [](int dir, const char* name) {
        const int fd = ::openat(dir, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (fd < 0) return false;
        const bool done = WrittenInto(fd) && ::linkat(fd, "", dir, name, AT_EMPTY_PATH) == 0;
        return ::close(fd) == 0 && done;
    });
}

void NamedFileFilled(benchmark::State& state) {
    PublishByCalls(state, "open, write or close", [](int dir, const char* name) {
        const int fd = ::openat(dir, name, O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC, 0666);
        if (fd < 0) return false;
        const bool done = WrittenInto(fd);
        return ::close(fd) == 0 && done;
    });
}

// 60000 pieces a run, as in case 2s of bench/compare.sh, on one thread or
// shared by two; timed by the wall clock.
constexpr std::int64_t kPieces = 60000;
#define PARTWRIGHT_PUBLISH_BENCH(function)                                                                          \
    BENCHMARK(function)->Setup(MakeFolder)->Teardown(RemoveFolder)->Iterations(kPieces)->Threads(1)->UseRealTime(); \
    BENCHMARK(function)->Setup(MakeFolder)->Teardown(RemoveFolder)->Iterations(kPieces / 2)->Threads(2)->UseRealTime()
PARTWRIGHT_PUBLISH_BENCH(PieceWriterPublishes);
PARTWRIGHT_PUBLISH_BENCH(UnnamedFileLinked);
PARTWRIGHT_PUBLISH_BENCH(NamedFileFilled);

}  // namespace
}  // namespace partwright
