#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "engine/cut/cutter.h"
#include "partwright/line_end.h"
#include "partwright/run_interface.h"

namespace partwright {

// Passes a cutter's pieces on to another sink, cut again after every `cap`
// lines (CSV records, with csv): the cap of RunOptions::maxLinesPerPiece in
// the modes that do not count lines. A piece cut there keeps its last line's
// line end.
class LineCapSink final : public PieceSink {
public:
    LineCapSink(PieceSink& next, std::int64_t cap, LineEnd lineEnd, const CsvReading& csv);
    ~LineCapSink() override;
    LineCapSink(const LineCapSink&) = delete;
    LineCapSink& operator=(const LineCapSink&) = delete;

    bool BeginPiece() override;
    void AppendToPiece(std::string_view bytes) override;
    void EndPiece(bool writeWhenEmpty) override;

    // Counts the lines in the bytes a piece is given.
    class Counter;

private:
    // The piece has its lines and more follow: it ends and another begins.
    bool BeginAnother();

    PieceSink& next_;
    std::unique_ptr<Counter> counter_;
    bool full_ = false;     // the piece has its lines: what comes next begins another
    bool stopped_ = false;  // the next sink refused a piece: the rest is dropped
};

}  // namespace partwright
