#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "partwright/text.h"

namespace partwright {

// A file name made of literal text and fields:
//   {name}     the source's file name before its last "."
//   {ext}      the source's extension, without its dot (a "." written just
//              before an {ext} that is empty is left out)
//   {n}        the piece's number, from 1, in plain decimal
//   {n:000}    the same, zeros put in front up to as many digits as zeros
//   {first:X}  the letters and digits among the piece's first X code units
//   {value}    the value a by-column cut gives the piece (empty elsewhere)
//   NameTemplate::Parse(u"{name}-{n:000}.{ext}") names log.txt's fifth piece "log-005.txt".
class NameTemplate {
public:
    // The template, or nothing with `problem` saying what is wrong with it:
    // a field it does not know, a brace without its partner, literal text a
    // file name cannot hold (/ \ : * ? " < > |, a control character), or a
    // name it gives that is no name at all (empty, "." or ".."), a device
    // name (CON, NUL, COM1...) or a temporary file's, with every field of
    // text holding a letter (fields that leave a piece no name give it the
    // numbered name instead).
    [[nodiscard]] static std::optional<NameTemplate> Parse(TextView text, std::string& problem);

    // The largest X of its {first:X}, 0 when it has none: how many code
    // units of the piece its name waits for.
    [[nodiscard]] std::int32_t firstLength() const { return firstLength_; }
    [[nodiscard]] bool usesValue() const { return usesValue_; }

    // The file name (no folder) for the piece numbered `number` of the source
    // file `sourceName`, whose first characters hold the letters and digits
    // `firstChars` (already cut to firstLength()). Empty when the fields make
    // it no usable name (empty, "." or "..", a device name).
    [[nodiscard]] NativeString Fill(const NativeString& sourceName, TextView firstChars, std::int64_t number,
                                    TextView value = {}) const;

private:
    enum class Field { Literal, Name, Ext, Number, First, Value };
    struct Part {
        Field field = Field::Literal;
        Text text;      // of a literal
        int width = 0;  // of a number: the digits it is padded to
    };
    std::vector<Part> parts_;
    std::int32_t firstLength_ = 0;
    bool usesValue_ = false;
};

}  // namespace partwright
