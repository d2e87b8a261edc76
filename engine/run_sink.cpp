#include "engine/run_sink.h"

#include <algorithm>
#include <string>
#include <utility>

#include "engine/naming.h"
#include "engine/numeric.h"
#include "engine/utf8.h"
#include "engine/utf8_source.h"

namespace partwright {

namespace {

std::string Quoted(TextView text) {
    return "got \"" + CUni(text) + "\"";
}

}  // namespace

void RunSink::StartSource(const std::filesystem::path& source, std::optional<ByteCoding> coding) {
    Abandon();
    source_ = source;
    nameSource_ = run_.options.outputFolder.empty() ? source : run_.options.outputFolder / source.filename();
    header_.clear();
    headerBytes_.clear();
    pieceIndex_ = 0;
    bytes_ = coding.has_value();
    if (coding) {
        coding_ = *coding;
        forms_ = coding_.table ? Utf8FormsOf(*coding_.table) : VerbatimForms();
    }
}

void RunSink::SetHeader(Text header) { header_ = std::move(header); }
void RunSink::SetHeader(std::string header) { headerBytes_ = std::move(header); }

bool RunSink::BeginPiece() {
    ResetPiece();
    if (!run_.host.Yield()) {
        run_.report.stopped = true;
        return false;
    }
    NameFromSettings();
    ++pieceIndex_;
    return true;
}

void RunSink::NameFromSettings() {
    const SplitSettings& settings = run_.settings;
    const NativeString& source = nameSource_.native();
    if (settings.FirstCharsSelected()) {
        const Text lengthText = settings.NameLength();
        const std::optional<std::int32_t> length = ToInt32(lengthText);
        if (!length || *length < 0) {
            Unnamable({Failure::Kind::BadNameLength, source_, Quoted(lengthText)});
            return;
        }
        nameLength_ = *length;
        state_ = State::Collecting;
        if (nameLength_ == 0) NameKnown({});
    } else if (settings.NumberedSelected()) {
        target_ = NumberedName(source, pieceIndex_ + 1);
        state_ = State::Named;
    } else if (settings.PrefixSelected()) {
        const Text firstText = settings.FirstNumber();
        const std::optional<std::int16_t> first = ToInt16(firstText);
        if (!first) {
            Unnamable({Failure::Kind::BadFirstNumber, source_, Quoted(firstText)});
            return;
        }
        target_ = PrefixCounterName(settings.Prefix(), source, *first + pieceIndex_);
        state_ = State::Named;
    }
    // With no naming option selected there is no name to give: the piece stays skipped.
}

void RunSink::AppendToPiece(TextView units) {
    if (run_.options.dryRun) plannedBytes_ += Utf8Size(units);
    switch (state_) {
    case State::Skipped:
        return;
    case State::Unnamable:
        if (!units.empty()) Skip(unnamable_);
        return;
    case State::Collecting:
        Collect(units);
        return;
    case State::Named:
        if (!opened_ && !Open()) return;
        Write(units);
        return;
    case State::NamedTemporary:
        Write(units);
        return;
    }
}

void RunSink::AppendToPiece(std::string_view bytes) {
    if (run_.options.dryRun) plannedBytes_ += Utf8Size(bytes);
    AppendBytes(bytes);
}

void RunSink::AppendBytes(std::string_view bytes) {
    switch (state_) {
    case State::Skipped:
        return;
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
            take = DecodeUnitUtf8(bytes, wanted, decoded_);
        }
        Collect(decoded_);
        if (take < bytes.size()) AppendBytes(bytes.substr(take));
        return;
    }
    case State::Named:
        if (!opened_ && !Open()) return;
        WriteBytes(bytes);
        return;
    case State::NamedTemporary:
        WriteBytes(bytes);
        return;
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
    return bytes_ ? writer_.Append(headerBytes_, forms_, failure) : writer_.Append(header_, failure);
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
    target_ = NameFromFirstChars(nameSource_.native(), nameChars_, nameLength_);
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
    if (run_.options.dryRun) {
        const std::optional<FileIdentity> identity = IdentityOf(target_);
        if (identity && run_.sources.Contains(*identity)) {
            Skip({Failure::Kind::TargetIsSource, target_, "it is a source of this run"});
            return false;
        }
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
    const bool written = bytes_ ? writer_.Append(headerBytes_, forms_, failure) : writer_.Append(header_, failure);
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
    if (!writer_.Append(bytes, forms_, failure)) Skip(failure);
}

void RunSink::EndPiece(bool writeWhenEmpty) {
    switch (state_) {
    case State::Skipped:
        break;
    case State::Unnamable:
        // An empty piece of lines mode is not written, so it needs no name.
        if (writeWhenEmpty) Skip(unnamable_);
        break;
    case State::Collecting:
        // The piece is shorter than the name length: all of it makes the name.
        target_ = NameFromFirstChars(nameSource_.native(), nameChars_, nameLength_);
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
    case State::NamedTemporary:
        Commit();
        break;
    }
    ResetPiece();
    run_.host.ReportProgress(run_.progress);
}

// Bytes as EncodeUtf8 writes them: one to three a unit.
std::uint64_t RunSink::Utf8Size(TextView units) {
    std::uint64_t size = 0;
    for (const char16_t unit : units) size += unit < 0x80 ? 1 : unit < 0x800 ? 2 : 3;
    return size;
}

std::uint64_t RunSink::Utf8Size(std::string_view bytes) const {
    if (forms_.verbatim) return bytes.size();
    std::uint64_t size = 0;
    for (const char byte : bytes) size += forms_.length[static_cast<unsigned char>(byte)];
    return size;
}

void RunSink::Commit() {
    if (run_.options.dryRun) {
        const std::uint64_t header = bytes_ ? Utf8Size(headerBytes_) : Utf8Size(header_);
        run_.host.PlannedPieceSize(target_, header + plannedBytes_);
        return;
    }
    Failure failure;
    const bool written = state_ == State::NamedTemporary ? writer_.CommitAs(target_, run_.sources, failure)
                                                         : writer_.Commit(failure);
    if (!written) {
        Skip(failure);
        return;
    }
    ++run_.report.piecesWritten;
    if (writer_.ReplacedOlder()) ++run_.report.piecesReplaced;
    ++run_.progress.piecesWritten;
    run_.host.PieceWritten(target_);
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
    state_ = State::Skipped;
    target_.clear();
    opened_ = false;
    nameLength_ = 0;
    unitsSeen_ = 0;
    nameChars_.clear();
    unnamedFailure_.reset();
    plannedBytes_ = 0;
}

}  // namespace partwright
