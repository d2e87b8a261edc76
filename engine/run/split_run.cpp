#include "partwright/split_run.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "engine/cut/cutter.h"
#include "engine/cut/line_end_units.h"
#include "engine/cut/record_blank_lines.h"
#include "engine/cut/record_ends.h"
#include "engine/files/file_identity.h"
#include "engine/name/name_source.h"
#include "engine/name/temporary_name.h"
#include "engine/read/source_input.h"
#include "engine/read/source_reader.h"
#include "engine/read/text_form.h"
#include "engine/run/by_column_sink.h"
#include "engine/run/line_cap_sink.h"
#include "engine/run/older_piece_watch.h"
#include "engine/run/rule_cut.h"
#include "engine/run/run_seam.h"
#include "engine/run/run_sink.h"
#include "engine/run/source_attempt.h"

namespace partwright {

namespace {

// Capped: the source gave RunOptions::maxPieces pieces and the rest of it is left unread.
enum class Outcome { Done, Stopped, Restart, Capped };

// The cutter for the next block, from the split options as they are now.
// Null when the block gives no pieces.
// `ownLimit`: the size limit left for a piece's own lines once its header is counted.
std::unique_ptr<PieceCutter> CutterForBlock(RunContext& run, const std::filesystem::path& source,
                                            std::uint64_t ownLimit) {
    const SplitSettings& settings = run.settings;
    const LineEnd lineEnd = run.lineEnd;
    const bool keep = run.options.finalLineEnd;
    const CsvReading& csv = run.options.csv;
    const std::optional<char> records = csv.records ? std::optional<char>(csv.delimiter) : std::nullopt;
    // One record a piece, each handed to the by-column sink whole with its line end.
    if (run.byColumn) return PieceCutter::Lines(1, lineEnd, true, csv.delimiter);
    if (run.options.maxPieceBytes > 0) return PieceCutter::MaxBytes(ownLimit, lineEnd, run.encoder, keep, records);
    switch (settings.Split()) {
    case SplitMode::MaxBytes: return nullptr;  // no size given: nothing to cut by
    case SplitMode::Separator:
        // The separator in the text's form.
        return PieceCutter::Separator(ToUtf8(settings.SeparatorText()), keep);
    case SplitMode::BlankLines:
        if (records) return RecordBlankLines(lineEnd, keep, *records);
        return PieceCutter::BlankLines(lineEnd, keep);
    case SplitMode::Lines: {
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
        const std::int64_t cap = run.options.maxLinesPerPiece;
        return PieceCutter::Lines(cap > 0 ? std::min(*n, cap) : *n, lineEnd, keep, records);
    }
    }
    return nullptr;
}

// How the source bytes of `reader`'s converted text are counted.
SourceMeasure MeasureOf(const SourceReader& reader) {
    if (reader.isUtf16()) return SourceMeasure::Utf16;
    return reader.singleByteTable() != nullptr ? SourceMeasure::SingleByte : SourceMeasure::Spread;
}

// Takes the first lines (CSV records, with `csv`) of a source, with the line
// end after the last of them, off the front of its first block text.
class HeaderTaker {
public:
    HeaderTaker(std::int64_t lines, LineEnd lineEnd, const CsvReading& csv)
        : linesLeft_(lines), lf_(lineEnd == LineEnd::Lf) {
        if (csv.records) records_.emplace(csv.delimiter);
    }

    [[nodiscard]] bool done() const { return linesLeft_ <= 0; }
    // The header's lines joined by their line ends, and the line end after them once done.
    [[nodiscard]] const std::string& text() const { return text_; }
    // Hands the text over, so that the header is held once.
    [[nodiscard]] std::string TakeText() { return std::move(text_); }

    // More than kMaxHeaderUnits code units, its line end included.
    [[nodiscard]] bool tooLong() const { return units_ > kMaxHeaderUnits; }

    // Takes bytes until the header is complete, or one code unit past the
    // longest header; returns how many of `bytes` it took.
    std::size_t Take(std::string_view bytes) {
        std::size_t taken = 0;
        while (!done() && !tooLong() && taken < bytes.size()) {
            const char byte = bytes[taken++];
            if (records_ ? records_->Step(byte, lf_)
                         : byte == '\n' && (lf_ || (!text_.empty() && text_.back() == '\r'))) {
                --linesLeft_;
            }
            text_.push_back(byte);
            units_ += UnitsLedBy(static_cast<unsigned char>(byte));
        }
        return taken;
    }

private:
    std::int64_t linesLeft_;
    bool lf_;
    std::size_t units_ = 0;
    std::string text_;
    std::optional<CsvByteState> records_;
};

// Hands the completed header to the sink. False when the source must give no
// pieces because the size limit leaves no room for a line beside the header.
bool UseHeader(RunContext& run, RunSink& sink, const std::filesystem::path& source, std::string header,
               std::uint64_t& ownLimit) {
    // As written: the piece's byte-order mark, if any, then the header.
    const std::uint64_t bytes = run.encoder.Head().size() + run.encoder.WrittenSize(header);
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

// The encoder of the pieces of `reader`'s source; false, with the failure
// reported, when the output encoding cannot be written for it.
bool UseEncoderFor(RunContext& run, const SourceReader& reader, const std::filesystem::path& source) {
    using Form = PieceEncoder::SourceEncoding::Form;
    PieceEncoder::SourceEncoding encoding;
    encoding.mark = reader.hadMark();
    encoding.singleByte = reader.singleByteTable();
    switch (reader.form()) {
    case SourceForm::Utf8: encoding.form = Form::Utf8; break;
    case SourceForm::Utf16Le: encoding.form = Form::Utf16Le; break;
    case SourceForm::Utf16Be: encoding.form = Form::Utf16Be; break;
    case SourceForm::CodePage: encoding.form = encoding.singleByte ? Form::SingleByte : Form::OtherCodePage; break;
    }
    std::optional<PieceEncoder> encoder = PieceEncoder::For(run.options.outputEncoding, encoding);
    // A source of no bytes gives no pieces, in whatever encoding.
    if (!encoder && reader.size() == 0) encoder = PieceEncoder();
    if (!encoder) {
        run.Fail({Failure::Kind::BadCodepage, source,
                  "its pieces cannot be written in its own code page, of several bytes to a character "
                  "(choose another output encoding)"});
        return false;
    }
    run.encoder = std::move(*encoder);
    return true;
}

// Cuts every block of an opened source.
Outcome CutSource(RunContext& run, RunSink& sink, SourceReader& reader, const std::filesystem::path& source) {
    const std::string_view lineEnd = run.lineEnd == LineEnd::Lf ? kLf<char> : kLineEnd<char>;
    CsvReading csv = run.options.csv;
    csv.records = csv.records || run.byColumn;  // a cut by column reads records whatever csv says
    HeaderTaker header(run.options.headerLines, run.lineEnd, csv);
    // The lines before the current block text, for the line a record left open began on.
    std::int64_t linesBefore = 0;
    std::int64_t blockStart = 0;
    std::optional<LineCapSink> capped;
    if (run.options.maxLinesPerPiece > 0 &&
        (run.options.maxPieceBytes > 0 || run.settings.Split() != SplitMode::Lines)) {
        capped.emplace(sink, run.options.maxLinesPerPiece, run.lineEnd, run.options.csv);
    }
    PieceSink& cutSink = run.byColumn ? static_cast<PieceSink&>(*run.byColumn)
                         : capped     ? static_cast<PieceSink&>(*capped)
                                      : sink;
    // The first block ended before the header did, or only the line end
    // appended to it ended the header: then more of the source means the
    // header's last line was cut at the block's edge.
    bool headerPastFirstBlock = false;
    std::uint64_t ownLimit = run.options.maxPieceBytes;
    std::unique_ptr<PieceCutter> cutter;
    bool inBlock = false;
    std::string_view units;
    bool endsBlock = false;
    SourceSpan span;  // where the units fed lie in the source
    for (;;) {
        if (!run.Yield()) {
            sink.Stop();
            return Outcome::Stopped;
        }
        const std::uint64_t readBefore = reader.bytesRead();
        switch (reader.Next(units, endsBlock)) {
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
        case SourceReader::Status::Units: sink.StepAt(units, reader.OffsetOf(units)); break;
        }
        if (headerPastFirstBlock) {
            run.Fail({Failure::Kind::BadHeader, source,
                      "its first " + std::to_string(run.options.headerLines) +
                          " lines do not end within its first block of " + std::to_string(SourceReader::kBlockBytes) +
                          " bytes"});
            return Outcome::Done;
        }
        bool lineEndTaken = false;  // the header took the line end appended to the block
        const std::string_view step = units;
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
            linesBefore = std::count(header.text().begin(), header.text().end(), '\n');
            if (run.byColumn) run.byColumn->SetHeader(header.text());
            if (!UseHeader(run, sink, source, header.TakeText(), ownLimit)) return Outcome::Done;
        }
        // Only the cut into parts reads where the text lies; placing it counts
        // the characters of text that is not the source's own bytes.
        if (run.options.parts > 0) {
            PlaceUnits(span, step, units, readBefore, reader.bytesRead(), reader.OffsetOf(units), MeasureOf(reader));
        }
        if (!inBlock) {
            bool failed = false;
            cutter = CutterByRule(run, source, span, reader.size(), failed);
            if (failed) return Outcome::Done;
            if (!cutter) cutter = CutterForBlock(run, source, ownLimit);
            blockStart = linesBefore;
            inBlock = true;
        }
        if (cutter && !cutter->Feed(units, cutSink)) return sink.capped() ? Outcome::Capped : Outcome::Stopped;
        if (sink.capped()) return Outcome::Capped;
        const bool countLines = run.options.csv.records && !run.options.reading.wholeFile;
        if (countLines) linesBefore += std::count(units.begin(), units.end(), '\n');
        run.progress.bytesRead = reader.bytesRead();
        run.host.ReportProgress(run.progress);
        if (endsBlock) {
            inBlock = false;
            if (cutter && !(lineEndTaken ? cutter->Finish(cutSink) : cutter->EndBlock(lineEnd, cutSink))) {
                return sink.capped() ? Outcome::Capped : Outcome::Stopped;
            }
            if (sink.capped()) return Outcome::Capped;
            if (const std::optional<std::int64_t> line = cutter ? cutter->UnclosedRecordLine() : std::nullopt) {
                run.Fail({Failure::Kind::UnclosedQuote, source,
                          "the record from line " + std::to_string(blockStart + *line) +
                              " to the end of the source is written as one record"});
            }
            if (cutter) NoteParts(run, *cutter, source);
        }
        sink.StepDone();
    }
}

// Whether cutting a source read as UTF-8 could give pieces of other names
// than cutting it in a single-byte code page, where both read its ASCII
// alike: names from the pieces' text, sizes of characters, a separator
// beyond ASCII. Lines and blank lines fall the same way in both.
bool CutMayDifferByCodepage(const RunContext& run) {
    const NamingMode naming = run.settings.Naming();
    if (naming == NamingMode::FirstChars || naming == NamingMode::Template || run.options.maxPieceBytes > 0) {
        return true;
    }
    // A pattern may tell characters beyond ASCII apart.
    if (run.options.matchPattern && run.options.parts == 0) return true;
    if (run.settings.Split() != SplitMode::Separator) return false;
    const Text separator = run.settings.SeparatorText();
    return std::any_of(separator.begin(), separator.end(), [](char16_t unit) { return unit >= 0x80; });
}

// A source written to while it was split (writers read its bytes again, on
// other threads) may have given pieces of bytes the cutting never saw: once
// its pieces are written, that is a failure of the source, unless it already
// failed to be read.
void CheckUnchanged(RunContext& run, const RunSink& sink, const std::filesystem::path& source,
                    const std::optional<FileStamp>& opened, std::size_t failuresBefore) {
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
    if (readFailed) return;
    std::string reason = "it changed while it was split";
    const RunSink::Written& written = sink.writtenOfSource();
    if (written.count > 0) {
        const auto name = [](const std::filesystem::path& piece) {
            const std::u8string text = piece.filename().u8string();
            return std::string(text.begin(), text.end());
        };
        reason += written.count == 1 ? "; the piece written from it, " + name(written.first) + ","
                                     : "; the " + std::to_string(written.count) + " pieces written from it, " +
                                           name(written.first) + " to " + name(written.last) + ",";
        reason += " may not match it";
    }
    run.Report({Failure::Kind::ReadSource, source, reason});
}

// A source cut by column gives its pieces once it was read whole; stopped,
// cut again or not read to its end, it gives none.
void PublishByColumn(RunContext& run, const std::filesystem::path& source, Outcome outcome,
                     std::size_t failuresBefore) {
    const auto& failures = run.report.failures;
    const bool unread = std::any_of(failures.begin() + static_cast<std::ptrdiff_t>(failuresBefore), failures.end(),
                                    [&source](const Failure& failure) {
                                        return failure.path == source && (failure.kind == Failure::Kind::ReadSource ||
                                                                          failure.kind == Failure::Kind::BadHeader);
                                    });
    if (outcome == Outcome::Done && !unread) {
        run.finishPending();
        run.byColumn->Publish();
    } else {
        run.byColumn->Discard();
    }
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
    ReadOptions read{run.options.reading, run.options.dryRun, mayDiffer && !run.options.dryRun, run.seam.chunkBytes};
    // The first release's form keeps a mark as text, at the head of the first piece.
    read.markAsText = run.options.outputEncoding == OutputEncoding::Cesu8;
    const std::size_t failuresBefore = run.report.failures.size();
    const auto reader = SourceReader::Open(source, read, failure);
    if (!reader) {
        run.Fail(failure);
        return Outcome::Done;
    }
    const std::optional<FileStamp> opened = IsStandardInput(source) ? std::nullopt : StampOf(source);
    // Of an archive or standard input, not known before the end.
    progress.sourceBytes = reader->size() == SourceInput::kUnknownSize ? 0 : reader->size();
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
        // Again after a restart: the source is read in its fallback code page then.
        if (!UseEncoderFor(run, *reader, source)) return Outcome::Done;
        run.codepage.Start(reader->undecided() ? reader.get() : nullptr);
        sink.StartSource(source, sink.copiesFromSource() ? reader->SharedFile() : nullptr);
        // Cut again from the start, the pieces come under the same names: the
        // first cut's are replaced, and the names it took are given back.
        if (reader->mayRestart()) sink.KeepNamesUndoable();
        if (run.byColumn) run.byColumn->StartSource(source, NameSourceOf(source, run.options));
        const Outcome outcome = CutSource(run, sink, *reader, source);
        if (run.byColumn) PublishByColumn(run, source, outcome, failuresBefore);
        if (outcome == Outcome::Capped) {
            ++run.report.sourcesCapped;
            run.finishPending();  // its pieces are told first
            run.host.SourceCapped(source);
        }
        if (outcome == Outcome::Done || outcome == Outcome::Capped) {
            CheckUnchanged(run, sink, source, opened, failuresBefore);
            return Outcome::Done;
        }
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
    // Sees what the run names, to tell the host of older pieces each source left.
    OlderPieceWatch watch(host, settings, options, identities, report);
    RunContext run{settings,
                   watch,
                   options,
                   seam,
                   identities,
                   report,
                   progress,
                   options.lineEnd,
                   PieceEncoder(options.outputEncoding),
                   {},
                   {},
                   {},
                   0};
    PieceQueue queue(
        WriterThreads(options), run.stop.get_token(), [&run] { (void)run.Yield(); }, options.compression);
    RunSink sink(run, queue);
    std::optional<ByColumnSink> byColumn;
    if (!options.byColumn.empty()) run.byColumn = &byColumn.emplace(run);
    run.finishPending = [&sink] { sink.FinishPending(); };
    for (int position = 1; position <= count; ++position) {
        if (!run.Yield()) {
            sink.Stop();
            break;
        }
        // The pieces of the sources before are written first: a source may be
        // one of them, and all that is reported of them comes before this one begins.
        sink.EndSource();
        watch.SourceEnded();
        progress.fileIndex = position;
        if (SplitSource(run, sink, sources.At(position)) == Outcome::Stopped) break;
    }
    sink.EndSource();
    report.stopped = run.stop.stop_requested();
    if (!report.stopped) watch.SourceEnded();
    return report;
}

}  // namespace partwright
