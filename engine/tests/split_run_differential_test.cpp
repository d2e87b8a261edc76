// The whole run against a slow, literal run of the same rules, on generated sources.
#include "partwright/split_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include "engine/name/naming.h"
#include "engine/read/source_reader.h"
#include "engine/read/text_form.h"
#include "engine/run/run_seam.h"
#include "engine/tests/literal_oracle.h"
#include "engine/tests/run_test_support.h"
#include "engine/tests/text_oracle.h"
#include "engine/tests/whole_file_io.h"
#include "engine/write/piece_writer.h"
#include "partwright/code_points.h"
#include "partwright/codepage.h"
#include "partwright/messages.h"
#include "partwright/numeric.h"

namespace partwright {
namespace {

using namespace run_test;

// The whole run against a literal run built from ReadFileBlocks (or, for
// UTF-8, the literal reading of UTF-8), the literal cutting rules, the naming
// routines and WriteWholePiece.
class LiteralRun {
public:
    LiteralRun(const std::vector<fs::path>& sources, const FixedSettings& settings, const RunOptions& options)
        : sources_(sources), settings_(settings), options_(options) {}

    // Reads the sources that are not UTF-16 as UTF-8, with the literal reading.
    LiteralRun& Utf8() {
        utf8_ = true;
        return *this;
    }

    void Run() {
        const Text end = oracle::LineEndText(options_.lineEnd);
        for (const fs::path& source : sources_) {
            Failure failure;
            std::optional<std::vector<Text>> blocks;
            std::ifstream in(source, std::ios::binary);
            const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
            const bool utf16 = bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF");
            if (utf8_ && !utf16) {
                blocks = oracle::Utf8Blocks(bytes, options_.reading.wholeFile);
                // A UTF-8 mark is the source's encoding, not its text.
                if (bytes.starts_with("\xEF\xBB\xBF") && options_.outputEncoding != OutputEncoding::Cesu8) {
                    blocks->front().erase(0, 1);
                }
            } else {
                ReadOptions read{options_.reading, false};
                read.chunkBytes = 0;  // the reader's own steps, whatever the run's
                blocks = ReadFileBlocks(source, read, failure);
            }
            ASSERT_TRUE(blocks.has_value());
            std::int64_t index = 0;
            Text header;
            for (std::size_t b = 0; b < blocks->size(); ++b) {
                Text blockText = (*blocks)[b] + end;
                if (b == 0 && options_.headerLines > 0) {
                    const auto split = oracle::TakeHeader(blockText, options_.headerLines, options_.lineEnd);
                    if (!split) break;  // the header does not end in the first block: no pieces
                    // Ended only by the line end appended to a block that is not the last: cut, no pieces.
                    if (blocks->size() > 1 && oracle::CountLines((*blocks)[0], end) - 1 < options_.headerLines) break;
                    header = split->header + end;
                    if (options_.maxPieceBytes > 0 &&
                        WrittenLiterally(header, options_.outputEncoding).size() >= options_.maxPieceBytes)
                        break;
                    blockText = split->rest;
                }
                for (const oracle::Piece& piece :
                     Cut(blockText, WrittenLiterally(header, options_.outputEncoding).size())) {
                    if (!piece.text.empty() || piece.writeWhenEmpty) Write(source, header, piece.text, index);
                    ++index;
                }
            }
        }
    }

private:
    std::vector<oracle::Piece> Cut(const Text& blockText, std::uint64_t headerBytes) const {
        if (options_.maxPieceBytes > 0) {
            return oracle::CutMaxBytes(blockText, options_.maxPieceBytes, options_.lineEnd, headerBytes,
                                       options_.outputEncoding);
        }
        switch (settings_.split) {
        case SplitMode::Lines:
            return oracle::CutLines(blockText, RoundHalfEven(*ParseNumber(settings_.linesPerPiece.text)),
                                    options_.lineEnd);
        case SplitMode::Separator: return oracle::CutAtSeparator(blockText, settings_.separator);
        case SplitMode::BlankLines: return oracle::CutAtBlankLines(blockText, options_.lineEnd);
        case SplitMode::MaxBytes: return {};  // with no size, nothing to cut by
        }
        return {};
    }

    void Write(const fs::path& source, const Text& header, const Text& text, std::int64_t index) {
        const fs::path named = options_.outputFolder.empty() ? source : options_.outputFolder / source.filename();
        fs::path target;
        switch (settings_.naming) {
        case NamingMode::FirstChars: {
            const auto x = static_cast<std::size_t>(*ToInt32(settings_.nameLength.text));
            target = named.parent_path() / (ToNative(AlphaNumOnly(TextView(text).substr(0, x))) + ToNative(u".txt"));
            // No letter or digit, or a device's name: the numbered name with ".txt".
            if (target.filename() == ".txt" || IsDeviceName(target.stem().u16string())) {
                target = target.parent_path() / (named.stem().string() + "-" + PadZeros(index + 1, 4) + ".txt");
            }
            break;
        }
        case NamingMode::Numbered: target = NumberedName(named.native(), index + 1); break;
        case NamingMode::Prefix:
            target = PrefixCounterName(settings_.prefix, named.native(), *ToInt16(settings_.firstNumber.text) + index);
            break;
        case NamingMode::Template: ADD_FAILURE() << "templates are held up by piece_names_test"; break;
        }
        // A name an earlier piece took gives "stem (2).ext", "stem (3).ext", ...
        const fs::path wanted = target;
        for (int copy = 2; std::find(taken_.begin(), taken_.end(), target) != taken_.end(); ++copy) {
            target = wanted.parent_path() /
                     (wanted.stem().string() + " (" + std::to_string(copy) + ")" + wanted.extension().string());
        }
        for (const fs::path& other : sources_) {
            if (std::error_code ec; fs::equivalent(other, target, ec)) return;  // never over a source, however spelled
        }
        Failure failure;
        ASSERT_TRUE(WriteWholePiece(header + text, target, failure, options_.outputEncoding)) << Describe(failure);
        taken_.push_back(target);
        if (target != wanted) ++renamed;
    }

public:
    std::uint64_t renamed = 0;

private:
    std::vector<fs::path> taken_;

    std::vector<fs::path> sources_;
    FixedSettings settings_;
    RunOptions options_;
    bool utf8_ = false;
};

// Sources in code pages and UTF-16, some past one 30000-byte block, read in
// tiny chunks or whole; line ends, sizes, headers and an output folder.
TEST(SplitRunDifferential, wholeRunMatchesTheLiteralRun) {
    std::mt19937 random(424242);
    const std::vector<std::string> alphabets = {"ab\r\n",        "\r\n;x",   "a\r\n\r\n",
                                                "Ab1 ;\r\n\xe9", "ab\n\n\r", "a\xe9\n"};
    const std::vector<Text> separators = {u";", u"", u"\r\n", u"a\r", u"ab", u";;"};
    // Each round writes its pieces as files: few rounds, as under Wine every file costs.
    for (int round = 0; round < 150; ++round) {
        SCOPED_TRACE(round);
        FixedSettings settings;
        settings.split = static_cast<SplitMode>(round % 3);
        settings.linesPerPiece = ReadLinesPerPiece(std::vector<Text>{u"1", u"2", u"3", u"2.5", u"7"}[random() % 5]);
        settings.separator = separators[random() % separators.size()];
        settings.naming = static_cast<NamingMode>((round / 3) % 3);
        settings.nameLength = ReadNameLength(std::vector<Text>{u"0", u"1", u"3", u"12"}[random() % 4]);
        settings.prefix = std::vector<Text>{u"", u"p", u"a"}[random() % 3];
        settings.firstNumber = ReadFirstNumber(std::vector<Text>{u"1", u"-2", u"0"}[random() % 3]);
        RunOptions options = Blocks();
        RunSeam seam;  // the test-only switches
        const bool windowRules = round < 50;
        if (!windowRules) {
            options.lineEnd = random() % 2 == 0 ? LineEnd::Lf : LineEnd::CrLf;
            options.maxPieceBytes = random() % 3 == 0 ? 0 : 1 + random() % 40;
            options.headerLines = random() % 2 == 0 ? 0 : 1 + random() % 3;
            options.reading.codepage = random() % 3 == 0 ? "windows-1251" : "";
            options.reading.wholeFile = random() % 4 == 0;
            seam.chunkBytes = random() % 2 == 0 ? 0 : 1 + random() % 9;
        }

        const std::string& alphabet = alphabets[random() % alphabets.size()];
        std::vector<std::string> contents;
        for (int file = 0; file < 3; ++file) {
            // Now and then a source over one block long, so pieces meet the block
            // boundary; mostly plain letters there, to keep the number of files small.
            // (Never with tiny chunks: thousands of reads cost too much under Wine.)
            const bool large = random() % 9 == 0 && seam.chunkBytes == 0;
            const std::size_t length = large ? 30000 + random() % 200 : random() % 60;
            std::string bytes;
            for (std::size_t i = 0; i < length; ++i) {
                const bool plain = large && random() % 200 != 0;
                bytes.push_back(plain ? 'q' : alphabet[random() % alphabet.size()]);
            }
            if (!windowRules && random() % 5 == 0) {
                Text text = u"\xFEFF";
                for (const char byte : bytes)
                    text += byte == 'b' ? u'\u0416' : static_cast<char16_t>(static_cast<unsigned char>(byte));
                bytes = Utf16(text);
            }
            contents.push_back(bytes);
        }
        const std::vector<std::string> names = {"a.txt", "b", "Ab1.txt"};
        Folder fast;
        Folder literal;
        PathList fastSources{};
        std::vector<fs::path> literalSources;
        for (std::size_t i = 0; i < names.size(); ++i) {
            fastSources.paths.push_back(fast.Write(names[i], contents[i]));
            literalSources.push_back(literal.Write(names[i], contents[i]));
        }
        const bool elsewhere = !windowRules && random() % 3 == 0;
        if (elsewhere) {
            fs::create_directory(fast / "out");
            fs::create_directory(literal / "out");
            options.outputFolder = fast / "out";
        }
        RecordingHost host;
        const RunReport report = SplitRun(fastSources, settings, host, options, seam);
        if (elsewhere) options.outputFolder = literal / "out";
        LiteralRun literalRun(literalSources, settings, options);
        literalRun.Run();
        ASSERT_EQ(fast.Files(), literal.Files());
        EXPECT_EQ(report.piecesRenamed, literalRun.renamed);
        for (const Failure& failure : report.failures) {
            EXPECT_TRUE(failure.kind == Failure::Kind::TargetIsSource || failure.kind == Failure::Kind::BadHeader)
                << Describe(failure);
        }
    }
}

// Whether `bytes` are valid UTF-8 throughout, by the literal reading: then
// its code points, written back, are the same bytes.
bool IsValidUtf8Literally(const std::string& bytes) {
    const Text text = oracle::DecodeUtf8(bytes);
    std::string again;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool pair = text[i] >= 0xD800 && text[i] < 0xDC00 && i + 1 < text.size();
        AppendUtf8(static_cast<char32_t>(pair ? 0x10000 + ((text[i] - 0xD800) << 10) + (text[i + 1] - 0xDC00)
                                              : text[i]),
                   again);
        i += pair ? 1 : 0;
    }
    return again == bytes;
}

// UTF-8 sources, on the byte path and decoded, against the literal reading:
// characters of one to four bytes, a byte-order mark, bytes that are not
// UTF-8 (lone continuation bytes, overlong forms, encoded surrogates, code
// points past U+10FFFF, cut sequences), and characters across the
// 30000-byte boundary; separators that such bytes, or half a pair, match.
// With "auto", a source that is not valid throughout is read as without it.
TEST(SplitRunDifferential, utf8SourcesMatchTheLiteralRun) {
    std::mt19937 random(65001);
    constexpr std::size_t kValidTokens = 10;  // the first ones
    const std::vector<std::string> tokens = {"a",
                                             "b",
                                             ";",
                                             "\r\n",
                                             "\r\n",
                                             "\xC3\xA9",
                                             "\xE2\x82\xAC",
                                             "\xE4\xB8\x80",
                                             "\xF0\x9F\x98\x80",
                                             "\xEF\xBB\xBF",
                                             "\x80",
                                             "\xE9",
                                             "\xFF",
                                             "\xC0\xAF",
                                             "\xE0\x80\xAF",
                                             "\xED\xA0\x80",
                                             "\xF4\x90\x80\x80",
                                             "\xE2\x82",
                                             "\xF0\x9F\x98",
                                             "\xC2"};
    const std::vector<Text> separators = {u";",      u"\u00E9", u"\u20AC",     u"a\u00E9", u"\U0001F600",
                                          u"\xD83D", u"\u00C3", u"\r\n\u20AC", u""};
    for (int round = 0; round < 160; ++round) {
        SCOPED_TRACE(round);
        FixedSettings settings;
        settings.split = static_cast<SplitMode>(round % 3);
        settings.linesPerPiece = ReadLinesPerPiece(std::vector<Text>{u"1", u"2", u"5"}[random() % 3]);
        settings.separator = separators[random() % separators.size()];
        settings.naming = static_cast<NamingMode>((round / 3) % 3);
        settings.nameLength = ReadNameLength(std::vector<Text>{u"0", u"1", u"2", u"5"}[random() % 4]);
        RunOptions options;
        RunSeam seam;  // the test-only switches
        options.reading.codepage = random() % 4 == 0 ? "auto" : "utf-8";
        options.reading.wholeFile = random() % 2 == 0;
        seam.chunkBytes = random() % 2 == 0 ? 0 : 1 + random() % 9;  // characters cut between chunks
        options.lineEnd = random() % 4 == 0 ? LineEnd::Lf : LineEnd::CrLf;
        options.headerLines = random() % 4 == 0 ? 1 : 0;
        options.maxPieceBytes = random() % 5 == 0 ? 4 + random() % 30 : 0;
        const std::size_t tokenCount = options.reading.codepage == "auto" && random() % 2 == 0 ? kValidTokens
                                                                                               : tokens.size();

        std::vector<std::string> contents;
        for (int file = 0; file < 2; ++file) {
            std::string bytes = random() % 5 == 0 ? "\xEF\xBB\xBF" : "";
            // Now and then a source past one block, with a character of 2 to 4
            // bytes about its boundary; few line ends there, to keep the pieces few.
            const bool large = random() % 8 == 0;
            if (large) bytes.append(29997 - bytes.size() + random() % 3, 'q');
            for (std::size_t i = 0, count = large ? 30 : random() % 40; i < count; ++i) {
                bytes += tokens[random() % tokenCount];
            }
            contents.push_back(bytes);
        }
        Folder fast;
        Folder literal;
        PathList fastSources{};
        // A folder for each source: the literal runs one source at a time,
        // so pieces of two sources must not meet under one name.
        const auto sourceName = [](std::size_t i) {
            return "d" + std::to_string(i) + "/s" + std::to_string(i) + ".txt";
        };
        for (std::size_t i = 0; i < contents.size(); ++i) {
            fs::create_directory(fast / ("d" + std::to_string(i)));
            fs::create_directory(literal / ("d" + std::to_string(i)));
            fastSources.paths.push_back(fast.Write(sourceName(i), contents[i]));
        }
        RecordingHost host;
        const RunReport report = SplitRun(fastSources, settings, host, options, seam);
        for (std::size_t i = 0; i < contents.size(); ++i) {
            const fs::path source = literal.Write(sourceName(i), contents[i]);
            // A UTF-8 mark makes a source UTF-8, whatever bytes follow it.
            if (options.reading.codepage == "auto" && !IsValidUtf8Literally(contents[i]) &&
                !contents[i].starts_with("\xEF\xBB\xBF")) {
                RunOptions plain = options;
                plain.reading.codepage = std::to_string(AutoFallbackCodepage());
                (void)SplitRun(PathList{source}, settings, host, plain);
            } else {
                LiteralRun({source}, settings, options).Utf8().Run();
            }
        }
        ASSERT_EQ(fast.Files(), literal.Files())
            << options.reading.codepage << (options.reading.wholeFile ? " whole" : "");
        for (const Failure& failure : report.failures) {
            EXPECT_TRUE(failure.kind == Failure::Kind::TargetIsSource || failure.kind == Failure::Kind::BadHeader)
                << Describe(failure);
        }
    }
}

}  // namespace
}  // namespace partwright
