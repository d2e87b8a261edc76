#include "engine/run/line_cap_sink.h"

#include "engine/cut/record_ends.h"

namespace partwright {

class LineCapSink::Counter {
public:
    virtual ~Counter() = default;
    virtual void Reset() = 0;
    // How many of `bytes` to take into the piece, up to and with its last
    // line end; all of them when the piece stays short of its lines.
    virtual std::size_t Take(std::string_view bytes, bool& full) = 0;
};

namespace {

template <LineEnd kEnd, class Ends>
class EndsCounter final : public LineCapSink::Counter {
public:
    static constexpr std::size_t kEndSize = kEnd == LineEnd::CrLf ? 2 : 1;

    EndsCounter(std::int64_t cap, Ends ends) : cap_(cap), ends_(ends) {}

    void Reset() override {
        ends_.Reset();
        count_ = 0;
        pendingCr_ = false;
    }

    std::size_t Take(std::string_view bytes, bool& full) override {
        const char* const begin = bytes.data();
        const char* const end = begin + bytes.size();
        const char* from = begin;
        if (pendingCr_) {
            pendingCr_ = false;
            if (*from == '\n' && !ends_.Quoted()) {
                ends_.EndedBetweenChunks();
                ++from;
                if (++count_ == cap_) return Full(from - begin, full);
            }
        }
        std::int64_t remaining = cap_ - count_;
        const char* const found = ends_.Find(from, end, remaining);
        if (found == end) {
            count_ = cap_ - remaining;
            pendingCr_ = kEnd == LineEnd::CrLf && end != from && end[-1] == '\r';
            return bytes.size();
        }
        return Full(found + kEndSize - begin, full);
    }

private:
    std::size_t Full(std::ptrdiff_t taken, bool& full) {
        full = true;
        return static_cast<std::size_t>(taken);
    }

    std::int64_t cap_;
    Ends ends_;
    std::int64_t count_ = 0;
    bool pendingCr_ = false;
};

template <LineEnd kEnd>
std::unique_ptr<LineCapSink::Counter> CounterFor(std::int64_t cap, const CsvReading& csv) {
    if (csv.records) {
        return std::make_unique<EndsCounter<kEnd, CsvRecordEnds<kEnd>>>(cap, CsvRecordEnds<kEnd>(csv.delimiter));
    }
    return std::make_unique<EndsCounter<kEnd, LineEnds<kEnd>>>(cap, LineEnds<kEnd>{});
}

}  // namespace

LineCapSink::LineCapSink(PieceSink& next, std::int64_t cap, LineEnd lineEnd, const CsvReading& csv)
    : next_(next),
      counter_(lineEnd == LineEnd::Lf ? CounterFor<LineEnd::Lf>(cap, csv) : CounterFor<LineEnd::CrLf>(cap, csv)) {}

LineCapSink::~LineCapSink() = default;

bool LineCapSink::BeginPiece() {
    counter_->Reset();
    full_ = false;
    stopped_ = !next_.BeginPiece();
    return !stopped_;
}

void LineCapSink::AppendToPiece(std::string_view bytes) {
    while (!bytes.empty() && !stopped_) {
        if (full_ && !BeginAnother()) return;
        const std::size_t taken = counter_->Take(bytes, full_);
        next_.AppendToPiece(bytes.substr(0, taken));
        bytes.remove_prefix(taken);
    }
}

bool LineCapSink::BeginAnother() {
    next_.EndPiece(true);
    return BeginPiece();
}

void LineCapSink::EndPiece(bool writeWhenEmpty) {
    if (!stopped_) next_.EndPiece(writeWhenEmpty);
    full_ = false;
}

}  // namespace partwright
