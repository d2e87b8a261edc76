// The cap on pieces, name templates, gzip sources and compressed pieces,
// each held against the plain run it must agree with: a capped run writes
// the uncapped run's first pieces, a .gz source the pieces of its text, a
// damaged or cut-off archive only whole pieces of its text, and a compressed
// piece the bytes of the uncompressed one.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "engine/name/name_template.h"
#include "engine/read/text_form.h"
#include "engine/tests/run_test_support.h"
#include "partwright/settings_check.h"

namespace partwright {
namespace {

using namespace run_test;

std::string Gzip(const std::string& text) {
    z_stream s{};
    EXPECT_EQ(deflateInit2(&s, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::string out(deflateBound(&s, static_cast<uLong>(text.size())) + 64, '\0');
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    s.avail_in = static_cast<uInt>(text.size());
    s.next_out = reinterpret_cast<Bytef*>(out.data());
    s.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&s, Z_FINISH), Z_STREAM_END);
    out.resize(s.total_out);
    deflateEnd(&s);
    return out;
}

std::string Gunzip(const std::string& bytes) {
    z_stream s{};
    EXPECT_EQ(inflateInit2(&s, 15 + 16), Z_OK);
    std::string out;
    char chunk[4096];
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    s.avail_in = static_cast<uInt>(bytes.size());
    int result = Z_OK;
    while (result == Z_OK) {
        s.next_out = reinterpret_cast<Bytef*>(chunk);
        s.avail_out = sizeof chunk;
        result = inflate(&s, Z_NO_FLUSH);
        out.append(chunk, sizeof chunk - s.avail_out);
    }
    EXPECT_EQ(result, Z_STREAM_END) << "not a whole gzip stream";
    inflateEnd(&s);
    return out;
}

// Lines of 0 to 12 letters, some "|", CR LF or LF, with or without a last line end.
std::string GeneratedText(std::mt19937& random, int lines) {
    std::string text;
    const bool lf = random() % 2 == 0;
    for (int line = 0; line < lines; ++line) {
        const int length = static_cast<int>(random() % 13);
        for (int k = 0; k < length; ++k) text += random() % 7 == 0 ? '|' : static_cast<char>('a' + random() % 26);
        if (line + 1 < lines || random() % 2 == 0) text += lf ? "\n" : "\r\n";
    }
    return text;
}

struct Mode {
    const char* what;
    FixedSettings settings;
    std::uint64_t maxBytes = 0;
};

std::vector<Mode> Modes() {
    FixedSettings blank;
    blank.split = SplitMode::BlankLines;
    return {{"lines 1", Lines(u"1")},
            {"lines 3", Lines(u"3")},
            {"separator", Separator(u"|")},
            {"blank lines", blank},
            {"max bytes", Lines(u"3"), 24}};
}

// The piece number of a numbered name "src-0012.txt".
long NumberOf(const std::string& name) {
    const std::size_t dash = name.rfind('-');
    return std::stol(name.substr(dash + 1, 4));
}

struct Outcome {
    RunReport report;
    RecordingHost host;
    Files files;
};

Outcome SplitIn(const std::string& name, const std::string& bytes, const FixedSettings& settings, RunOptions options) {
    Folder folder;
    Outcome run;
    const fs::path source = folder.Write(name, bytes);
    options.finalLineEnd = true;
    run.report = SplitRun(PathList{source}, settings, run.host, options);
    run.files = folder.Files();
    run.files.erase(name);
    return run;
}

TEST(MaxPieces, aCappedRunWritesTheFirstPiecesOfTheUncappedOneAndSaysWhenTextWasLeft) {
    std::mt19937 random(34);
    for (int round = 0; round < 12; ++round) {
        const std::string text = GeneratedText(random, 1 + static_cast<int>(random() % 14));
        for (const Mode& mode : Modes()) {
            RunOptions options;
            options.maxPieceBytes = mode.maxBytes;
            options.writerThreads = static_cast<int>(random() % 2) * 2;
            const Outcome whole = SplitIn("src.txt", text, mode.settings, options);
            ASSERT_TRUE(whole.report.ok());
            long last = 0;
            for (const auto& [name, bytes] : whole.files) last = std::max(last, NumberOf(name));
            for (long cap = 1; cap <= last + 1; ++cap) {
                SCOPED_TRACE(std::string(mode.what) + ", cap " + std::to_string(cap) + ", text \"" + text + "\"");
                options.maxPieces = cap;
                const Outcome capped = SplitIn("src.txt", text, mode.settings, options);
                Files expected;
                for (const auto& [name, bytes] : whole.files) {
                    if (NumberOf(name) <= cap) expected[name] = bytes;
                }
                EXPECT_EQ(capped.files, expected);
                EXPECT_TRUE(capped.report.ok());
                EXPECT_EQ(capped.report.sourcesCapped, last > cap ? 1U : 0U);
            }
        }
    }
}

TEST(NameTemplate, fillsItsFieldsOrRefusesWhatCannotNameAFile) {
    struct Case {
        const char16_t* text;
        const char* source;
        const char16_t* first;
        long number;
        const char* name;     // "" for a name the fields leave unusable
        const char* problem;  // of a refused template, a part of the reason
    };
    const Case cases[] = {
        {u"{name}-{n:000}.{ext}", "log.txt", u"", 5, "log-005.txt", nullptr},
        {u"{name}-{n:00}.{ext}", "log.txt", u"", 1234, "log-1234.txt", nullptr},
        {u"{n}_{name}.{ext}", "a.b.csv", u"", 7, "7_a.b.csv", nullptr},
        {u"{name}-{n}.{ext}", "README", u"", 2, "README-2", nullptr},  // no extension: no dot left
        {u"{first:4}-{n}.txt", "x.log", u"Ab12", 3, "Ab12-3.txt", nullptr},
        {u"{first:3}.txt", "x.log", u"con", 1, "", nullptr},  // a device name: the numbered name instead
        {u"{first:3}.txt", "x.log", u"", 1, "", nullptr},     // no letters: ".txt" would hide the piece
        {u".{name}-{n}", "x.log", u"", 1, ".x-1", nullptr},   // hidden as the template asks
        {u"p{value}{n}.txt", "x.log", u"", 1, "p1.txt", nullptr},
        {u"", "x", u"", 1, nullptr, "empty"},
        {u"{foo}-{n}", "x", u"", 1, nullptr, "{foo}"},
        {u"{n", "x", u"", 1, nullptr, "without its \"}\""},
        {u"a}{n}", "x", u"", 1, nullptr, "without its \"{\""},
        {u"out/{n}", "x", u"", 1, nullptr, "folder separator"},
        {u"a:{n}", "x", u"", 1, nullptr, ": * ?"},
        {u"{name}.{ext}", "README", u"", 1, "README", nullptr},
        {u"..", "x", u"", 1, nullptr, "no name at all"},
        {u"com{n}", "x", u"", 1, nullptr, "device"},
        {u"nul.{ext}", "x", u"", 1, nullptr, "device"},
        {u"{first:0}{n}", "x", u"", 1, nullptr, "{first:0}"},
        {u"{first:2}{first:3}{n}", "x", u"", 1, nullptr, "different X"},
        {u".partwright-{n}", "x", u"", 1, nullptr, "temporary"},
        {u"{n:0x0}", "x", u"", 1, nullptr, "{n:0x0}"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ToUtf8(c.text));
        std::string problem;
        const std::optional<NameTemplate> parsed = NameTemplate::Parse(c.text, problem);
        FixedSettings settings;
        settings.naming = NamingMode::Template;
        settings.nameTemplate = c.text;
        const std::optional<FieldProblem> checked = CheckSettings(settings);
        if (c.problem != nullptr) {
            EXPECT_FALSE(parsed);
            EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
            ASSERT_TRUE(checked);
            EXPECT_EQ(checked->field, OptionField::NameTemplate);
            continue;
        }
        ASSERT_TRUE(parsed) << problem;
        EXPECT_FALSE(checked);
        const NativeString source(c.source, c.source + std::char_traits<char>::length(c.source));
        const NativeString name = parsed->Fill(source, c.first, c.number);
        EXPECT_EQ(fs::path(name).generic_string(), fs::path(c.name).generic_string());
    }
}

TEST(NameTemplate, aRunNamesByItCountsCollisionsAndFallsBackToTheNumberedName) {
    FixedSettings settings = Lines(u"1");
    settings.naming = NamingMode::Template;
    settings.nameTemplate = u"{first:3}.{ext}";
    const Outcome run = SplitIn("s.csv", "abc1\nabc2\ncon\n!!\n", settings, {});
    EXPECT_TRUE(run.report.ok());
    EXPECT_EQ(run.report.piecesRenamed, 1U);
    const Files expected{{"abc.csv", "abc1\n"},
                         {"abc (2).csv", "abc2\n"},
                         {"s-0003.csv", "con\n"},
                         {"s-0004.csv", "!!\n"}};
    EXPECT_EQ(run.files, expected);
}

// The pieces of `text` split plainly, under the names a .gz source of it gives.
Files PlainPieces(const std::string& text, const FixedSettings& settings, const RunOptions& options) {
    return SplitIn("log.txt", text, settings, options).files;
}

TEST(GzipSource, givesThePiecesOfItsTextAndOnlyWholeOnesWhenCutOffOrDamaged) {
    std::mt19937 random(6);
    std::string text;
    for (int k = 0; k < 100; ++k) text += GeneratedText(random, 200);  // several reads of 64 KiB
    text += "\n";
    const FixedSettings settings = Lines(u"150");
    RunOptions options;
    options.writerThreads = 0;
    const Files plain = PlainPieces(text, settings, options);
    ASSERT_GT(plain.size(), 20U);
    const std::string archive = Gzip(text);
    // Two members, as `cat a.gz b.gz` makes, read as one text.
    const std::string members = Gzip(text.substr(0, text.size() / 3)) + Gzip(text.substr(text.size() / 3));
    for (const std::string* whole : {&archive, &members}) {
        const Outcome run = SplitIn("log.txt.gz", *whole, settings, options);
        EXPECT_TRUE(run.report.ok());
        EXPECT_EQ(run.files, plain);
    }
    // Not UTF-8 only far into it: code page auto reads the archive again from its start, in the
    // fallback code page, and pieces named by their text come out as from the plain file.
    FixedSettings named = settings;
    named.naming = NamingMode::FirstChars;
    named.nameLength = ReadNameLength(u"12");
    const std::string late = text + "caf\xE9\n";
    for (const int threads : {0, 2}) {
        options.writerThreads = threads;
        const Outcome run = SplitIn("log.txt.gz", Gzip(late), named, options);
        EXPECT_TRUE(run.report.ok());
        EXPECT_EQ(run.files, PlainPieces(late, named, options));
    }
    options.writerThreads = 0;
    // Cut off, or one byte changed past the header's time stamp: reported
    // with the source's path, and every piece written is a piece of the text
    // (a change the inflater meets only at the checksum excepted: see below).
    for (std::size_t at = 10; at < archive.size(); at += 1 + archive.size() / 40) {
        for (const bool cut : {true, false}) {
            SCOPED_TRACE((cut ? "cut at " : "byte changed at ") + std::to_string(at));
            std::string damaged = archive;
            if (cut) {
                damaged.resize(at);
            } else {
                damaged[at] = static_cast<char>(damaged[at] ^ 0x5A);
            }
            const Outcome run = SplitIn("log.txt.gz", damaged, settings, options);
            ASSERT_EQ(run.report.failures.size(), 1U);
            const Failure& failure = run.report.failures[0];
            EXPECT_EQ(failure.kind, Failure::Kind::ReadSource);
            EXPECT_EQ(failure.path.filename(), "log.txt.gz");
            EXPECT_NE(failure.reason.find(cut ? "cut off" : "gzip archive"), std::string::npos) << failure.reason;
            for (const auto& [name, bytes] : run.files) {
                ASSERT_EQ(plain.count(name), 1U) << name;
                // Damage to the compressed data shows as an error where it is met; a
                // change that still inflates shows only at the checksum, after its pieces.
                if (cut) {
                    EXPECT_EQ(bytes, plain.at(name)) << name;
                }
            }
            if (cut) {
                EXPECT_LT(run.files.size(), plain.size());
            }
        }
    }
}

TEST(CompressedPieces, holdTheBytesOfThePlainPiecesAndTheSizeCapCountsTheText) {
    std::mt19937 random(61);
    for (int round = 0; round < 6; ++round) {
        const std::string text = GeneratedText(random, 40 + static_cast<int>(random() % 60));
        for (const Mode& mode : Modes()) {
            for (const int threads : {0, 2}) {
                SCOPED_TRACE(std::string(mode.what) + ", threads " + std::to_string(threads));
                RunOptions options;
                options.maxPieceBytes = mode.maxBytes;
                options.writerThreads = threads;
                const Outcome plain = SplitIn("src.txt", text, mode.settings, options);
                options.compression = PieceCompression::Gzip;
                const Outcome packed = SplitIn("src.txt", text, mode.settings, options);
                EXPECT_TRUE(packed.report.ok());
                Files unpacked;
                for (const auto& [name, bytes] : packed.files) {
                    ASSERT_TRUE(name.ends_with(".gz")) << name;
                    unpacked[name.substr(0, name.size() - 3)] = Gunzip(bytes);
                }
                EXPECT_EQ(unpacked, plain.files);
            }
        }
    }
    // A piece named by its first characters is written before its name is known.
    FixedSettings named = Lines(u"2");
    named.naming = NamingMode::FirstChars;
    named.nameLength = ReadNameLength(u"3");
    RunOptions options;
    const std::string text = GeneratedText(random, 60);
    const Outcome plain = SplitIn("src.txt", text, named, options);
    options.compression = PieceCompression::Gzip;
    const Outcome packed = SplitIn("src.txt", text, named, options);
    Files unpacked;
    for (const auto& [name, bytes] : packed.files) unpacked[name.substr(0, name.size() - 3)] = Gunzip(bytes);
    EXPECT_EQ(unpacked, plain.files);
}

}  // namespace
}  // namespace partwright
