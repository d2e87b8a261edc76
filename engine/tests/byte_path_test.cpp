// A source in a single-byte code page is cut and written as raw bytes; these
// tests hold that path against the decoded-text path, which must give the
// same pieces under the same names, byte for byte.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "engine/cut/cutter.h"
#include "engine/read/byte_coding.h"
#include "engine/read/cesu8.h"
#include "engine/read/decoder_factory.h"
#include "engine/run/run_seam.h"
#include "engine/tests/literal_oracle.h"
#include "engine/tests/temp_folder.h"
#include "partwright/codepage.h"
#include "partwright/split_run.h"

namespace partwright {
namespace {

namespace fs = std::filesystem;
using partwright::testing::ReadBytes;
using partwright::testing::TempFolder;
using partwright::testing::WriteBytes;

const std::vector<std::string> kCodepages = {"windows-1252", "windows-1250", "windows-1251",
                                             "windows-1253", "874",          "windows-1257"};

const ByteTable& TableOf(const std::string& codepage) {
    static std::map<std::string, std::unique_ptr<TextDecoder>> decoders;
    auto& decoder = decoders[codepage];
    std::string error;
    if (!decoder) decoder = MakeDecoder(codepage, error);
    if (!decoder || !decoder->SingleByteTable()) throw std::runtime_error("no table for " + codepage + error);
    return *decoder->SingleByteTable();
}

// Bytes mostly from `common`, with any byte value one time in `anyOdds`.
std::string RandomBytes(std::mt19937& random, std::size_t length, const std::string& common, unsigned anyOdds = 4) {
    std::string bytes(length, '\0');
    for (char& byte : bytes) {
        byte = random() % anyOdds == 0 ? static_cast<char>(random() % 256) : common[random() % common.size()];
    }
    return bytes;
}

// Records the byte pieces, decoded through the table, for comparison with the text pieces.
class DecodingSink final : public BytePieceSink {
public:
    explicit DecodingSink(const ByteTable& table) : table_(table) {}
    bool BeginPiece() override {
        inner.BeginPiece();
        return true;
    }
    void AppendToPiece(std::string_view bytes) override {
        Text units;
        for (const char byte : bytes) units += table_[static_cast<unsigned char>(byte)];
        inner.AppendToPiece(units);
    }
    void EndPiece(bool writeWhenEmpty) override { inner.EndPiece(writeWhenEmpty); }

    oracle::RecordingSink inner;

private:
    const ByteTable& table_;
};

template <class Unit>
void FeedInChunks(BasicPieceCutter<Unit>& cutter, std::basic_string_view<Unit> text, std::size_t chunk,
                  BasicPieceSink<Unit>& sink) {
    for (std::size_t at = 0; at < text.size(); at += chunk) {
        ASSERT_TRUE(cutter.Feed(text.substr(at, chunk), sink));
    }
    ASSERT_TRUE(cutter.Finish(sink));
}

TEST(BytePath, byteCuttersGiveTheTextCuttersPiecesInAnyChunking) {
    std::mt19937 random(1207);
    const ByteTable& table = TableOf("windows-1252");
    const std::vector<std::string> separators = {";", "\r\n", "a\xE9", "\x80\x80", "aab", "\r\n\r\n"};
    for (int round = 0; round < 3000; ++round) {
        const std::string bytes = RandomBytes(random, random() % 300, "\r\n\r\na;\xE9\x80") + "\r\n";
        Text text;
        for (const char byte : bytes) text += table[static_cast<unsigned char>(byte)];
        const std::string separator = separators[random() % separators.size()];
        Text separatorText;
        for (const char byte : separator) separatorText += table[static_cast<unsigned char>(byte)];
        const std::int64_t n = 1 + static_cast<std::int64_t>(random() % 5);
        const LineEnd lineEnd = (round / 4) % 2 == 0 ? LineEnd::CrLf : LineEnd::Lf;  // the text ends with both
        ByteUtf8Lengths lengths{};
        for (std::size_t byte = 0; byte < 256; ++byte)
            lengths[byte] = static_cast<std::uint8_t>(ToCesu8(Text(1, table[byte])).size());

        std::unique_ptr<BytePieceCutter> byteCutter;
        std::unique_ptr<PieceCutter> textCutter;
        switch (round % 4) {
        case 0:
            byteCutter = BytePieceCutter::Lines(n, lineEnd);
            textCutter = PieceCutter::Lines(n, lineEnd);
            break;
        case 1:
            byteCutter = BytePieceCutter::Separator(separator);
            textCutter = PieceCutter::Separator(separatorText);
            break;
        case 2:
            byteCutter = BytePieceCutter::BlankLines(lineEnd);
            textCutter = PieceCutter::BlankLines(lineEnd);
            break;
        default:
            byteCutter = BytePieceCutter::MaxBytes(static_cast<std::uint64_t>(n * n), lineEnd, &lengths);
            textCutter = PieceCutter::MaxBytes(static_cast<std::uint64_t>(n * n), lineEnd);
            break;
        }
        // Chunks of one byte up to past the 32-unit scan steps.
        const std::size_t chunk = 1 + random() % ((round / 8) % 3 == 0 ? 100 : 7);
        DecodingSink byteSink(table);
        oracle::RecordingSink textSink;
        FeedInChunks<char>(*byteCutter, bytes, chunk, byteSink);
        FeedInChunks<char16_t>(*textCutter, text, chunk, textSink);
        ASSERT_EQ(byteSink.inner.pieces, textSink.pieces) << "round " << round;
        ASSERT_TRUE(byteSink.inner.faults.empty()) << byteSink.inner.faults.front();
    }
}

// Many lines per piece: pairs far from the piece's end are counted in
// stretches, which must neither miss nor double-count a pair at their edges;
// the text cutter is held against the literal cut, the byte cutter against it.
TEST(BytePath, manyLinesPerPieceCutWhereTheTextCutterCuts) {
    std::mt19937 random(64);
    const ByteTable& table = TableOf("windows-1252");
    for (int round = 0; round < 300; ++round) {
        // Lines from empty to long, and stray CRs and LFs.
        std::string bytes;
        const std::size_t size = 2000 + random() % 30000;
        while (bytes.size() < size) {
            bytes.append(random() % 3 == 0 ? 0 : random() % (round % 2 == 0 ? 8 : 120), 'x');
            bytes += random() % 10 == 0 ? (random() % 2 == 0 ? "\r" : "\n") : "\r\n";
        }
        bytes += "\r\n";
        const Text text(bytes.begin(), bytes.end());
        const std::int64_t n = std::vector<std::int64_t>{64, 65, 100, 257, 1000, 4096}[random() % 6];
        const std::size_t chunk = random() % 2 == 0 ? bytes.size() : 1 + random() % 5000;
        const LineEnd lineEnd = round % 4 < 2 ? LineEnd::CrLf : LineEnd::Lf;
        auto byteCutter = BytePieceCutter::Lines(n, lineEnd);
        auto textCutter = PieceCutter::Lines(n, lineEnd);
        DecodingSink byteSink(table);
        oracle::RecordingSink textSink;
        FeedInChunks<char>(*byteCutter, bytes, chunk, byteSink);
        FeedInChunks<char16_t>(*textCutter, text, chunk, textSink);
        ASSERT_EQ(textSink.pieces, oracle::CutLines(text, static_cast<double>(n), lineEnd))
            << "round " << round << ", N " << n;
        ASSERT_EQ(byteSink.inner.pieces, textSink.pieces) << "round " << round << ", N " << n;
    }
}

TEST(BytePath, encodingBytesMatchesEncodingTheirUnitsInEveryCodePage) {
    std::mt19937 random(3);
    for (const std::string& codepage : kCodepages) {
        const ByteTable& table = TableOf(codepage);
        const ByteUtf8Forms forms = Utf8FormsOf(table);
        for (int round = 0; round < 200; ++round) {
            // Long ASCII runs with a few other bytes anywhere around the 16-byte steps.
            std::string bytes(random() % 80, 'x');
            for (char& byte : bytes) {
                if (random() % 6 == 0) byte = static_cast<char>(random() % 256);
            }
            Text units;
            for (const char byte : bytes) units += table[static_cast<unsigned char>(byte)];
            std::string encoded(3 * bytes.size(), '\0');
            encoded.resize(static_cast<std::size_t>(EncodeBytesUtf8(bytes, forms, encoded.data()) - encoded.data()));
            ASSERT_EQ(encoded, ToCesu8(units)) << codepage << ", round " << round;
        }
    }
}

std::map<std::string, std::string> FilesIn(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder))
        files[entry.path().filename().string()] = ReadBytes(entry.path());
    return files;
}

struct Sources final : SourceList {
    std::vector<fs::path> paths;
    int Count() const override { return static_cast<int>(paths.size()); }
    fs::path At(int position) const override { return paths.at(static_cast<std::size_t>(position - 1)); }
};

struct QuietHost final : RunHost {};

TEST(BytePath, wholeRunsGiveTheSamePiecesUnderTheSameNamesAsDecodedRuns) {
    std::mt19937 random(20261207);
    // Separators with units that some of the code pages cannot produce (é, €, U+4E00) or
    // produce from an undefined byte (U+0081).
    const std::vector<Text> separators = {u";",       u"",       u"\r\n",   u"\u00E9", u"\u20AC",
                                          u"a\u20AC", u"\u4E00", u"\u0081", u"a\r"};
    for (int round = 0; round < 240; ++round) {
        SCOPED_TRACE(round);
        FixedSettings settings;
        settings.split = static_cast<SplitMode>(round % 3);
        settings.linesPerPiece = ReadLinesPerPiece(std::vector<Text>{u"1", u"2", u"3", u"10000"}[random() % 4]);
        settings.separator = separators[random() % separators.size()];
        settings.naming = static_cast<NamingMode>((round / 3) % 3);
        settings.nameLength = ReadNameLength(std::vector<Text>{u"0", u"1", u"5", u"40"}[random() % 4]);
        RunOptions options;
        RunSeam seam;  // the test-only switches
        options.reading.codepage = kCodepages[random() % kCodepages.size()];
        options.reading.wholeFile = random() % 2 == 0;

        std::vector<std::string> contents;
        for (int file = 0; file < 2; ++file) {
            // Sometimes a source around the 30000-byte boundary, with long lines
            // there to keep the number of pieces small.
            if (random() % 6 == 0) {
                // Half of them pure ASCII, whose long runs are written without a copy.
                const unsigned anyOdds = random() % 2 == 0 ? 64 : 0xFFFFFFFFu;
                contents.push_back(
                    RandomBytes(random, 29990 + random() % 40, std::string(300, 'a') + "\r\n;", anyOdds));
            } else {
                contents.push_back(RandomBytes(random, random() % 80, "\r\na;\xE9\x80\x81 "));
            }
        }
        TempFolder bytePath;
        TempFolder textPath;
        Sources byteSources;
        Sources textSources;
        for (std::size_t i = 0; i < contents.size(); ++i) {
            const std::string name = std::to_string(i) + ".txt";
            WriteBytes(bytePath / name, contents[i]);
            WriteBytes(textPath / name, contents[i]);
            byteSources.paths.push_back(bytePath / name);
            textSources.paths.push_back(textPath / name);
        }
        QuietHost host;
        const RunReport byteReport = SplitRun(byteSources, settings, host, options, seam);
        seam.alwaysDecode = true;
        const RunReport textReport = SplitRun(textSources, settings, host, options, seam);
        ASSERT_EQ(FilesIn(bytePath.path()), FilesIn(textPath.path()));
        EXPECT_EQ(byteReport.piecesWritten, textReport.piecesWritten);
        EXPECT_EQ(byteReport.failures.size(), textReport.failures.size());
    }
}

}  // namespace
}  // namespace partwright
