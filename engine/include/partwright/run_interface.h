#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "partwright/failure.h"
#include "partwright/line_end.h"
#include "partwright/setting_fields.h"
#include "partwright/settings_defaults.h"
#include "partwright/text.h"

namespace partwright {

// What a run is given and what it gives back; SplitRun (split_run.h) runs it.

// The ordered sources of a run. The run takes Count() once, then reads
// positions 1 to that count, one at a time, as it reaches them.
class SourceList {
public:
    virtual ~SourceList() = default;
    [[nodiscard]] virtual int Count() const = 0;
    [[nodiscard]] virtual std::filesystem::path At(int position) const = 0;  // 1-based
};

// How a block is cut: every N lines, at every occurrence of a text, at every
// blank line, or into pieces of whole lines of at most RunOptions::maxPieceBytes bytes.
enum class SplitMode { Lines, Separator, BlankLines, MaxBytes };
// How a piece is named: from its first x characters, as the source's name
// with a four-digit counter, as a prefix and a counting number, or by a
// name template ({name}-{n:000}.{ext}, see SplitSettings::NameTemplate).
enum class NamingMode { FirstChars, Numbered, Prefix, Template };

// The option values of a run, read when the run needs them (the window reads
// its controls live, so a change made during a run takes effect at the next
// reading):
//  - the split options, the lines per piece and the separator: once per block;
//  - the naming options, name length, prefix and first counting number: once per piece.
// A number option comes as its text as typed and the value read from it (see
// TypedField); a text that gives no value behaves at each reading point as
// the reading point says.
class SplitSettings {
public:
    virtual ~SplitSettings() = default;
    [[nodiscard]] virtual SplitMode Split() const = 0;
    // N; no value: the block gives no pieces (Notice::LinesNotNumber).
    [[nodiscard]] virtual TypedField<std::int64_t> LinesPerPiece() const = 0;
    [[nodiscard]] virtual Text SeparatorText() const = 0;  // used unchanged, may be empty
    [[nodiscard]] virtual NamingMode Naming() const = 0;
    // x; no value: the piece is not written (Failure::Kind::BadNameLength).
    [[nodiscard]] virtual TypedField<std::int32_t> NameLength() const = 0;
    [[nodiscard]] virtual Text Prefix() const = 0;
    // No value: the piece is not written (Failure::Kind::BadFirstNumber).
    [[nodiscard]] virtual TypedField<std::int16_t> FirstNumber() const = 0;
    // The name template of NamingMode::Template: literal text with the
    // fields {name} {ext} {n} {n:000} {first:X} {value}; a template that
    // cannot name pieces leaves them unwritten (Failure::Kind::BadNameTemplate).
    [[nodiscard]] virtual Text NameTemplate() const { return {}; }
};

// Settings that do not change during the run: the command line's and the
// tests'. The number options are read once, when they are set:
//   settings.linesPerPiece = ReadLinesPerPiece(u"10");
struct FixedSettings final : SplitSettings {
    SplitMode split = SplitMode::Lines;
    TypedField<std::int64_t> linesPerPiece = ReadLinesPerPiece(defaults::kLinesPerPiece);
    Text separator = defaults::kSeparator;
    NamingMode naming = NamingMode::Numbered;
    TypedField<std::int32_t> nameLength = ReadNameLength(defaults::kNameLength);
    Text prefix = defaults::kPrefix;
    TypedField<std::int16_t> firstNumber = ReadFirstNumber(defaults::kFirstNumber);

    SplitMode Split() const override { return split; }
    TypedField<std::int64_t> LinesPerPiece() const override { return linesPerPiece; }
    Text SeparatorText() const override { return separator; }
    NamingMode Naming() const override { return naming; }
    TypedField<std::int32_t> NameLength() const override { return nameLength; }
    Text Prefix() const override { return prefix; }
    TypedField<std::int16_t> FirstNumber() const override { return firstNumber; }
    Text nameTemplate;
    Text NameTemplate() const override { return nameTemplate; }
};

enum class Notice {
    LinesNotNumber,  // the lines per piece are not a whole number of at least 1: the block gives no pieces
};

struct Progress {
    int fileIndex = 0;  // 1-based
    int fileCount = 0;
    std::filesystem::path source;
    std::uint64_t sourceBytes = 0;
    std::uint64_t bytesRead = 0;      // of the current source
    std::uint64_t piecesWritten = 0;  // in the whole run so far
};

// What the run asks of the program that hosts it. Every call is made on the
// thread that called SplitRun.
class RunHost {
public:
    virtual ~RunHost() = default;
    // A yield point: once per source, before every block or chunk read, once
    // per piece, and every few milliseconds while the run waits for its
    // writers. The window processes its pending events here. Returning false
    // is how a host asks the run to stop: it stops at this point, is not
    // asked again, and a piece is never left half-written.
    virtual bool Yield() { return true; }
    // A message for the user, shown before the run goes on (the window waits for OK).
    virtual void ShowNotice(Notice, const std::filesystem::path& /*source*/) {}
    // A failure, as it happens; the run goes on with the next piece or source.
    virtual void ReportFailure(const Failure&) {}
    // Progress, now and then; always as a source begins, before anything else
    // is reported of it (its pieces, notices and failures), and never again
    // of a source before it.
    virtual void ReportProgress(const Progress&) {}
    // Called for every piece in a dry run, in place of writing it.
    virtual void PlannedPiece(const std::filesystem::path& /*target*/) {}
    // Called in a dry run once a planned piece is complete: the bytes it would
    // hold, its header included.
    virtual void PlannedPieceSize(const std::filesystem::path& /*target*/, std::uint64_t /*bytes*/) {}
    // Called for every piece once it is written whole under its name.
    virtual void PieceWritten(const std::filesystem::path& /*target*/) {}
    // Called, before PieceWritten (or PlannedPiece), for a piece whose name an
    // earlier piece of the run already took: it goes under `given` instead.
    virtual void PieceRenamed(const std::filesystem::path& /*wanted*/, const std::filesystem::path& /*given*/) {}
    // Called once a source's pieces are all written (or planned), for each
    // file in their folder that its numbered or prefix naming gives to a
    // number from its first on that none of its new pieces took (past its
    // last, or in a gap: an empty piece not written, a piece that failed): an
    // older piece of that name, which this run neither wrote nor removed. In number order; not for a source the run
    // stopped in or could not cut whole.
    virtual void OlderPieceLeft(const std::filesystem::path& /*source*/, const std::filesystem::path& /*older*/) {}
    // Called once a source gave RunOptions::maxPieces pieces and had more
    // text: the rest of it was not read.
    virtual void SourceCapped(const std::filesystem::path& /*source*/) {}
    // Called once a source cut into RunOptions::parts pieces gave fewer, `pieces`.
    virtual void FewerParts(const std::filesystem::path& /*source*/, std::uint64_t /*pieces*/) {}
};

// How a run reads its sources. The defaults are the sound ones: every source
// whole, UTF-8 recognised.
struct SourceReading {
    // "auto" see IsAutoCodepage; "system" (or "") the system's ANSI code page; or a name MakeDecoder knows.
    std::string codepage = "auto";
    // Cut every source as one text, streamed; false: in blocks of 30000 bytes, each cut on its own.
    bool wholeFile = true;
    // The file name standard input (a source kStandardInput) is named after,
    // in RunOptions::outputFolder or the current folder.
    Text stdinName = u"stdin.txt";
};

// How CSV records are read (see RunOptions::csv).
struct CsvReading {
    bool records = false;
    char delimiter = ',';
};

// How a piece file is stored: as it is, or gzip-compressed under its name with ".gz" added.
enum class PieceCompression { None, Gzip };

// The source that stands for standard input: read once, as it comes, and
// named after RunOptions::stdinName.
inline constexpr const char* kStandardInput = "-";

// The bytes a piece file holds for its text.
enum class OutputEncoding {
    Utf8,     // UTF-8, no byte-order mark
    Utf8Bom,  // UTF-8 with EF BB BF at the head of every piece (for Excel)
    Utf16Le,  // UTF-16 little-endian with FF FE at the head of every piece
    Cesu8,    // 1.0.0's form: every UTF-16 code unit on its own, a pair as two three-byte forms
    // Each source's own: its bytes for UTF-8 or a code page of one byte to a
    // character, its mark at the head of every piece if it had one; UTF-16 in
    // its byte order with its mark. A source in a code page of several bytes
    // to a character is reported (kind BadCodepage) and gives no pieces.
    Source,
};

// The defaults are the sound ones (see SourceReading, each source's own line
// ends, valid UTF-8), but for finalLineEnd, which the front ends turn on and
// which many tests of the cutting rules leave off. 1.0.0's pieces are {reading = {codepage = "system",
// wholeFile = false}, lineEnd = LineEnd::CrLf, outputEncoding =
// OutputEncoding::Cesu8, finalLineEnd = false} (but for byte-order marks,
// which it read wrong).
struct RunOptions {
    SourceReading reading;
    bool dryRun = false;

    // How pieces are written. A header is written in it too, and the size
    // of the size mode counts bytes as written.
    OutputEncoding outputEncoding = OutputEncoding::Utf8;

    // What ends a line in every cutting rule, and what the run appends to each block.
    LineEnd lineEnd = kDefaultLineEnd;
    // The pieces of a source joined in order give back its text: in the lines
    // and size modes a piece ends with its last line's own line end (a source
    // without a final line end gives a last piece without one); in blank-line
    // mode with the line end of its last line; the separators, the blank lines
    // between pieces and the line end the run appends to a block go into no
    // piece. False: 1.0.0's pieces, with no line end after their last line
    // and the run's line end at the end of a separator-mode last piece. (The
    // command line and the window turn it on unless told otherwise.)
    bool finalLineEnd = false;
    // The size of the size mode (SplitMode::MaxBytes). When not 0, every
    // block is cut into pieces of whole lines of at most this many bytes as written
    // (a longer line is a piece by itself), also in place of another selected
    // split mode (a front end whose size is a setting of its own).
    std::uint64_t maxPieceBytes = 0;
    // When not 0, the first this many lines of each source are its header:
    // taken out before cutting and written at the head of every piece of the
    // source, followed by a line end. They must end within the source's first
    // block (the line end the run appends to a 30000-byte block ends them only
    // at the end of the source), and with their line end be at most
    // kMaxHeaderUnits code units. Otherwise the source is reported (kind
    // BadHeader) and gives no pieces.
    std::int64_t headerLines = 0;
    // When not empty, pieces go into this folder instead of their source's,
    // under the names they would have had there.
    std::filesystem::path outputFolder;
    // Threads that create, fill and name the pieces while the run cuts the
    // next ones; 0 writes them on the run's own thread, -1 picks the number
    // for the machine (see DefaultWriterThreads).
    int writerThreads = -1;
    // CSV records: with `records`, a line end inside a quoted field ("...")
    // ends no line, so the lines, size and blank-line modes and the header
    // count and cut records, written as they stand. A quote that never closes
    // is reported (kind UnclosedQuote, with the line its record begins on)
    // and the rest of its block is that record. `delimiter` separates fields.
    CsvReading csv;
    // When not 0, no piece holds more lines (records, with csv) than this,
    // whatever the split mode; the lines per piece are lowered to it.
    std::int64_t maxLinesPerPiece = 0;
    // When not 0, at most this many pieces from each source (counted as the
    // piece index counts them); the rest of the source is not read.
    std::int64_t maxPieces = 0;
    // Gzip: every piece written compressed, as its name with ".gz" added,
    // still whole or absent; maxPieceBytes counts the bytes before compression.
    PieceCompression compression = PieceCompression::None;
    // When not 0 (and no maxPieceBytes), every source is cut into this many
    // pieces of whole lines of near-equal size: piece k ends with the first
    // line end that ends at or after k/parts of the source's bytes after its
    // header. A line end that reaches several shares ends one piece, so a
    // source of fewer lines than parts (or of lines longer than a share) gives
    // fewer pieces: the report counts it and the host hears FewerParts.
    // Meant for whole sources: with 30000-byte blocks each block is cut on
    // its own towards the source's end.
    std::uint64_t parts = 0;
    // When set (and neither maxPieceBytes nor parts), a cut before every line
    // that this regular expression (RE2's syntax, UTF-8) matches: the line
    // begins the next piece, and what comes before the first such line is the
    // first piece (none when nothing does). A line is matched without its
    // line end, on its first kMatchedHeadBytes bytes. A pattern that
    // PatternProblem (line_match.h) refuses is reported for each source (kind
    // BadPattern), which then gives no pieces.
    std::optional<std::string> matchPattern;
    // When not empty, the field (a number from 1, or a name the header's first
    // record holds) whose values cut each source, read as CSV records with
    // csv.delimiter whatever csv.records says: one piece per distinct value,
    // the header and that value's records in source order, named "NAME-VALUE.EXT"
    // (ValueNamePart: its letters and digits of any script, "-" and "_"; "empty" when none) or by
    // the name template's {value}. The split mode, sizes and caps do not apply;
    // the pieces are named once the source is read whole.
    Text byColumn;
};

// The writer threads a run uses by default on this machine.
[[nodiscard]] int DefaultWriterThreads();

// The longest head of a line that RunOptions::matchPattern is matched against, in bytes.
inline constexpr std::size_t kMatchedHeadBytes = std::size_t{1} << 20;

// The longest header, its line end included, in code units.
inline constexpr std::size_t kMaxHeaderUnits = std::size_t{1} << 20;

struct RunReport {
    bool noFiles = false;       // the list was empty: nothing was done
    bool stopped = false;       // the host asked the run to stop (Yield gave false)
    bool pieceRemoved = false;  // stopping dropped a piece that was being written
    std::uint64_t piecesWritten = 0;
    // Blocks left uncut because the lines per piece were no whole number of at
    // least 1; the host was given Notice::LinesNotNumber for each.
    int blocksNotCut = 0;
    // Pieces that took "name (2).txt" and the like, their name being taken by
    // an earlier piece of the run (planned ones too, in a dry run).
    std::uint64_t piecesRenamed = 0;
    // Of piecesWritten, those that took the place of a file from before the
    // run; in a dry run, of the pieces planned, those whose name a file holds now.
    std::uint64_t piecesReplaced = 0;
    // Files left beside the pieces under names their naming gives to numbers
    // none of the new pieces took (see RunHost::OlderPieceLeft).
    std::uint64_t olderPiecesLeft = 0;
    // Sources that stopped at RunOptions::maxPieces with text left unread.
    std::uint64_t sourcesCapped = 0;
    // Sources that gave fewer pieces than RunOptions::parts.
    std::uint64_t sourcesShortOfParts = 0;
    std::vector<Failure> failures;

    [[nodiscard]] bool ok() const { return !noFiles && !stopped && failures.empty(); }
};

}  // namespace partwright
