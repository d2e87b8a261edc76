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

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "engine/byte_coding.h"
#include "engine/file_identity.h"
#include "engine/piece_writer.h"

namespace partwright {
namespace {

constexpr std::string_view kPiece = "line 000001\r\n";

std::filesystem::path FreshFolder() {
    static std::atomic<int> runs{0};
    const std::filesystem::path base = std::filesystem::exists("/dev/shm") ? std::filesystem::path("/dev/shm")
                                                                           : std::filesystem::temp_directory_path();
    std::filesystem::path folder = base / ("partwright-publish-bench-" + std::to_string(::getpid()) + "-" +
                                           std::to_string(runs++));
    std::filesystem::create_directory(folder);
    return folder;
}

// The folder of the current run, made by thread 0 before the timed loop
// (which starts on all threads together) and removed by it after.
std::filesystem::path folder;

void Prepare(const benchmark::State& state) {
    if (state.thread_index() == 0) folder = FreshFolder();
}

void Finish(benchmark::State& state) {
    state.SetItemsProcessed(state.iterations());
    if (state.thread_index() != 0) return;
    std::error_code error;
    std::filesystem::remove_all(folder, error);
}

std::string NameOf(const benchmark::State& state, std::int64_t piece) {
    char name[64];
    std::snprintf(name, sizeof name, "piece-%d-%06lld.txt", state.thread_index(), static_cast<long long>(piece));
    return name;
}

void PieceWriterPublishes(benchmark::State& state) {
    Prepare(state);
    PieceWriter writer;
    const FileIdentitySet sources;
    const ByteUtf8Forms forms = VerbatimForms();
    Failure failure;
    std::int64_t piece = 0;
    for (auto _ : state) {
        if (!writer.Open(folder / NameOf(state, piece++), sources, failure) || !writer.Append(kPiece, forms, failure) ||
            !writer.Commit(failure)) {
            state.SkipWithError(failure.reason.c_str());
            break;
        }
    }
    Finish(state);
}

void UnnamedFileLinked(benchmark::State& state) {
    Prepare(state);
    const int dir = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    std::int64_t piece = 0;
    for (auto _ : state) {
        const int fd = ::openat(dir, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        const bool done = fd >= 0 && ::write(fd, kPiece.data(), kPiece.size()) == static_cast<ssize_t>(kPiece.size()) &&
                          ::linkat(fd, "", dir, NameOf(state, piece++).c_str(), AT_EMPTY_PATH) == 0;
        if (fd >= 0) ::close(fd);
        if (!done) {
            state.SkipWithError("open(O_TMPFILE), write or linkat failed");
            break;
        }
    }
    ::close(dir);
    Finish(state);
}

void NamedFileFilled(benchmark::State& state) {
    Prepare(state);
    const int dir = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    std::int64_t piece = 0;
    for (auto _ : state) {
        const int fd = ::openat(dir, NameOf(state, piece++).c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC, 0666);
        const bool done = fd >= 0 && ::write(fd, kPiece.data(), kPiece.size()) == static_cast<ssize_t>(kPiece.size());
        if (fd >= 0) ::close(fd);
        if (!done) {
            state.SkipWithError("open or write failed");
            break;
        }
    }
    ::close(dir);
    Finish(state);
}

// 60000 pieces a run, as in case 2s of bench/compare.sh, on one thread or
// shared by two; timed by the wall clock.
constexpr std::int64_t kPieces = 60000;
#define PARTWRIGHT_PUBLISH_BENCH(function)                               \
    BENCHMARK(function)->Iterations(kPieces)->Threads(1)->UseRealTime(); \
    BENCHMARK(function)->Iterations(kPieces / 2)->Threads(2)->UseRealTime()
PARTWRIGHT_PUBLISH_BENCH(PieceWriterPublishes);
PARTWRIGHT_PUBLISH_BENCH(UnnamedFileLinked);
PARTWRIGHT_PUBLISH_BENCH(NamedFileFilled);

}  // namespace
}  // namespace partwright
