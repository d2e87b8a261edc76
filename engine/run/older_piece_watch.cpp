#include "engine/run/older_piece_watch.h"

#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "engine/name/older_pieces.h"
#include "partwright/path_text.h"

namespace partwright {

void OlderPieceWatch::ReportProgress(const Progress& progress) {
    if (progress.fileIndex != fileIndex_) {
        fileIndex_ = progress.fileIndex;
        source_ = progress.source;
        folder_ = options_.outputFolder.empty() ? source_.parent_path() : options_.outputFolder;
        folders_.SetFolder(folder_.empty() ? std::filesystem::path(".") : folder_);
        wholeSource_ = true;
        // The naming as the source begins; first characters give no order, so none.
        const NativeString sourceName = source_.filename().native();
        names_.reset();
        // Before its first piece, the number before the first it would get.
        before_ = 0;
        const NamingMode naming = settings_.Naming();
        if (naming == NamingMode::Numbered) {
            names_ = CountedNames::Numbered(sourceName);
        } else if (naming == NamingMode::Prefix) {
            names_ = CountedNames::Prefix(settings_.Prefix(), sourceName);
            before_ = std::int64_t{settings_.FirstNumber().value.value_or(1)} - 1;
        }
        // "|" is in no file name the pieces can take, so no name stands for the pattern.
        if (names_) pattern_ = folders_.KeyOf(std::filesystem::path(names_->Pattern()));
        first_.reset();
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
    // A piece that took a copy name is still numbered by the name it wanted.
    const std::filesystem::path wanted = std::exchange(wanted_, {});
    if (!names_) return;
    const NativeString& name = wanted.empty() ? target.native() : wanted.native();
    const std::optional<std::int64_t> number = names_->NumberOf(
        std::basic_string_view<NativeChar>(name).substr(FolderTextLength(name)));
    if (!number) return;
    if (!first_ || *number < *first_) first_ = number;
    if (!last_ || *number > *last_) last_ = number;
}

bool OlderPieceWatch::SeenBefore(std::uint64_t pattern, std::int64_t number) const {
    for (const Ended& ended : ended_) {
        if (ended.pattern != pattern) continue;
        if (ended.numbers && number >= ended.numbers->first && number <= ended.numbers->second) return true;
        if (ended.reportedPast && number > *ended.reportedPast) return true;
    }
    return false;
}

void OlderPieceWatch::SourceEnded() {
    const std::filesystem::path source = std::exchange(source_, {});
    if (source.empty() || !names_) return;
    Ended ended{pattern_, {}, {}};
    if (first_) ended.numbers.emplace(*first_, *last_);
    if (wholeSource_) {
        ended.reportedPast = last_.value_or(before_);
        std::error_code error;
        // A folder that cannot be listed now was not written into either: nothing is reported of it.
        for (const auto& [number, older] : FilesNumberedPast(folder_, *names_, *ended.reportedPast, error)) {
            if (SeenBefore(pattern_, number)) continue;
            if (const std::optional<FileIdentity> identity = IdentityOf(older);
                identity && sources_.Contains(*identity)) {
                continue;  // a source of this run, not a piece left over
            }
            ++report_.olderPiecesLeft;
            host_.OlderPieceLeft(source, older);
        }
    }
    ended_.push_back(ended);
}

}  // namespace partwright
