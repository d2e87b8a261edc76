// Throughput of the piece cutter alone (no reading, no writing), over a few
// MB of CR LF text fed in the chunk size a streamed source uses: as UTF-16
// text, and as the raw bytes of a single-byte code page.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "engine/cut/cutter.h"

namespace partwright {
namespace {

constexpr std::size_t kChunkBytes = 1 << 18;  // as the reader streams

// About 2 M units: lines of 20 to 99 characters, ending in CR LF, with an
// occasional blank line so the blank-line cut has work too.
template <class Unit>
const std::basic_string<Unit>& SampleText() {
    static const std::basic_string<Unit> text = [] {
        std::basic_string<Unit> result;
        std::uint32_t state = 12345;
        int line = 0;
        while (result.size() < (std::size_t{2} << 20)) {
            state = state * 1664525u + 1013904223u;
            const std::size_t length = 20 + (state >> 8) % 80;
            for (std::size_t i = 0; i < length; ++i) result.push_back(static_cast<Unit>('a' + (i + line) % 26));
            result += {Unit('\r'), Unit('\n')};
            if (++line % 17 == 0) result += {Unit('\r'), Unit('\n')};
        }
        return result;
    }();
    return text;
}

// Counts what it is handed, so the work cannot be optimised away.
template <class Unit>
class CountingSink final : public BasicPieceSink<Unit> {
public:
    bool BeginPiece() override {
        ++pieces;
        return true;
    }
    void AppendToPiece(std::basic_string_view<Unit> units) override { this->units += units.size(); }
    void EndPiece(bool) override {}
    std::uint64_t pieces = 0;
    std::uint64_t units = 0;
};

template <class Unit>
void Cut(benchmark::State& state, BasicPieceCutter<Unit>& cutter, std::basic_string_view<Unit> text) {
    constexpr std::size_t chunk = kChunkBytes / sizeof(Unit);
    constexpr Unit lineEnd[] = {Unit('\r'), Unit('\n')};
    CountingSink<Unit> sink;
    for (auto _ : state) {
        for (std::size_t at = 0; at < text.size(); at += chunk) {
            if (!cutter.Feed(text.substr(at, chunk), sink)) state.SkipWithError("stopped");
        }
        if (!cutter.Feed({lineEnd, 2}, sink) || !cutter.Finish(sink)) state.SkipWithError("stopped");
        benchmark::DoNotOptimize(sink.units);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size() * sizeof(Unit)));
    state.counters["pieces"] = benchmark::Counter(static_cast<double>(sink.pieces) /
                                                  static_cast<double>(state.iterations()));
}

template <class Unit>
void Cut(benchmark::State& state, BasicPieceCutter<Unit>& cutter) {
    Cut<Unit>(state, cutter, SampleText<Unit>());
}

template <class Unit>
std::basic_string<Unit> Units(const char* ascii) {
    const std::string text(ascii);
    return std::basic_string<Unit>(text.begin(), text.end());
}

template <class Unit>
void LinesMode(benchmark::State& state) {
    auto cutter = BasicPieceCutter<Unit>::Lines(state.range(0));
    Cut(state, *cutter);
}
BENCHMARK(LinesMode<char16_t>)->Arg(1)->Arg(100)->Arg(10000);
BENCHMARK(LinesMode<char>)->Arg(1)->Arg(100)->Arg(10000);

template <class Unit>
void SeparatorMode(benchmark::State& state) {
    auto cutter = BasicPieceCutter<Unit>::Separator(Units<Unit>("klmnop\r\n"));
    Cut(state, *cutter);
}
BENCHMARK(SeparatorMode<char16_t>);
BENCHMARK(SeparatorMode<char>);

template <class Unit>
void SeparatorModeRareFirstUnit(benchmark::State& state) {
    auto cutter = BasicPieceCutter<Unit>::Separator(Units<Unit>("#end#"));
    Cut(state, *cutter);
}
BENCHMARK(SeparatorModeRareFirstUnit<char16_t>);
BENCHMARK(SeparatorModeRareFirstUnit<char>);

// 1000 "a" and a "b" over a text of "a"s: every position starts a long near-miss.
template <class Unit>
void SeparatorModePathological(benchmark::State& state) {
    auto cutter = BasicPieceCutter<Unit>::Separator(std::basic_string<Unit>(1000, Unit('a')) + Unit('b'));
    static const std::basic_string<Unit> text(std::size_t{1} << 20, Unit('a'));
    Cut<Unit>(state, *cutter, text);
}
BENCHMARK(SeparatorModePathological<char16_t>);
BENCHMARK(SeparatorModePathological<char>);

// A separator longer than a chunk, over "a"s: a start of it is held across
// every chunk end and must be carried on, not tried again border by border.
template <class Unit>
void SeparatorModeLongerThanAChunk(benchmark::State& state) {
    auto cutter = BasicPieceCutter<Unit>::Separator(std::basic_string<Unit>(120000, Unit('a')) + Unit('b'));
    static const std::basic_string<Unit> text(std::size_t{4} << 20, Unit('a'));
    Cut<Unit>(state, *cutter, text);
}
BENCHMARK(SeparatorModeLongerThanAChunk<char16_t>);
BENCHMARK(SeparatorModeLongerThanAChunk<char>);

template <class Unit>
void BlankLineMode(benchmark::State& state) {
    auto cutter = BasicPieceCutter<Unit>::BlankLines();
    Cut(state, *cutter);
}
BENCHMARK(BlankLineMode<char16_t>);
BENCHMARK(BlankLineMode<char>);

}  // namespace
}  // namespace partwright
