#include "engine/run/older_piece_watch.h"

#include <system_error>
#include <utility>
#include <vector>

#include "engine/name/older_pieces.h"

namespace partwright {

void OlderPieceWatch::ReportProgress(const Progress& progress) {
    if (progress.fileIndex != fileIndex_) {
        fileIndex_ = progress.fileIndex;
        source_ = progress.source;
        folder_ = options_.outputFolder.empty() ? source_.parent_path() : options_.outputFolder;
        named_.SetFolder(folder_.empty() ? std::filesystem::path(".") : folder_);
        wholeSource_ = true;
        // The naming as the source begins; first characters give no order, so none.
        const NativeString sourceName = source_.filename().native();
        names_.reset();
        // Before its first piece, the number before the first it would get.
        before_ = 0;
        if (!settings_.FirstCharsSelected() && settings_.NumberedSelected()) {
            names_ = CountedNames::Numbered(sourceName);
        } else if (!settings_.FirstCharsSelected() && settings_.PrefixSelected()) {
            names_ = CountedNames::Prefix(settings_.Prefix(), sourceName);
            before_ = std::int64_t{settings_.FirstNumber().value.value_or(1)} - 1;
        }
        last_.reset();
        wanted_.clear();
    }
    host_.ReportProgress(progress);
}

void OlderPieceWatch::ShowNotice(Notice notice, const std::filesystem::path& source) {
    wholeSource_ = false;  // a block gave no pieces
    host_.ShowNotice(notice, source);
}

void OlderPieceWatch::ReportFailure(const Failure& failure) {
    switch (failure.kind) {
    // One piece not written: the others stand, and so does the count.
    case Failure::Kind::WritePiece:
    case Failure::Kind::TargetIsSource:
    case Failure::Kind::NameTooLong: break;
    // The source was not cut whole: what its pieces end at says nothing.
    default: wholeSource_ = false; break;
    }
    host_.ReportFailure(failure);
}

void OlderPieceWatch::PieceRenamed(const std::filesystem::path& wanted, const std::filesystem::path& given) {
    wanted_ = wanted;
    host_.PieceRenamed(wanted, given);
}

void OlderPieceWatch::PlannedPiece(const std::filesystem::path& target) {
    std::error_code error;
    if (std::filesystem::exists(std::filesystem::symlink_status(target, error))) ++report_.piecesReplaced;
    Named(target);
    host_.PlannedPiece(target);
}

void OlderPieceWatch::PieceWritten(const std::filesystem::path& target) {
    Named(target);
    host_.PieceWritten(target);
}

void OlderPieceWatch::Named(const std::filesystem::path& target) {
    named_.Take(named_.KeyOf(target), 0, 0);
    // A piece that took a copy name is still numbered by the name it wanted.
    const std::filesystem::path wanted = std::exchange(wanted_, {});
    const std::filesystem::path& name = wanted.empty() ? target : wanted;
    if (!names_) return;
    const std::optional<std::int64_t> number = names_->NumberOf(name.filename().native());
    if (number && (!last_ || *number > *last_)) last_ = number;
}

void OlderPieceWatch::SourceEnded() {
    const std::filesystem::path source = std::exchange(source_, {});
    if (source.empty() || !wholeSource_ || !names_) return;
    std::error_code error;
    // A folder that cannot be listed now was not written into either: nothing is reported of it.
    for (const auto& [number, older] : FilesNumberedPast(folder_, *names_, last_.value_or(before_), error)) {
        const std::uint64_t key = named_.KeyOf(older);
        // Another source's new piece, or a file left that an earlier source reported.
        if (named_.Taken(key)) continue;
        if (const std::optional<FileIdentity> identity = IdentityOf(older); identity && sources_.Contains(*identity)) {
            continue;  // a source of this run, not a piece left over
        }
        named_.Take(key, 0, 0);
        ++report_.olderPiecesLeft;
        host_.OlderPieceLeft(source, older);
    }
}

}  // namespace partwright
