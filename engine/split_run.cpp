#include "engine/split_run.h"

#include <limits>
#include <memory>

#include "engine/cutter.h"
#include "engine/file_identity.h"
#include "engine/numeric.h"
#include "engine/run_sink.h"
#include "engine/source_reader.h"

namespace partwright {

namespace {

enum class Outcome { Done, Stopped };

// The cutter for the next block, from the split options as they are now.
// Null when the block gives no pieces.
std::unique_ptr<PieceCutter> CutterForBlock(RunContext& run, const std::filesystem::path& source) {
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
        return PieceCutter::Lines(whole > kMost ? static_cast<std::int64_t>(kMost) : static_cast<std::int64_t>(whole));
    }
    if (settings.SeparatorSelected()) return PieceCutter::Separator(settings.SeparatorText());
    if (settings.BlankLinesSelected()) return PieceCutter::BlankLines();
    return nullptr;
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
    sink.StartSource(source);

    std::unique_ptr<PieceCutter> cutter;
    bool inBlock = false;
    Text units;
    bool endsBlock = false;
    for (;;) {
        if (!run.host.Yield()) {
            sink.Abandon();
            run.report.stopped = true;
            return Outcome::Stopped;
        }
        switch (reader->Next(units, endsBlock)) {
        case SourceReader::Status::EndOfSource:
            return Outcome::Done;
        case SourceReader::Status::Error:
            sink.Abandon();
            run.Fail(reader->error());
            return Outcome::Done;
        case SourceReader::Status::Units:
            break;
        }
        if (!inBlock) {
            cutter = CutterForBlock(run, source);
            inBlock = true;
        }
        if (cutter && !cutter->Feed(units, sink)) return Outcome::Stopped;
        progress.bytesRead = reader->bytesRead();
        run.host.ReportProgress(progress);
        if (endsBlock) {
            inBlock = false;
            if (cutter && (!cutter->Feed(u"\r\n", sink) || !cutter->Finish(sink))) return Outcome::Stopped;
        }
    }
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
