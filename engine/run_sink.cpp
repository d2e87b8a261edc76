#include "engine/run_sink.h"

#include <algorithm>
#include <string>
#include <utility>

#include "engine/cesu8.h"
#include "engine/naming.h"
#include "engine/native_file.h"
#include "engine/utf8_source.h"
#include "partwright/numeric.h"

namespace partwright {

namespace {

std::string Quoted(TextView text) { return "got \"" + ToCesu8(text) + "\""; }

// A file name as the file system compares it.
NativeString Folded(NativeString name) {
#if defined(_WIN32) || defined(__APPLE__)
    for (NativeChar& c : name) {
        if (c >= NativeChar('A') && c <= NativeChar('Z')) c = static_cast<NativeChar>(c - 'A' + 'a');
    }
#endif
    return name;
}

}  // namespace

void RunSink::StartSource(const std::filesystem::path& source, const ByteCoding* coding) {
    Abandon();
    undoable_ = false;
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
    folderKey_ = Folded(resolved.native());
    folderKey_ += std::filesystem::path::preferred_separator;
    bytes_ = coding != nullptr;
    if (coding) coding_ = *coding;
}

void RunSink::SetHeader(Text header) { header_ = std::move(header); }
void RunSink::SetHeader(std::string header) { headerBytes_ = std::move(header); }

bool RunSink::BeginPiece() {
    ResetPiece();
    if (!run_.host.Yield()) {
        run_.report.stopped = true;
        return false;
    }
    current_ = pieceIndex_++;
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
    if (run_.options.dryRun || units.empty() || unnamedFailure_) return;
    Failure failure;
    if (!writer_.isOpen() && !OpenUnnamed(failure)) {
        unnamedFailure_ = failure;
        return;
    }
    if (!writer_.Append(units, failure)) unnamedFailure_ = failure;
}

// The piece's temporary file, opened before its name is known, with the header.
bool RunSink::OpenUnnamed(Failure& failure) {
    if (!writer_.OpenTemporary(nameSource_.parent_path(), failure)) return false;
    if (bytes_ ? headerBytes_.empty() : header_.empty()) return true;
    return bytes_ ? writer_.Append(headerBytes_, coding_.forms, failure) : writer_.Append(header_, failure);
}

// A failure while the name was not known is the named piece's failure.
bool RunSink::FailedBeforeNamed() {
    if (!unnamedFailure_) return false;
    Failure failure = std::move(*unnamedFailure_);
    unnamedFailure_.reset();
    failure.path = target_;
    Skip(failure);
    return true;
}

// The first x units are in: `units` are the ones not passed on yet.
void RunSink::NameKnown(TextView units) {
    target_ = FirstCharsName(nameSource_.native(), nameChars_, nameLength_, current_ + 1);
    if (FailedBeforeNamed()) return;
    if (writer_.isOpen()) {
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
    if (run_.options.dryRun) {
        const std::optional<FileIdentity> identity = IdentityOf(target_);
        if (identity && run_.sources.Contains(*identity)) {
            Skip({Failure::Kind::TargetIsSource, target_, "it is a source of this run"});
            return false;
        }
        TakeName();
        NoteRenamed();
        run_.host.PlannedPiece(target_);
        opened_ = true;
        return true;
    }
    Failure failure;
    if (!writer_.Open(target_, run_.sources, failure)) {
        Skip(failure);
        return false;
    }
    opened_ = true;
    return WriteHeader();
}

// The header goes first into every piece file, before the piece's own text.
bool RunSink::WriteHeader() {
    if (bytes_ ? headerBytes_.empty() : header_.empty()) return true;
    Failure failure;
    const bool written = bytes_ ? writer_.Append(headerBytes_, coding_.forms, failure)
                                : writer_.Append(header_, failure);
    if (!written) Skip(failure);
    return written;
}

void RunSink::Write(TextView units) {
    if (run_.options.dryRun || units.empty()) return;
    Failure failure;
    if (!writer_.Append(units, failure)) Skip(failure);
}

void RunSink::WriteBytes(std::string_view bytes) {
    if (run_.options.dryRun || bytes.empty()) return;
    Failure failure;
    if (!writer_.Append(bytes, coding_.forms, failure)) Skip(failure);
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
        if (FailedBeforeNamed()) break;
        if (writer_.isOpen()) {
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
    if (state_ == State::NamedTemporary) ClaimTarget();
    Failure failure;
    const bool written = state_ == State::NamedTemporary ? writer_.CommitAs(target_, run_.sources, failure)
                                                         : writer_.Commit(failure);
    if (!written) {
        Skip(failure);
        return;
    }
    TakeName();
    NoteRenamed();
    ++run_.report.piecesWritten;
    if (writer_.ReplacedOlder()) ++run_.report.piecesReplaced;
    ++run_.progress.piecesWritten;
    run_.host.PieceWritten(target_);
}

void RunSink::CutAgain() {
    Abandon();
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

void RunSink::Skip(const Failure& failure) {
    writer_.Abandon();
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
    const bool dropped = writer_.Abandon();
    ResetPiece();
    return dropped;
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
    unnamedFailure_.reset();
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
    std::uint64_t key = std::hash<NativeString>{}(folderKey_ + Folded(target.filename().native()));
    return key == 0 ? 1 : key;
}

// Gives the piece the name it wanted, or, when a piece of the run took that
// one, the first copy name none did.
void RunSink::ClaimTarget() {
    wanted_.clear();
    std::uint64_t key = KeyOf(target_);
    if (taken_.Contains(key)) {
        wantedKey_ = key;
        const auto last = lastCopy_.find(key);
        copy_ = last == lastCopy_.end() ? 1 : last->second;
        const std::filesystem::path wanted = target_;
        do {
            target_ = CopyName(wanted.native(), ++copy_);
            key = KeyOf(target_);
        } while (taken_.Contains(key));
        wanted_ = wanted;
    }
    targetKey_ = key;
}

// The piece is written (or planned): its name is taken for the rest of the run.
void RunSink::TakeName() {
    if (targetKey_ == 0) return;
    taken_.Insert(targetKey_);
    if (undoable_) takenBySource_.push_back(targetKey_);
    if (!wanted_.empty()) {
        if (undoable_) {
            const auto last = lastCopy_.find(wantedKey_);
            lastCopyBefore_.emplace_back(wantedKey_,
                                         last == lastCopy_.end() ? std::nullopt : std::optional<int>(last->second));
        }
        lastCopy_[wantedKey_] = copy_;
    }
}

void RunSink::NoteRenamed() {
    if (wanted_.empty()) return;
    ++run_.report.piecesRenamed;
    run_.host.PieceRenamed(wanted_, target_);
}

}  // namespace partwright
