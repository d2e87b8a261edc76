#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace partwright {

// Reads one field of a CSV record as its bytes come: a field that begins with
// `"` runs to the closing `"`, `""` inside it is one `"`, and its value is
// its text without the quotes (a character after the closing quote is kept,
// as Python's csv module keeps it). Fields count from 1.
class CsvFieldReader {
public:
    // `firstRecordOnly`: an LF outside quotes ends the record (reading a
    // header of several records); otherwise the bytes given are one record.
    CsvFieldReader(char delimiter, std::int64_t field, bool firstRecordOnly = false)
        : delimiter_(delimiter), field_(field), firstRecordOnly_(firstRecordOnly) {}

    // A new record begins.
    void Reset() {
        index_ = 1;
        state_ = State::Start;
        value_.clear();
        done_ = false;
        ended_ = false;
    }
    // Takes bytes of the record until the field is read; how many it took.
    std::size_t Take(std::string_view bytes) {
        std::size_t taken = 0;
        while (!done_ && !ended_ && taken < bytes.size()) Step(bytes[taken++]);
        return taken;
    }
    // Once done(), reads the field after it from where Take stopped.
    void NextField() {
        ++field_;
        ++index_;
        state_ = State::Start;
        value_.clear();
        done_ = false;
    }
    // Whether the field ended within the record (at its delimiter).
    [[nodiscard]] bool done() const { return done_; }
    // The record is over: the field's value, without the record's line end;
    // empty when the record has fewer fields.
    [[nodiscard]] const std::string& Finish() {
        if (!done_ && index_ == field_ && state_ != State::Quoted) {
            if (!value_.empty() && value_.back() == '\n') value_.pop_back();
            if (!value_.empty() && value_.back() == '\r') value_.pop_back();
        }
        if (index_ != field_) value_.clear();
        return value_;
    }
    // The value, once done().
    [[nodiscard]] const std::string& value() const { return value_; }

private:
    enum class State { Start, Plain, Quoted, QuoteInQuoted };

    void Step(char byte) {
        const bool mine = index_ == field_;
        if (firstRecordOnly_ && byte == '\n' && state_ != State::Quoted) {
            ended_ = true;
            return;
        }
        switch (state_) {
        case State::Start:
            if (byte == '"') {
                state_ = State::Quoted;
                return;
            }
            state_ = State::Plain;
            [[fallthrough]];
        case State::Plain:
            if (byte == delimiter_) return EndField();
            if (mine) value_.push_back(byte);
            return;
        case State::Quoted:
            if (byte == '"') {
                state_ = State::QuoteInQuoted;
            } else if (mine) {
                value_.push_back(byte);
            }
            return;
        case State::QuoteInQuoted:
            if (byte == delimiter_) return EndField();
            state_ = byte == '"' ? State::Quoted : State::Plain;
            if (mine) value_.push_back(byte);
            return;
        }
    }
    void EndField() {
        if (index_ == field_) {
            done_ = true;
            return;
        }
        ++index_;
        state_ = State::Start;
    }

    char delimiter_;
    std::int64_t field_;
    std::int64_t index_ = 1;
    State state_ = State::Start;
    std::string value_;
    bool done_ = false;
    bool firstRecordOnly_;
    bool ended_ = false;
};

}  // namespace partwright
