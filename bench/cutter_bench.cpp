// Throughput of the piece cutter alone (no reading, no writing), over a few
// MB of CR LF text fed in the chunk size a streamed source uses.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "engine/cutter.h"

namespace partwright {
namespace {

constexpr std::size_t kChunkUnits = 1 << 17;  // 256 KiB of UTF-16, as the reader streams

// About 4 MiB of UTF-16: lines of 20 to 99 characters, ending in CR LF, with
// an occasional blank line so the blank-line cut has work too.
const Text& SampleText() {
    static const Text text = [] {
        Text result;
        std::uint32_t state = 12345;
        int line = 0;
        while (result.size() < (std::size_t{2} << 20)) {
            state = state * 1664525u + 1013904223u;
            const std::size_t length = 20 + (state >> 8) % 80;
            for (std::size_t i = 0; i < length; ++i) result.push_back(static_cast<char16_t>(u'a' + (i + line) % 26));
            result += u"\r\n";
            if (++line % 17 == 0) result += u"\r\n";
        }
        return result;
    }();
    return text;
}

// Counts what it is handed, so the work cannot be optimised away.
class CountingSink final : public PieceSink {
public:
    bool BeginPiece() override {
        ++pieces;
        return true;
    }
    void AppendToPiece(TextView units) override { this->units += units.size(); }
    void EndPiece(bool) override {}
    std::uint64_t pieces = 0;
    std::uint64_t units = 0;
};

void Cut(benchmark::State& state, PieceCutter& cutter) {
    const TextView text = SampleText();
    CountingSink sink;
    for (auto _ : state) {
        for (std::size_t at = 0; at < text.size(); at += kChunkUnits) {
            if (!cutter.Feed(text.substr(at, kChunkUnits), sink)) state.SkipWithError("stopped");
        }
        if (!cutter.Feed(u"\r\n", sink) || !cutter.Finish(sink)) state.SkipWithError("stopped");
        benchmark::DoNotOptimize(sink.units);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size() * sizeof(char16_t)));
    state.counters["pieces"] = benchmark::Counter(static_cast<double>(sink.pieces) / static_cast<double>(state.iterations()));
}

void LinesMode(benchmark::State& state) {
    auto cutter = PieceCutter::Lines(state.range(0));
    Cut(state, *cutter);
}
BENCHMARK(LinesMode)->Arg(1)->Arg(100)->Arg(10000);

void SeparatorMode(benchmark::State& state) {
    auto cutter = PieceCutter::Separator(u"klmnop\r\n");
    Cut(state, *cutter);
}
BENCHMARK(SeparatorMode);

void SeparatorModeRareFirstUnit(benchmark::State& state) {
    auto cutter = PieceCutter::Separator(u"#end#");
    Cut(state, *cutter);
}
BENCHMARK(SeparatorModeRareFirstUnit);

void BlankLineMode(benchmark::State& state) {
    auto cutter = PieceCutter::BlankLines();
    Cut(state, *cutter);
}
BENCHMARK(BlankLineMode);

}  // namespace
}  // namespace partwright
