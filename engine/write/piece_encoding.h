#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "partwright/run_interface.h"

namespace partwright {

// The one place where the text's form (see text_form.h) becomes the bytes a
// piece file holds, in the output encoding the run was given. Steps come
// whole characters at a time, as the cutter hands them on.
class PieceEncoder {
public:
    explicit PieceEncoder(OutputEncoding encoding = OutputEncoding::Utf8) : encoding_(encoding) {}

    [[nodiscard]] OutputEncoding encoding() const { return encoding_; }

    // What every piece file begins with, before its header: a byte-order mark, or nothing.
    [[nodiscard]] std::string_view Head() const;

    // Whether `bytes` are written as they are, so that a writer may copy them
    // from the source file itself.
    [[nodiscard]] bool KeepsAsIs(std::string_view bytes) const;

    // The bytes a piece file holds for `bytes`: `bytes` themselves when they
    // are kept as they are, or else their encoding, made in `scratch`.
    [[nodiscard]] std::string_view Encoded(std::string_view bytes, std::string& scratch) const;

    // Whether WrittenSize is always the length of the text's own bytes.
    [[nodiscard]] bool SizeIsLength() const {
        return encoding_ == OutputEncoding::Utf8 || encoding_ == OutputEncoding::Utf8Bom;
    }

    // How many bytes `bytes` take as written.
    [[nodiscard]] std::uint64_t WrittenSize(std::string_view bytes) const;

private:
    OutputEncoding encoding_;
};

// Appends the CESU-8 of `bytes`: each four-byte sequence becomes the two
// three-byte forms of its surrogate pair, the rest is copied.
//   AppendCesu8("a\xF0\x9F\x98\x80", out) appends "a\xED\xA0\xBD\xED\xB8\x80"
void AppendCesu8(std::string_view bytes, std::string& out);

// Appends the UTF-16LE of `bytes`.
void AppendUtf16Le(std::string_view bytes, std::string& out);

}  // namespace partwright
