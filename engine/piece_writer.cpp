#include "engine/piece_writer.h"

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

#include "engine/native_file.h"
#include "engine/utf8_raw.h"

namespace partwright {

namespace {

// Large enough that write calls cost little next to the encoding, small
// enough to stay in cache.
constexpr std::size_t kFlushBytes = 256 * 1024;
// Units encoded per step, so the buffer never holds much more than kFlushBytes.
constexpr std::size_t kEncodeUnits = 32 * 1024;
// Runs of ASCII bytes at least this long are written without being buffered.
constexpr std::size_t kWriteThroughBytes = 16 * 1024;

constexpr const char* kIsSourceReason = "it is a source of this run";
constexpr const char* kNotAFileReason = "the name leads to a device or a pipe, not a file";

// A name the platform would turn into something other than a plain file, so
// that the piece's bytes would vanish; nullptr when the name is fine.
const char* RefusedNameReason([[maybe_unused]] const std::filesystem::path& target) {
#ifdef _WIN32
    // "a:b.txt" writes a hidden data stream "b.txt" of a file "a".
    if (target.filename().native().find(L':') != std::wstring::npos) {
        return "a \":\" in a file name makes a hidden data stream, not a file";
    }
#endif
    return nullptr;
}

std::filesystem::path TemporaryName(const std::filesystem::path& folder) {
    static thread_local std::mt19937_64 random{std::random_device{}()};
    char name[40];
    std::snprintf(name, sizeof name, ".partwright-%016llx.tmp", static_cast<unsigned long long>(random()));
    return folder / name;
}

}  // namespace

struct PieceWriter::Impl {
    NativeFile file;
    NativeString target;  // where the open file is now; kept as a string so reuse costs no allocation
    bool temporary = false;
    // Allocated once and never resized, so the steady state allocates nothing.
    std::vector<char> buffer = std::vector<char>(kFlushBytes + 3 * kEncodeUnits);
    std::size_t used = 0;

    // Ends the open piece after a failure: nothing half-written stays behind.
    bool Fail(Failure::Kind kind, const std::filesystem::path& path, std::string reason, Failure& failure) {
        failure = Failure{kind, path, std::move(reason)};
        Discard();
        return false;
    }

    void Discard() {
        if (!file.isOpen()) {
            return;
        }
        // Devices and pipes are never removed, only regular files we were writing.
        const bool remove = file.isRegular();
        file.Close();
        if (remove) {
            RemoveFile(target);
        }
        used = 0;
    }

    bool Flush(Failure& failure) {
        std::string reason;
        if (used > 0 && !file.Write(buffer.data(), used, reason)) {
            return Fail(Failure::Kind::WritePiece, target, reason, failure);
        }
        used = 0;
        return true;
    }

    // Encodes `units` into the buffer in steps, flushing as it fills.
    template <class View, class Encoder>
    bool Encode(View units, Failure& failure, Encoder encode) {
        if (!file.isOpen()) {
            failure = Failure{Failure::Kind::WritePiece, target, "no piece is open"};
            return false;
        }
        while (!units.empty()) {
            const std::size_t step = std::min(units.size(), kEncodeUnits);
            used = static_cast<std::size_t>(encode(units.substr(0, step), buffer.data() + used) - buffer.data());
            units.remove_prefix(step);
            if (used >= kFlushBytes && !Flush(failure)) {
                return false;
            }
        }
        return true;
    }

    bool Start(Failure& failure) {
        used = 0;
        std::string reason;
        if (!file.Truncate(reason)) {
            return Fail(Failure::Kind::WritePiece, target, reason, failure);
        }
        return true;
    }
};

PieceWriter::PieceWriter() : impl_(std::make_unique<Impl>()) {}
PieceWriter::~PieceWriter() { Abandon(); }

bool PieceWriter::Open(const std::filesystem::path& target, const FileIdentitySet& sources, Failure& failure) {
    Abandon();
    if (const char* refused = RefusedNameReason(target)) {
        failure = Failure{Failure::Kind::WritePiece, target, refused};
        return false;
    }
    std::string reason;
    // Most pieces are new files: one that this open creates cannot be a
    // source, so it needs neither the identity check nor truncating.
    bool exists = false;
    if (impl_->file.CreateNew(target, exists, reason)) {
        if (!impl_->file.isRegular()) {  // a device name such as "nul.txt" on Windows
            impl_->file.Close();
            failure = Failure{Failure::Kind::WritePiece, target, kNotAFileReason};
            return false;
        }
        impl_->target.assign(target.native());
        impl_->temporary = false;
        impl_->used = 0;
        return true;
    }
    if (!exists) {
        failure = Failure{Failure::Kind::WritePiece, target, reason};
        return false;
    }
    // Opened without truncation, so the identity check comes before a byte changes.
    if (!impl_->file.OpenForWriting(target, false, reason)) {
        failure = Failure{Failure::Kind::WritePiece, target, reason};
        return false;
    }
    if (!impl_->file.isRegular()) {
        impl_->file.Close();
        failure = Failure{Failure::Kind::WritePiece, target, kNotAFileReason};
        return false;
    }
    if (sources.Contains(impl_->file.identity())) {
        impl_->file.Close();
        failure = Failure{Failure::Kind::TargetIsSource, target, kIsSourceReason};
        return false;
    }
    impl_->target.assign(target.native());
    impl_->temporary = false;
    return impl_->Start(failure);
}

bool PieceWriter::OpenTemporary(const std::filesystem::path& folder, Failure& failure) {
    Abandon();
    std::string reason;
    constexpr int kAttempts = 16;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const std::filesystem::path name = TemporaryName(folder);
        if (impl_->file.OpenForWriting(name, true, reason)) {
            impl_->target.assign(name.native());
            impl_->temporary = true;
            return impl_->Start(failure);
        }
        std::error_code ignored;
        if (!std::filesystem::exists(name, ignored)) {
            break;  // not a name clash: the folder itself is the trouble
        }
    }
    failure = Failure{Failure::Kind::WritePiece, folder, reason};
    return false;
}

bool PieceWriter::Append(TextView units, Failure& failure) {
    return impl_->Encode(units, failure, [](TextView step, char* out) { return EncodeUtf8(step, out); });
}

bool PieceWriter::Append(std::string_view bytes, const ByteUtf8Forms& forms, Failure& failure) {
    // A long run of ASCII is its own UTF-8: it goes to the file from where it
    // lies, sparing a copy through the buffer.
    if (bytes.size() >= kWriteThroughBytes && impl_->file.isOpen() && IsAscii(bytes)) {
        std::string reason;
        if (!impl_->Flush(failure)) {
            return false;
        }
        if (!impl_->file.Write(bytes.data(), bytes.size(), reason)) {
            return impl_->Fail(Failure::Kind::WritePiece, impl_->target, reason, failure);
        }
        return true;
    }
    return impl_->Encode(bytes, failure,
                         [&forms](std::string_view step, char* out) { return EncodeBytesUtf8(step, forms, out); });
}

bool PieceWriter::Commit(Failure& failure) {
    if (!impl_->file.isOpen()) {
        failure = Failure{Failure::Kind::WritePiece, impl_->target, "no piece is open"};
        return false;
    }
    if (!impl_->Flush(failure)) {
        return false;
    }
    std::string reason;
    const bool regular = impl_->file.isRegular();
    if (!impl_->file.Close(reason)) {
        if (regular) {
            RemoveFile(impl_->target);
        }
        failure = Failure{Failure::Kind::WritePiece, impl_->target, reason};
        return false;
    }
    return true;
}

bool PieceWriter::CommitAs(const std::filesystem::path& target, const FileIdentitySet& sources, Failure& failure) {
    if (!impl_->file.isOpen() || !impl_->temporary) {
        failure = Failure{Failure::Kind::WritePiece, target, "no temporary piece is open"};
        return false;
    }
    if (const char* refused = RefusedNameReason(target)) {
        return impl_->Fail(Failure::Kind::WritePiece, target, refused, failure);
    }
    if (const auto existing = IdentityOf(target); existing && sources.Contains(*existing)) {
        return impl_->Fail(Failure::Kind::TargetIsSource, target, kIsSourceReason, failure);
    }
    const std::filesystem::path temporary(impl_->target);
    if (!Commit(failure)) {
        failure.path = target;
        return false;
    }
    std::string reason;
    if (!RenameReplacing(temporary, target, reason)) {
        RemoveFile(temporary);
        failure = Failure{Failure::Kind::WritePiece, target, reason};
        return false;
    }
    return true;
}

void PieceWriter::Abandon() { impl_->Discard(); }

bool PieceWriter::isOpen() const { return impl_->file.isOpen(); }

bool WriteUTF8File(TextView text, const std::filesystem::path& target, Failure& failure) {
    static const FileIdentitySet kNoSources;
    PieceWriter writer;
    return writer.Open(target, kNoSources, failure) && writer.Append(text, failure) && writer.Commit(failure);
}

}  // namespace partwright
