#include "engine/write/publish_turns.h"

#include <algorithm>

namespace partwright {

PublishTurns::Turn PublishTurns::MayPublish(std::uint64_t piece, std::uint64_t source) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (Failed(piece, source)) return Turn::Skip;
    if (Stopping() && piece >= publishedBelow_) return Turn::Drop;
    publishedBelow_ = std::max(publishedBelow_, piece + 1);
    return Turn::Publish;
}

PublishTurns::Turn PublishTurns::KeepWriting(std::uint64_t piece, std::uint64_t source) {
    if (!Stopping() && failedSource_.load(std::memory_order_acquire) != source) return Turn::Publish;
    std::lock_guard<std::mutex> lock(mutex_);
    if (Failed(piece, source)) return Turn::Skip;
    return !Stopping() || piece < publishedBelow_ ? Turn::Publish : Turn::Drop;
}

bool PublishTurns::Failed(std::uint64_t piece, std::uint64_t source) const {
    return failedSource_.load(std::memory_order_relaxed) == source && piece > failedPiece_;
}

PublishTurns::Turn PublishTurns::AwaitTurn(std::uint64_t piece, std::uint64_t source) {
    std::unique_lock<std::mutex> lock(mutex_);
    ++waiters_;
    // A stop ends the wait: the piece was let publish, so it is kept.
    changed_.wait(lock, stop_, [&] { return decidedBelow_ == piece; });
    --waiters_;
    return Failed(piece, source) ? Turn::Skip : Turn::Publish;
}

void PublishTurns::Decided(std::uint64_t piece, std::uint64_t source, bool lastingFailure) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (lastingFailure && !Failed(piece, source) &&
        (failedSource_.load(std::memory_order_relaxed) != source || piece < failedPiece_)) {
        failedPiece_ = piece;
        failedSource_.store(source, std::memory_order_release);
    }
    if (piece < decidedBelow_) return;  // after a stop, out of order
    const std::size_t after = piece - decidedBelow_;
    if (decidedAfter_.size() <= after) decidedAfter_.resize(after + 1, false);
    decidedAfter_[after] = true;
    while (!decidedAfter_.empty() && decidedAfter_.front()) {
        decidedAfter_.pop_front();
        ++decidedBelow_;
    }
    const bool waiting = waiters_ > 0;
    lock.unlock();
    if (waiting) changed_.notify_all();
}

}  // namespace partwright
