#include "engine/write/piece_writer.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/files/native_file.h"
#include "engine/files/page_buffer.h"
#include "engine/files/tracked_temporaries.h"
#include "engine/name/temporary_name.h"
#include "engine/write/gzip_deflater.h"
#include "partwright/path_text.h"

namespace partwright {

namespace {

// Large enough that write calls cost little next to the copying, small
// enough to stay in cache.
constexpr std::size_t kFlushBytes = 256 * 1024;
// Runs of ASCII bytes at least this long are written without being buffered.
constexpr std::size_t kWriteThroughBytes = 16 * 1024;
// Fresh temporary names tried before giving up.
constexpr int kNameAttempts = 16;

constexpr const char* kNotAFileReason = "the name leads to a device or a pipe, not a file";

// A name the platform would turn into something other than a plain file, so
// that the piece's bytes would vanish, or one kept for temporary files;
// nullptr when the name is fine.
const char* RefusedNameReason(const std::filesystem::path& target) {
#ifdef _WIN32
    // "a:b.txt" writes a hidden data stream "b.txt" of a file "a".
    if (target.filename().native().find(L':') != std::wstring::npos) {
        return "a \":\" in a file name makes a hidden data stream, not a file";
    }
#endif
    if (IsTemporaryName(target)) {
        return kTemporaryNameReason;
    }
    return nullptr;
}

std::filesystem::path FolderOf(const std::filesystem::path& target) {
    std::filesystem::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    return folder;
}

}  // namespace

struct PieceWriter::Impl {
    bool replaced = false;      // the last published piece took the place of a file or link
    bool failureLasts = false;  // the piece's failure will strike every later piece of its source
    NativeFile file;
    std::unique_ptr<GzipDeflater> gzip;  // the piece's bytes go through it when pieces are compressed
    std::filesystem::path target;        // empty while the piece has no name
    std::filesystem::path temporary;     // the temporary file's name; empty when it has none
    int trackedSlot = kNotTracked;
    const FileIdentitySet* sources = nullptr;
    // Allocated once and never resized, so the steady state allocates nothing;
    // left unfilled, so a run that writes straight from the read buffer never
    // touches most of its pages.
    PageBuffer<char> buffer{kFlushBytes};
    std::size_t used = 0;
    // The folder of the last piece, held open, and its path's text up to and
    // with a last separator: pieces that go to one folder build its path and
    // open it once.
    NativeFolder folder;
    std::filesystem::path::string_type folderKey;
    NativeFolder targetFolder;  // the target's, when it is not the temporary file's folder
    std::filesystem::path::string_type targetKey;

    const NativeFolder& FolderFor(const std::filesystem::path& target) {
        const std::filesystem::path::string_type& whole = target.native();
        const std::size_t keyLength = FolderTextLength(target);
        if (folder.path().empty() || folderKey.size() != keyLength || whole.compare(0, keyLength, folderKey) != 0) {
            folder.Use(FolderOf(target));
            folderKey.assign(whole, 0, keyLength);
        }
        return folder;
    }

    // The folder that the target lies in, held open: the temporary file's
    // (as it was opened, wherever it has been moved since), or else its own.
    const NativeFolder& TargetFolder() {
        const std::size_t keyLength = FolderTextLength(target);
        const std::filesystem::path::string_type& whole = target.native();
        if (folderKey.size() == keyLength && whole.compare(0, keyLength, folderKey) == 0) return folder;
        if (targetFolder.path().empty() || targetKey.size() != keyLength ||
            whole.compare(0, keyLength, targetKey) != 0) {
            targetFolder.Use(FolderOf(target));
            targetKey.assign(whole, 0, keyLength);
        }
        return targetFolder;
    }

    // As FolderFor, for the folder itself.
    const NativeFolder& FolderAt(const std::filesystem::path& path) {
        std::filesystem::path::string_type key = path.native();
        key += std::filesystem::path::preferred_separator;
        if (folder.path().empty() || key != folderKey) {
            folder.Use(path);
            folderKey = std::move(key);
        }
        return folder;
    }

    // As Fail, for a failure the system gave just now (LastSystemReason):
    // whether it lasts is told before anything else can change it.
    bool FailBySystem(const std::filesystem::path& path, std::string reason, Failure& failure, bool creating = false) {
        failureLasts = LastFailureLasts(creating);
        return Fail(Failure::Kind::WritePiece, path, std::move(reason), failure);
    }

    // Ends the open piece after a failure: nothing of it stays behind.
    bool Fail(Failure::Kind kind, const std::filesystem::path& path, std::string reason, Failure& failure) {
        failure = Failure{kind, path, std::move(reason)};
        Drop();
        return false;
    }

    // Closes and removes the temporary file; false when none was open.
    bool Drop() {
        const bool open = file.isOpen();
        file.Close();
        ForgetTemporary(true);
        used = 0;
        return open;
    }

    void ForgetTemporary(bool remove) {
        if (temporary.empty()) return;
        if (remove) RemoveFile(folder, temporary);
        UntrackTemporary(trackedSlot);
        trackedSlot = kNotTracked;
        temporary.clear();
    }

    // `name` was tracked when its file was created (or given the name).
    void SetTemporary(std::filesystem::path name) {
        temporary = std::move(name);
        if (!temporary.empty()) trackedSlot = TrackedSlotOf(temporary);
    }

    bool Start(const NativeFolder& in, const std::filesystem::path& failurePath, Failure& failure) {
        Drop();
        failureLasts = false;
        std::filesystem::path name;
        std::string reason;
        if (!file.CreateTemporary(in, name, reason)) {
            failureLasts = LastFailureLasts(true);
            failure = Failure{Failure::Kind::WritePiece, failurePath,
                              "cannot create a temporary file in " + Utf8(in.path()) + ": " + reason};
            return false;
        }
        SetTemporary(std::move(name));
        if (gzip) gzip->Start();
        return true;
    }

    // Bytes of `source` from `offset` on, through the compression.
    bool OutFrom(const NativeFile& source, std::uint64_t offset, std::uint64_t size, Failure& failure) {
        std::string reason;
        while (size > 0) {
            std::size_t got = 0;
            const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(size, buffer.size()));
            if (!source.ReadAt(offset, buffer.data(), want, got, reason)) return FailBySystem(target, reason, failure);
            if (got < want) {
                failureLasts = true;
                return Fail(Failure::Kind::WritePiece, target, "its source became shorter while it was split", failure);
            }
            if (!Out(buffer.data(), got, reason)) return FailBySystem(target, reason, failure);
            offset += got;
            size -= got;
        }
        return true;
    }

    // The piece's bytes to its file, compressed when pieces are.
    bool Out(const char* data, std::size_t size, std::string& reason) {
        return gzip ? gzip->Write(file, data, size, reason) : file.Write(data, size, reason);
    }

    static std::string Utf8(const std::filesystem::path& path) {
        const std::u8string bytes = path.u8string();
        return std::string(bytes.begin(), bytes.end());
    }

    const std::filesystem::path& FailurePath() const { return target; }

    bool Flush(Failure& failure) {
        std::string reason;
        if (used > 0 && !Out(buffer.data(), used, reason)) {
            return FailBySystem(FailurePath(), reason, failure);
        }
        used = 0;
        return true;
    }

    // Copies `bytes` into the buffer in steps, flushing as it fills.
    bool Buffer(std::string_view bytes, Failure& failure) {
        if (!file.isOpen()) {
            failure = Failure{Failure::Kind::WritePiece, FailurePath(), "no piece is open"};
            return false;
        }
        while (!bytes.empty()) {
            const std::size_t step = std::min(bytes.size(), buffer.size() - used);
            std::memcpy(buffer.data() + used, bytes.data(), step);
            used += step;
            bytes.remove_prefix(step);
            if (used >= kFlushBytes && !Flush(failure)) {
                return false;
            }
        }
        return true;
    }

    // Whether a piece may take the place of what is called `target` now: a
    // file or a link, but not a folder, a device or a source of the run
    // (through whatever link or spelling leads to it).
    bool MayReplace(const NativeFolder& at, Failure& failure) {
        switch (KindOfName(at, target)) {
        case NameKind::Folder: return Fail(Failure::Kind::WritePiece, target, kIsAFolder, failure);
        case NameKind::Other: return Fail(Failure::Kind::WritePiece, target, kNotAFileReason, failure);
        case NameKind::Free: return true;  // nothing there, so no source either
        case NameKind::File:
        case NameKind::Link: break;
        }
        replaced = true;
        if (sources != nullptr) {
            if (auto refused = sources->RefuseSource(target, IdentityIn(at, target))) {
                return Fail(refused->kind, target, std::move(refused->reason), failure);
            }
        }
        return true;
    }

    // Gives a file without a name a temporary one, so that it can be renamed over a taken name.
    bool NameTheUnnamed(Failure& failure) {
        std::string reason;
        for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
            std::filesystem::path name = TemporaryName(folder.path());
            const int slot = TrackTemporary(name);
            if (slot == kProgramEnding) {
                reason = "the program is ending";
                break;
            }
            bool taken = false;
            const bool named = file.LinkAs(folder, name, taken, reason);
            TemporaryCreated(slot, named);
            if (named) {
                SetTemporary(std::move(name));
                return true;
            }
            if (!taken) break;
        }
        return Fail(Failure::Kind::WritePiece, target, "cannot name its temporary file: " + reason, failure);
    }

    // Flushes, closes and gives the piece its name `target`, if nothing has
    // that name: Taken leaves the piece whole for PublishReplacing. Every step
    // goes through the folders held open: the one the temporary file was
    // created in, which the target lies in but for a name given at the end elsewhere.
    Publication PublishIfFree(Failure& failure) {
        replaced = false;
        if (!file.isOpen()) {
            failure = Failure{Failure::Kind::WritePiece, target, "no piece is open"};
            return Publication::Failed;
        }
        if (const char* refused = RefusedNameReason(target)) {
            Fail(Failure::Kind::WritePiece, target, refused, failure);
            return Publication::Failed;
        }
        if (!Flush(failure)) return Publication::Failed;
        std::string reason;
        if (gzip && !gzip->Finish(file, reason)) {
            FailBySystem(target, reason, failure);
            return Publication::Failed;
        }
        const NativeFolder& at = TargetFolder();
        bool taken = false;
#ifdef _WIN32
        // A device name such as "nul.txt" is not caught by a failing move: only a free name is tried here.
        if (KindOfName(at, target) != NameKind::Free) return Publication::Taken;
#else
        if (temporary.empty()) {
            // The usual case, a free name: one call makes the whole piece appear.
            if (file.LinkAs(at, target, taken, reason)) {
                if (!file.Close(reason)) {
                    failureLasts = LastFailureLasts();
                    RemoveFile(at, target);
                    Fail(Failure::Kind::WritePiece, target, reason, failure);
                    return Publication::Failed;
                }
                return Publication::Published;
            }
            if (!taken) {
                FailBySystem(target, reason, failure);
                return Publication::Failed;
            }
            return Publication::Taken;
        }
#endif
        if (!file.Close(reason)) {
            FailBySystem(target, reason, failure);
            return Publication::Failed;
        }
        if (RenameIfFree(folder, temporary, at, target, taken, reason)) {
            ForgetTemporary(false);
            return Publication::Published;
        }
        if (!taken) {
            FailBySystem(target, reason, failure);
            return Publication::Failed;
        }
        return Publication::Taken;
    }

    // After PublishIfFree found the name taken: gives the piece the name in
    // the place of what has it, if that may be replaced.
    bool PublishReplacing(Failure& failure) {
        const NativeFolder& at = TargetFolder();
        if (!MayReplace(at, failure)) return false;
        std::string reason;
        if (file.isOpen()) {
#ifndef _WIN32
            if (temporary.empty() && !NameTheUnnamed(failure)) return false;
#endif
            if (!file.Close(reason)) return FailBySystem(target, reason, failure);
        }
        if (!RenameReplacing(folder, temporary, at, target, reason)) return FailBySystem(target, reason, failure);
        ForgetTemporary(false);
        return true;
    }

    bool Publish(Failure& failure) {
        const Publication publication = PublishIfFree(failure);
        return publication == Publication::Published ||
               (publication == Publication::Taken && PublishReplacing(failure));
    }
};

PieceWriter::PieceWriter() : impl_(std::make_unique<Impl>()) {}
PieceWriter::~PieceWriter() { Abandon(); }

bool PieceWriter::Open(const std::filesystem::path& target, const FileIdentitySet& sources, Failure& failure) {
    Abandon();
    impl_->failureLasts = false;
    if (const char* refused = RefusedNameReason(target)) {
        failure = Failure{Failure::Kind::WritePiece, target, refused};
        return false;
    }
    impl_->target = target;
    impl_->sources = &sources;
    return impl_->Start(impl_->FolderFor(target), target, failure);
}

bool PieceWriter::OpenTemporary(const std::filesystem::path& folder, Failure& failure) {
    Abandon();
    impl_->failureLasts = false;
    impl_->target.clear();
    impl_->sources = nullptr;
    return impl_->Start(impl_->FolderAt(folder.empty() ? std::filesystem::path(".") : folder), folder, failure);
}

bool PieceWriter::Append(std::string_view bytes, Failure& failure) {
    // A long run goes to the file from where it lies, sparing a copy through the buffer.
    if (bytes.size() >= kWriteThroughBytes && impl_->file.isOpen()) {
        std::string reason;
        if (!impl_->Flush(failure)) {
            return false;
        }
        if (!impl_->Out(bytes.data(), bytes.size(), reason)) {
            return impl_->FailBySystem(impl_->FailurePath(), reason, failure);
        }
        return true;
    }
    return impl_->Buffer(bytes, failure);
}

bool PieceWriter::AppendFrom(const NativeFile& source, std::uint64_t offset, std::uint64_t size, Failure& failure) {
    if (!impl_->file.isOpen()) {
        failure = Failure{Failure::Kind::WritePiece, impl_->FailurePath(), "no piece is open"};
        return false;
    }
    if (!impl_->Flush(failure)) return false;
    std::string reason;
    if (impl_->gzip) return impl_->OutFrom(source, offset, size, failure);
    bool cutShort = false;
    if (!impl_->file.AppendFrom(source, offset, size, cutShort, reason)) {
        if (cutShort) {
            impl_->failureLasts = true;
            return impl_->Fail(Failure::Kind::WritePiece, impl_->FailurePath(),
                               "its source became shorter while it was split", failure);
        }
        return impl_->FailBySystem(impl_->FailurePath(), reason, failure);
    }
    return true;
}

bool PieceWriter::Commit(Failure& failure) {
    if (impl_->target.empty()) {
        failure = Failure{Failure::Kind::WritePiece, {}, "the piece has no name"};
        impl_->Drop();
        return false;
    }
    return impl_->Publish(failure);
}

bool PieceWriter::CommitAs(const std::filesystem::path& target, const FileIdentitySet& sources, Failure& failure) {
    impl_->target = target;
    impl_->sources = &sources;
    return impl_->Publish(failure);
}

PieceWriter::Publication PieceWriter::CommitIfFree(const std::filesystem::path* target, const FileIdentitySet& sources,
                                                   Failure& failure) {
    if (target != nullptr) {
        impl_->target = *target;
        impl_->sources = &sources;
    }
    if (impl_->target.empty()) {
        failure = Failure{Failure::Kind::WritePiece, {}, "the piece has no name"};
        impl_->Drop();
        return Publication::Failed;
    }
    return impl_->PublishIfFree(failure);
}

bool PieceWriter::CommitReplacing(Failure& failure) { return impl_->PublishReplacing(failure); }

bool PieceWriter::Abandon() { return impl_->Drop(); }

bool PieceWriter::isOpen() const { return impl_->file.isOpen(); }

void PieceWriter::Compress(PieceCompression compression) {
    if (compression == PieceCompression::Gzip && !impl_->gzip) impl_->gzip = std::make_unique<GzipDeflater>();
    if (compression == PieceCompression::None) impl_->gzip.reset();
}

bool PieceWriter::ReplacedOlder() const { return impl_->replaced; }

bool PieceWriter::FailureLasts() const { return impl_->failureLasts; }

}  // namespace partwright
