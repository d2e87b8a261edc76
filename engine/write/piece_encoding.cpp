#include "engine/write/piece_encoding.h"

#include <algorithm>

#include "engine/read/text_form.h"
#include "partwright/code_points.h"

namespace partwright {

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";

[[nodiscard]] bool IsFourByteLead(char byte) { return static_cast<unsigned char>(byte) >= 0xF0; }

// The length of the sequence a lead byte of the text's form begins.
[[nodiscard]] std::size_t SequenceLength(unsigned char lead) {
    return lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

}  // namespace

std::string_view PieceEncoder::Head() const {
    switch (encoding_) {
    case OutputEncoding::Utf8Bom: return kUtf8Mark;
    case OutputEncoding::Utf16Le: return kUtf16LeMark;
    default: return {};
    }
}

bool PieceEncoder::KeepsAsIs(std::string_view bytes) const {
    switch (encoding_) {
    case OutputEncoding::Utf16Le: return bytes.empty();
    case OutputEncoding::Cesu8: return std::none_of(bytes.begin(), bytes.end(), IsFourByteLead);
    default: return true;
    }
}

std::string_view PieceEncoder::Encoded(std::string_view bytes, std::string& scratch) const {
    if (KeepsAsIs(bytes)) return bytes;
    scratch.clear();
    if (encoding_ == OutputEncoding::Utf16Le) {
        AppendUtf16Le(bytes, scratch);
    } else {
        AppendCesu8(bytes, scratch);
    }
    return scratch;
}

std::uint64_t PieceEncoder::WrittenSize(std::string_view bytes) const {
    switch (encoding_) {
    case OutputEncoding::Utf16Le: return 2 * UnitCount(bytes);
    case OutputEncoding::Cesu8:
        return bytes.size() + 2 * static_cast<std::uint64_t>(std::count_if(bytes.begin(), bytes.end(), IsFourByteLead));
    default: return bytes.size();
    }
}

void AppendCesu8(std::string_view bytes, std::string& out) {
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t next = std::min(bytes.find_first_of("\xF0\xF1\xF2\xF3\xF4", at), bytes.size());
        out.append(bytes.data() + at, next - at);
        at = next;
        if (at + 4 > bytes.size()) {
            out.append(bytes.substr(at));  // no whole sequence: copied as it is
            break;
        }
        const char32_t c = CodePointOfSequence(reinterpret_cast<const unsigned char*>(bytes.data() + at), 4);
        char16_t pair[2] = {};
        (void)WriteUtf16(c, pair);
        char three[6];
        out.append(three, WriteUtf8(pair[1], WriteUtf8(pair[0], three)));
        at += 4;
    }
}

void AppendUtf16Le(std::string_view bytes, std::string& out) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = p + bytes.size();
    out.reserve(out.size() + 2 * bytes.size());
    while (p < end) {
        const std::size_t length = std::min<std::size_t>(SequenceLength(*p), static_cast<std::size_t>(end - p));
        char16_t units[2];
        const char16_t* const last = WriteUtf16(CodePointOfSequence(p, length), units);
        for (const char16_t* unit = units; unit != last; ++unit) {
            out.push_back(static_cast<char>(*unit & 0xFF));
            out.push_back(static_cast<char>(*unit >> 8));
        }
        p += length;
    }
}

}  // namespace partwright
