// Throughput of the piece cutter alone (no reading, no writing), over a few
// MB of CR LF text fed in the chunk size a streamed source uses, as the
// UTF-8 bytes the reader hands on.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "engine/cut/cutter.h"

namespace partwright {
namespace {

constexpr std::size_t kChunkBytes = 1 << 18;  // as the reader streams

// About 2 MB: lines of 20 to 99 characters, ending in CR LF, with an
// occasional blank line so the blank-line cut has work too.
const std::string& SampleText() {
    static const std::string text = [] {
        std::string result;
        std::uint32_t state = 12345;
        int line = 0;
        while (result.size() < (std::size_t{2} << 20)) {
            state = state * 1664525u + 1013904223u;
            const std::size_t length = 20 + (state >> 8) % 80;
            for (std::size_t i = 0; i < length; ++i) result.push_back(static_cast<char>('a' + (i + line) % 26));
            result += {char('\r'), char('\n')};
            if (++line % 17 == 0) result += {char('\r'), char('\n')};
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
    void AppendToPiece(std::string_view units) override { this->units += units.size(); }
    void EndPiece(bool) override {}
    std::uint64_t pieces = 0;
    std::uint64_t units = 0;
};

void Cut(benchmark::State& state, PieceCutter& cutter, std::string_view text) {
    constexpr std::size_t chunk = kChunkBytes;
    constexpr char lineEnd[] = {char('\r'), char('\n')};
    CountingSink sink;
    for (auto _ : state) {
        for (std::size_t at = 0; at < text.size(); at += chunk) {
            if (!cutter.Feed(text.substr(at, chunk), sink)) state.SkipWithError("stopped");
        }
        if (!cutter.Feed({lineEnd, 2}, sink) || !cutter.Finish(sink)) state.SkipWithError("stopped");
        benchmark::DoNotOptimize(sink.units);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    state.counters["pieces"] = benchmark::Counter(static_cast<double>(sink.pieces) /
                                                  static_cast<double>(state.iterations()));
}

void Cut(benchmark::State& state, PieceCutter& cutter) { Cut(state, cutter, SampleText()); }

std::string Units(const char* ascii) {
    const std::string text(ascii);
    return std::string(text.begin(), text.end());
}

void LinesMode(benchmark::State& state) {
    auto cutter = PieceCutter::Lines(state.range(0));
    Cut(state, *cutter);
}
BENCHMARK(LinesMode)->Arg(1)->Arg(100)->Arg(10000);

void SeparatorMode(benchmark::State& state) {
    auto cutter = PieceCutter::Separator(Units("klmnop\r\n"));
    Cut(state, *cutter);
}
BENCHMARK(SeparatorMode);

void SeparatorModeRareFirstUnit(benchmark::State& state) {
    auto cutter = PieceCutter::Separator(Units("#end#"));
    Cut(state, *cutter);
}
BENCHMARK(SeparatorModeRareFirstUnit);

// 1000 "a" and a "b" over a text of "a"s: every position starts a long near-miss.
void SeparatorModePathological(benchmark::State& state) {
    auto cutter = PieceCutter::Separator(std::string(1000, char('a')) + char('b'));
    static const std::string text(std::size_t{1} << 20, char('a'));
    Cut(state, *cutter, text);
}
BENCHMARK(SeparatorModePathological);

// A separator longer than a chunk, over "a"s: a start of it is held across
// every chunk end and must be carried on, not tried again border by border.
void SeparatorModeLongerThanAChunk(benchmark::State& state) {
    auto cutter = PieceCutter::Separator(std::string(120000, char('a')) + char('b'));
    static const std::string text(std::size_t{4} << 20, char('a'));
    Cut(state, *cutter, text);
}
BENCHMARK(SeparatorModeLongerThanAChunk);

void BlankLineMode(benchmark::State& state) {
    auto cutter = PieceCutter::BlankLines();
    Cut(state, *cutter);
}
BENCHMARK(BlankLineMode);

}  // namespace
}  // namespace partwright
