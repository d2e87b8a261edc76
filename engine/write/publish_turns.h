#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <stop_token>

namespace partwright {

// When the writers of a PieceQueue may publish their pieces, which are
// numbered in the order handed over. A piece takes a free name as soon as it
// is whole; one that replaces a file waits for its turn, until every piece
// before it is decided (published, failed or dropped), since a replaced file
// cannot be given back should an earlier piece fail for good. Once the run
// stops, a piece is published only if one after it was, so the pieces
// published are the first ones, with no gap but failures. After a failure
// that lasts (no space left...), no later piece of its source is published.
class PublishTurns {
public:
    enum class Turn { Publish, Drop, Skip };

    explicit PublishTurns(std::stop_token stop) : stop_(std::move(stop)) {}

    // Whether a writer may publish the piece now: Drop once the run stops
    // (unless a piece after it was published), Skip once an earlier piece of
    // its source failed for a reason that lasts.
    [[nodiscard]] Turn MayPublish(std::uint64_t piece, std::uint64_t source);
    // As MayPublish, for going on writing the piece, which it does not change.
    [[nodiscard]] Turn KeepWriting(std::uint64_t piece, std::uint64_t source);
    // Waits until every piece before `piece` is decided, or the run stops (a
    // piece let publish is kept): whether it may replace a file now.
    [[nodiscard]] Turn AwaitTurn(std::uint64_t piece, std::uint64_t source);
    // The piece is decided; with `lastingFailure`, the later pieces of its source are skipped.
    void Decided(std::uint64_t piece, std::uint64_t source, bool lastingFailure);

private:
    [[nodiscard]] bool Stopping() const { return stop_.stop_requested(); }
    [[nodiscard]] bool Failed(std::uint64_t piece, std::uint64_t source) const;  // under mutex_

    std::stop_token stop_;
    std::mutex mutex_;
    std::condition_variable_any changed_;
    int waiters_ = 0;                   // under mutex_
    std::uint64_t publishedBelow_ = 0;  // under mutex_: 1 + the last piece let publish
    std::uint64_t decidedBelow_ = 0;    // under mutex_: every piece before it is decided
    std::deque<bool> decidedAfter_;     // under mutex_: of the pieces from decidedBelow_ + 1 on
    // The source whose later pieces are skipped after a lasting failure, if any.
    static constexpr std::uint64_t kNoSource = ~std::uint64_t{0};
    std::atomic<std::uint64_t> failedSource_{kNoSource};  // written under mutex_
    std::uint64_t failedPiece_ = 0;                       // under mutex_: its piece that failed
};

}  // namespace partwright
