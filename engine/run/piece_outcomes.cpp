// RunSink: the outcomes of the pieces handed to the writers, settled on the
// run's thread in piece order, and the names the pieces take.
#include <algorithm>
#include <string>
#include <system_error>
#include <utility>

#include "engine/name/naming.h"
#include "engine/run/run_sink.h"

namespace partwright {

void RunSink::FinishPending() {
    if (pendingPieces_.empty()) return;
    FinishPending(true);
    run_.host.ReportProgress(run_.progress);
}

void RunSink::EndSource() {
    FinishPending();
    TellKeptPieces();
    // Kept from CutAgain to the end of the second cut.
    if (!secondCutStarting_) toldFirstCut_.clear();
    secondCutStarting_ = false;
    written_ = {};
    if (!lastingFailure_) return;
    Failure failure = std::move(*lastingFailure_);
    lastingFailure_.reset();
    if (notWritten_ > 1) {
        failure.reason += "; neither this piece nor the " + std::to_string(notWritten_ - 1) +
                          " after it of its source were written";
    }
    run_.Report(failure);
}

// Settles the outcomes of the pieces ended, in their order: all of them, or
// (without `wait`) those already written.
void RunSink::FinishPending(bool wait) {
    PieceQueue::Outcome outcome;
    while (!pendingPieces_.empty() && queue_.TakeOutcome(outcome, wait)) {
        const PendingPiece ending = std::move(pendingPieces_.front());
        pendingPieces_.pop_front();
        ApplyOutcome(ending, outcome);
        // Waiting for the writers, the host still sees the pieces come.
        if (wait) run_.host.ReportProgress(run_.progress);
    }
}

void RunSink::ApplyOutcome(const PendingPiece& ending, PieceQueue::Outcome& outcome) {
    if (outcome.committed) {
        --pending_[PendingSlot(ending.targetKey)];
    } else {
        abandonedFile_ = outcome.hadFile;
    }
    if (outcome.dropped && outcome.hadFile) run_.report.pieceRemoved = true;
    if (lastingFailure_ && ending.piece >= 0 && !(outcome.written && outcome.replacedOlder)) {
        // An earlier piece of the source failed for good: the pieces after it
        // are not kept, also one a writer gave a free name meanwhile.
        if (outcome.written) {
            std::error_code ignored;
            std::filesystem::remove(ending.target, ignored);
        }
        if (outcome.committed) ++notWritten_;
        return;
    }
    if (!outcome.written) {
        if (outcome.failure && outcome.lasting && !lastingFailure_) {
            // Every later piece of the source meets it too: one report at the source's end.
            lastingFailure_ = std::move(outcome.failure);
            notWritten_ = 1;
        } else if (outcome.failure && ending.reportFailure) {
            run_.Report(*outcome.failure);
        }
        return;
    }
    TakeName(ending);
    const auto piece = static_cast<std::size_t>(ending.piece);
    if (!ending.wanted.empty()) ++run_.report.piecesRenamed;
    // A reading that may yet be given up tells the host of its pieces only once it is kept.
    // A source cut again tells each name once, though both cuts write it.
    if (undecided_) {
        toldOnceKept_.push_back({ending.wanted, ending.target});
    } else if (toldFirstCut_.empty() || !toldFirstCut_.contains(ending.targetKey)) {
        TellWritten(ending.wanted, ending.target);
    }
    // One that took an older file's place (which only another program can
    // have put there since it was named) stays, whatever comes.
    if (undecided_ && !outcome.replacedOlder) undecidedWritten_.push_back(ending.target);
    ++run_.report.piecesWritten;
    if (written_.count++ == 0) written_.first = ending.target;
    written_.last = ending.target;
    if (undoable_) {
        if (firstCutFresh_.size() <= piece) firstCutFresh_.resize(piece + 1);
        firstCutFresh_[piece] = !outcome.replacedOlder;
    } else if (outcome.replacedOlder && piece < firstCutFresh_.size() && firstCutFresh_[piece]) {
        outcome.replacedOlder = false;  // the first cut's own piece
    }
    if (outcome.replacedOlder) ++run_.report.piecesReplaced;
    ++run_.progress.piecesWritten;
}

void RunSink::NoteRenamed(const std::filesystem::path& wanted, const std::filesystem::path& given) {
    if (wanted.empty()) return;
    ++run_.report.piecesRenamed;
    run_.host.PieceRenamed(wanted, given);
}

void RunSink::TellWritten(const std::filesystem::path& wanted, const std::filesystem::path& given) {
    if (!wanted.empty()) run_.host.PieceRenamed(wanted, given);
    run_.host.PieceWritten(given);
}

void RunSink::TellKeptPieces() {
    for (const auto& [wanted, given] : toldOnceKept_) TellWritten(wanted, given);
    toldOnceKept_.clear();
}

// Whether a piece ended and not settled goes under the name of `key`.
bool RunSink::Pending(std::uint64_t key) const {
    if (pending_[PendingSlot(key)] == 0) return false;
    return std::any_of(pendingPieces_.begin(), pendingPieces_.end(),
                       [key](const PendingPiece& ending) { return ending.targetKey == key; });
}

// Gives the piece the name it wanted, or, when a piece of the run took that
// one, the first copy name none did.
void RunSink::ClaimTarget() {
    wanted_.clear();
    std::uint64_t key = names_.KeyOf(target_);
    // Whether a name is taken is known once the pieces that want it are written.
    if (Pending(key)) FinishPending();
    if (names_.Taken(key)) {
        wantedKey_ = key;
        copy_ = names_.LastCopy(key);
        const std::filesystem::path wanted = target_;
        do {
            // A compressed piece's ".gz" stays last: "m (2).txt.gz", as the plain piece "m (2).txt".
            target_ = CopyName(wanted.native(), ++copy_, run_.options.compression == PieceCompression::Gzip ? 3 : 0);
            key = names_.KeyOf(target_);
            // Whether a piece still being written takes it is known once it is settled.
            if (Pending(key)) FinishPending();
        } while (names_.Taken(key));
        wanted_ = wanted;
    }
    targetKey_ = key;
}

// The piece is written (or planned): its name is taken for the rest of the run.
void RunSink::TakeName(const PendingPiece& ending) {
    if (ending.targetKey == 0) return;
    names_.Take(ending.targetKey, ending.wanted.empty() ? 0 : ending.wantedKey, ending.copy);
}

}  // namespace partwright
