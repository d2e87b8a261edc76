#include "engine/run/older_piece_watch.h"

#include <algorithm>
#include <iterator>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "engine/name/name_source.h"
#include "engine/name/older_pieces.h"
#include "partwright/path_text.h"

namespace partwright {

void OlderPieceWatch::ReportProgress(const Progress& progress) {
    if (progress.fileIndex != fileIndex_) {
        fileIndex_ = progress.fileIndex;
        source_ = progress.source;
        const std::filesystem::path named = NameSourceOf(source_, options_);
        folder_ = named.parent_path();
        folders_.SetFolder(folder_.empty() ? std::filesystem::path(".") : folder_);
        wholeSource_ = true;
        // The naming as the source begins; first characters give no order, so none.
        const NativeString sourceName = named.filename().native();
        names_.reset();
        // Before its first piece, the number before the first it would get.
        before_ = 0;
        // A cut by column names its pieces by value, in no counted order.
        const NamingMode naming = options_.byColumn.empty() ? settings_.Naming() : NamingMode::Template;
        if (naming == NamingMode::Numbered) {
            names_ = CountedNames::Numbered(sourceName);
        } else if (naming == NamingMode::Prefix) {
            names_ = CountedNames::Prefix(settings_.Prefix(), sourceName);
            before_ = std::int64_t{settings_.FirstNumber().value.value_or(1)} - 1;
        }
        // "|" is in no file name the pieces can take, so no name stands for the pattern.
        if (names_) pattern_ = folders_.KeyOf(std::filesystem::path(names_->Pattern()));
        taken_ = {};
        wanted_.clear();
        // Older pieces are files that were there before: a folder without any
        // is not listed again once it holds the new ones.
        numberedBefore_ = names_ && AnyNumberedFile();
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
    if (number) taken_.Add(*number);
}

bool OlderPieceWatch::SeenBefore(std::uint64_t pattern, std::int64_t number) const {
    for (const Ended& ended : ended_) {
        if (ended.pattern != pattern) continue;
        if (ended.numbers && number >= ended.numbers->first && number <= ended.numbers->second) return true;
        if (ended.reportedPast && number > *ended.reportedPast) return true;
    }
    return false;
}

bool OlderPieceWatch::AnyNumberedFile() {
    constexpr int kEntriesPerYield = 64;
    std::error_code error;
    std::filesystem::directory_iterator entry(folder_.empty() ? std::filesystem::path(".") : folder_, error);
    // A folder that cannot be listed is listed again at the end, as it always was.
    if (error) return true;
    for (int seen = 1; !error && entry != std::filesystem::directory_iterator(); entry.increment(error), ++seen) {
        if (seen % kEntriesPerYield == 0) (void)host_.Yield();
        const NativeString& path = entry->path().native();
        if (names_->NumberOf(std::basic_string_view<NativeChar>(path).substr(FolderTextLength(path)))) return true;
    }
    return error.value() != 0;
}

// The folder is listed once, so the work is bounded by its size whatever the
// numbers; a folder of many pieces takes a while, so the host is given its
// yields meanwhile. A stop asked for then does not cut the listing short: the
// source's pieces are all written, and what it left is reported whole.
std::vector<std::pair<std::int64_t, std::filesystem::path>> OlderPieceWatch::LeftOver(std::int64_t past) {
    constexpr int kEntriesPerYield = 64;
    std::vector<std::pair<std::int64_t, std::filesystem::path>> left;
    std::error_code error;
    std::filesystem::directory_iterator entry(folder_.empty() ? std::filesystem::path(".") : folder_, error);
    // A folder that cannot be listed now was not written into either: nothing is reported of it.
    for (int seen = 1; !error && entry != std::filesystem::directory_iterator(); entry.increment(error), ++seen) {
        if (seen % kEntriesPerYield == 0) (void)host_.Yield();
        const NativeString& path = entry->path().native();
        const std::optional<std::int64_t> number = names_->NumberOf(
            std::basic_string_view<NativeChar>(path).substr(FolderTextLength(path)));
        if (!number || *number <= past || taken_.Contains(*number) || SeenBefore(pattern_, *number)) continue;
        std::error_code statusError;
        if (!entry->is_regular_file(statusError)) continue;
        std::filesystem::path older = folder_ / entry->path().filename();
        if (const std::optional<FileIdentity> identity = IdentityOf(older); identity && sources_.Contains(*identity)) {
            continue;  // a source of this run, not a piece left over
        }
        left.emplace_back(*number, std::move(older));
    }
    std::sort(left.begin(), left.end());
    return left;
}

void OlderPieceWatch::SourceEnded() {
    const std::filesystem::path source = std::exchange(source_, {});
    if (source.empty() || !names_) return;
    Ended ended{pattern_, {}, {}};
    if (!taken_.Empty()) ended.numbers.emplace(taken_.Lowest(), taken_.Highest());
    if (wholeSource_) {
        if (numberedBefore_) {
            for (const auto& [number, older] : LeftOver(before_)) {
                ++report_.olderPiecesLeft;
                host_.OlderPieceLeft(source, older);
            }
        }
        // Every number past before_ is now a new piece of this source or reported by it.
        ended.reportedPast = before_;
    }
    ended_.push_back(ended);
}

void TakenNumbers::Add(std::int64_t number) {
    if (runs_.empty() || number > runs_.back().second + 1) {
        runs_.emplace_back(number, number);
        return;
    }
    // Out of order too (a first counting number lowered during the run) a
    // number joins the run it follows; a source cut again from its start
    // takes numbers it holds already.
    const auto after = std::upper_bound(runs_.begin(), runs_.end(), number,
                                        [](std::int64_t n, const auto& run) { return n < run.first; });
    if (after != runs_.begin() && std::prev(after)->second >= number) return;
    if (after != runs_.begin() && std::prev(after)->second + 1 == number)
        std::prev(after)->second = number;
    else
        runs_.insert(after, {number, number});
}

bool TakenNumbers::Contains(std::int64_t number) const {
    auto after = std::upper_bound(runs_.begin(), runs_.end(), number,
                                  [](std::int64_t n, const auto& run) { return n < run.first; });
    return after != runs_.begin() && std::prev(after)->second >= number;
}

}  // namespace partwright
