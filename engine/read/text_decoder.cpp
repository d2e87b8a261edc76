#include "engine/read/text_decoder.h"

namespace partwright {

void TextDecoder::Decode(std::span<const char> bytes, bool endOfInput, Text& out) {
    const std::size_t start = out.size();
    out.resize(start + bytes.size() + kSpareUnits);
    out.resize(start + DecodeInto(bytes, endOfInput, out.data() + start));
}

}  // namespace partwright
