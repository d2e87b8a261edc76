#include "engine/write/piece_queue.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <exception>
#include <thread>
#include <utility>

#include "engine/write/piece_writer.h"
#include "partwright/run_interface.h"

#ifndef _WIN32
#include <signal.h>
#endif

namespace partwright {

namespace {

// Steps gathered before they are handed to a writer: a long piece goes over
// in parts of about kBatchBytes, small ones up to kBatchPieces at a time, so
// that a writer is woken once for many of them.
constexpr std::size_t kBatchBytes = 256 * 1024;
// A batch that ends with a range of the source shorter than this waits for
// the next step, which may continue the range: one read then takes both.
constexpr std::uint64_t kLongRangeBytes = 4 * 1024 * 1024;
constexpr std::size_t kBatchPieces = 32;
// Room for the steps of a batch of small pieces (open, text, commit), made
// once per batch: the steps are not moved again as the batch grows.
constexpr std::size_t kBatchSteps = 4 * kBatchPieces;

}  // namespace

struct PieceQueue::Step {
    enum class Kind : std::uint8_t { Open, OpenTemporary, Name, Bytes, Range, Commit, Abandon };
    Kind kind = Kind::Open;
    std::filesystem::path path;  // Open, OpenTemporary, Name; Commit: the name given at the end, if any
    const FileIdentitySet* sources = nullptr;
    std::uint64_t piece = 0;         // Open, OpenTemporary: the piece's number, counted from 0 in the order opened
    std::uint64_t sourceNumber = 0;  // Open, OpenTemporary: the number of the piece's source
    std::string data;                // Bytes
    std::shared_ptr<const NativeFile> source;  // Range: from `offset`, `size` bytes
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    OutcomeSlot* slot = nullptr;
};

// One writer: its thread's queue of batches and the piece it writes.
struct PieceQueue::Writer {
    std::thread thread;
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Batch> batches;  // under mutex
    bool quit = false;          // under mutex

    PieceQueue* queue = nullptr;
    // The writing thread's own.
    PieceWriter writer;
    Outcome unused;
    std::uint64_t piece = 0;   // the number of the piece being written
    std::uint64_t source = 0;  // and of its source
    bool stopped = false;      // the piece is not written: dropped by a stop, or skipped
    Turn stoppedFor = Turn::Drop;
    bool stoppedWithFile = false;
    bool failed = false;
    bool beforeName = false;  // the failure came before the piece's name was known
    Failure failure;

    void Fail() {
        failed = true;
        writer.Abandon();
    }

    // The piece is not written, for the reason `why` (Drop or Skip).
    void StopWriting(Turn why) {
        if (stopped) return;
        stopped = true;
        stoppedFor = why;
        stoppedWithFile = writer.Abandon();
    }

    // Does one step; fills `outcome` when the piece ends.
    void Do(const Step& op, Outcome& outcome) {
        if (op.kind == Step::Kind::Open || op.kind == Step::Kind::OpenTemporary) {
            stopped = false;
            piece = op.piece;
            source = op.sourceNumber;
        }
        if (op.kind == Step::Kind::Commit || op.kind == Step::Kind::Abandon) {
            End(op, outcome);
            return;
        }
        if (!stopped) {
            const Turn turn = queue->turns_.KeepWriting(piece, source);
            if (turn != Turn::Publish) StopWriting(turn);
        }
        if (stopped) return;
        switch (op.kind) {
        case Step::Kind::Open:
        case Step::Kind::OpenTemporary:
            failed = false;
            beforeName = op.kind == Step::Kind::OpenTemporary;
            if (!(beforeName ? writer.OpenTemporary(op.path, failure) : writer.Open(op.path, *op.sources, failure))) {
                Fail();
            }
            return;
        case Step::Kind::Name:
            if (failed && beforeName) failure.path = op.path;
            beforeName = false;
            return;
        case Step::Kind::Bytes:
            if (!failed && !writer.Append(op.data, failure)) Fail();
            return;
        case Step::Kind::Range:
            if (!failed && !writer.AppendFrom(*op.source, op.offset, op.size, failure)) Fail();
            return;
        case Step::Kind::Commit:
        case Step::Kind::Abandon: return;
        }
    }

    // The piece's last step: it is published, or dropped, or its failure told.
    void End(const Step& op, Outcome& outcome) {
        outcome = Outcome{};
        outcome.committed = op.kind == Step::Kind::Commit;
        if (!stopped && !failed && outcome.committed) {
            Turn turn = queue->turns_.MayPublish(piece, source);
            if (turn == Turn::Publish) turn = Publish(op, outcome);
            if (turn != Turn::Publish) StopWriting(turn);
        } else if (!stopped) {
            outcome.hadFile = writer.Abandon();
        }
        if (stopped) {
            outcome.skipped = stoppedFor == Turn::Skip;
            outcome.dropped = !outcome.skipped;
            outcome.hadFile = stoppedWithFile;
        } else if (failed) {
            outcome.failure = failure;
            outcome.lasting = writer.FailureLasts();
        }
        failed = false;
        queue->turns_.Decided(piece, source, outcome.lasting);
    }

    // A free name at once; the place of a file only in the piece's turn.
    // Publish, or why the piece is not written after all.
    Turn Publish(const Step& op, Outcome& outcome) {
        const PieceWriter::Publication publication = writer.CommitIfFree(op.path.empty() ? nullptr : &op.path,
                                                                         *op.sources, failure);
        if (publication == PieceWriter::Publication::Taken) {
            const Turn turn = queue->turns_.AwaitTurn(piece, source);
            if (turn != Turn::Publish) return turn;
            outcome.written = writer.CommitReplacing(failure);
        } else {
            outcome.written = publication == PieceWriter::Publication::Published;
        }
        if (!outcome.written) failed = true;
        outcome.replacedOlder = outcome.written && writer.ReplacedOlder();
        return Turn::Publish;
    }

    // As Do, with anything thrown (out of memory) made the piece's failure.
    void DoSafely(const Step& op, Outcome& outcome) {
        try {
            Do(op, outcome);
        } catch (const std::exception& error) {
            failure = Failure{Failure::Kind::WritePiece, op.path, error.what()};
            Fail();
            if (op.kind == Step::Kind::Commit || op.kind == Step::Kind::Abandon) {
                // Only the turn's wait can throw before the piece is decided.
                outcome = Outcome{};
                outcome.committed = op.kind == Step::Kind::Commit;
                outcome.failure = failure;
                failed = false;
                queue->turns_.Decided(piece, source, false);
            }
        }
    }
};

// Two writers beside the run's thread were best on two cores, more gave no
// more (bench/RESULTS.md); on one core a thread only adds switching.
int DefaultWriterThreads() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores >= 2 ? 2 : 0;
}

PieceQueue::PieceQueue(int writers, std::stop_token stop, std::function<void()> whileWaiting,
                       PieceCompression compression)
    : stop_(stop), turns_(std::move(stop)), whileWaiting_(std::move(whileWaiting)) {
    callerWriter_ = std::make_unique<Writer>();
    callerWriter_->queue = this;
    callerWriter_->writer.Compress(compression);
    onCaller_ = writers <= 0;
    if (onCaller_) return;
    batch_.reserve(kBatchSteps);
    for (int n = 0; n < writers; ++n) {
        writers_.push_back(std::make_unique<Writer>());
        writers_.back()->queue = this;
        writers_.back()->writer.Compress(compression);
    }
    for (auto& writer : writers_) {
        Writer& w = *writer;
        w.thread = std::thread([this, &w] { Run(w); });
    }
}

PieceQueue::~PieceQueue() {
    if (open_) Abandon();
    // Every piece handed over must reach its writer whole: a later one waits for its turn.
    Send();
    for (auto& writer : writers_) {
        {
            std::lock_guard<std::mutex> lock(writer->mutex);
            writer->quit = true;
        }
        writer->wake.notify_one();
    }
    for (auto& writer : writers_) writer->thread.join();
}

void PieceQueue::Run(Writer& writer) {
#ifndef _WIN32
    // Signals are the run's thread's to handle: it stops the run at a piece's edge.
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, nullptr);
#endif
    for (;;) {
        Batch batch;
        {
            std::unique_lock<std::mutex> lock(writer.mutex);
            writer.wake.wait(lock, [&] { return writer.quit || !writer.batches.empty(); });
            if (writer.batches.empty()) return;
            batch = std::move(writer.batches.front());
            writer.batches.pop_front();
        }
        std::size_t bytes = 0;
        for (Step& op : batch) {
            // The outcome is filled here, and told below under the lock.
            writer.DoSafely(op, op.slot ? op.slot->outcome : writer.unused);
            bytes += op.data.size();
        }
        {
            std::lock_guard<std::mutex> lock(doneMutex_);
            bytesInFlight_ -= bytes;
            for (const Step& op : batch) {
                if (op.slot) op.slot->done = true;
            }
        }
        doneChanged_.notify_all();
    }
}

void PieceQueue::Open(const std::filesystem::path& target, const FileIdentitySet& sources) {
    if (open_) Abandon();
    open_ = true;
    Step op;
    op.kind = Step::Kind::Open;
    op.piece = nextPiece_++;
    op.sourceNumber = source_;
    op.path = target;
    op.sources = &sources;
    Add(std::move(op));
}

void PieceQueue::OpenTemporary(const std::filesystem::path& folder) {
    if (open_) Abandon();
    open_ = true;
    Step op;
    op.kind = Step::Kind::OpenTemporary;
    op.piece = nextPiece_++;
    op.sourceNumber = source_;
    op.path = folder.empty() ? std::filesystem::path(".") : folder;
    Add(std::move(op));
}

void PieceQueue::Name(const std::filesystem::path& target) {
    Step op;
    op.kind = Step::Kind::Name;
    op.path = target;
    Add(std::move(op));
}

void PieceQueue::Append(std::string_view bytes) {
    if (!open_ || bytes.empty()) return;
    if (WrittenHere([&](PieceWriter& writer, Failure& failure) { return writer.Append(bytes, failure); })) return;
    Step op;
    op.kind = Step::Kind::Bytes;
    Gather(std::move(op), bytes);
}

void PieceQueue::AppendFrom(const std::shared_ptr<const NativeFile>& source, std::uint64_t offset, std::uint64_t size) {
    if (!open_ || size == 0) return;
    if (WrittenHere(
            [&](PieceWriter& writer, Failure& failure) { return writer.AppendFrom(*source, offset, size, failure); })) {
        return;
    }
    GatherRange(source, offset, size);
}

std::optional<std::uint64_t> PieceQueue::GatheredRangeEnd(const NativeFile& source) const {
    if (!open_ || batch_.empty()) return std::nullopt;
    const Step& last = batch_.back();
    if (last.kind != Step::Kind::Range || last.source.get() != &source) return std::nullopt;
    return last.offset + last.size;
}

void PieceQueue::GatherRange(const std::shared_ptr<const NativeFile>& source, std::uint64_t offset,
                             std::uint64_t size) {
    Step op;
    op.kind = Step::Kind::Range;
    op.source = source;
    op.offset = offset;
    op.size = size;
    Gather(std::move(op), {});
}

// Writes part of the current piece on this thread, when the queue writes here.
template <class Write>
bool PieceQueue::WrittenHere(Write write) {
    if (!onCaller_) return false;
    Writer& here = *callerWriter_;
    if (!here.failed && !here.stopped && !write(here.writer, here.failure)) here.Fail();
    return true;
}

// Gathers part of the current piece (`data` its bytes, if any), as more of
// the last step gathered where it continues that step.
void PieceQueue::Gather(Step op, std::string_view data) {
    if (!data.empty()) WaitForRoom();
    Step* last = batch_.empty() ? nullptr : &batch_.back();
    const bool continues = last != nullptr && last->kind == op.kind && last->source == op.source &&
                           last->offset + last->size == op.offset;
    if (!continues) {
        op.data.assign(data);
        Add(std::move(op));
        return;
    }
    last->data.append(data);
    last->size += op.size;
    batchBytes_ += data.size();
    batchWork_ += data.size() + op.size;
    if (BatchFull()) Send();
}

void PieceQueue::Commit(const std::filesystem::path* target, const FileIdentitySet& sources) {
    if (!open_) return;
    Step op;
    op.kind = Step::Kind::Commit;
    if (target) op.path = *target;
    op.sources = &sources;
    End(std::move(op));
}

void PieceQueue::Abandon() {
    if (!open_) return;
    Step op;
    op.kind = Step::Kind::Abandon;
    End(std::move(op));
}

bool PieceQueue::BatchFull() const {
    if (batchWork_ < kBatchBytes) return false;
    const Step& last = batch_.back();
    return last.kind != Step::Kind::Range || last.size >= kLongRangeBytes;
}

// A step of the current piece: done at once, or gathered for its writer.
void PieceQueue::Add(Step op) {
    if (onCaller_) {
        Outcome unused;
        callerWriter_->DoSafely(op, unused);
        return;
    }
    if (current_ == nullptr) {
        current_ = writers_[next_].get();
        next_ = (next_ + 1) % writers_.size();
    }
    batchBytes_ += op.data.size();
    batchWork_ += op.data.size() + op.size;
    batch_.push_back(std::move(op));
    if (BatchFull()) Send();
}

// The last step of the current piece, which gives its outcome.
void PieceQueue::End(Step op) {
    open_ = false;
    slots_.emplace_back();
    OutcomeSlot& slot = slots_.back();
    if (onCaller_) {
        callerWriter_->DoSafely(op, slot.outcome);
        slot.done = true;
        return;
    }
    op.slot = &slot;
    Add(std::move(op));
    // A long piece's writer is free for the next soonest; small ones go
    // to the writers by turns, a batch at a time.
    const bool sentInParts = sentInParts_;
    sentInParts_ = false;
    if (sentInParts || ++batchPieces_ >= kBatchPieces) Send();
}

// Hands the gathered steps to the current piece's writer.
void PieceQueue::Send() {
    if (batch_.empty() || current_ == nullptr) return;
    {
        std::lock_guard<std::mutex> lock(doneMutex_);
        bytesInFlight_ += batchBytes_;
    }
    {
        std::lock_guard<std::mutex> lock(current_->mutex);
        current_->batches.push_back(std::move(batch_));
    }
    current_->wake.notify_one();
    batch_ = Batch();
    batch_.reserve(kBatchSteps);
    batchBytes_ = 0;
    batchWork_ = 0;
    batchPieces_ = 0;
    if (open_) {
        sentInParts_ = true;
    } else {
        current_ = nullptr;
    }
}

// Waits while the writers hold as much as they may.
void PieceQueue::WaitForRoom() {
    std::unique_lock<std::mutex> lock(doneMutex_);
    WaitUntil(lock, [&] { return bytesInFlight_ + batchBytes_ < kMaxBytesInFlight; });
}

// Calls whileWaiting_ every kAskEvery of waiting, also over many short waits in a row.
template <class Ready>
void PieceQueue::WaitUntil(std::unique_lock<std::mutex>& lock, Ready ready) {
    constexpr auto kAskEvery = std::chrono::milliseconds(20);
    using Clock = std::chrono::steady_clock;
    if (!waiting_) lastAsked_ = Clock::now();
    waiting_ = true;
    while (!ready()) {
        doneChanged_.wait_until(lock, lastAsked_ + kAskEvery);
        if (ready() || Clock::now() < lastAsked_ + kAskEvery) continue;
        lastAsked_ = Clock::now();
        if (stop_.stop_requested() || !whileWaiting_) continue;
        lock.unlock();
        whileWaiting_();
        lock.lock();
    }
}

void PieceQueue::WriteHere(bool here) {
    if (open_ || !slots_.empty()) return;
    onCaller_ = here || writers_.empty();
}

std::size_t PieceQueue::bytesHeld() {
    std::lock_guard<std::mutex> lock(doneMutex_);
    return bytesInFlight_ + batchBytes_;
}

bool PieceQueue::TakeOutcome(Outcome& outcome, bool wait) {
    if (slots_.empty()) return false;
    OutcomeSlot& oldest = slots_.front();
    if (!onCaller_) {
        if (wait) Send();
        std::unique_lock<std::mutex> lock(doneMutex_);
        if (!oldest.done) {
            if (!wait) return false;
            WaitUntil(lock, [&] { return oldest.done; });
        }
    }
    outcome = std::move(oldest.outcome);
    slots_.pop_front();
    // Taking outcomes without waiting ends a stretch of waiting.
    if (!wait) waiting_ = false;
    return true;
}

}  // namespace partwright
