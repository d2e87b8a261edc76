#include "engine/read/source_reader.h"

#include <gtest/gtest.h>

#include "engine/read/decoder_factory.h"
#include "engine/read/text_form.h"
#include "engine/tests/literal_oracle.h"
#include "engine/tests/temp_folder.h"
#include "engine/tests/text_oracle.h"
#include "engine/tests/whole_file_io.h"
#include "partwright/codepage.h"

namespace partwright {
namespace {

using testing::TempFolder;
using testing::WriteBytes;
using namespace std::string_literals;

ReadOptions Options(std::string codepage, bool wholeFile = false, std::size_t chunkBytes = 0) {
    ReadOptions options;
    options.codepage = std::move(codepage);
    options.wholeFile = wholeFile;
    options.chunkBytes = chunkBytes;
    return options;
}

std::vector<Text> Blocks(const std::filesystem::path& source, const ReadOptions& options = Options("")) {
    Failure failure;
    auto blocks = ReadFileBlocks(source, options, failure);
    EXPECT_TRUE(blocks.has_value()) << failure.reason;
    return blocks.value_or(std::vector<Text>{});
}

// Bytes that say where they are: no two neighbouring blocks look alike.
std::string AsciiPattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>('!' + (i * 7 + i / 30000) % 90);
    }
    return bytes;
}

Text Widen(std::string_view ascii) { return Text(ascii.begin(), ascii.end()); }

// `whole` blocks of 30000 bytes, then one of `tail` bytes unless it is 0.
std::vector<std::size_t> BlockSizes(std::size_t whole, std::size_t tail) {
    std::vector<std::size_t> sizes(whole, 30000);
    if (tail > 0) sizes.push_back(tail);
    return sizes;
}

TEST(SourceReaderTest, ansiSourceIsCutIntoBlocksOf30000Bytes) {
    const struct {
        std::size_t size;
        std::vector<std::size_t> blockSizes;
    } cases[] = {
        {1, {1}},
        {29999, {29999}},
        {30000, {30000}},
        {30001, {30000, 1}},
        {45000, {30000, 15000}},
        {60000, {30000, 30000}},
        {90001, {30000, 30000, 30000, 1}},
        // Blocks are read several at a time: around the edges of those reads.
        {239999, BlockSizes(7, 29999)},
        {240000, BlockSizes(8, 0)},
        {240001, BlockSizes(8, 1)},
        {510007, BlockSizes(17, 7)},
    };
    TempFolder folder;
    for (const auto& c : cases) {
        const std::string bytes = AsciiPattern(c.size);
        WriteBytes(folder / "a.txt", bytes);
        const auto blocks = Blocks(folder / "a.txt");
        ASSERT_EQ(blocks.size(), c.blockSizes.size()) << c.size;
        std::size_t offset = 0;
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            EXPECT_EQ(blocks[i], Widen(std::string_view(bytes).substr(offset, c.blockSizes[i])))
                << "block " << i << " of " << c.size;
            offset += c.blockSizes[i];
        }
    }
}

TEST(SourceReaderTest, singleByteSourceGivesOneCharacter) {
    TempFolder folder;
    WriteBytes(folder / "a.txt", "A");
    EXPECT_EQ(Blocks(folder / "a.txt"), std::vector<Text>{u"A"});
}

TEST(SourceReaderTest, emptySourceHasNoBlocks) {
    TempFolder folder;
    WriteBytes(folder / "empty.txt", "");
    for (const bool wholeFile : {false, true}) {
        const ReadOptions options = Options("", wholeFile);
        EXPECT_TRUE(Blocks(folder / "empty.txt", options).empty());
        Failure failure;
        auto reader = SourceReader::Open(folder / "empty.txt", options, failure);
        ASSERT_NE(reader, nullptr);
        std::string_view bytes;
        bool endsBlock = true;
        EXPECT_EQ(reader->Next(bytes, endsBlock), SourceReader::Status::EndOfSource);
        EXPECT_EQ(reader->size(), 0u);
    }
}

// The byte-order mark decides the encoding and is no text, unless the first
// release's form keeps it as text; a first byte FF or FE without its partner
// is no mark.
TEST(SourceReaderTest, byteOrderMarksDecideTheEncoding) {
    const struct {
        std::string bytes;
        Text text;
        bool markAsText;
    } cases[] = {
        {"\xFF\xFE\x41\x00\x42\x00"s, u"AB", false},
        {"\xFF\xFE\x41\x00\x42\x00"s, u"\uFEFFAB", true},
        {"\xFE\xFF\x00\x41\x4E\x00"s, u"A\u4E00", false},  // big-endian
        {"\xFE\xFF\x00\x41"s, u"\uFEFFA", true},
        {"\xFF"s, u"\u00FF", false},  // no partner: read in the code page
        {"\xFE"s, u"\u00FE", false},
        {"\xFFhi"s, u"\u00FFhi", false},
        {"\xFE\xFE"s, u"\u00FE\u00FE", false},
        {"\xFF\xFE\x41"s, u"A", false},               // odd length: the lone byte is the low half
        {"\xFE\xFF\x41"s, u"\u4100", false},          // ... or the high half, big-endian
        {"\xEF\xBB\xBFhi\xE9"s, u"hi\u00E9", false},  // UTF-8, its stray byte read as its own value
        {"\xEF\xBB\xBFhi"s, u"\uFEFFhi", true},
        {"\xEF\xBB"s, u"\u00EF\u00BB", false},
        {"\xFF\xFE\x0D\x00\x0A\x00\x3D\xD8\x00\xDE"s, u"\r\n\xD83D\xDE00", false},
        {"\xFE\xFF\x00\x0D\x00\x0A\xD8\x3D\xDE\x00"s, u"\r\n\xD83D\xDE00", false},
    };
    TempFolder folder;
    for (const auto& c : cases) {
        WriteBytes(folder / "u.txt", c.bytes);
        Failure failure;
        ReadOptions options;
        options.markAsText = c.markAsText;
        auto reader = SourceReader::Open(folder / "u.txt", options, failure);
        ASSERT_NE(reader, nullptr);
        // Handed on as UTF-8, a surrogate pair as its character.
        std::string utf8;
        std::string_view step;
        bool endsBlock = false;
        while (reader->Next(step, endsBlock) == SourceReader::Status::Units) utf8 += step;
        EXPECT_EQ(utf8, Utf8Literally(c.text)) << c.bytes.size() << " bytes";
        if (!c.markAsText) {
            EXPECT_EQ(Blocks(folder / "u.txt"), std::vector<Text>{c.text}) << c.bytes.size() << " bytes";
        }
    }
}

TEST(SourceReaderTest, utf8MarkOutweighsTheCodePage) {
    TempFolder folder;
    WriteBytes(folder / "bom.txt", "\xEF\xBB\xBFhi\xE2\x82\xAC");
    const auto blocks = Blocks(folder / "bom.txt", Options("windows-1252"));
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0], u"hi\u20AC");
}

TEST(SourceReaderTest, blocksAreDecodedEachOnItsOwn) {
    // A double-byte character straddling offset 30000 breaks into two halves.
    TempFolder folder;
    WriteBytes(folder / "sjis.txt", std::string(29999, 'A') + "\x82\xA0" + "B");
    const auto blocks = Blocks(folder / "sjis.txt", Options("932"));
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0].size(), 30000u);
    EXPECT_EQ(blocks[1].size(), 2u);
    EXPECT_EQ(blocks[1].back(), u'B');
    EXPECT_NE(blocks[0].back(), u'\u3042');
}

// What a streamed block gives, chunk by chunk, must equal reading it at once.
Text StreamedBlock(const std::filesystem::path& source, ReadOptions options, std::size_t& blockCount) {
    Failure failure;
    auto reader = SourceReader::Open(source, options, failure);
    EXPECT_NE(reader, nullptr) << failure.reason;
    Text block;
    std::string_view bytes;
    bool endsBlock = false;
    blockCount = 0;
    while (reader && reader->Next(bytes, endsBlock) == SourceReader::Status::Units) {
        EXPECT_EQ(blockCount, 0u) << "units after the end of the one block";
        block += UnitsOf(bytes);
        blockCount += endsBlock ? 1 : 0;
    }
    if (reader) {
        EXPECT_EQ(reader->bytesRead(), reader->size());
    }
    return block;
}

// The units of the UTF-16 sources below, byte-order mark first: CJK, CR and Latin in turn.
Text Utf16Units(std::size_t units) {
    Text text = u"\uFEFF";
    for (std::size_t i = 0; i < units; ++i) {
        text += static_cast<char16_t>(i % 3 == 0 ? 0x4E00 + i % 500 : i % 3 == 1 ? 0x0D : 'a' + i % 26);
    }
    return text;
}

std::string Utf16Source(std::size_t units, bool oddTail) {
    std::string bytes;
    for (const char16_t unit : Utf16Units(units)) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    if (oddTail) {
        bytes += '\x7A';
    }
    return bytes;
}

TEST(SourceReaderTest, streamedUtf16EqualsTheWholeBlockForAnyChunkSize) {
    TempFolder folder;
    for (const bool oddTail : {false, true}) {
        WriteBytes(folder / "u.txt", Utf16Source(16000, oddTail));
        std::size_t count = 0;
        const Text whole = StreamedBlock(folder / "u.txt", Options("", false, 1 << 20), count);
        ASSERT_EQ(count, 1u);
        // The byte-order mark goes; an odd last byte is a unit of its own.
        ASSERT_EQ(whole, Utf16Units(16000).substr(1) + (oddTail ? u"\x7A" : u""));
        for (const std::size_t chunk : {1u, 2u, 3u, 5u, 64u, 4097u, 30000u, 80003u}) {
            EXPECT_EQ(StreamedBlock(folder / "u.txt", Options("", false, chunk), count), whole)
                << "chunk " << chunk << (oddTail ? " odd" : "");
            EXPECT_EQ(count, 1u);
        }
    }
}

// A streamed UTF-8 source, in chunks of any size, is the literal reading of
// all of it, as the UTF-8 of its units, whose every chunk starts on a unit,
// never inside one.
TEST(SourceReaderTest, streamedUtf8IsTheLiteralReadingForAnyChunkSize) {
    TempFolder folder;
    std::string bytes;
    const char* const pieces[] = {"ab\r\n", "\xC3\xA9", "\xE4\xB8\x80", "\xF0\x9F\x98\x80",
                                  "\xFF",   "\xE2\x82", "\xED\xA0\x80"};
    for (std::size_t i = 0; bytes.size() < 5000; ++i) bytes += pieces[(i * 7 + i / 5) % 7];
    bytes += "\xF0\x9F";  // cut at the very end
    WriteBytes(folder / "u.txt", bytes);
    const Text expected = oracle::DecodeUtf8(bytes);
    for (const std::size_t chunk : {1u, 2u, 3u, 4u, 5u, 7u, 64u, 4097u, 80003u}) {
        SCOPED_TRACE(chunk);
        std::size_t count = 0;
        EXPECT_EQ(StreamedBlock(folder / "u.txt", Options("utf-8", true, chunk), count), expected);
        EXPECT_EQ(count, 1u);
        Failure failure;
        auto reader = SourceReader::Open(folder / "u.txt", Options("utf8", true, chunk), failure);
        ASSERT_NE(reader, nullptr) << failure.reason;
        std::string unitUtf8;
        std::string_view step;
        bool endsBlock = false;
        while (reader->Next(step, endsBlock) == SourceReader::Status::Units) {
            ASSERT_FALSE(step.empty());
            ASSERT_NE(static_cast<unsigned char>(step[0]) & 0xC0, 0x80u) << "a chunk starts inside a unit";
            unitUtf8 += step;
        }
        EXPECT_EQ(unitUtf8, Utf8Literally(expected));
    }
}

TEST(SourceReaderTest, wholeFileStreamsAnAnsiSourceAsOneBlock) {
    TempFolder folder;
    std::string sjis;
    while (sjis.size() < 40000) {
        sjis += "A\x82\xA0\x93\xFA\x96\x7B\r\n";  // two-byte characters fall on every chunk edge
    }
    WriteBytes(folder / "s.txt", sjis);
    const auto decoder = [] {
        std::string error;
        return MakeDecoder("932", error);
    }();
    ASSERT_NE(decoder, nullptr);
    Text expected;
    decoder->Decode(std::span<const char>(sjis.data(), sjis.size()), true, expected);
    for (const std::size_t chunk : {1u, 2u, 3u, 7u, 4096u, 30000u, 1u << 18}) {
        std::size_t count = 0;
        EXPECT_EQ(StreamedBlock(folder / "s.txt", Options("932", true, chunk), count), expected) << "chunk " << chunk;
        EXPECT_EQ(count, 1u);
    }
    EXPECT_EQ(Blocks(folder / "s.txt", Options("932", true)), std::vector<Text>{expected});
}

TEST(SourceReaderTest, unreadableSourcesReportPathAndReason) {
    TempFolder folder;
    const struct {
        std::filesystem::path path;
        std::string codepage;
        Failure::Kind kind;
    } cases[] = {
        {folder / "missing.txt", "", Failure::Kind::OpenSource},
        {folder.path(), "", Failure::Kind::OpenSource},
        {folder / "missing.txt", "klingon", Failure::Kind::BadCodepage},
    };
    for (const auto& c : cases) {
        Failure failure;
        EXPECT_EQ(SourceReader::Open(c.path, Options(c.codepage), failure), nullptr);
        EXPECT_EQ(failure.kind, c.kind) << c.path;
        EXPECT_EQ(failure.path, c.path);
        EXPECT_FALSE(failure.reason.empty());
        Failure blocksFailure;
        EXPECT_FALSE(ReadFileBlocks(c.path, Options(c.codepage), blocksFailure).has_value());
        EXPECT_EQ(blocksFailure.kind, c.kind);
    }
    Failure failure;
    (void)SourceReader::Open(folder.path(), {}, failure);
    EXPECT_EQ(failure.reason, "Is a directory");
#ifndef _WIN32
    // A device has no length to read by: refused, not read as an empty source.
    Failure device;
    EXPECT_EQ(SourceReader::Open("/dev/zero", {}, device), nullptr);
    EXPECT_EQ(device.kind, Failure::Kind::OpenSource);
    EXPECT_NE(device.reason.find("not a regular file"), std::string::npos) << device.reason;
#endif
}

// "auto" reads the file it opened, also when the source turns out not to be
// UTF-8 past the first read and is read again from its start: a file put
// under the source's name meanwhile (a pipe would block) is never opened.
TEST(SourceReaderTest, autoReadsAgainFromTheFileItOpened) {
#ifdef _WIN32
    GTEST_SKIP() << "a name whose file is open cannot be given to a new file until it is closed";
#endif
    TempFolder folder;
    const std::string bytes = "caf\xC3\xA9\r\n" + std::string(40, 'x') + "\x93q\x94";
    const auto source = folder / "s.txt";
    WriteBytes(source, bytes);
    Failure failure;
    auto reader = SourceReader::Open(source, Options("auto", true, 8), failure);
    ASSERT_TRUE(reader) << failure.reason;
    std::optional<LineEnd> lineEnd;
    ASSERT_TRUE(reader->FirstLineEnd(lineEnd));
    EXPECT_EQ(lineEnd, LineEnd::CrLf);
    std::filesystem::remove(source);
    WriteBytes(source, std::string(bytes.size(), 'z'));

    Text text;
    std::string_view step;
    bool endsBlock = false;
    int restarts = 0;
    for (bool more = true; more;) {
        switch (reader->Next(step, endsBlock)) {
        case SourceReader::Status::Units: text += UnitsOf(step); break;
        case SourceReader::Status::Restart:
            ++restarts;
            text.clear();
            break;
        case SourceReader::Status::EndOfSource: more = false; break;
        case SourceReader::Status::Error: FAIL() << reader->error().reason;
        }
    }
    EXPECT_EQ(restarts, 1);
    const auto fallback = MakeDecoder(std::to_string(AutoFallbackCodepage()), failure.reason);
    ASSERT_TRUE(fallback);
    Text expected;
    fallback->Decode(bytes, true, expected);
    EXPECT_EQ(text, expected);
}

TEST(SourceReaderTest, readingNeverChangesTheSource) {
    TempFolder folder;
    const std::string bytes = AsciiPattern(45000);
    WriteBytes(folder / "a.txt", bytes);
    const auto before = std::filesystem::last_write_time(folder / "a.txt");
    (void)Blocks(folder / "a.txt");
    EXPECT_EQ(testing::ReadBytes(folder / "a.txt"), bytes);
    EXPECT_EQ(std::filesystem::last_write_time(folder / "a.txt"), before);
}

}  // namespace
}  // namespace partwright

namespace partwright {
namespace {

// "auto" with the whole source checked first, as cuts whose names depend on
// the reading ask: read as UTF-8 exactly when every byte is, wherever the one
// byte that is not lies. A source this long is checked in two halves side by
// side, the second from the first character that starts at or after the
// middle: here every character is three bytes, so the middle falls inside one.
TEST(SourceReaderTest, wholeSourceCheckFindsTheOneBadByteAnywhere) {
    constexpr std::size_t kChars = (17u << 20) / 3;
    std::string valid;
    valid.reserve(3 * kChars);
    for (std::size_t i = 0; i < kChars; ++i) valid += "\xE2\x82\xAC";
    const std::size_t middle = valid.size() / 2;
    struct Case {
        const char* name;
        std::size_t at;  // where a byte is changed
        char byte;
        bool utf8;
    };
    const Case cases[] = {
        {"no bad byte", 0, '\xE2', true},
        {"a bad byte in the first half", 100000, '\xFF', false},
        {"a lead byte cut off just before the middle", middle - 1, '\xE2', false},
        {"a bad byte at the middle", middle, '\xFF', false},
        {"a lead byte where the middle character's last byte was", middle + 1, '\xE2', false},
        {"a continuation byte in the place of a lead after the middle", (middle / 3 + 1) * 3, '\x82', false},
        {"a bad last byte", valid.size() - 1, '\xFF', false},
        {"a last character cut short", valid.size() - 1, 'x', false},
    };
    TempFolder folder;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string bytes = valid;
        bytes[c.at] = c.byte;
        if (std::string_view(c.name) == "a last character cut short") bytes.resize(bytes.size() - 1);
        WriteBytes(folder / "s.txt", bytes);
        ReadOptions options = Options("auto", true);
        options.checkWholeFirst = true;
        Failure failure;
        auto reader = SourceReader::Open(folder / "s.txt", options, failure);
        ASSERT_TRUE(reader) << failure.reason;
        EXPECT_FALSE(reader->mayRestart());
        // Read as UTF-8, the euro sign comes as it is; in windows-1252, as the UTF-8 of its three bytes' units.
        std::string_view step;
        bool endsBlock = false;
        ASSERT_EQ(reader->Next(step, endsBlock), SourceReader::Status::Units);
        EXPECT_EQ(step.substr(0, 3) == "\xE2\x82\xAC", c.utf8);
    }
}

}  // namespace
}  // namespace partwright
