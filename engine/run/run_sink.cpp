#include "engine/run/run_sink.h"

#include <algorithm>
#include <bit>
#include <string>
#include <thread>
#include <type_traits>
#include <utility>

#include "engine/files/native_file.h"
#include "engine/name/naming.h"
#include "engine/read/cesu8.h"
#include "engine/read/utf8_source.h"
#include "partwright/numeric.h"
#include "partwright/path_text.h"

namespace partwright {

namespace {

std::string Quoted(TextView text) { return "got \"" + ToCesu8(text) + "\""; }

using NativeStringView = std::basic_string_view<NativeChar>;

constexpr std::uint64_t kFnvOffset = 0xCBF29CE484222325ull;

// A character of a file name as the file system compares it.
NativeChar Folded(NativeChar c) {
#if defined(_WIN32) || defined(__APPLE__)
    if (c >= NativeChar('A') && c <= NativeChar('Z')) return static_cast<NativeChar>(c - 'A' + 'a');
#endif
    return c;
}

// 64-bit FNV-1a, continued from `hash` over `text`'s characters as the file
// system compares them: a name's key is built without a copy of the name.
std::uint64_t HashFolded(std::uint64_t hash, NativeStringView text) {
    for (const NativeChar c : text) {
        hash ^= static_cast<std::make_unsigned_t<NativeChar>>(Folded(c));
        hash *= 0x100000001B3ull;
    }
    return hash;
}

}  // namespace

namespace {

int WriterThreads(const RunOptions& options) {
    if (options.dryRun) return 0;
    return options.writerThreads < 0 ? DefaultWriterThreads() : options.writerThreads;
}

}  // namespace

// Two writers beside the run's thread were best on two cores (a 300 MB
// source in 10000-line pieces: 0.93x GNU split's time on the run's thread
// alone, 0.65x with two writers; one-line pieces gain less, the folder being
// one lock); more gave no more. On one core a thread only adds switching.
int DefaultWriterThreads() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores >= 2 ? 2 : 0;
}

RunSink::RunSink(RunContext& run)
    : run_(run),
      queue_(WriterThreads(run.options), run.stop.get_token(), [this] { (void)run_.Yield(); }),
      threaded_(WriterThreads(run.options) > 0) {}

void RunSink::Stop() {
    run_.stop.request_stop();
    if (Abandon()) run_.report.pieceRemoved = true;
    Settle();
}

void RunSink::StartSource(const std::filesystem::path& source, const ByteCoding* coding, SourceReader* reader) {
    Abandon();
    // The pieces of the last source are written before its names and coding are let go.
    Settle();
    undoable_ = false;
    if (!cutAgain_) firstCutFresh_.clear();
    cutAgain_ = false;
    takenBySource_.clear();
    lastCopyBefore_.clear();
    source_ = source;
    nameSource_ = run_.options.outputFolder.empty() ? source : run_.options.outputFolder / source.filename();
    header_.clear();
    headerBytes_.clear();
    pieceIndex_ = 0;
    // Two spellings of one folder, through links or "..", are one folder.
    std::filesystem::path folder = nameSource_.parent_path();
    if (folder.empty()) folder = ".";
    std::error_code error;
    std::filesystem::path resolved = std::filesystem::absolute(folder, error);
    if (!error) {
        std::filesystem::path canonical = std::filesystem::weakly_canonical(resolved, error);
        resolved = error ? resolved.lexically_normal() : std::move(canonical);
    } else {
        resolved = folder.lexically_normal();
    }
    folderHash_ = HashFolded(kFnvOffset, resolved.native());
    folderHash_ = HashFolded(folderHash_, NativeStringView(&std::filesystem::path::preferred_separator, 1));
    bytes_ = coding != nullptr;
    if (coding) coding_ = *coding;
    reader_ = reader;
    undecided_ = reader && reader->undecided();
    undecidedPieces_ = 0;
    undecidedWritten_.clear();
    discarding_ = false;
    // The writers read the source's own UTF-8 bytes, and its UTF-16 units,
    // from the file themselves.
    const bool utf16Ranges = !bytes_ && reader && reader->isUtf16() && std::endian::native == std::endian::little;
    sourceFile_ = threaded_ && reader && ((bytes_ && coding_.forms.verbatim) || utf16Ranges) ? reader->SharedFile()
                                                                                             : nullptr;
    // Other decoded text would go to a writer as a copy of its units, twice
    // the bytes of a single-byte source: written here it is encoded straight
    // from them (a 200 MB UTF-16 source handed over as units: 133 ms here,
    // 158 ms on two writers).
    queue_.WriteHere(!bytes_ && !(utf16Ranges && sourceFile_));
}

void RunSink::SetHeader(Text header) { header_ = std::move(header); }
void RunSink::SetHeader(std::string header) { headerBytes_ = std::move(header); }

bool RunSink::BeginPiece() {
    ResetPiece();
    if (!run_.Yield()) {
        Stop();
        return false;
    }
    current_ = pieceIndex_++;
    if (discarding_) {
        state_ = State::Skipped;
        return true;
    }
    NameFromSettings();
    return true;
}

void RunSink::NameFromSettings() {
    const SplitSettings& settings = run_.settings;
    const NativeString& source = nameSource_.native();
    if (settings.FirstCharsSelected()) {
        const TypedField<std::int32_t> length = settings.NameLength();
        if (!length.value) {
            Unnamable({Failure::Kind::BadNameLength, source_, Quoted(length.typed)});
            return;
        }
        nameLength_ = *length.value;
        state_ = State::Collecting;
        if (nameLength_ == 0) NameKnown({});
    } else if (settings.NumberedSelected()) {
        target_ = NumberedName(source, current_ + 1);
        state_ = State::Named;
    } else if (settings.PrefixSelected()) {
        const Text prefix = settings.Prefix();
        if (const char* problem = PrefixProblem(prefix)) {
            Unnamable({Failure::Kind::BadPrefix, source_, std::string(problem) + ", " + Quoted(prefix)});
            return;
        }
        const TypedField<std::int16_t> first = settings.FirstNumber();
        if (!first.value) {
            Unnamable({Failure::Kind::BadFirstNumber, source_, Quoted(first.typed)});
            return;
        }
        target_ = PrefixCounterName(prefix, source, *first.value + current_);
        state_ = State::Named;
    }
    // With no naming option selected there is no name to give: the piece stays skipped.
}

void RunSink::AppendToPiece(TextView units) {
    if (run_.options.dryRun) plannedBytes_ += Utf8Size(units);
    switch (state_) {
    case State::Skipped: return;
    case State::Unnamable:
        if (!units.empty()) Skip(unnamable_);
        return;
    case State::Collecting: Collect(units); return;
    case State::Named:
        if (!opened_ && !Open()) return;
        Write(units);
        return;
    case State::NamedTemporary: Write(units); return;
    }
}

void RunSink::AppendToPiece(std::string_view bytes) {
    if (run_.options.dryRun) plannedBytes_ += Utf8Size(bytes);
    AppendBytes(bytes);
}

void RunSink::AppendBytes(std::string_view bytes) {
    switch (state_) {
    case State::Skipped: return;
    case State::Unnamable:
        if (!bytes.empty()) Skip(unnamable_);
        return;
    case State::Collecting: {
        // Only the bytes that may make the name are decoded; the rest, once
        // the name is known, go out as bytes.
        const auto wanted = static_cast<std::size_t>(
            std::min<std::int64_t>(static_cast<std::int64_t>(bytes.size()), nameLength_ - unitsSeen_));
        std::size_t take = wanted;
        if (coding_.table) {
            decoded_.resize(take);
            for (std::size_t i = 0; i < take; ++i) decoded_[i] = (*coding_.table)[static_cast<unsigned char>(bytes[i])];
        } else {
            decoded_.clear();
            take = DecodeCesu8(bytes, wanted, decoded_);
        }
        Collect(decoded_);
        if (take < bytes.size()) AppendBytes(bytes.substr(take));
        return;
    }
    case State::Named:
        if (!opened_ && !Open()) return;
        WriteBytes(bytes);
        return;
    case State::NamedTemporary: WriteBytes(bytes); return;
    }
}

void RunSink::Collect(TextView units) {
    const auto take = static_cast<std::size_t>(
        std::min<std::int64_t>(static_cast<std::int64_t>(units.size()), nameLength_ - unitsSeen_));
    nameChars_ += AlphaNumOnly(units.substr(0, take));
    unitsSeen_ += static_cast<std::int64_t>(take);
    if (nameChars_.size() > kMaxNameChars) {
        Skip({Failure::Kind::NameTooLong, source_,
              "more than " + std::to_string(kMaxNameChars) + " letters and digits in its first " +
                  std::to_string(nameLength_) + " characters"});
        return;
    }
    if (unitsSeen_ == nameLength_) {
        NameKnown(units);
        return;
    }
    if (run_.options.dryRun || units.empty()) return;
    if (!queue_.pieceOpen()) OpenUnnamed();
    queue_.Append(units);
}

// The piece's temporary file, opened before its name is known, with the header.
void RunSink::OpenUnnamed() {
    queue_.OpenTemporary(nameSource_.parent_path());
    if (bytes_) {
        queue_.Append(headerBytes_, coding_.forms);
    } else {
        queue_.Append(header_);
    }
}

// The first x units are in: `units` are the ones not passed on yet.
void RunSink::NameKnown(TextView units) {
    target_ = FirstCharsName(nameSource_.native(), nameChars_, nameLength_, current_ + 1);
    if (queue_.pieceOpen()) {
        // A failure of its temporary file so far is reported under this name.
        queue_.Name(target_);
        state_ = State::NamedTemporary;
        Write(units);
        return;
    }
    state_ = State::Named;
    if (units.empty()) return;
    if (!Open()) return;
    Write(units);
}

bool RunSink::Open() {
    ClaimTarget();
    if (!MayGoUndecided()) {
        Discard();
        return false;
    }
    if (run_.options.dryRun) {
        const std::optional<FileIdentity> identity = IdentityOf(target_);
        if (identity && run_.sources.Contains(*identity)) {
            Skip({Failure::Kind::TargetIsSource, target_, "it is a source of this run"});
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

// The header goes first into every piece file, before the piece's own text.
void RunSink::WriteHeader() {
    if (bytes_) {
        queue_.Append(headerBytes_, coding_.forms);
    } else {
        queue_.Append(header_);
    }
}

void RunSink::Write(TextView units) {
    if (run_.options.dryRun) return;
    if (sourceFile_ && units.size() * sizeof(char16_t) >= kRangeBytes) {
        if (const std::optional<std::uint64_t> offset = reader_->OffsetOfUnits(units)) {
            queue_.AppendUtf16From(sourceFile_, *offset, units.size() * sizeof(char16_t));
            return;
        }
    }
    queue_.Append(units);
}

void RunSink::WriteBytes(std::string_view bytes) {
    if (run_.options.dryRun) return;
    // The writer copies the source's own bytes from the file: no copy here,
    // and none that crosses from this core's cache to the writer's.
    if (sourceFile_ && bytes.size() >= kRangeBytes) {
        if (const std::optional<std::uint64_t> offset = reader_->OffsetOf(bytes)) {
            queue_.AppendFrom(sourceFile_, *offset, bytes.size());
            return;
        }
    }
    queue_.Append(bytes, coding_.forms);
}

void RunSink::EndPiece(bool writeWhenEmpty) {
    switch (state_) {
    case State::Skipped: break;
    case State::Unnamable:
        // An empty piece of lines mode is not written, so it needs no name.
        if (writeWhenEmpty) Skip(unnamable_);
        break;
    case State::Collecting:
        // The piece is shorter than the name length: all of it makes the name.
        target_ = FirstCharsName(nameSource_.native(), nameChars_, nameLength_, current_ + 1);
        if (queue_.pieceOpen()) {
            queue_.Name(target_);
            state_ = State::NamedTemporary;
            Commit();
            break;
        }
        state_ = State::Named;
        if (unitsSeen_ == 0 && !writeWhenEmpty) break;
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

// Bytes as EncodeCesu8 writes them: one to three a unit.
std::uint64_t RunSink::Utf8Size(TextView units) {
    std::uint64_t size = 0;
    for (const char16_t unit : units) size += Cesu8Length(unit);
    return size;
}

std::uint64_t RunSink::Utf8Size(std::string_view bytes) const {
    if (coding_.forms.verbatim) return bytes.size();
    std::uint64_t size = 0;
    for (const char byte : bytes) size += coding_.forms.length[static_cast<unsigned char>(byte)];
    return size;
}

void RunSink::Commit() {
    if (run_.options.dryRun) {
        const std::uint64_t header = bytes_ ? Utf8Size(headerBytes_) : Utf8Size(header_);
        run_.host.PlannedPieceSize(target_, header + plannedBytes_);
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
    endings_.push_back({std::move(target_), targetKey_, std::move(wanted_), wantedKey_, copy_, true, current_});
    ++pending_[PendingSlot(targetKey_)];
    Settle(false);
    // A bounded number of pieces is in flight, however small they are.
    PieceQueue::Outcome outcome;
    while (endings_.size() > kMaxPiecesInFlight && queue_.TakeOutcome(outcome, true)) {
        const Ending ending = std::move(endings_.front());
        endings_.pop_front();
        Settled(ending, outcome);
    }
}

void RunSink::Settle() {
    if (endings_.empty()) return;
    Settle(true);
    run_.host.ReportProgress(run_.progress);
}

// Settles the outcomes of the pieces ended, in their order: all of them, or
// (without `wait`) those already written.
void RunSink::Settle(bool wait) {
    PieceQueue::Outcome outcome;
    while (!endings_.empty() && queue_.TakeOutcome(outcome, wait)) {
        const Ending ending = std::move(endings_.front());
        endings_.pop_front();
        Settled(ending, outcome);
        // Waiting for the writers, the host still sees the pieces come.
        if (wait) run_.host.ReportProgress(run_.progress);
    }
}

void RunSink::Settled(const Ending& ending, PieceQueue::Outcome& outcome) {
    if (outcome.committed) {
        --pending_[PendingSlot(ending.targetKey)];
    } else {
        abandonedFile_ = outcome.hadFile;
    }
    if (outcome.dropped && outcome.hadFile) run_.report.pieceRemoved = true;
    if (!outcome.written) {
        if (outcome.failure && ending.reportFailure) run_.Report(*outcome.failure);
        return;
    }
    TakeName(ending);
    NoteRenamed(ending.wanted, ending.target);
    // One that took an older file's place (which only another program can
    // have put there since it was named) stays, whatever comes.
    if (undecided_ && !outcome.replacedOlder) undecidedWritten_.push_back(ending.target);
    ++run_.report.piecesWritten;
    const auto piece = static_cast<std::size_t>(ending.piece);
    if (undoable_) {
        if (firstCutFresh_.size() <= piece) firstCutFresh_.resize(piece + 1);
        firstCutFresh_[piece] = !outcome.replacedOlder;
    } else if (outcome.replacedOlder && piece < firstCutFresh_.size() && firstCutFresh_[piece]) {
        outcome.replacedOlder = false;  // the first cut's own piece
    }
    if (outcome.replacedOlder) ++run_.report.piecesReplaced;
    ++run_.progress.piecesWritten;
    run_.host.PieceWritten(ending.target);
}

// Whether a piece ended and not settled goes under the name of `key`.
bool RunSink::Pending(std::uint64_t key) const {
    if (pending_[PendingSlot(key)] == 0) return false;
    return std::any_of(endings_.begin(), endings_.end(),
                       [key](const Ending& ending) { return ending.targetKey == key; });
}

void RunSink::CutAgain() {
    Abandon();
    Settle();
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
    undecidedWritten_.clear();
    undecided_ = false;
    discarding_ = false;
    cutAgain_ = true;
    taken_.Erase(takenBySource_);
    takenBySource_.clear();
    for (auto undo = lastCopyBefore_.rbegin(); undo != lastCopyBefore_.rend(); ++undo) {
        if (undo->second) {
            lastCopy_[undo->first] = *undo->second;
        } else {
            lastCopy_.erase(undo->first);
        }
    }
    lastCopyBefore_.clear();
}

// While the source's code page is undecided, a piece goes only under a free
// name, and only so many of them, or else the rest of the source is checked
// first: no older file is replaced by a piece that a second cut, in another
// code page, would not give. False when the source is not UTF-8 after all
// (or could not be read to its end): the piece is not to be written.
bool RunSink::MayGoUndecided() {
    if (!undecided_) return true;
    if (++undecidedPieces_ <= kMaxUndecidedPieces) {
        std::error_code error;
        if (std::filesystem::symlink_status(target_, error).type() == std::filesystem::file_type::not_found) {
            return true;
        }
    }
    if (!reader_->DecideNow()) return false;
    undecided_ = false;
    undecidedWritten_.clear();
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
    endings_.push_back({});
    endings_.back().reportFailure = false;
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
        endings_.push_back({});
        Settle();
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
    nameLength_ = 0;
    unitsSeen_ = 0;
    nameChars_.clear();
    plannedBytes_ = 0;
}

bool TakenNames::Contains(std::uint64_t hash) const { return !slots_.empty() && slots_[SlotOf(hash)] != 0; }

void TakenNames::Insert(std::uint64_t hash) {
    if (hash == 0) hash = 1;
    if (2 * (used_ + 1) > slots_.size()) {
        // Kept at most half full, so a search ends soon at a free slot.
        std::vector<std::uint64_t> old = std::move(slots_);
        slots_.assign(std::max<std::size_t>(64, 2 * old.size()), 0);
        for (const std::uint64_t kept : old) {
            if (kept != 0) slots_[SlotOf(kept)] = kept;
        }
    }
    std::uint64_t& slot = slots_[SlotOf(hash)];
    if (slot == 0) {
        slot = hash;
        ++used_;
    }
}

// The slot that holds `hash`, or the free one where the search for it ends.
void TakenNames::Erase(const std::vector<std::uint64_t>& hashes) {
    if (hashes.empty() || slots_.empty()) return;
    std::vector<std::uint64_t> gone = hashes;
    for (std::uint64_t& hash : gone) {
        if (hash == 0) hash = 1;
    }
    std::sort(gone.begin(), gone.end());
    std::vector<std::uint64_t> old = std::move(slots_);
    slots_.assign(old.size(), 0);
    used_ = 0;
    for (const std::uint64_t kept : old) {
        if (kept == 0 || std::binary_search(gone.begin(), gone.end(), kept)) continue;
        slots_[SlotOf(kept)] = kept;
        ++used_;
    }
}

std::size_t TakenNames::SlotOf(std::uint64_t hash) const {
    if (hash == 0) hash = 1;
    const std::size_t mask = slots_.size() - 1;  // a power of two
    std::size_t slot = static_cast<std::size_t>(hash * 0x9E3779B97F4A7C15ull >> 17) & mask;
    while (slots_[slot] != 0 && slots_[slot] != hash) slot = (slot + 1) & mask;
    return slot;
}

std::uint64_t RunSink::KeyOf(const std::filesystem::path& target) const {
    const std::uint64_t key = HashFolded(folderHash_,
                                         NativeStringView(target.native()).substr(FolderTextLength(target)));
    return key == 0 ? 1 : key;
}

// Gives the piece the name it wanted, or, when a piece of the run took that
// one, the first copy name none did.
void RunSink::ClaimTarget() {
    wanted_.clear();
    std::uint64_t key = KeyOf(target_);
    // Whether a name is taken is known once the pieces that want it are written.
    if (Pending(key)) Settle();
    if (taken_.Contains(key)) {
        wantedKey_ = key;
        const auto last = lastCopy_.find(key);
        copy_ = last == lastCopy_.end() ? 1 : last->second;
        const std::filesystem::path wanted = target_;
        do {
            target_ = CopyName(wanted.native(), ++copy_);
            key = KeyOf(target_);
            if (Pending(key)) {
                Settle();
                const auto settled = lastCopy_.find(wantedKey_);
                copy_ = std::max(copy_ - 1, settled == lastCopy_.end() ? 1 : settled->second);
                continue;
            }
        } while (taken_.Contains(key));
        wanted_ = wanted;
    }
    targetKey_ = key;
}

// The piece is written (or planned): its name is taken for the rest of the run.
void RunSink::TakeName(const Ending& ending) {
    if (ending.targetKey == 0) return;
    taken_.Insert(ending.targetKey);
    if (undoable_) takenBySource_.push_back(ending.targetKey);
    if (!ending.wanted.empty()) {
        if (undoable_) {
            const auto last = lastCopy_.find(ending.wantedKey);
            lastCopyBefore_.emplace_back(ending.wantedKey,
                                         last == lastCopy_.end() ? std::nullopt : std::optional<int>(last->second));
        }
        lastCopy_[ending.wantedKey] = ending.copy;
    }
}

void RunSink::NoteRenamed(const std::filesystem::path& wanted, const std::filesystem::path& given) {
    if (wanted.empty()) return;
    ++run_.report.piecesRenamed;
    run_.host.PieceRenamed(wanted, given);
}

}  // namespace partwright
