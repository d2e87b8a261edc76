#include "engine/write/piece_encoding.h"

#include <algorithm>

#include "engine/read/text_form.h"
#include "partwright/code_points.h"

namespace partwright {

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";

[[nodiscard]] bool IsFourByteLead(char byte) { return static_cast<unsigned char>(byte) >= 0xF0; }
[[nodiscard]] bool IsAscii(char byte) { return static_cast<unsigned char>(byte) < 0x80; }

// The length of the sequence a lead byte of the text's form begins.
[[nodiscard]] std::size_t SequenceLength(unsigned char lead) {
    return lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

// Calls `each` with the code point of every sequence of `bytes`.
template <class Each>
void ForEachCodePoint(std::string_view bytes, Each each) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = p + bytes.size();
    while (p < end) {
        const std::size_t length = std::min<std::size_t>(SequenceLength(*p), static_cast<std::size_t>(end - p));
        each(CodePointOfSequence(p, length));
        p += length;
    }
}

}  // namespace

PieceEncoder::PieceEncoder(OutputEncoding encoding) {
    switch (encoding) {
    case OutputEncoding::Utf8Bom: head_ = kUtf8Mark; break;
    case OutputEncoding::Utf16Le:
        form_ = Form::Utf16Le;
        head_ = kUtf16LeMark;
        break;
    case OutputEncoding::Cesu8: form_ = Form::Cesu8; break;
    default: break;
    }
}

std::optional<PieceEncoder> PieceEncoder::For(OutputEncoding encoding, const SourceEncoding& source) {
    if (encoding != OutputEncoding::Source) return PieceEncoder(encoding);
    using Source = SourceEncoding::Form;
    switch (source.form) {
    case Source::Utf8: return PieceEncoder(Form::Utf8, source.mark ? kUtf8Mark : "");
    case Source::Utf16Le: return PieceEncoder(Form::Utf16Le, kUtf16LeMark);
    case Source::Utf16Be: return PieceEncoder(Form::Utf16Be, kUtf16BeMark);
    case Source::SingleByte: {
        if (source.singleByte == nullptr) return std::nullopt;
        auto bytesOf = std::make_shared<std::vector<std::int16_t>>(0x10000, std::int16_t{-1});
        // The table's bytes below 0x80 are ASCII; every byte has a unit of its own.
        for (std::size_t b = 0; b < source.singleByte->size(); ++b) {
            (*bytesOf)[(*source.singleByte)[b]] = static_cast<std::int16_t>(b);
        }
        PieceEncoder encoder(Form::SingleByte, "");
        encoder.bytesOf_ = std::move(bytesOf);
        return encoder;
    }
    case Source::OtherCodePage: return std::nullopt;
    }
    return std::nullopt;
}

bool PieceEncoder::KeepsAsIs(std::string_view bytes) const {
    switch (form_) {
    case Form::Utf8: return true;
    case Form::Cesu8: return std::none_of(bytes.begin(), bytes.end(), IsFourByteLead);
    case Form::SingleByte: return std::all_of(bytes.begin(), bytes.end(), IsAscii);
    default: return bytes.empty();
    }
}

std::string_view PieceEncoder::Encoded(std::string_view bytes, std::string& scratch) const {
    if (KeepsAsIs(bytes)) return bytes;
    scratch.clear();
    switch (form_) {
    case Form::Utf16Le:
    case Form::Utf16Be: AppendUtf16(bytes, form_ == Form::Utf16Be, scratch); break;
    case Form::SingleByte:
        scratch.reserve(bytes.size());
        ForEachCodePoint(bytes, [&](char32_t c) {
            // Every character came from a byte of this code page; '?' only should one not have.
            const std::int16_t b = c < 0x10000 ? (*bytesOf_)[c] : -1;
            scratch.push_back(b < 0 ? '?' : static_cast<char>(b));
        });
        break;
    default: AppendCesu8(bytes, scratch); break;
    }
    return scratch;
}

std::uint64_t PieceEncoder::WrittenSize(std::string_view bytes) const {
    switch (form_) {
    case Form::Utf16Le:
    case Form::Utf16Be: return 2 * UnitCount(bytes);
    case Form::SingleByte: return UnitCount(bytes);
    case Form::Cesu8:
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

void AppendUtf16(std::string_view bytes, bool bigEndian, std::string& out) {
    out.reserve(out.size() + 2 * bytes.size());
    ForEachCodePoint(bytes, [&](char32_t c) {
        char16_t units[2];
        const char16_t* const last = WriteUtf16(c, units);
        for (const char16_t* unit = units; unit != last; ++unit) {
            const char low = static_cast<char>(*unit & 0xFF);
            const char high = static_cast<char>(*unit >> 8);
            out.push_back(bigEndian ? high : low);
            out.push_back(bigEndian ? low : high);
        }
    });
}

}  // namespace partwright
