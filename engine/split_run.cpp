#include "engine/split_run.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>

#include "engine/cutter.h"
#include "engine/file_identity.h"
#include "engine/numeric.h"
#include "engine/run_sink.h"
#include "engine/source_reader.h"

namespace partwright {

namespace {

enum class Outcome { Done, Stopped };

// The separator's units as bytes of the code page, or nothing when one of
// them is no byte's unit: then the separator can never occur.
std::optional<std::string> SeparatorBytes(TextView separator, const ByteTable& table) {
    std::string bytes;
    for (const char16_t unit : separator) {
        const auto byte = std::find(table.begin(), table.end(), unit);
        if (byte == table.end()) return std::nullopt;
        bytes.push_back(static_cast<char>(byte - table.begin()));
    }
    return bytes;
}

// The separator for a cutter of `Unit`s.
template <class Unit>
std::basic_string<Unit> SeparatorFor(const Text& separator, const ByteTable* table) {
    if constexpr (std::is_same_v<Unit, char16_t>) {
        return separator;
    } else {
        // A separator that cannot occur leaves the block whole, as the empty separator does.
        return SeparatorBytes(separator, *table).value_or(std::string());
    }
}

// The cutter for the next block, from the split options as they are now.
// Null when the block gives no pieces.
template <class Unit>
std::unique_ptr<BasicPieceCutter<Unit>> CutterForBlock(RunContext& run, const std::filesystem::path& source,
                                                       const ByteTable* table) {
    const SplitSettings& settings = run.settings;
    if (settings.LinesSelected()) {
        // N is read once for the whole block: a change in the middle of it
        // would make its pieces overlap or leave lines out.
        const std::optional<double> n = ParseNumber(settings.LinesPerPiece());
        const double whole = n ? RoundHalfEven(*n) : 0.0;
        if (whole < 1.0) {
            run.host.ShowNotice(Notice::LinesNotNumber, source);
            ++run.report.noticesShown;
            return nullptr;
        }
        constexpr double kMost = 9.0e18;  // more lines than any block can hold
        return BasicPieceCutter<Unit>::Lines(whole > kMost ? static_cast<std::int64_t>(kMost)
                                                           : static_cast<std::int64_t>(whole));
    }
    if (settings.SeparatorSelected()) {
        return BasicPieceCutter<Unit>::Separator(SeparatorFor<Unit>(settings.SeparatorText(), table));
    }
    if (settings.BlankLinesSelected()) return BasicPieceCutter<Unit>::BlankLines();
    return nullptr;
}

// Cuts every block of an opened source; `Unit` is char when the source's
// single-byte code page lets its raw bytes be cut.
template <class Unit>
Outcome CutSource(RunContext& run, RunSink& sink, SourceReader& reader, const std::filesystem::path& source) {
    const ByteTable* const table = reader.singleByteTable();
    constexpr Unit kLineEnd[] = {Unit('\r'), Unit('\n')};
    std::unique_ptr<BasicPieceCutter<Unit>> cutter;
    bool inBlock = false;
    std::basic_string_view<Unit> units;
    bool endsBlock = false;
    for (;;) {
        if (!run.host.Yield()) {
            sink.Abandon();
            run.report.stopped = true;
            return Outcome::Stopped;
        }
        SourceReader::Status status;
        if constexpr (std::is_same_v<Unit, char>) {
            status = reader.NextBytes(units, endsBlock);
        } else {
            status = reader.Next(units, endsBlock);
        }
        switch (status) {
        case SourceReader::Status::EndOfSource:
            return Outcome::Done;
        case SourceReader::Status::Error:
            sink.Abandon();
            run.Fail(reader.error());
            return Outcome::Done;
        case SourceReader::Status::Units:
            break;
        }
        if (!inBlock) {
            cutter = CutterForBlock<Unit>(run, source, table);
            inBlock = true;
        }
        if (cutter && !cutter->Feed(units, sink)) return Outcome::Stopped;
        run.progress.bytesRead = reader.bytesRead();
        run.host.ReportProgress(run.progress);
        if (endsBlock) {
            inBlock = false;
            if (cutter && (!cutter->Feed({kLineEnd, 2}, sink) || !cutter->Finish(sink))) return Outcome::Stopped;
        }
    }
}

Outcome SplitSource(RunContext& run, RunSink& sink, const std::filesystem::path& source) {
    Progress& progress = run.progress;
    progress.source = source;
    progress.sourceBytes = 0;
    progress.bytesRead = 0;

    Failure failure;
    const auto reader = SourceReader::Open(source, ReadOptions{run.options.codepage, run.options.wholeFile}, failure);
    if (!reader) {
        run.Fail(failure);
        return Outcome::Done;
    }
    progress.sourceBytes = reader->size();
    const ByteTable* const table = run.options.alwaysDecode ? nullptr : reader->singleByteTable();
    sink.StartSource(source, table);
    return table ? CutSource<char>(run, sink, *reader, source) : CutSource<char16_t>(run, sink, *reader, source);
}

}  // namespace

RunReport SplitRun(const SourceList& sources, const SplitSettings& settings, RunHost& host, const RunOptions& options) {
    RunReport report;
    const int count = sources.Count();
    if (count < 1) {
        report.noFiles = true;
        return report;
    }
    FileIdentitySet identities;
    for (int position = 1; position <= count; ++position) identities.Add(sources.At(position));

    Progress progress;
    progress.fileCount = count;
    RunContext run{settings, host, options, identities, report, progress};
    RunSink sink(run);
    for (int position = 1; position <= count; ++position) {
        progress.fileIndex = position;
        if (!host.Yield()) {
            report.stopped = true;
            break;
        }
        if (SplitSource(run, sink, sources.At(position)) == Outcome::Stopped) break;
    }
    return report;
}

}  // namespace partwright
