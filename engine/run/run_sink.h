#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/cut/cutter.h"
#include "engine/name/name_ledger.h"
#include "engine/name/piece_namer.h"
#include "engine/run/run_context.h"
#include "engine/write/piece_queue.h"
#include "partwright/text.h"

namespace partwright {

// The writer threads of a run: none in a dry run.
[[nodiscard]] int WriterThreads(const RunOptions& options);

// Names and writes the pieces of one source as the cutter hands them over.
// The naming options are read once per piece, when it begins. Every piece
// goes through the writer's temporary file; one whose name depends on its
// first characters is written there before its name is known.
// It takes the text in the form the reader hands it on (see text_form.h),
// which the run's PieceEncoder turns into the bytes the piece file holds.
// A name taken by an earlier piece of the run gives the piece the first free
// CopyName; a name is taken once its piece is written (or planned), so one
// that fails leaves its name free. Pieces are written on the PieceQueue's
// threads; their outcomes (names taken, failures, the host's calls) are
// settled on the run's thread in piece order, and a piece that wants a name
// whose piece is still being written waits for that outcome first. While a
// source's code page is undecided (code page auto, cuts that differ by code
// page), its pieces go only under free names, and are removed should the
// source be cut again in another code page.
class RunSink final : public PieceSink {
public:
    // Runs of the source's bytes at least this long go to the writers as places in the source.
    static constexpr std::size_t kRangeBytes = 4096;
    // Pieces handed to the writers and not settled, at most.
    static constexpr std::size_t kMaxPiecesInFlight = 256;
    // Writes the pieces through `queue`, which the run owns.
    RunSink(RunContext& run, PieceQueue& queue);

    // The next source: its piece index starts at 0. With `file` (the source,
    // open for reading at offsets), the source's own bytes that a piece holds
    // as they are go to the writers as places in it, which they read
    // themselves. While the run's UndecidedCodepage is undecided, its pieces
    // go only where it allows.
    void StartSource(const std::filesystem::path& source, std::shared_ptr<const NativeFile> file = nullptr);
    // Whether StartSource makes use of the source file.
    [[nodiscard]] bool copiesFromSource() const { return threaded_; }
    // The step of the source being cut, and where it lies in the source when
    // its bytes are the source's own.
    void StepAt(std::string_view step, std::optional<std::uint64_t> offset);
    // The step is cut. Its last bytes are kept: a cutter may hand them on
    // again with the next step (the part of a line that crossed the edge, or a
    // line end), and then they still go to the writers as a place in the source.
    void StepDone();

    // The source's header with its line end, written at the head of every
    // piece from now on (after the output encoding's byte-order mark).
    void SetHeader(std::string_view header);

    bool BeginPiece() override;
    void AppendToPiece(std::string_view bytes) override;
    void EndPiece(bool writeWhenEmpty) override;

    // Drops the piece in progress, leaving no file of it behind; false when
    // no piece was being written.
    bool Abandon();

    // The run stops (its stop is requested, if it was not yet): the piece in
    // progress and the pieces handed to the writers and not yet written are
    // dropped, leaving nothing of them.
    void Stop();

    // Waits for every piece handed to the writers and settles its outcome:
    // before anything else is reported, and at the end of the run.
    void FinishPending();
    // As FinishPending, once the source's cut is over: a failure that struck
    // every later piece of the source is reported now, once, with how many
    // pieces it kept from being written.
    void EndSource();

    // The pieces of the current source written so far, settled: how many,
    // the first and the last.
    struct Written {
        std::uint64_t count = 0;
        std::filesystem::path first;
        std::filesystem::path last;
    };
    [[nodiscard]] const Written& writtenOfSource() const { return written_; }
    // The current source reached RunOptions::maxPieces, and a piece past the
    // cap would have been written: the cut is to stop (the next BeginPiece says so).
    [[nodiscard]] bool capped() const { return capped_; }

    // The source is cut again from its start: gives back the names this
    // source's pieces took, so the second cut's pieces take them again (and
    // replace the first cut's files), and removes the pieces cut while its
    // code page was undecided.
    void CutAgain();
    // From now on keeps what the names taken by this source's pieces change,
    // so that CutAgain can give them back (a source that may be cut again).
    void KeepNamesUndoable() {
        undoable_ = true;
        names_.Checkpoint();
    }

private:
    enum class State {
        Skipped,        // not written: writing failed, or its failure is reported
        Unnamable,      // no usable name: a failure once the piece turns out to be written
        Named,          // the target is known; the piece is opened on its first content
        Collecting,     // first-characters naming: the name is not known yet
        NamedTemporary  // the name became known while the piece was in a temporary file
    };

    void AppendBytes(std::string_view bytes);
    void NameFromSettings();
    void Collected(std::string_view bytes);
    void NameKnown(std::string_view bytes);
    void OpenUnnamed();
    [[nodiscard]] bool Open();
    void Write(std::string_view bytes);
    void WriteHeader();
    void Commit();
    // What the run still has to do for a piece once its outcome is known.
    struct PendingPiece {
        std::filesystem::path target;
        std::uint64_t targetKey = 0;
        std::filesystem::path wanted;
        std::uint64_t wantedKey = 0;
        int copy = 0;
        bool reportFailure = true;  // false for a piece dropped for a failure of its own, already reported
        std::int64_t piece = -1;    // its index in its source; -1 for a piece dropped
    };
    void FinishPending(bool wait);
    void ApplyOutcome(const PendingPiece& ending, PieceQueue::Outcome& outcome);
    void Skip(const Failure& failure);
    void DropOpenPiece();
    // Where `bytes` lie in the source when they are its own bytes: a view
    // into the step, or a copy of the source's bytes right after the range the piece gathered last.
    [[nodiscard]] std::optional<std::uint64_t> SourceOffsetOf(std::string_view bytes) const;
    [[nodiscard]] bool SourceHoldsAt(std::uint64_t at, std::string_view bytes) const;
    [[nodiscard]] bool MayGoUndecided();
    void Discard();
    void Unnamable(Failure failure);
    void ResetPiece();
    void ClaimTarget();
    void TakeName(const PendingPiece& ending);
    void NoteRenamed(const std::filesystem::path& wanted, const std::filesystem::path& given);
    // Tells the host a piece went under `given` (having wanted `wanted`, if not empty).
    void TellWritten(const std::filesystem::path& wanted, const std::filesystem::path& given);
    void TellKeptPieces();
    [[nodiscard]] bool Pending(std::uint64_t key) const;
    [[nodiscard]] static std::size_t PendingSlot(std::uint64_t key) { return (key >> 40) & 4095; }

    RunContext& run_;
    std::filesystem::path source_;
    std::filesystem::path nameSource_;  // the source as if it lay in the folder the pieces go to
    std::string header_;                // as written, with the byte-order mark
    std::string encoded_;               // a step as written, when that is not the text's own bytes
    std::int64_t pieceIndex_ = 0;       // of the next piece
    std::int64_t current_ = 0;          // the piece index of the piece in progress

    State state_ = State::Skipped;
    std::filesystem::path target_;
    Failure unnamable_{};  // why a piece in State::Unnamable has no name
    bool opened_ = false;  // created (or, in a dry run, planned)
    PieceQueue& queue_;
    bool threaded_ = false;  // the queue has writer threads
    std::string_view step_;  // the step being cut
    std::optional<std::uint64_t> stepOffset_;
    // The last bytes of the step before, when they were the source's own, and where they end in the source.
    static constexpr std::size_t kStepTailBytes = 2048;
    std::string stepTail_;
    std::uint64_t stepTailEnd_ = 0;
    std::shared_ptr<const NativeFile> sourceFile_;  // for pieces that copy from it
    std::deque<PendingPiece> pendingPieces_;        // of the pieces ended and not settled, oldest first
    // Of the pieces in pendingPieces_ that were committed, how many have a name key
    // in each slot: a quick no for most names.
    std::array<std::uint16_t, 4096> pending_{};
    bool abandonedFile_ = false;  // the last piece abandoned had a file open
    // The source's code page is undecided (UndecidedCodepage): its pieces
    // are removed should it not be UTF-8.
    bool undecided_ = false;
    std::vector<std::filesystem::path> undecidedWritten_;  // settled as written
    bool discarding_ = false;                              // it is not UTF-8: the rest of this cut is dropped

    PieceNamer namer_;                // of the piece in progress
    std::uint64_t plannedBytes_ = 0;  // of the piece's own text, in a dry run

    NameLedger names_;              // taken by pieces of the run
    std::uint64_t wantedKey_ = 0;   // of wanted_
    int copy_ = 0;                  // the copy number of the name the piece goes under
    std::uint64_t targetKey_ = 0;   // of the name the piece in progress goes under; 0 before ClaimTarget
    std::filesystem::path wanted_;  // the name it wanted, when it goes under another
    // The current source may be cut again: names_ keeps what it takes, for
    // CutAgain to give back.
    bool undoable_ = false;
    // Of each piece of a source's first cut, whether it was written under a
    // free name: the same piece of the second cut replaces that file, which
    // is no older file. Kept from CutAgain to the end of the second cut.
    std::vector<bool> firstCutFresh_;
    bool cutAgain_ = false;
    // The first failure of the source that struck every later piece, and
    // how many pieces it kept from being written, itself included.
    std::optional<Failure> lastingFailure_;
    std::uint64_t notWritten_ = 0;
    Written written_;
    // Pieces written while the source's reading was undecided, as wanted and
    // given names: told to the host once the reading is kept.
    std::vector<std::pair<std::filesystem::path, std::filesystem::path>> toldOnceKept_;
    // The keys of the names told to the host by the first cut of a source
    // cut again, whose pieces the second cut replaces under the same names.
    std::unordered_set<std::uint64_t> toldFirstCut_;
    bool secondCutStarting_ = false;
    bool capped_ = false;
    bool overCap_ = false;  // the piece in progress is past RunOptions::maxPieces
};

}  // namespace partwright
