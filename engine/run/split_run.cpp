#include "partwright/split_run.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

#include "engine/cut/cutter.h"
#include "engine/cut/line_end_units.h"
#include "engine/files/file_identity.h"
#include "engine/name/temporary_name.h"
#include "engine/read/byte_coding.h"
#include "engine/read/cesu8.h"
#include "engine/read/source_reader.h"
#include "engine/run/run_seam.h"
#include "engine/run/run_sink.h"
#include "engine/run/source_attempt.h"

namespace partwright {

namespace {

enum class Outcome { Done, Stopped, Restart };

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
std::basic_string<Unit> SeparatorFor(const Text& separator, const ByteCoding& coding) {
    if constexpr (std::is_same_v<Unit, char16_t>) {
        return separator;
    } else {
        // UTF-8 that is every unit's own form, as the bytes are.
        if (!coding.table) return ToCesu8(separator);
        // A separator that cannot occur leaves the block whole, as the empty separator does.
        return SeparatorBytes(separator, *coding.table).value_or(std::string());
    }
}

// The cutter for the next block, from the split options as they are now.
// Null when the block gives no pieces.
// `ownLimit`: the size limit left for a piece's own lines once its header is counted.
template <class Unit>
std::unique_ptr<BasicPieceCutter<Unit>> CutterForBlock(RunContext& run, const std::filesystem::path& source,
                                                       const ByteCoding& coding, std::uint64_t ownLimit,
                                                       const ByteUtf8Lengths* byteLengths) {
    const SplitSettings& settings = run.settings;
    const LineEnd lineEnd = run.lineEnd;
    if (run.options.maxPieceBytes > 0) return BasicPieceCutter<Unit>::MaxBytes(ownLimit, lineEnd, byteLengths);
    if (settings.MaxBytesSelected()) return nullptr;  // no size given: nothing to cut by
    if (settings.LinesSelected()) {
        // N is read once for the whole block: a change in the middle of it
        // would make its pieces overlap or leave lines out.
        const std::optional<std::int64_t> n = settings.LinesPerPiece().value;
        if (!n) {
            // A cut again meets the same blocks: the first cut showed them.
            if (run.noticesShown > 0) {
                --run.noticesShown;
            } else {
                if (run.finishPending) run.finishPending();
                run.host.ShowNotice(Notice::LinesNotNumber, source);
            }
            ++run.report.blocksNotCut;
            return nullptr;
        }
        return BasicPieceCutter<Unit>::Lines(*n, lineEnd);
    }
    if (settings.SeparatorSelected()) {
        return BasicPieceCutter<Unit>::Separator(SeparatorFor<Unit>(settings.SeparatorText(), coding));
    }
    if (settings.BlankLinesSelected()) return BasicPieceCutter<Unit>::BlankLines(lineEnd);
    return nullptr;
}

// Takes the first lines of a source, with the line end after the last of
// them, off the front of its first block text.
template <class Unit>
class HeaderTaker {
public:
    using View = std::basic_string_view<Unit>;

    // `utf8`: the units are UTF-8 bytes, several to a code unit.
    HeaderTaker(std::int64_t lines, LineEnd lineEnd, bool utf8)
        : linesLeft_(lines), lf_(lineEnd == LineEnd::Lf), utf8_(utf8) {}

    [[nodiscard]] bool done() const { return linesLeft_ <= 0; }
    // The header's lines joined by their line ends, and the line end after them once done.
    [[nodiscard]] const std::basic_string<Unit>& text() const { return text_; }
    // Hands the text over, so that the header is held once.
    [[nodiscard]] std::basic_string<Unit> TakeText() { return std::move(text_); }

    // More than kMaxHeaderUnits code units, its line end included.
    [[nodiscard]] bool tooLong() const { return units_ > kMaxHeaderUnits; }

    // Takes units until the header is complete, or one unit past the longest
    // header; returns how many of `units` it took.
    std::size_t Take(View units) {
        std::size_t taken = 0;
        while (!done() && !tooLong() && taken < units.size()) {
            const Unit unit = units[taken++];
            if (unit == Unit('\n') && (lf_ || (!text_.empty() && text_.back() == Unit('\r')))) --linesLeft_;
            text_.push_back(unit);
            // Bytes on the byte path are each unit's own UTF-8: a unit begins at every byte but a continuation byte.
            if (sizeof(Unit) == 2 || (static_cast<unsigned char>(unit) & 0xC0) != 0x80 || !utf8_) ++units_;
        }
        return taken;
    }

private:
    std::int64_t linesLeft_;
    bool lf_;
    bool utf8_;
    std::size_t units_ = 0;
    std::basic_string<Unit> text_;
};

// Hands the completed header to the sink. False when the source must give no
// pieces because the size limit leaves no room for a line beside the header.
template <class Unit>
bool UseHeader(RunContext& run, RunSink& sink, const std::filesystem::path& source, std::basic_string<Unit> header,
               const ByteTable* table, std::uint64_t& ownLimit) {
    std::uint64_t bytes = 0;
    for (const Unit unit : header) {
        if constexpr (sizeof(Unit) == 1) {
            bytes += table ? Cesu8Length((*table)[static_cast<unsigned char>(unit)]) : 1;
        } else {
            bytes += Cesu8Length(unit);
        }
    }
    const std::uint64_t limit = run.options.maxPieceBytes;
    if (limit > 0 && limit <= bytes) {
        run.Fail({Failure::Kind::BadHeader, source,
                  "a piece of at most " + std::to_string(limit) + " bytes cannot hold the header (" +
                      std::to_string(bytes) + " bytes with its line end) and a line"});
        return false;
    }
    if (limit > 0) ownLimit = limit - bytes;
    sink.SetHeader(std::move(header));
    return true;
}

// Cuts every block of an opened source; `Unit` is char when the source's
// code page lets its bytes be cut (see ByteCoding).
template <class Unit>
Outcome CutSource(RunContext& run, RunSink& sink, SourceReader& reader, const std::filesystem::path& source) {
    // The bytes' coding, on the byte path; unused for decoded text.
    static const ByteCoding kDecoded;
    const ByteCoding& coding = reader.byteCoding() ? *reader.byteCoding() : kDecoded;
    const std::basic_string_view<Unit> lineEnd = run.lineEnd == LineEnd::Lf ? kLf<Unit> : kLineEnd<Unit>;
    HeaderTaker<Unit> header(run.options.headerLines, run.lineEnd, std::is_same_v<Unit, char> && !coding.table);
    // The first block ended before the header did, or only the line end
    // appended to it ended the header: then more of the source means the
    // header's last line was cut at the block's edge.
    bool headerPastFirstBlock = false;
    std::uint64_t ownLimit = run.options.maxPieceBytes;
    std::unique_ptr<BasicPieceCutter<Unit>> cutter;
    bool inBlock = false;
    std::basic_string_view<Unit> units;
    bool endsBlock = false;
    for (;;) {
        if (!run.Yield()) {
            sink.Stop();
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
            if (!header.done()) {
                // As when the header does not end within the first block: reported, no pieces.
                run.Fail({Failure::Kind::BadHeader, source,
                          "it has fewer than " + std::to_string(run.options.headerLines) + " lines"});
            }
            return Outcome::Done;
        case SourceReader::Status::Error:
            sink.Abandon();
            run.Fail(reader.error());
            return Outcome::Done;
        case SourceReader::Status::Restart: return Outcome::Restart;
        case SourceReader::Status::Units: break;
        }
        if (headerPastFirstBlock) {
            run.Fail({Failure::Kind::BadHeader, source,
                      "its first " + std::to_string(run.options.headerLines) +
                          " lines do not end within its first block of " + std::to_string(SourceReader::kBlockBytes) +
                          " bytes"});
            return Outcome::Done;
        }
        bool lineEndTaken = false;  // the header took the line end appended to the block
        if (!header.done()) {
            units = units.substr(header.Take(units));
            if (!header.done() && endsBlock && !header.tooLong()) {
                header.Take(lineEnd);
                lineEndTaken = true;
                // At the end of the source the appended line end ends its
                // last line; a block that follows shows it cut that line.
                headerPastFirstBlock = header.done();
            }
            if (header.tooLong()) {
                run.Fail({Failure::Kind::BadHeader, source,
                          "its first " + std::to_string(run.options.headerLines) + " lines are longer than " +
                              std::to_string(kMaxHeaderUnits) + " characters"});
                return Outcome::Done;
            }
            if (!header.done()) {
                headerPastFirstBlock = endsBlock;
                run.progress.bytesRead = reader.bytesRead();
                run.host.ReportProgress(run.progress);
                continue;
            }
            if (!UseHeader(run, sink, source, header.TakeText(), coding.table, ownLimit)) return Outcome::Done;
        }
        if (!inBlock) {
            // UTF-8 on the byte path is already the bytes written: a size is a count.
            cutter = CutterForBlock<Unit>(run, source, coding, ownLimit,
                                          std::is_same_v<Unit, char> && coding.table ? &coding.forms.length : nullptr);
            inBlock = true;
        }
        if (cutter && !cutter->Feed(units, sink)) return Outcome::Stopped;
        run.progress.bytesRead = reader.bytesRead();
        run.host.ReportProgress(run.progress);
        if (endsBlock) {
            inBlock = false;
            if (cutter && ((!lineEndTaken && !cutter->Feed(lineEnd, sink)) || !cutter->Finish(sink))) {
                return Outcome::Stopped;
            }
        }
    }
}

// Whether cutting a source read as UTF-8 could give pieces of other names
// than cutting it in a single-byte code page, where both read its ASCII
// alike: names from the pieces' text, sizes of characters, a separator
// beyond ASCII. Lines and blank lines fall the same way in both.
bool CutMayDifferByCodepage(const RunContext& run) {
    if (run.settings.FirstCharsSelected() || run.options.maxPieceBytes > 0) return true;
    if (!run.settings.SeparatorSelected()) return false;
    const Text separator = run.settings.SeparatorText();
    return std::any_of(separator.begin(), separator.end(), [](char16_t unit) { return unit >= 0x80; });
}

// A source written to while it was split (writers read its bytes again, on
// other threads) may have given pieces of bytes the cutting never saw: once
// its pieces are written, that is a failure of the source, unless it already
// failed to be read.
void CheckUnchanged(RunContext& run, const std::filesystem::path& source, const std::optional<FileStamp>& opened,
                    std::size_t failuresBefore) {
    if (!opened) return;
    run.finishPending();
    const std::optional<FileStamp> now = StampOf(source);
    if (!now || !WrittenSince(*opened, *now)) return;
    const auto& failures = run.report.failures;
    const bool readFailed = std::any_of(failures.begin() + static_cast<std::ptrdiff_t>(failuresBefore), failures.end(),
                                        [&source](const Failure& failure) {
                                            return failure.path == source &&
                                                   (failure.kind == Failure::Kind::ReadSource);
                                        });
    if (!readFailed) run.Report({Failure::Kind::ReadSource, source, "it changed while it was split"});
}

Outcome SplitSource(RunContext& run, RunSink& sink, const std::filesystem::path& source) {
    Progress& progress = run.progress;
    progress.source = source;
    progress.sourceBytes = 0;
    progress.bytesRead = 0;
    // The source begins: whatever is reported from now on is of it.
    run.host.ReportProgress(progress);

    Failure failure;
    if (IsTemporaryName(source)) {
        // Whatever is in it, it is part of a piece that was never finished.
        run.Fail({Failure::Kind::ReadSource, source, "a temporary file of an unfinished piece, not a source"});
        return Outcome::Done;
    }
    // A dry run plans every piece once: the code page is decided before the
    // first, whether or not the names hang on it (a second cut would list them again).
    const bool mayDiffer = CutMayDifferByCodepage(run);
    const ReadOptions read{run.options.reading, run.options.dryRun, mayDiffer && !run.options.dryRun,
                           run.seam.chunkBytes};
    const std::size_t failuresBefore = run.report.failures.size();
    const auto reader = SourceReader::Open(source, read, failure);
    if (!reader) {
        run.Fail(failure);
        return Outcome::Done;
    }
    const std::optional<FileStamp> opened = StampOf(source);
    progress.sourceBytes = reader->size();
    run.lineEnd = run.options.lineEnd;
    if (run.lineEnd == LineEnd::Auto) {
        std::optional<LineEnd> first;
        if (!reader->FirstLineEnd(first)) {
            run.Fail(reader->error());
            return Outcome::Done;
        }
        run.lineEnd = first.value_or(LineEnd::CrLf);
    }
    SourceAttempt attempt(run.report, run.progress);
    run.noticesShown = 0;
    for (;;) {
        const ByteCoding* coding = run.seam.alwaysDecode ? nullptr : reader->byteCoding();
        sink.StartSource(source, coding, reader.get());
        // Cut again from the start, the pieces come under the same names: the
        // first cut's are replaced, and the names it took are given back.
        if (reader->mayRestart()) sink.KeepNamesUndoable();
        const Outcome outcome = coding ? CutSource<char>(run, sink, *reader, source)
                                       : CutSource<char16_t>(run, sink, *reader, source);
        if (outcome == Outcome::Done) CheckUnchanged(run, source, opened, failuresBefore);
        if (outcome != Outcome::Restart) return outcome;
        // Not UTF-8 after all: what was cut from it so far is void.
        sink.CutAgain();
        run.noticesShown = attempt.Undo();
    }
}

}  // namespace

RunReport SplitRun(const SourceList& sources, const SplitSettings& settings, RunHost& host, const RunOptions& options) {
    return SplitRun(sources, settings, host, options, RunSeam{});
}

RunReport SplitRun(const SourceList& sources, const SplitSettings& settings, RunHost& host, const RunOptions& options,
                   const RunSeam& seam) {
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
    RunContext run{settings, host, options, seam, identities, report, progress, options.lineEnd, {}, {}, 0};
    RunSink sink(run);
    run.finishPending = [&sink] { sink.FinishPending(); };
    for (int position = 1; position <= count; ++position) {
        if (!run.Yield()) {
            sink.Stop();
            break;
        }
        // The pieces of the sources before are written first: a source may be
        // one of them, and all that is reported of them comes before this one begins.
        sink.FinishPending();
        progress.fileIndex = position;
        if (SplitSource(run, sink, sources.At(position)) == Outcome::Stopped) break;
    }
    sink.FinishPending();
    report.stopped = run.stop.stop_requested();
    return report;
}

}  // namespace partwright
