#include "engine/run/run_sink.h"

#include <algorithm>
#include <string>
#include <utility>

#include "engine/files/native_file.h"
#include "engine/name/name_source.h"

namespace partwright {

int WriterThreads(const RunOptions& options) {
    if (options.dryRun) return 0;
    return options.writerThreads < 0 ? DefaultWriterThreads() : options.writerThreads;
}

RunSink::RunSink(RunContext& run, PieceQueue& queue)
    : run_(run), queue_(queue), threaded_(WriterThreads(run.options) > 0) {
    if (run.options.compression == PieceCompression::Gzip) namer_.AddToNames(NativeString{'.', 'g', 'z'});
}

void RunSink::Stop() {
    run_.stop.request_stop();
    if (Abandon()) run_.report.pieceRemoved = true;
    FinishPending();
}

void RunSink::StartSource(const std::filesystem::path& source, std::shared_ptr<const NativeFile> file) {
    Abandon();
    // The pieces of the last source are written before its names and coding are let go.
    EndSource();
    queue_.StartSource();
    undoable_ = false;
    if (!cutAgain_) firstCutFresh_.clear();
    cutAgain_ = false;
    source_ = source;
    nameSource_ = NameSourceOf(source, run_.options);
    header_ = run_.encoder.Head();
    pieceIndex_ = 0;
    capped_ = false;
    overCap_ = false;
    std::filesystem::path folder = nameSource_.parent_path();
    names_.SetFolder(folder.empty() ? std::filesystem::path(".") : folder);
    undecided_ = run_.codepage.undecided();
    undecidedWritten_.clear();
    discarding_ = false;
    // The writers read the source's own bytes from the file themselves.
    sourceFile_ = threaded_ ? std::move(file) : nullptr;
    step_ = {};
    stepOffset_.reset();
    stepTail_.clear();
    queue_.WriteHere(false);
}

void RunSink::StepAt(std::string_view step, std::optional<std::uint64_t> offset) {
    step_ = step;
    stepOffset_ = offset;
}

void RunSink::StepDone() {
    stepTail_.clear();
    if (!sourceFile_ || !stepOffset_) return;
    const std::string_view tail = step_.substr(step_.size() - std::min(step_.size(), kStepTailBytes));
    stepTail_.assign(tail);
    stepTailEnd_ = *stepOffset_ + step_.size();
}

std::optional<std::uint64_t> RunSink::SourceOffsetOf(std::string_view bytes) const {
    if (!stepOffset_) return std::nullopt;
    const char* const base = step_.data();
    if (bytes.data() >= base && bytes.data() + bytes.size() <= base + step_.size())
        return *stepOffset_ + static_cast<std::uint64_t>(bytes.data() - base);
    // The cutter holds what it cannot place yet as a copy, or hands on a line
    // end of its own: when those are the very bytes that follow the range
    // gathered last, they continue it.
    const std::optional<std::uint64_t> next = queue_.GatheredRangeEnd(*sourceFile_);
    if (next && SourceHoldsAt(*next, bytes)) return next;
    return std::nullopt;
}

// Whether the source's bytes from `at` on are `bytes`, as far as the step
// and the tail kept of the step before show them.
bool RunSink::SourceHoldsAt(std::uint64_t at, std::string_view bytes) const {
    const std::uint64_t stepStart = *stepOffset_;
    if (!stepTail_.empty() && stepTailEnd_ == stepStart && at < stepStart) {
        const std::uint64_t tailStart = stepTailEnd_ - stepTail_.size();
        if (at < tailStart) return false;
        const std::size_t inTail = std::min<std::size_t>(bytes.size(), stepStart - at);
        if (std::string_view(stepTail_).substr(at - tailStart, inTail) != bytes.substr(0, inTail)) return false;
        return step_.substr(0, bytes.size() - inTail) == bytes.substr(inTail);
    }
    if (at < stepStart || at - stepStart > step_.size()) return false;
    return step_.substr(at - stepStart, bytes.size()) == bytes;
}

void RunSink::SetHeader(std::string_view header) {
    header_ = run_.encoder.Head();
    header_ += run_.encoder.Encoded(header, encoded_);
}

bool RunSink::BeginPiece() {
    ResetPiece();
    if (!run_.Yield()) {
        Stop();
        return false;
    }
    current_ = pieceIndex_++;
    if (run_.options.maxPieces > 0 && current_ >= run_.options.maxPieces) {
        // Past the cap: only whether it would be written is of interest (the
        // empty last group of lines mode would not), and the cut stops there.
        if (capped_) return false;
        overCap_ = true;
        return true;
    }
    if (discarding_) {
        state_ = State::Skipped;
        return true;
    }
    NameFromSettings();
    return true;
}

void RunSink::NameFromSettings() {
    Failure failure;
    switch (namer_.Begin(run_.settings, source_, nameSource_, current_ + 1, target_, failure)) {
    case PieceNamer::Start::Named: state_ = State::Named; break;
    case PieceNamer::Start::Collecting:
        state_ = State::Collecting;
        if (namer_.complete()) NameKnown({});
        break;
    case PieceNamer::Start::Unnamable: Unnamable(failure); break;
    }
}

void RunSink::AppendToPiece(std::string_view bytes) {
    if (overCap_) {
        capped_ = capped_ || !bytes.empty();
        return;
    }
    if (run_.options.dryRun) plannedBytes_ += run_.encoder.WrittenSize(bytes);
    AppendBytes(bytes);
}

void RunSink::AppendBytes(std::string_view bytes) {
    switch (state_) {
    case State::Skipped: return;
    case State::Unnamable:
        if (!bytes.empty()) Skip(unnamable_);
        return;
    case State::Collecting: {
        // The rest, once the name is known, goes out as it is.
        const std::size_t take = namer_.Collect(bytes);
        Collected(bytes.substr(0, take));
        if (take < bytes.size()) AppendBytes(bytes.substr(take));
        return;
    }
    case State::Named:
        if (!opened_ && !Open()) return;
        Write(bytes);
        return;
    case State::NamedTemporary: Write(bytes); return;
    }
}

// `bytes` went to the namer, which wanted all of them.
void RunSink::Collected(std::string_view bytes) {
    if (namer_.tooLong()) {
        Skip(namer_.TooLong());
        return;
    }
    if (namer_.complete()) {
        NameKnown(bytes);
        return;
    }
    if (run_.options.dryRun || bytes.empty()) return;
    if (!queue_.pieceOpen()) OpenUnnamed();
    queue_.Append(run_.encoder.Encoded(bytes, encoded_));
}

// The piece's temporary file, opened before its name is known, with the header.
void RunSink::OpenUnnamed() {
    queue_.OpenTemporary(nameSource_.parent_path());
    WriteHeader();
}

// The first x units are in: `bytes` are those not passed on yet.
void RunSink::NameKnown(std::string_view bytes) {
    target_ = namer_.Name();
    if (queue_.pieceOpen()) {
        // A failure of its temporary file so far is reported under this name.
        queue_.Name(target_);
        state_ = State::NamedTemporary;
        Write(bytes);
        return;
    }
    state_ = State::Named;
    if (bytes.empty()) return;
    if (!Open()) return;
    Write(bytes);
}

bool RunSink::Open() {
    ClaimTarget();
    if (!MayGoUndecided()) {
        Discard();
        return false;
    }
    if (run_.options.dryRun) {
        if (const auto refused = run_.sources.RefuseSource(target_, IdentityOf(target_))) {
            Skip(*refused);
            return false;
        }
        TakeName({target_, targetKey_, wanted_, wantedKey_, copy_});
        NoteRenamed(wanted_, target_);
        run_.host.PlannedPiece(target_);
        opened_ = true;
        return true;
    }
    queue_.Open(target_, run_.sources);
    opened_ = true;
    WriteHeader();
    return true;
}

// The byte-order mark and the header go first into every piece file, before the piece's own text.
void RunSink::WriteHeader() { queue_.Append(header_); }

void RunSink::Write(std::string_view bytes) {
    if (run_.options.dryRun) return;
    // The writer copies the source's own bytes from the file: no copy here,
    // and none that crosses from this core's cache to the writer's. A short
    // run goes as a copy, unless it continues the range gathered last, which
    // then takes it in the same read.
    if (sourceFile_ && run_.encoder.KeepsAsIs(bytes)) {
        if (const std::optional<std::uint64_t> at = SourceOffsetOf(bytes)) {
            if (bytes.size() >= kRangeBytes || queue_.GatheredRangeEnd(*sourceFile_) == at) {
                queue_.AppendFrom(sourceFile_, *at, bytes.size());
                return;
            }
        }
    }
    queue_.Append(run_.encoder.Encoded(bytes, encoded_));
}

void RunSink::EndPiece(bool writeWhenEmpty) {
    if (overCap_) {
        capped_ = capped_ || writeWhenEmpty;
        overCap_ = false;
        return;
    }
    switch (state_) {
    case State::Skipped: break;
    case State::Unnamable:
        // An empty piece of lines mode is not written, so it needs no name.
        if (writeWhenEmpty) Skip(unnamable_);
        break;
    case State::Collecting:
        // The piece is shorter than the name length: all of it makes the name.
        target_ = namer_.Name();
        if (queue_.pieceOpen()) {
            queue_.Name(target_);
            state_ = State::NamedTemporary;
            Commit();
            break;
        }
        state_ = State::Named;
        if (namer_.unitsSeen() == 0 && !writeWhenEmpty) break;
        if (!Open()) break;
        Commit();
        break;
    case State::Named:
        if (!opened_ && (!writeWhenEmpty || !Open())) break;
        Commit();
        break;
    case State::NamedTemporary: Commit(); break;
    }
    ResetPiece();
    run_.host.ReportProgress(run_.progress);
}

void RunSink::Commit() {
    if (run_.options.dryRun) {
        run_.host.PlannedPieceSize(target_, header_.size() + plannedBytes_);
        return;
    }
    if (state_ == State::NamedTemporary) {
        ClaimTarget();
        if (!MayGoUndecided()) {
            Discard();
            return;
        }
    }
    queue_.Commit(state_ == State::NamedTemporary ? &target_ : nullptr, run_.sources);
    // The piece's names go with its ending: ResetPiece clears them next.
    pendingPieces_.push_back({std::move(target_), targetKey_, std::move(wanted_), wantedKey_, copy_, true, current_});
    ++pending_[PendingSlot(targetKey_)];
    FinishPending(false);
    // A bounded number of pieces is in flight, however small they are.
    PieceQueue::Outcome outcome;
    while (pendingPieces_.size() > kMaxPiecesInFlight && queue_.TakeOutcome(outcome, true)) {
        const PendingPiece ending = std::move(pendingPieces_.front());
        pendingPieces_.pop_front();
        ApplyOutcome(ending, outcome);
    }
}

void RunSink::CutAgain() {
    Abandon();
    FinishPending();
    // Pieces of a reading given up, under names the new one may not take again.
    for (const std::filesystem::path& written : undecidedWritten_) {
        std::error_code error;
        std::filesystem::remove(written, error);
        if (error) {
            run_.Report(
                {Failure::Kind::WritePiece, written,
                 "a piece of the source read as UTF-8, which it is not, could not be removed: " + error.message()});
        }
    }
    // Then the second cut meets none of the first cut's pieces.
    if (undecided_) firstCutFresh_.clear();
    // The host was told of the first cut's pieces unless they waited for
    // their reading to be kept: the second cut's under the same names are not told again.
    toldFirstCut_.clear();
    if (!undecided_) toldFirstCut_.insert(names_.takenSinceCheckpoint().begin(), names_.takenSinceCheckpoint().end());
    undecidedWritten_.clear();
    undecided_ = false;
    discarding_ = false;
    cutAgain_ = true;
    lastingFailure_.reset();  // the second cut writes afresh
    toldOnceKept_.clear();    // of pieces removed above
    secondCutStarting_ = true;
    names_.Rollback();
}

// See UndecidedCodepage::MayWrite. False when the source is not UTF-8 after
// all (or could not be read to its end): the piece is not to be written.
bool RunSink::MayGoUndecided() {
    if (!undecided_) return true;
    if (!run_.codepage.MayWrite(target_)) return false;
    if (!run_.codepage.undecided()) {
        // UTF-8 throughout: the pieces written so far stay.
        undecided_ = false;
        undecidedWritten_.clear();
        TellKeptPieces();
    }
    return true;
}

// Drops the piece in progress and the rest of the cut, which the source's
// next step starts again (Restart) or ends (Error).
void RunSink::Discard() {
    DropOpenPiece();
    state_ = State::Skipped;
    opened_ = false;
    discarding_ = true;
}

// Abandons the piece the queue has open, if any, and tells nothing of what
// became of its file: its failure, if any, is reported otherwise.
void RunSink::DropOpenPiece() {
    if (!queue_.pieceOpen()) return;
    queue_.Abandon();
    pendingPieces_.push_back({});
    pendingPieces_.back().reportFailure = false;
}

void RunSink::Skip(const Failure& failure) {
    DropOpenPiece();
    run_.Fail(failure);
    state_ = State::Skipped;
    opened_ = false;
}

// The piece cannot be named; that is a failure only if it has to be written.
void RunSink::Unnamable(Failure failure) {
    unnamable_ = std::move(failure);
    state_ = State::Unnamable;
}

bool RunSink::Abandon() {
    abandonedFile_ = false;
    if (queue_.pieceOpen()) {
        queue_.Abandon();
        pendingPieces_.push_back({});
        FinishPending();
    }
    ResetPiece();
    return abandonedFile_;
}

void RunSink::ResetPiece() {
    targetKey_ = 0;
    wanted_.clear();
    state_ = State::Skipped;
    target_.clear();
    opened_ = false;
    plannedBytes_ = 0;
}

}  // namespace partwright
