#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/read/text_decoder.h"
#include "partwright/run_interface.h"

namespace partwright {

// The one place where the text's form (see text_form.h) becomes the bytes a
// piece file holds, in the output encoding the run was given. Steps come
// whole characters at a time, as the cutter hands them on.
class PieceEncoder {
public:
    // What a source is, for the output encoding Source.
    struct SourceEncoding {
        enum class Form { Utf8, Utf16Le, Utf16Be, SingleByte, OtherCodePage } form = Form::Utf8;
        bool mark = false;                      // it began with a byte-order mark
        const ByteTable* singleByte = nullptr;  // the units of its bytes, for SingleByte
    };

    // An encoding that does not hang on the source (not OutputEncoding::Source, which writes UTF-8).
    explicit PieceEncoder(OutputEncoding encoding = OutputEncoding::Utf8);
    // The encoder of `encoding` for pieces of a source that is `source`;
    // nothing when Source asks for a code page it cannot write (one of
    // several bytes to a character).
    [[nodiscard]] static std::optional<PieceEncoder> For(OutputEncoding encoding, const SourceEncoding& source);

    // What every piece file begins with, before its header: a byte-order mark, or nothing.
    [[nodiscard]] std::string_view Head() const { return head_; }

    // Whether `bytes` are written as they are, so that a writer may copy them
    // from the source file itself.
    [[nodiscard]] bool KeepsAsIs(std::string_view bytes) const;

    // The bytes a piece file holds for `bytes`: `bytes` themselves when they
    // are kept as they are, or else their encoding, made in `scratch`.
    [[nodiscard]] std::string_view Encoded(std::string_view bytes, std::string& scratch) const;

    // Whether WrittenSize is always the length of the text's own bytes.
    [[nodiscard]] bool SizeIsLength() const { return form_ == Form::Utf8; }

    // How many bytes `bytes` take as written.
    [[nodiscard]] std::uint64_t WrittenSize(std::string_view bytes) const;

private:
    enum class Form { Utf8, Cesu8, Utf16Le, Utf16Be, SingleByte };
    PieceEncoder(Form form, std::string_view head) : form_(form), head_(head) {}

    Form form_ = Form::Utf8;
    std::string head_;
    // SingleByte: the byte of every unit the code page has, -1 for the others.
    std::shared_ptr<const std::vector<std::int16_t>> bytesOf_;
};

// Appends the CESU-8 of `bytes`: each four-byte sequence becomes the two
// three-byte forms of its surrogate pair, the rest is copied.
//   AppendCesu8("a\xF0\x9F\x98\x80", out) appends "a\xED\xA0\xBD\xED\xB8\x80"
void AppendCesu8(std::string_view bytes, std::string& out);

// Appends the UTF-16 of `bytes`, low byte first unless `bigEndian`.
void AppendUtf16(std::string_view bytes, bool bigEndian, std::string& out);

}  // namespace partwright
