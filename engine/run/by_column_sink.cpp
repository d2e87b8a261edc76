#include "engine/run/by_column_sink.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "engine/files/file_identity.h"
#include "engine/files/tracked_temporaries.h"
#include "engine/name/name_template.h"
#include "engine/name/naming.h"
#include "engine/name/temporary_name.h"
#include "engine/name/value_name.h"
#include "engine/read/text_form.h"

namespace partwright {

namespace {

std::string PathText(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string Quoted(std::string_view text) {
    std::string quoted(1, '"');
    quoted.append(text);
    quoted.push_back('"');
    return quoted;
}

// The field number `column` gives, or 0 when it is no number (a name).
std::int64_t FieldNumber(const Text& column) {
    if (column.empty() || column.size() > 9) return 0;
    std::int64_t number = 0;
    for (const char16_t unit : column) {
        if (unit < u'0' || unit > u'9') return 0;
        number = number * 10 + (unit - u'0');
    }
    return number;
}

}  // namespace

ByColumnSink::ByColumnSink(RunContext& run)
    : run_(run),
      open_(std::make_unique<OpenFile[]>(kMaxOpenFiles)),
      maxBuffered_(run.seam.byColumnBufferBytes > 0 ? run.seam.byColumnBufferBytes : kBufferedBytes),
      maxValueBuffered_(std::min(maxBuffered_, kValueBufferBytes)) {}

ByColumnSink::~ByColumnSink() { Discard(); }

void ByColumnSink::StartSource(const std::filesystem::path& source, const std::filesystem::path& nameSource) {
    Discard();
    source_ = source;
    nameSource_ = nameSource;
    const std::filesystem::path folder = nameSource.parent_path().empty() ? "." : nameSource.parent_path();
    folder_.Use(folder);
    names_.SetFolder(folder);
    header_.clear();
    sourceFailed_ = false;
    template_.reset();
    if (run_.settings.Naming() == NamingMode::Template) {
        std::string problem;
        const Text text = run_.settings.NameTemplate();
        template_ = NameTemplate::Parse(text, problem);
        if (!template_) {
            sourceFailed_ = true;
            run_.Fail({Failure::Kind::BadNameTemplate, source, problem + ", " + Quoted(ToUtf8(text))});
        }
    }
    field_ = FieldNumber(run_.options.byColumn);
    reader_.reset();
    if (field_ > 0) reader_.emplace(run_.options.csv.delimiter, field_);
}

void ByColumnSink::SetHeader(std::string_view header) {
    header_ = std::string(run_.encoder.Encoded(header, scratch_));
    if (field_ == 0 && !ResolveColumn(header)) {
        FailSource("it has no field " + Quoted(ToUtf8(run_.options.byColumn)) + " to cut by", Failure::Kind::BadHeader);
    }
}

// Finds the field whose name the header's first record holds, in one pass over it.
bool ByColumnSink::ResolveColumn(std::string_view header) {
    const std::string wanted = ToUtf8(run_.options.byColumn);
    CsvFieldReader reader(run_.options.csv.delimiter, 1, true);
    reader.Reset();
    for (std::int64_t field = 1;; ++field) {
        header.remove_prefix(reader.Take(header));
        const bool more = reader.done();  // fields follow this one
        if ((more ? reader.value() : reader.Finish()) == wanted) {
            field_ = field;
            reader_.emplace(run_.options.csv.delimiter, field_);
            return true;
        }
        if (!more) return false;
        reader.NextField();
    }
}

bool ByColumnSink::BeginPiece() {
    if (run_.stop.stop_requested()) return false;
    held_.clear();
    current_ = nullptr;
    inRecord_ = false;
    if (reader_) reader_->Reset();
    return true;
}

void ByColumnSink::AppendToPiece(std::string_view bytes) {
    if (sourceFailed_ || bytes.empty()) return;
    if (field_ == 0) {
        FailSource("a field named " + Quoted(ToUtf8(run_.options.byColumn)) + " needs a header of 1 line",
                   Failure::Kind::BadHeader);
        return;
    }
    inRecord_ = true;
    if (current_ == nullptr) {
        const std::size_t taken = reader_->Take(bytes);
        held_.append(bytes.substr(0, taken));
        bytes.remove_prefix(taken);
        if (!reader_->done()) return;
        current_ = &ValueOf(reader_->value());
        Write(*current_, held_);
        held_.clear();
        if (sourceFailed_) return;
    }
    Write(*current_, bytes);
}

void ByColumnSink::EndPiece(bool) {
    if (sourceFailed_ || !inRecord_) return;
    if (current_ == nullptr) {
        current_ = &ValueOf(reader_->Finish());
        Write(*current_, held_);
        held_.clear();
    }
    current_ = nullptr;
    inRecord_ = false;
}

ByColumnSink::Value& ByColumnSink::ValueOf(const std::string& text) {
    const auto [place, added] = values_.try_emplace(text);
    if (added) {
        place->second.number = order_.size() + 1;
        order_.push_back(&place->first);
    }
    return place->second;
}

void ByColumnSink::Write(Value& value, std::string_view bytes) {
    if (value.failed || sourceFailed_) return;
    const std::string_view written = run_.encoder.Encoded(bytes, scratch_);
    const bool first = value.bytes == 0;
    if (first) value.bytes += run_.encoder.Head().size() + header_.size();
    value.bytes += written.size();
    if (run_.options.dryRun) return;
    const std::size_t before = value.buffer.size();
    if (first) value.buffer.append(run_.encoder.Head()).append(header_);
    value.buffer.append(written);
    buffered_ += value.buffer.size() - before;
    if (value.buffer.size() >= maxValueBuffered_) {
        (void)Flush(value);
    } else if (buffered_ > maxBuffered_) {
        FlushLargest();
    }
}

// Writes the values that hold back the most until half the budget is left:
// each opening of a file then writes many records.
void ByColumnSink::FlushLargest() {
    std::vector<Value*> holding;
    for (const std::string* text : order_) {
        Value& value = values_.at(*text);
        if (!value.buffer.empty()) holding.push_back(&value);
    }
    std::sort(holding.begin(), holding.end(),
              [](const Value* a, const Value* b) { return a->buffer.size() > b->buffer.size(); });
    for (Value* value : holding) {
        if (buffered_ <= maxBuffered_ / 2 || sourceFailed_) break;
        (void)Flush(*value);
    }
}

// Writes what the value holds back to its temporary file, opening it if need
// be. False when that failed: then the value failed (its file closed and
// removed), or, where the failure strikes every file, the whole source.
bool ByColumnSink::Flush(Value& value) {
    if (value.buffer.empty()) return true;
    if (value.open < 0 && !Open(value)) return false;
    OpenFile& open = open_[static_cast<std::size_t>(value.open)];
    open.lastUse = ++uses_;
    std::string reason;
    const bool written = open.file.Write(value.buffer.data(), value.buffer.size(), reason);
    Release(value);
    if (!written) {
        const bool lasts = LastFailureLasts();
        FailValue(value, lasts ? std::string() : reason);
        if (lasts) FailSource(reason);
    }
    return written;
}

// Lets go of what the value holds back; among many values, of its memory too.
void ByColumnSink::Release(Value& value) {
    buffered_ -= value.buffer.size();
    value.buffer.clear();
    if (values_.size() > kMaxOpenFiles) value.buffer.shrink_to_fit();
}

// Opens the value's temporary file, closing the least recently written one
// when as many as it keeps are open.
bool ByColumnSink::Open(Value& value) {
    if (temporaryFolder_.empty() && !MakeFolder()) return false;
    if (!value.created) TemporaryFolderHolds(trackedSlot_, value.number);
    for (;;) {
        const std::size_t slot = FreePlace();
        if (sourceFailed_) return false;
        OpenFile& open = open_[slot];
        std::string reason;
        if (open.file.OpenToAppend(temporaries_, TemporaryOf(value), !value.created, reason)) {
            open.value = &value;
            value.open = static_cast<int>(slot);
            value.created = true;
            ++openCount_;
            return true;
        }
        // The limit on open files is lower than ours: keep a quarter fewer
        // open than it allowed, and try again.
        if (LastFailureIsTooManyOpen() && openCount_ > 1) {
            maxOpen_ = openCount_ - openCount_ / 4;
            while (openCount_ >= maxOpen_ && !sourceFailed_) CloseOldest();
            continue;
        }
        FailValue(value, reason);
        return false;
    }
}

std::size_t ByColumnSink::FreePlace() {
    if (openCount_ >= maxOpen_) return CloseOldest();
    for (std::size_t at = 0; at < kMaxOpenFiles; ++at) {
        if (open_[at].value == nullptr) return at;
    }
    return CloseOldest();
}

std::size_t ByColumnSink::CloseOldest() {
    std::size_t oldest = 0;
    for (std::size_t at = 1; at < kMaxOpenFiles; ++at) {
        if (open_[at].value != nullptr &&
            (open_[oldest].value == nullptr || open_[at].lastUse < open_[oldest].lastUse)) {
            oldest = at;
        }
    }
    CloseChecked(open_[oldest]);
    return oldest;
}

// Closes the file; a failure to close fails its value.
void ByColumnSink::CloseChecked(OpenFile& open) {
    if (open.value == nullptr) return;
    Value& value = *open.value;
    std::string reason;
    const bool closed = open.file.Close(reason);
    CloseFile(open);
    if (!closed) FailValue(value, reason);
}

void ByColumnSink::CloseFile(OpenFile& open) {
    if (open.value != nullptr) {
        open.value->open = -1;
        --openCount_;
    }
    open.value = nullptr;
    open.file.Close();
}

// The hidden folder of the source's temporary files, beside its pieces,
// tracked so that a signal that ends the program removes it.
bool ByColumnSink::MakeFolder() {
    const std::filesystem::path name = TemporaryName(folder_.path());
    trackedSlot_ = TrackTemporaryFolder(name);
    std::error_code error;
    if (trackedSlot_ == kProgramEnding || !std::filesystem::create_directory(name, error)) {
        const std::string reason = trackedSlot_ == kProgramEnding ? "the program is ending" : error.message();
        UntrackTemporaryFolder(trackedSlot_);
        trackedSlot_ = -1;
        FailSource("cannot create a folder for its pieces in progress, " + PathText(name) + ": " + reason);
        return false;
    }
    temporaryFolder_ = name;
    temporaries_.Use(name);
    return true;
}

// A value's piece cannot be written: reported once, its file removed, its later records dropped.
void ByColumnSink::FailValue(Value& value, const std::string& reason) {
    if (value.failed) return;
    value.failed = true;
    Release(value);
    if (value.open >= 0) CloseFile(open_[static_cast<std::size_t>(value.open)]);
    if (value.created && !temporaryFolder_.empty()) (void)RemoveFile(temporaries_, TemporaryOf(value));
    if (reason.empty() || sourceFailed_) return;
    run_.Fail({Failure::Kind::WritePiece, WantedName(*order_[value.number - 1]), reason});
}

// No piece of the source can be written: reported once, its files removed.
void ByColumnSink::FailSource(const std::string& reason, Failure::Kind kind) {
    if (sourceFailed_) return;
    sourceFailed_ = true;
    // A header that cannot be used is told as such; a writing failure says what it cost.
    run_.Fail({kind, source_, kind == Failure::Kind::WritePiece ? reason + "; no piece of it is written" : reason});
    Clear();
}

std::filesystem::path ByColumnSink::WantedName(std::string_view value) const {
    Text kept = ValueNamePart(value);
    if (kept.empty()) kept = u"empty";
    const NativeString file = GetFileName(nameSource_.native());
    NativeString name;
    if (template_) {
        name = template_->Fill(file, {}, static_cast<std::int64_t>(values_.at(std::string(value)).number), kept);
    }
    if (name.empty()) {
        const NativeString extension = GetExtension(file);
        name = GetBaseName(file) + ToNative(u"-" + kept);
        if (!extension.empty()) name += ToNative(u".") + extension;
    }
    return folder_.path() / name;
}

std::filesystem::path ByColumnSink::TemporaryOf(const Value& value) const {
    return temporaryFolder_ / std::to_string(value.number);
}

void ByColumnSink::Publish() {
    if (sourceFailed_) return Clear();
    // By index: a failure of the whole source clears the values.
    for (std::size_t at = 0; at < order_.size() && !sourceFailed_; ++at) (void)Flush(values_.at(*order_[at]));
    for (std::size_t at = 0; at < kMaxOpenFiles && !sourceFailed_; ++at) CloseChecked(open_[at]);
    for (const std::string* text : order_) {
        if (sourceFailed_) break;
        if (!run_.Yield()) break;
        PublishOne(*text, values_.at(*text));
    }
    Clear();
}

// Gives a value's piece its name: the one it wants, or the first copy name no
// piece of the run took.
void ByColumnSink::PublishOne(const std::string& text, Value& value) {
    if (value.failed || value.bytes == 0) return;
    const std::filesystem::path wanted = WantedName(text);
    std::filesystem::path target = wanted;
    std::uint64_t key = names_.KeyOf(target);
    const std::uint64_t wantedKey = key;
    int copy = 0;
    if (names_.Taken(key)) {
        copy = names_.LastCopy(wantedKey);
        do {
            target = CopyName(wanted.native(), ++copy);
            key = names_.KeyOf(target);
        } while (names_.Taken(key));
    }
    if (const auto refused = run_.sources.RefuseSource(target, IdentityIn(folder_, target))) {
        FailValue(value, "");
        run_.Report(*refused);
        return;
    }
    if (run_.options.dryRun) {
        if (copy > 0) {
            ++run_.report.piecesRenamed;
            run_.host.PieceRenamed(wanted, target);
        }
        run_.host.PlannedPiece(target);
        run_.host.PlannedPieceSize(target, value.bytes);
        names_.Take(key, copy > 0 ? wantedKey : 0, copy);
        return;
    }
    const bool replaces = KindOfName(folder_, target) != NameKind::Free;
    std::string reason;
    if (!RenameReplacing(temporaries_, TemporaryOf(value), folder_, target, reason)) {
        value.failed = true;
        (void)RemoveFile(temporaries_, TemporaryOf(value));
        run_.Report({Failure::Kind::WritePiece, target, reason});
        return;
    }
    value.created = false;  // it is a piece now, no temporary file
    names_.Take(key, copy > 0 ? wantedKey : 0, copy);
    if (copy > 0) {
        ++run_.report.piecesRenamed;
        run_.host.PieceRenamed(wanted, target);
    }
    if (replaces) ++run_.report.piecesReplaced;
    ++run_.report.piecesWritten;
    ++run_.progress.piecesWritten;
    run_.host.PieceWritten(target);
}

void ByColumnSink::Discard() { Clear(); }

// Closes every file, removes the temporary files left and their folder, and forgets the values.
void ByColumnSink::Clear() {
    for (std::size_t at = 0; at < kMaxOpenFiles; ++at) CloseFile(open_[at]);
    if (!temporaryFolder_.empty()) {
        for (const std::string* text : order_) {
            const Value& value = values_.at(*text);
            if (value.created) (void)RemoveFile(temporaries_, TemporaryOf(value));
        }
        std::error_code ignored;
        std::filesystem::remove(temporaryFolder_, ignored);
        UntrackTemporaryFolder(trackedSlot_);
        trackedSlot_ = -1;
        temporaryFolder_.clear();
    }
    values_.clear();
    order_.clear();
    buffered_ = 0;
    held_.clear();
    current_ = nullptr;
    inRecord_ = false;
}

}  // namespace partwright
