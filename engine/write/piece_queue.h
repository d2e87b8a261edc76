#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string_view>
#include <vector>

#include "engine/files/file_identity.h"
#include "engine/write/publish_turns.h"
#include "partwright/failure.h"
#include "partwright/run_interface.h"

namespace partwright {

class NativeFile;
class PieceWriter;

// Writes pieces through PieceWriter on threads of its own, so that creating,
// filling and naming files goes on while the run cuts the next pieces. The
// run's thread hands over the steps of one piece at a time; each piece is
// written whole by one writer, and the outcomes come back in the order the
// pieces were handed over. A piece takes a free name as soon as it is whole;
// one that replaces a file waits until every piece before it is published or
// failed, so that what a failure of an earlier piece undoes can be undone. What is handed over and not yet written is
// held in copies of at most kMaxBytesInFlight bytes: the run's thread waits when there is more. With no writer threads,
// every step is done at once on the calling thread, and an outcome is known as soon as its piece ends.
class PieceQueue {
public:
    // How a piece ended.
    struct Outcome {
        bool committed = false;      // ended by Commit (else Abandon)
        bool written = false;        // committed and published whole under its name
        bool replacedOlder = false;  // written in the place of a file of its name
        bool hadFile = false;        // abandoned, or dropped by a stop, with a file of it open
        bool dropped = false;        // not written because the run was stopping
        // Not written: an earlier piece of its source failed for a reason that
        // strikes every later one (see `lasting`).
        bool skipped = false;
        std::optional<Failure> failure;
        bool lasting = false;  // the failure will strike every later piece of the source as well
    };

    static constexpr std::size_t kMaxBytesInFlight = std::size_t{8} << 20;

    // `writers` threads; 0 writes on the calling thread. Once a stop is
    // requested on `stop`'s source, pieces not published yet are dropped,
    // leaving nothing of them, and so is every piece handed over from then on
    // (Outcome::dropped); the writers read the token before every step. Once
    // a piece fails for a reason that lasts (Outcome::lasting), the later
    // pieces of its source are not written (Outcome::skipped). While
    // the calling thread waits for the writers, it calls `whileWaiting` every
    // few milliseconds (the run yields to its host there, which may request the stop).
    // `compression`: how every piece is stored (see PieceWriter::Compress).
    PieceQueue(int writers, std::stop_token stop, std::function<void()> whileWaiting,
               PieceCompression compression = PieceCompression::None);
    ~PieceQueue();  // abandons a piece in progress and waits for the rest
    PieceQueue(const PieceQueue&) = delete;
    PieceQueue& operator=(const PieceQueue&) = delete;

    // The steps of one piece, as PieceWriter's; a step after a failure does
    // nothing, and the failure comes with the piece's outcome.
    void Open(const std::filesystem::path& target, const FileIdentitySet& sources);
    void OpenTemporary(const std::filesystem::path& folder);
    // The pieces opened from now on are of the next source.
    void StartSource() { ++source_; }
    // The name of a piece opened with OpenTemporary is known: a failure so far is the named piece's.
    void Name(const std::filesystem::path& target);
    void Append(std::string_view bytes);
    // `size` bytes of `source` from `offset` on, which are already what the
    // piece holds: the writer reads them itself, so they are held nowhere.
    void AppendFrom(const std::shared_ptr<const NativeFile>& source, std::uint64_t offset, std::uint64_t size);
    // Where the range of `source` that the current piece gathered last ends,
    // when that is the last thing it gathered: bytes from there on continue it.
    [[nodiscard]] std::optional<std::uint64_t> GatheredRangeEnd(const NativeFile& source) const;
    // Ends the piece: published under the name given to Open, or under `target` when not null.
    void Commit(const std::filesystem::path* target, const FileIdentitySet& sources);
    // Ends the piece, leaving nothing of it.
    void Abandon();

    // From the next piece on, pieces are written on the calling thread
    // (`here`), or on the writer threads where there are any. Nothing
    // changes while a piece is open or an outcome is not taken.
    void WriteHere(bool here);

    // A stop was requested.
    [[nodiscard]] bool Stopping() const { return stop_.stop_requested(); }

    // Bytes handed over and not written yet, and those gathered and not handed over.
    [[nodiscard]] std::size_t bytesHeld();

    // A piece was opened and not ended yet.
    [[nodiscard]] bool pieceOpen() const { return open_; }

    // Takes the outcome of the oldest piece ended: false when there is none,
    // or, without `wait`, when it is still being written.
    [[nodiscard]] bool TakeOutcome(Outcome& outcome, bool wait);

private:
    struct Step;
    struct Writer;
    struct OutcomeSlot {
        bool done = false;  // under doneMutex_
        Outcome outcome;
    };
    using Batch = std::vector<Step>;
    using Turn = PublishTurns::Turn;

    void Add(Step op);
    void Gather(Step op, std::string_view data);
    // Gathers a range of the source, bytes as they are written.
    void GatherRange(const std::shared_ptr<const NativeFile>& source, std::uint64_t offset, std::uint64_t size);
    template <class Write>
    bool WrittenHere(Write write);
    void End(Step op);
    void Send();
    // The batch has work enough to go to its writer.
    [[nodiscard]] bool BatchFull() const;
    void WaitForRoom();
    // Waits on doneChanged_ until `ready`, calling whileWaiting_ every few milliseconds.
    template <class Ready>
    void WaitUntil(std::unique_lock<std::mutex>& lock, Ready ready);
    void Run(Writer& writer);

    std::vector<std::unique_ptr<Writer>> writers_;
    std::unique_ptr<Writer> callerWriter_;  // writes on the calling thread while onCaller_
    bool onCaller_ = true;
    // The run's thread only.
    std::deque<OutcomeSlot> slots_;  // of pieces ended, oldest first
    Batch batch_;                    // steps of the current piece not handed over yet
    std::size_t batchBytes_ = 0;     // held in batch_
    std::uint64_t batchWork_ = 0;    // to write in batch_, read from sources too
    std::size_t batchPieces_ = 0;    // pieces ended in batch_
    bool sentInParts_ = false;       // part of the current piece was handed over
    Writer* current_ = nullptr;      // the writer of the current piece
    std::size_t next_ = 0;           // the writer of the next piece
    bool open_ = false;
    // Shared with the writers.
    std::mutex doneMutex_;
    std::condition_variable doneChanged_;
    std::size_t bytesInFlight_ = 0;  // under doneMutex_
    std::stop_token stop_;
    PublishTurns turns_;
    std::uint64_t nextPiece_ = 0;  // the run's thread's: the number of the next piece opened
    std::uint64_t source_ = 0;     // the run's thread's: the number of the source being cut
    std::function<void()> whileWaiting_;
    // The run's thread's: whether it has been waiting since whileWaiting_ was last called, and when that was.
    bool waiting_ = false;
    std::chrono::steady_clock::time_point lastAsked_;
};

}  // namespace partwright
