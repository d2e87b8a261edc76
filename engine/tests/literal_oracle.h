#pragma once

// A slow, word-for-word transcription of the cutting rules (CountLines,
// GetLines, the separator cut, the size cut, the header) and of reading
// UTF-8, kept deliberately naive so that the fast streaming cutter and
// reader can be checked against it. The line end is CR LF unless a rule is
// given LF.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/cut/cutter.h"
#include "engine/read/text_form.h"
#include "engine/tests/text_oracle.h"
#include "partwright/numeric.h"
#include "partwright/run_interface.h"
#include "partwright/text.h"

namespace partwright::oracle {

struct Piece {
    Text text;
    bool writeWhenEmpty = false;
    bool operator==(const Piece&) const = default;
};

inline const Text kCrLf = u"\r\n";

inline Text LineEndText(LineEnd lineEnd) { return lineEnd == LineEnd::Lf ? Text(u"\n") : kCrLf; }

// Whether a cut at `at` falls between the two halves of a surrogate pair, inside one character.
inline bool InsidePair(const Text& text, std::size_t at) {
    return at > 0 && at < text.size() && text[at - 1] >= 0xD800 && text[at - 1] <= 0xDBFF && text[at] >= 0xDC00 &&
           text[at] <= 0xDFFF;
}

// The segments of `text` cut at `separator`, found left to right, never
// overlapping, and never inside a character (a lone surrogate half matches
// no half of a pair).
inline std::vector<Text> SplitAt(const Text& text, const Text& separator) {
    std::vector<Text> segments;
    if (text.empty()) return segments;
    if (separator.empty()) {
        segments.push_back(text);
        return segments;
    }
    std::size_t start = 0;
    for (;;) {
        std::size_t found = text.find(separator, start);
        while (found != Text::npos && (InsidePair(text, found) || InsidePair(text, found + separator.size()))) {
            found = text.find(separator, found + 1);
        }
        if (found == Text::npos) {
            segments.push_back(text.substr(start));
            return segments;
        }
        segments.push_back(text.substr(start, found - start));
        start = found + separator.size();
    }
}

inline std::int32_t CountLines(const Text& text, const Text& separator) {
    return static_cast<std::int32_t>(SplitAt(text, separator).size());
}

inline Text GetLines(const Text& text, const Text& separator, std::int64_t first, std::int64_t last,
                     const Text& joint = kCrLf) {
    const std::vector<Text> segments = SplitAt(text, separator);
    Text result;
    // Lines past the text add nothing, so a huge `last` need not be walked to its end.
    last = std::min(last, static_cast<std::int64_t>(segments.size()));
    for (std::int64_t i = first - 1; i <= last - 1; ++i) {
        if (i >= 0 && i < static_cast<std::int64_t>(segments.size()) - 1) {
            result += segments[static_cast<std::size_t>(i)];
            result += joint;
        }
    }
    if (!result.empty()) result.resize(result.size() - joint.size());
    return result;
}

// Lines mode as written: the piece count from CountLines, each piece re-cut with GetLines.
inline std::vector<Piece> CutLines(const Text& blockText, double n, LineEnd lineEnd = LineEnd::CrLf) {
    const Text end = LineEndText(lineEnd);
    std::vector<Piece> pieces;
    const std::int32_t count = CountLines(blockText, end);
    const auto pieceCount = static_cast<std::int64_t>(std::ceil(count / n));
    for (std::int64_t j = 0; j < pieceCount; ++j) {
        const double first = RoundHalfEven(n * static_cast<double>(j) + 1);
        const double last = RoundHalfEven((n - 1) + (n * static_cast<double>(j) + 1));
        pieces.push_back(
            {GetLines(blockText, end, static_cast<std::int64_t>(first), static_cast<std::int64_t>(last), end), false});
    }
    return pieces;
}

inline std::vector<Piece> CutAtSeparator(const Text& blockText, const Text& separator) {
    std::vector<Piece> pieces;
    for (Text& segment : SplitAt(blockText, separator)) pieces.push_back({std::move(segment), true});
    return pieces;
}

inline std::vector<Piece> CutAtBlankLines(const Text& blockText, LineEnd lineEnd = LineEnd::CrLf) {
    return CutAtSeparator(blockText, LineEndText(lineEnd) + LineEndText(lineEnd));
}

// The size cut: the lines of the block text (its last segment never counts),
// in pieces of whole consecutive lines joined by the line end, each as long as
// it can be while `overhead` plus its bytes as written in `encoding` stay at most `limit`.
inline std::vector<Piece> CutMaxBytes(const Text& blockText, std::uint64_t limit, LineEnd lineEnd = LineEnd::CrLf,
                                      std::uint64_t overhead = 0,
                                      OutputEncoding encoding = RunOptions{}.outputEncoding) {
    const Text end = LineEndText(lineEnd);
    std::vector<Text> lines = SplitAt(blockText, end);
    if (!lines.empty()) lines.pop_back();
    std::vector<Piece> pieces;
    for (std::size_t i = 0; i < lines.size();) {
        Text piece = lines[i++];
        while (i < lines.size() && overhead + WrittenLiterally(piece + end + lines[i], encoding).size() <= limit)
            piece += end + lines[i++];
        pieces.push_back({piece, false});
    }
    return pieces;
}

// The first `lines` lines of a block text as the header, and what follows the
// line end after them; nothing when the block text has fewer lines.
struct HeaderSplit {
    Text header;
    Text rest;
};
inline std::optional<HeaderSplit> TakeHeader(const Text& blockText, std::int64_t lines, LineEnd lineEnd) {
    const Text end = LineEndText(lineEnd);
    const std::vector<Text> segments = SplitAt(blockText, end);
    if (static_cast<std::int64_t>(segments.size()) - 1 < lines) return std::nullopt;
    HeaderSplit split{GetLines(blockText, end, 1, lines, end), {}};
    for (std::size_t i = static_cast<std::size_t>(lines); i < segments.size(); ++i) {
        split.rest += segments[i];
        if (i + 1 < segments.size()) split.rest += end;
    }
    return split;
}

// UTF-8 as its definition reads: at each byte, a sequence of 1 to 4 bytes
// whose bit patterns (0xxxxxxx, 110xxxxx 10xxxxxx, ...) hold a code point
// that needs that many bytes, is no surrogate and is at most U+10FFFF gives
// that code point (two units above U+FFFF); otherwise the byte gives the unit
// of its own value, and `valid`, when given, becomes false.
inline Text DecodeUtf8(std::string_view bytes, bool* valid = nullptr) {
    if (valid) *valid = true;
    const char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    const unsigned kLeadMask[] = {0, 0x80, 0xE0, 0xF0, 0xF8};
    const unsigned kLeadBits[] = {0, 0x00, 0xC0, 0xE0, 0xF0};
    Text text;
    std::size_t i = 0;
    while (i < bytes.size()) {
        std::size_t taken = 0;
        for (std::size_t n = 1; n <= 4 && taken == 0; ++n) {
            if (i + n > bytes.size()) break;
            const auto lead = static_cast<unsigned char>(bytes[i]);
            if ((lead & kLeadMask[n]) != kLeadBits[n]) continue;
            char32_t c = lead & ~kLeadMask[n] & 0xFF;
            bool continued = true;
            for (std::size_t k = 1; k < n; ++k) {
                const auto next = static_cast<unsigned char>(bytes[i + k]);
                continued = continued && (next & 0xC0) == 0x80;
                c = (c << 6) | (next & 0x3F);
            }
            if (!continued || c < kLeast[n] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) continue;
            if (c >= 0x10000) {
                text += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
                text += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
            } else {
                text += static_cast<char16_t>(c);
            }
            taken = n;
        }
        if (taken == 0) {
            text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]));
            taken = 1;
            if (valid) *valid = false;
        }
        i += taken;
    }
    return text;
}

// The block texts of a UTF-8 source: every 30000 bytes decoded on their own
// (a character across the boundary is cut there), or all of it as one.
inline std::vector<Text> Utf8Blocks(std::string_view bytes, bool wholeFile) {
    std::vector<Text> blocks;
    const std::size_t step = wholeFile ? bytes.size() : 30000;
    for (std::size_t at = 0; at < bytes.size(); at += step) blocks.push_back(DecodeUtf8(bytes.substr(at, step)));
    return blocks;
}

// The line end "auto" takes for a source that is not UTF-16: the first LF
// decides, CR LF when a CR stands before it, a lone LF otherwise; with no LF
// at all, CR LF.
inline LineEnd FirstLineEnd(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n') return i > 0 && bytes[i - 1] == '\r' ? LineEnd::CrLf : LineEnd::Lf;
    }
    return LineEnd::CrLf;
}

// Feeds `units` to a cutter in the form the reader hands text on.
[[nodiscard]] inline bool FeedUnits(PieceCutter& cutter, TextView units, PieceSink& sink) {
    return cutter.Feed(Utf8Literally(units), sink);
}

// Collects what a PieceCutter hands over, as the code units of the pieces;
// can ask for a stop at a given piece.
class RecordingSink final : public PieceSink {
public:
    explicit RecordingSink(int stopAtPiece = -1) : stopAtPiece_(stopAtPiece) {}

    bool BeginPiece() override {
        if (open_) faults.push_back("BeginPiece while a piece is open");
        if (static_cast<int>(pieces.size()) == stopAtPiece_) return false;
        pieces.push_back({});
        open_ = true;
        return true;
    }
    void AppendToPiece(std::string_view bytes) override {
        if (!open_) faults.push_back("AppendToPiece outside a piece");
        if (bytes.empty()) faults.push_back("empty AppendToPiece");
        if (pieces.empty()) return;
        // Every view begins and ends between characters.
        for (std::size_t at = 0; at < bytes.size();) {
            const auto lead = static_cast<unsigned char>(bytes[at]);
            const std::size_t length = lead < 0x80 ? 1 : lead < 0xC0 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
            if (length == 0 || at + length > bytes.size()) {
                faults.push_back("AppendToPiece cuts a character's bytes");
                return;
            }
            at += partwright::DecodeUtf8(bytes.substr(at, length), 2, pieces.back().text);
        }
    }
    void EndPiece(bool writeWhenEmpty) override {
        if (!open_) faults.push_back("EndPiece outside a piece");
        if (!pieces.empty()) pieces.back().writeWhenEmpty = writeWhenEmpty;
        open_ = false;
    }

    std::vector<Piece> pieces;
    std::vector<const char*> faults;

private:
    int stopAtPiece_;
    bool open_ = false;
};

}  // namespace partwright::oracle
