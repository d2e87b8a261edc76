// How fast 64 KiB copies run by where their buffer lies in a page: a read
// from the page cache (a temporary file) and a memcpy between two buffers,
// at offsets 0 and 16 past a page boundary, as malloc's large blocks lie.
// On AMD's Zen (rep movsb, which glibc and the kernel use for such copies)
// the destination a few bytes past the source modulo a page is several times
// slower; engine/page_buffer.h keeps the reader's buffers out of that case.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "engine/files/native_file.h"
#include "engine/files/page_buffer.h"

namespace partwright {
namespace {

constexpr std::size_t kCopyBytes = std::size_t{1} << 16;

// A 64 MiB file in the temporary folder, made on first use and removed at exit.
class SampleFile {
public:
    SampleFile() : path_(std::filesystem::temp_directory_path() / "partwright-page-offset-bench.txt") {
        std::FILE* out = std::fopen(path_.string().c_str(), "wb");
        const std::string block(kCopyBytes, 'x');
        for (int i = 0; i < 1024 && out; ++i) std::fwrite(block.data(), 1, block.size(), out);
        if (out) std::fclose(out);
    }
    ~SampleFile() {
        std::error_code error;
        std::filesystem::remove(path_, error);
    }
    SampleFile(const SampleFile&) = delete;
    SampleFile& operator=(const SampleFile&) = delete;

    static const std::filesystem::path& Path() {
        static const SampleFile file;
        return file.path_;
    }

private:
    std::filesystem::path path_;
};

// Reads the file in 64 KiB steps into a buffer `range(0)` bytes past a page boundary.
void ReadIntoBufferAtOffset(benchmark::State& state) {
    const auto offset = static_cast<std::size_t>(state.range(0));
    PageBuffer<char> buffer(kCopyBytes + kPageBytes);
    NativeFile file;
    std::string reason;
    if (!file.OpenForReading(SampleFile::Path(), reason)) {
        state.SkipWithError(reason.c_str());
        return;
    }
    for (auto _ : state) {
        std::size_t got = 0;
        if (!file.Read(buffer.data() + offset, kCopyBytes, got, reason) || got < kCopyBytes) {
            if (!file.Seek(0, reason)) state.SkipWithError(reason.c_str());
            continue;
        }
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kCopyBytes));
}
BENCHMARK(ReadIntoBufferAtOffset)->Arg(0)->Arg(16)->Arg(64);

// Copies 64 KiB from a buffer on a page boundary to one `range(0)` bytes past one.
void MemcpyToBufferAtOffset(benchmark::State& state) {
    const auto offset = static_cast<std::size_t>(state.range(0));
    PageBuffer<char> from(kCopyBytes);
    PageBuffer<char> to(kCopyBytes + kPageBytes);
    std::memset(from.data(), 'x', kCopyBytes);
    for (auto _ : state) {
        std::memcpy(to.data() + offset, from.data(), kCopyBytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kCopyBytes));
}
BENCHMARK(MemcpyToBufferAtOffset)->Arg(0)->Arg(16)->Arg(64);

}  // namespace
}  // namespace partwright
