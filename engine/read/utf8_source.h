#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "partwright/text.h"

namespace partwright {

class TextDecoder;

// UTF-8 as the code page of a source. A valid sequence (shortest form, no
// encoded surrogate, nothing above U+10FFFF) gives its character: one code
// unit, or a surrogate pair above U+FFFF. Every other byte gives the code
// unit of its own value, so no byte is lost.

// The decoder of UTF-8 sources; a sequence cut at the end of one call is held
// for the next unless that call ends the input.
[[nodiscard]] std::unique_ptr<TextDecoder> MakeUtf8Decoder();

// How many bytes at the end of `bytes` (0 to 3) begin a valid sequence that
// more bytes could complete.
[[nodiscard]] std::size_t Utf8CutTailLength(std::string_view bytes);

// The length of the longest prefix of `bytes` made of valid sequences: the
// bytes that are already the text's own form (see text_form.h).
//   PlainUtf8Prefix("caf\xC3\xA9\xFF") == 5
[[nodiscard]] std::size_t PlainUtf8Prefix(std::string_view bytes);

// Appends to `out` the text `bytes` decode to, in the engine's form (see
// text_form.h): valid sequences are copied, any other byte becomes the
// two-byte form of its own value. At most two bytes out per byte in.
void AppendRepairedUtf8(std::string_view bytes, std::string& out);

// The ways PlainUtf8Prefix can check: byte by byte, 16 bytes at a time
// (SSE2), or 32 (AVX2, on processors that have it). All give the same length;
// PlainUtf8Prefix takes the widest the processor runs.
enum class Utf8Check { Scalar, Sse2, Avx2 };
// Whether this build has the path and this processor runs it.
[[nodiscard]] bool CanCheckUtf8With(Utf8Check path);
// PlainUtf8Prefix by the given path, which must be one CanCheckUtf8With allows
// (for tests, which hold every path against the literal reading).
[[nodiscard]] std::size_t PlainUtf8Prefix(std::string_view bytes, Utf8Check path);

// Tells, chunk by chunk, whether a whole source is valid UTF-8.
class Utf8Validator {
public:
    // Takes the next bytes; a sequence may be cut between calls.
    void Feed(std::string_view bytes);
    // Whether everything fed is valid UTF-8 and no sequence was left unfinished.
    [[nodiscard]] bool ValidAtEnd() const { return valid_ && heldLength_ == 0; }
    [[nodiscard]] bool valid() const { return valid_; }
    // No sequence is held unfinished from the last call.
    [[nodiscard]] bool atBoundary() const { return heldLength_ == 0; }

private:
    bool valid_ = true;
    char held_[4] = {};
    std::size_t heldLength_ = 0;
};

}  // namespace partwright
