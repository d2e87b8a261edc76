// What goes in comes out: generated sources in every encoding, cut in every
// mode and written in every output encoding, decoded again by reference
// decoders written out here; the pieces joined give the source's text back.

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <vector>

#include "engine/run/run_seam.h"
#include "engine/tests/run_test_support.h"
#include "engine/tests/text_oracle.h"
#include "partwright/option_text.h"

namespace partwright {
namespace {

using namespace run_test;

// windows-1252's bytes 80 to 9F; the five it leaves undefined are not used.
constexpr std::array<char16_t, 32> kCp1252High = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                                  0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char16_t Cp1252Unit(unsigned char byte) { return byte >= 0x80 && byte < 0xA0 ? kCp1252High[byte - 0x80] : byte; }

std::string ToCp1252(const Text& text) {
    std::string bytes;
    for (const char16_t unit : text) {
        int byte = unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF) ? unit : -1;
        for (int b = 0x80; b < 0xA0 && byte < 0; ++b) {
            if (kCp1252High[static_cast<std::size_t>(b - 0x80)] == unit) byte = b;
        }
        EXPECT_GE(byte, 0) << "no windows-1252 byte for " << static_cast<unsigned>(unit);
        bytes.push_back(static_cast<char>(byte));
    }
    return bytes;
}

// UTF-8 as the bits lie, four-byte sequences as pairs and the three-byte form of a lone
// half as that half: so it reads CESU-8 too.
Text FromUtf8(std::string_view bytes) {
    Text text;
    for (std::size_t i = 0; i < bytes.size();) {
        const auto b = [&](std::size_t k) { return static_cast<unsigned>(static_cast<unsigned char>(bytes[i + k])); };
        if (b(0) < 0x80) {
            text += static_cast<char16_t>(b(0));
            i += 1;
        } else if (b(0) < 0xE0) {
            text += static_cast<char16_t>((b(0) & 0x1F) << 6 | (b(1) & 0x3F));
            i += 2;
        } else if (b(0) < 0xF0) {
            text += static_cast<char16_t>((b(0) & 0x0F) << 12 | (b(1) & 0x3F) << 6 | (b(2) & 0x3F));
            i += 3;
        } else {
            const unsigned c = (b(0) & 0x07) << 18 | (b(1) & 0x3F) << 12 | (b(2) & 0x3F) << 6 | (b(3) & 0x3F);
            text += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            text += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
            i += 4;
        }
    }
    return text;
}

Text FromUtf16(std::string_view bytes, bool bigEndian) {
    Text text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        text += static_cast<char16_t>(bigEndian ? first << 8 | second : second << 8 | first);
    }
    return text;
}

std::string Utf16Be(const Text& text) {
    std::string bytes;
    for (const char16_t unit : text) bytes += {static_cast<char>(unit >> 8), static_cast<char>(unit & 0xFF)};
    return bytes;
}

enum class Source { Utf8, Utf8Mark, Utf16Le, Utf16Be, Cp1252 };

struct Written {
    std::string mark;        // every piece begins with it
    bool utf16 = false;      // ... then UTF-16
    bool bigEndian = false;  // ... high byte first
    bool cp1252 = false;     // ... or windows-1252, or else UTF-8
    bool cesu = false;       // ... each unit on its own
};

// How a piece of a `source` is written in `encoding`, as the documentation says.
Written WrittenAs(OutputEncoding encoding, Source source) {
    switch (encoding) {
    case OutputEncoding::Utf8Bom: return {"\xEF\xBB\xBF"};
    case OutputEncoding::Utf16Le: return {"\xFF\xFE", true};
    case OutputEncoding::Cesu8: return {"", false, false, false, true};
    case OutputEncoding::Source:
        switch (source) {
        case Source::Utf8Mark: return {"\xEF\xBB\xBF"};
        case Source::Utf16Le: return {"\xFF\xFE", true};
        case Source::Utf16Be: return {"\xFE\xFF", true, true};
        case Source::Cp1252: return {"", false, false, true};
        default: return {};
        }
    default: return {};
    }
}

// Text of characters of every UTF-8 length, pairs and (where the source can
// hold them) lone halves, line ends, blank lines and separators.
Text RandomText(std::mt19937& random, Source source, const Text& lineEnd, bool finalLineEnd) {
    const std::vector<Text> common = {u"a", u"b", u";", lineEnd, lineEnd, lineEnd + lineEnd, u"\u00E9", u"\u20AC"};
    const std::vector<Text> wide = {u"\u4E00", u"\U0001F600", u"\u07FF", u"\uFFFD"};
    const std::vector<Text> halves = {u"\xD83D", u"\xDE00"};
    std::vector<Text> tokens = common;
    if (source != Source::Cp1252) tokens.insert(tokens.end(), wide.begin(), wide.end());
    if (source == Source::Utf16Le || source == Source::Utf16Be)
        tokens.insert(tokens.end(), halves.begin(), halves.end());
    Text text;
    const std::size_t count = random() % 8 == 0 ? 600 : random() % 40;
    for (std::size_t i = 0; i < count; ++i) text += tokens[random() % tokens.size()];
    while (text.ends_with(lineEnd)) text.resize(text.size() - lineEnd.size());
    if (finalLineEnd) text += lineEnd;
    return text;
}

std::string Encode(const Text& text, Source source) {
    switch (source) {
    case Source::Utf8: return Utf8Literally(text);
    case Source::Utf8Mark: return "\xEF\xBB\xBF" + Utf8Literally(text);
    case Source::Utf16Le: return "\xFF\xFE" + Utf16LeLiterally(text);
    case Source::Utf16Be: return "\xFE\xFF" + Utf16Be(text);
    case Source::Cp1252: return ToCp1252(text);
    }
    return {};
}

Text Decode(std::string_view bytes, const Written& form) {
    if (form.utf16) return FromUtf16(bytes, form.bigEndian);
    if (form.cp1252) {
        Text text;
        for (const char byte : bytes) text += Cp1252Unit(static_cast<unsigned char>(byte));
        return text;
    }
    Text text = FromUtf8(bytes);
    // Only the one form of the text: UTF-8 writes a pair as its character's four bytes, CESU-8 as two halves.
    EXPECT_EQ(form.cesu ? ToCesu8(text) : Utf8Literally(text), bytes) << "not the form asked for";
    return text;
}

TEST(RoundTripDifferential, piecesDecodedAndJoinedGiveTheSourceTextBack) {
    std::mt19937 random(20261208);
    const std::array<OutputEncoding, 5> encodings = {OutputEncoding::Utf8, OutputEncoding::Utf8Bom,
                                                     OutputEncoding::Utf16Le, OutputEncoding::Source,
                                                     OutputEncoding::Cesu8};
    for (int round = 0; round < 600; ++round) {
        const auto source = static_cast<Source>(round % 5);
        const OutputEncoding encoding = encodings[static_cast<std::size_t>(round / 5) % encodings.size()];
        const auto mode = static_cast<SplitMode>(random() % 4);
        const LineEnd lineEnd = random() % 2 == 0 ? LineEnd::CrLf : LineEnd::Lf;
        const Text end = lineEnd == LineEnd::Lf ? u"\n" : u"\r\n";
        const Text text = RandomText(random, source, end, random() % 2 == 0);
        const std::string bytes = Encode(text, source);

        FixedSettings settings;
        settings.split = mode;
        settings.linesPerPiece = ReadLinesPerPiece(Text(1, static_cast<char16_t>(u'1' + random() % 4)));
        settings.separator = Text(1, u';');
        RunOptions options;
        options.finalLineEnd = true;
        options.outputEncoding = encoding;
        options.lineEnd = lineEnd;
        options.reading.codepage = source == Source::Cp1252 ? "windows-1252" : "utf-8";
        options.writerThreads = static_cast<int>(random() % 3);
        if (mode == SplitMode::MaxBytes) options.maxPieceBytes = 8 + random() % 60;
        const bool header = (mode == SplitMode::Lines || mode == SplitMode::MaxBytes) && random() % 4 == 0 &&
                            text.find(end) != Text::npos;
        if (header) options.headerLines = 1;
        RunSeam seam;
        seam.chunkBytes = random() % 2 == 0 ? 0 : 1 + random() % 9;
        const std::string trace = "round " + std::to_string(round) + ", output " +
                                  std::string(OutputEncodingWord(encoding)) + ", mode " +
                                  std::to_string(static_cast<int>(mode)) + ", " + ::testing::PrintToString(bytes);

        Folder folder;
        const PathList sources{folder.Write("s.txt", bytes)};
        RecordingHost host;
        const RunReport report = SplitRun(sources, settings, host, options, seam);
        Files pieces = folder.Files();
        pieces.erase("s.txt");
        // A header with a size that leaves no room for a line gives no pieces, and says so.
        if (!report.ok()) {
            ASSERT_EQ(report.failures.size(), 1u) << trace;
            ASSERT_EQ(report.failures[0].kind, Failure::Kind::BadHeader) << trace;
            ASSERT_TRUE(pieces.empty()) << trace;
            continue;
        }

        const Written form = WrittenAs(encoding, source);
        // The first release's form keeps the source's mark as text.
        const bool markAsText = encoding == OutputEncoding::Cesu8 && source != Source::Utf8 && source != Source::Cp1252;
        const Text seen = markAsText ? u"\uFEFF" + text : text;
        const Text headerText = header ? seen.substr(0, seen.find(end) + end.size()) : Text();
        const Text joint = mode == SplitMode::Separator ? u";" : mode == SplitMode::BlankLines ? end : u"";
        Text joined;
        std::string joinedBytes;
        for (const auto& [name, piece] : pieces) {  // s-0001.txt, s-0002.txt, ... in order
            ASSERT_TRUE(piece.starts_with(form.mark)) << name << ", " << trace;
            Text decoded = Decode(std::string_view(piece).substr(form.mark.size()), form);
            ASSERT_TRUE(decoded.starts_with(headerText)) << name << ", " << trace;
            if (name != pieces.begin()->first) joined += joint;
            joined += decoded.substr(headerText.size());
            joinedBytes += piece.substr(form.mark.size());
        }
        // Lines-mode groups of nothing are not written: joining, they are nothing.
        ASSERT_EQ(joined, seen.substr(headerText.size())) << trace;
        if (encoding == OutputEncoding::Source && !header &&
            (mode == SplitMode::Lines || mode == SplitMode::MaxBytes)) {
            ASSERT_EQ(form.mark + joinedBytes, pieces.empty() ? form.mark : bytes) << trace;
        }
    }
}

}  // namespace
}  // namespace partwright
