#include "cli/cli_options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdint>
#include <limits>

#include "cli/arg_text.h"
#include "cli/console_text.h"
#include "cli/feed_options.h"
#include "partwright/byte_size.h"
#include "partwright/codepage.h"
#include "partwright/csv_presets.h"
#include "partwright/line_match.h"
#include "partwright/messages.h"
#include "partwright/numeric.h"
#include "partwright/option_text.h"
#include "partwright/settings_check.h"

#ifndef PARTWRIGHT_VERSION
#define PARTWRIGHT_VERSION "unknown"
#endif

namespace partwright {

namespace {

constexpr const char* kProgram = "partwright-cli";

// Raw option values as CLI11 fills them; checked and converted afterwards.
struct RawArguments {
    std::string lines;
    std::string separator;
    std::string firstChars;
    std::string prefix;
    std::string start;
    std::string codepage;
    std::string lineEnd;
    std::string outputEncoding;
    std::string maxBytes;
    std::string header;
    std::string outputDir;
    std::string threads;
    std::string delimiter;
    std::string parts;
    std::string match;
    std::string byColumn;
    bool blankLines = false;
    bool numbered = false;
    bool wholeFile = false;
    bool blocks = false;
    bool dryRun = false;
    bool noFinalLineEnd = false;
    bool firstRelease = false;
    bool quiet = false;
    bool verbose = false;
    bool csv = false;
    bool excel = false;
    std::vector<std::string> files;
    FeedArguments feed;
};

struct UsageError {
    std::string message;
};

ParseOutcome Refuse(const std::string& message) {
    ParseOutcome outcome;
    outcome.exitStatus = kExitUsage;
    // The message may quote an argument: its line breaks and other controls are shown, not obeyed.
    outcome.err = std::string(kProgram) + ": " + ForTerminal(message) + "\nRun with --help for more information.\n";
    return outcome;
}

Text ArgumentText(const std::string& value, const char* option) {
    auto text = TextFromArgument(value);
    if (!text) {
        throw UsageError{std::string(option) + ": the text is not valid UTF-8"};
    }
    return *text;
}

// The option that sets each field of the run's options.
const char* OptionOf(OptionField field) {
    switch (field) {
    case OptionField::LinesPerPiece: return "--lines";
    case OptionField::NameLength: return "--first-chars";
    case OptionField::Prefix: return "--prefix";
    case OptionField::FirstNumber: return "--start";
    case OptionField::NameTemplate: return "--name-template";
    }
    return "";
}

// The engine's field check, the one the window makes before a run.
void CheckFields(const FixedSettings& settings) {
    const std::optional<FieldProblem> problem = CheckSettings(settings);
    if (!problem) {
        return;
    }
    std::string message = std::string(OptionOf(problem->field)) + ": \"" + ArgumentFromUtf16(problem->typed) + "\" ";
    if (problem->field == OptionField::Prefix) {
        message += "cannot begin a file name: " + problem->reason;
    } else if (problem->field == OptionField::NameTemplate) {
        message += "cannot name pieces: " + problem->reason;
    } else if (problem->notANumber) {
        message += "is not a number";
    } else {
        message += "is not " + std::string(FieldAccepts(problem->field));
    }
    throw UsageError{message};
}

std::string CheckedCodepage(const std::string& value) {
    std::string error;
    if (value.empty()) {
        throw UsageError{"--codepage: the name is empty (use auto, system or a code page)"};
    }
    if (!IsAutoCodepage(value) && !CanReadCodepage(value, error)) {
        throw UsageError{"--codepage: " + (error.empty() ? "\"" + value + "\" is not a known code page" : error)};
    }
    return value;
}

OutputEncoding CheckedOutputEncoding(const std::string& value) {
    if (const auto encoding = ParseOutputEncoding(value)) return *encoding;
    throw UsageError{"--output-encoding: \"" + value + "\" is none of utf-8, utf-8-bom, utf-16le, source and cesu-8"};
}

LineEnd CheckedLineEnd(const std::string& value) {
    if (const auto lineEnd = ParseLineEnd(value)) return *lineEnd;
    throw UsageError{"--line-end: \"" + value + "\" is none of auto, crlf and lf"};
}

// A whole number of bytes, with K, M or G for powers of 1024.
std::uint64_t CheckedMaxBytes(const std::string& value) {
    std::string why;
    if (const auto bytes = ParseByteSize(value, &why)) return *bytes;
    throw UsageError{"--max-bytes: \"" + value + "\" " + why};
}

std::int64_t CheckedHeader(const std::string& value) {
    std::string why;
    auto lines = ParseHeaderLines(value, &why);
    // No header is the option left out.
    if (lines == 0) {
        lines.reset();
        why = "is less than 1";
    }
    if (!lines) throw UsageError{"--header: \"" + value + "\" " + why + " (a whole number of lines of at least 1)"};
    return *lines;
}

int CheckedThreads(const std::string& value) {
    if (value.size() != 1 || value[0] < '0' || value[0] > '8') {
        throw UsageError{"--threads: \"" + value + "\" is not a whole number from 0 to 8"};
    }
    return value[0] - '0';
}

std::uint64_t CheckedParts(const std::string& value) {
    if (const std::optional<std::uint64_t> parts = ParseParts(value)) return *parts;
    throw UsageError{"--parts: \"" + value + "\" is not a whole number of at least 1"};
}

std::string CheckedPattern(const std::string& value) {
    if (const auto problem = PatternProblem(value)) {
        throw UsageError{"--match: \"" + value + "\" is no regular expression: " + *problem};
    }
    return value;
}

std::filesystem::path CheckedOutputDir(const std::string& value) {
    auto path = PathFromArgument(value);
    std::error_code error;
    if (!path || path->empty() || !std::filesystem::is_directory(*path, error)) {
        const bool exists = path && !path->empty() && std::filesystem::exists(*path, error);
        throw UsageError{"--output-dir: \"" + value + "\" " + (exists ? "is not a folder" : "does not exist")};
    }
    return *path;
}

// One byte that separates the fields of a CSV record, or "tab".
char CheckedDelimiter(const std::string& value) {
    if (const std::optional<char> delimiter = ParseDelimiter(value)) return *delimiter;
    throw UsageError{"--delimiter: \"" + value +
                     "\" is not one ASCII character other than a quote or a line end "
                     "(or tab)"};
}

// --by-column reads CSV records whether or not --csv is given; it names every
// piece by its value, whole only once its source is read, so what caps or
// renames pieces one by one has no place beside it.
void ConvertByColumn(const RawArguments& raw, const CLI::App& app, CliOptions& options) {
    for (const char* other : {"--excel", "--compress", "--max-pieces", "--prefix", "--first-chars", "--blocks"}) {
        if (app.count(other) > 0) throw UsageError{std::string("--by-column: not with ") + other};
    }
    Text column = ArgumentText(raw.byColumn, "--by-column");
    if (column.empty()) throw UsageError{"--by-column: give a field number (1 for the first) or a name"};
    const bool number = std::all_of(column.begin(), column.end(),
                                    [](char16_t unit) { return unit >= u'0' && unit <= u'9'; });
    if (number &&
        (column.size() > 9 || std::all_of(column.begin(), column.end(), [](char16_t unit) { return unit == u'0'; }))) {
        throw UsageError{"--by-column: \"" + raw.byColumn + "\" is not a field number from 1 to 999999999"};
    }
    if (!number && app.count("--header") == 0) {
        throw UsageError{"--by-column: a field named \"" + raw.byColumn + "\" needs --header 1"};
    }
    options.run.csv.records = true;
    options.run.byColumn = std::move(column);
}

// --csv, --delimiter and --excel; the Excel preset goes first, so that an
// option given beside it still counts (but for its cap on the records of a piece).
void ConvertCsv(const RawArguments& raw, const CLI::App& app, CliOptions& options) {
    if (raw.excel) {
        FitForExcel(options.run);
        const bool modeGiven = app.count("--lines") + app.count("--separator") + app.count("--max-bytes") > 0;
        if (!modeGiven && !raw.blankLines) options.settings.linesPerPiece = ReadLinesPerPiece(u"1048575");
    }
    options.run.csv.records = options.run.csv.records || raw.csv;
    if (app.count("--by-column") > 0) ConvertByColumn(raw, app, options);
    if (app.count("--delimiter") > 0) {
        if (!options.run.csv.records) throw UsageError{"--delimiter: only with --csv, --excel or --by-column"};
        options.run.csv.delimiter = CheckedDelimiter(raw.delimiter);
    }
}

CliOptions Convert(const RawArguments& raw, const CLI::App& app) {
    CliOptions options;
    FixedSettings& settings = options.settings;

    if (app.count("--separator") > 0) {
        settings.split = SplitMode::Separator;
        settings.separator = ArgumentText(raw.separator, "--separator");
    } else if (raw.blankLines) {
        settings.split = SplitMode::BlankLines;
    } else if (app.count("--max-bytes") > 0) {
        settings.split = SplitMode::MaxBytes;
    } else {
        settings.split = SplitMode::Lines;
        if (app.count("--lines") > 0) {
            settings.linesPerPiece = ReadLinesPerPiece(ArgumentText(raw.lines, "--lines"));
        }
    }

    if (app.count("--first-chars") > 0) {
        settings.naming = NamingMode::FirstChars;
        settings.nameLength = ReadNameLength(ArgumentText(raw.firstChars, "--first-chars"));
    } else if (app.count("--prefix") > 0) {
        settings.naming = NamingMode::Prefix;
        settings.prefix = ArgumentText(raw.prefix, "--prefix");
        if (app.count("--start") > 0) {
            settings.firstNumber = ReadFirstNumber(ArgumentText(raw.start, "--start"));
        }
    } else {
        settings.naming = NamingMode::Numbered;
    }
    if (const std::string problem = ApplyFeedOptions(app, raw.feed, options); !problem.empty()) {
        throw UsageError{problem};
    }
    CheckFields(settings);
    ConvertCsv(raw, app, options);

    if (raw.firstRelease) {
        // Every rule of the first release at once; an option given beside it still counts.
        options.run.reading.codepage = "system";
        options.run.lineEnd = LineEnd::CrLf;
        options.run.outputEncoding = OutputEncoding::Cesu8;
    }
    if (app.count("--codepage") > 0) {
        options.run.reading.codepage = CheckedCodepage(raw.codepage);
    }
    if (app.count("--line-end") > 0) {
        options.run.lineEnd = CheckedLineEnd(raw.lineEnd);
    }
    if (app.count("--max-bytes") > 0) {
        options.run.maxPieceBytes = CheckedMaxBytes(raw.maxBytes);
    }
    if (app.count("--output-encoding") > 0) {
        options.run.outputEncoding = CheckedOutputEncoding(raw.outputEncoding);
    }
    if (app.count("--parts") > 0) {
        // Shares of a source's bytes: a block of 30000 bytes is no source.
        if (raw.blocks || (raw.firstRelease && !raw.wholeFile)) {
            throw UsageError{"--parts: whole sources only, not with --blocks or --first-release"};
        }
        options.run.parts = CheckedParts(raw.parts);
    }
    if (app.count("--match") > 0) {
        options.run.matchPattern = CheckedPattern(raw.match);
    }
    if (app.count("--header") > 0) {
        const bool blankRecords = options.run.csv.records && settings.split == SplitMode::BlankLines;
        const bool byColumn = !options.run.byColumn.empty();
        if (settings.split != SplitMode::Lines && settings.split != SplitMode::MaxBytes && !blankRecords && !byColumn) {
            throw UsageError{
                "--header: only with --lines, --max-bytes, --parts, --match or --by-column (or "
                "--blank-lines with --csv)"};
        }
        options.run.headerLines = CheckedHeader(raw.header);
    }
    if (app.count("--output-dir") > 0) {
        options.run.outputFolder = CheckedOutputDir(raw.outputDir);
    }
    if (app.count("--threads") > 0) {
        options.run.writerThreads = CheckedThreads(raw.threads);
    }
    options.verbose = raw.verbose;
    // --whole-file is the default now and stays accepted for scripts.
    options.run.reading.wholeFile = !raw.blocks && !(raw.firstRelease && !raw.wholeFile);
    options.run.dryRun = raw.dryRun;
    options.run.finalLineEnd = !raw.noFinalLineEnd && !raw.firstRelease;
    options.quiet = raw.quiet;

    if (raw.files.empty()) {
        throw UsageError{messages::kNoFiles};
    }
    for (const std::string& file : raw.files) {
        auto path = PathFromArgument(file);
        if (!path || path->empty()) {
            throw UsageError{"\"" + file + "\" is not a usable file name"};
        }
        options.files.push_back(std::move(*path));
    }
    if (const std::string problem = StandardInputProblem(options); !problem.empty()) throw UsageError{problem};
    return options;
}

void DeclareOptions(CLI::App& app, RawArguments& raw) {
    app.footer(
        "Every source is cut as one text. A source whose first byte is FF or FE is UTF-16; any other is\n"
        "read in the code page of --codepage. By default (auto) a source that is valid UTF-8 throughout\n"
        "is read as UTF-8, any other in the system's ANSI code page (system): on Windows GetACP(),\n"
        "elsewhere the character set of the locale (LC_ALL, else LC_CTYPE, else LANG), windows-1252\n"
        "under the C locale; where that code page is UTF-8 itself, such a source is read as windows-1252.\n"
        "Bytes that are not valid UTF-8 in a UTF-8 source are read as the characters of their values.\n"
        "The line end is each source's own (auto), on Windows too.\n"
        "--first-release gives the first release's pieces byte for byte (--blocks --line-end crlf --codepage\n"
        "system --output-encoding cesu-8 --no-final-line-end), but for byte-order marks, now read right.\n"
        "A byte-order mark decides a source's encoding (FF FE UTF-16LE, FE FF UTF-16BE, EF BB BF UTF-8)\n"
        "and is not part of its text. Pieces are written as UTF-8 (see --output-encoding) beside their\n"
        "source, or into --output-dir; a character beyond U+FFFF counts as two where characters are counted.\n"
        "Exit status: 0 when every piece was written,\n"
        "1 when anything failed (each failure is reported on standard error), 2 for a usage error,\n"
        "130 when Ctrl+C, SIGTERM or SIGHUP stopped the run (no piece is left half-written).\n"
        "Numbers may be written as 12, -3, 2.5 or 1E2.");

    auto* lines = app.add_option("--lines", raw.lines, "Cut every N lines (the default, N = 3)")->type_name("N");
    auto* separator = app.add_option("--separator", raw.separator, "Cut at every occurrence of TEXT (may be empty)")
                          ->type_name("TEXT");
    auto* blank = app.add_flag("--blank-lines", raw.blankLines, "Cut at every blank line");
    auto* maxBytes = app.add_option("--max-bytes", raw.maxBytes,
                                    "Cut into pieces of whole lines of at most SIZE bytes as written "
                                    "(suffix K, M or G: KiB, MiB, GiB); a longer line is a piece of its own")
                         ->type_name("SIZE");
    auto* parts = app.add_option("--parts", raw.parts,
                                 "Cut into N pieces of whole lines of near-equal size: piece k ends with the first "
                                 "line end at or after k/N of the source's bytes (after its header); fewer when the "
                                 "source has fewer lines, or lines longer than a share. Not with --blocks")
                      ->type_name("N");
    auto* match =
        app.add_option("--match", raw.match,
                       "Cut before every line that PATTERN matches (a regular expression, RE2's syntax, "
                       "matched against each line without its line end, on its first MiB): the line "
                       "begins the next piece; what comes before the first such line, if anything, is the first")
            ->type_name("PATTERN");
    lines->excludes(separator)->excludes(blank)->excludes(maxBytes)->excludes(parts)->excludes(match);
    separator->excludes(blank)->excludes(maxBytes)->excludes(parts)->excludes(match);
    blank->excludes(maxBytes)->excludes(parts)->excludes(match);
    maxBytes->excludes(parts)->excludes(match);
    parts->excludes(match);
    app.add_option("--line-end", raw.lineEnd,
                   std::string("What ends a line: auto (the first line end in each source decides: CR LF, or a "
                               "lone LF; CR LF when it has none), crlf, or lf (a CR before the LF is then part of "
                               "the line). Default: ") +
                       std::string(LineEndWord(kDefaultLineEnd)))
        ->type_name("auto|crlf|lf");
    app.add_option("--output-encoding", raw.outputEncoding,
                   "How pieces are written: utf-8 (the default), utf-8-bom (a byte-order mark at the head of "
                   "every piece, for Excel), utf-16le (with its mark), source (each source's own encoding and "
                   "mark), or cesu-8 (the first release's: each UTF-16 unit on its own, a source's mark as text). "
                   "The size of --max-bytes and the header are counted and written in it")
        ->type_name("NAME");
    app.add_flag("--first-release", raw.firstRelease,
                 "Every rule of the first release at once: --blocks --line-end crlf --codepage system "
                 "--output-encoding cesu-8 --no-final-line-end (byte-order marks are still read right)");
    app.add_flag("--no-final-line-end", raw.noFinalLineEnd,
                 "Write the first release's pieces: no line end after a piece's last line, and a separator-mode "
                 "last piece ends with a line end the source may not have (by default the pieces of a source, "
                 "joined in order, give back its text)");
    app.add_option("--header", raw.header,
                   "Repeat the first H lines of each source at the head of each of its pieces "
                   "(lines, size, parts and match modes, blank lines with --csv, and --by-column, where H counts "
                   "records; at most 1048576 characters, and with --blocks within the first block)")
        ->type_name("H");

    app.add_flag("--csv", raw.csv,
                 "Read sources as CSV records: a line end inside a quoted field (\"...\", \"\" for a quote) "
                 "ends no line, so --lines, --max-bytes, --blank-lines and --header count and cut whole records, "
                 "written as they stand. A quote that never closes is reported; the rest of the source is "
                 "then one record");
    app.add_option("--delimiter", raw.delimiter, "The field separator of --csv: one character, or tab (default ,)")
        ->type_name("C");
    app.add_option("--by-column", raw.byColumn,
                   "One piece per distinct value of field K (1 for the first; or the field called NAME in the header, "
                   "with --header 1), read as --csv records: the header and the value's records in source order, "
                   "named NAME-VALUE.EXT (the value's letters, digits, - and _; NAME-empty.EXT when none), or by "
                   "--name-template's {value}. Each source's pieces appear once it is read whole")
        ->type_name("K|NAME")
        ->excludes(lines)
        ->excludes(separator)
        ->excludes(blank)
        ->excludes(maxBytes);
    app.add_flag("--excel", raw.excel,
                 "Pieces Excel opens whole: --csv --header 1 --output-encoding utf-8-bom, and --lines 1048575 "
                 "unless another mode is given; whatever the mode, no piece holds more than 1048575 records "
                 "besides its header");

    auto* numbered = app.add_flag("--numbered", raw.numbered,
                                  "Name pieces NAME-0001.EXT, NAME-0002.EXT, ... (the default)");
    auto* firstChars = app.add_option("--first-chars", raw.firstChars,
                                      "Name pieces after the letters and digits among their first X characters")
                           ->type_name("X");
    auto* prefix = app.add_option("--prefix", raw.prefix, "Name pieces TEXT1.EXT, TEXT2.EXT, ...")->type_name("TEXT");
    auto* start = app.add_option("--start", raw.start, "First counting number of --prefix (default 1)")->type_name("K");
    numbered->excludes(firstChars)->excludes(prefix);
    firstChars->excludes(prefix);
    start->needs(prefix);

    auto* wholeFile = app.add_flag("--whole-file", raw.wholeFile,
                                   "Cut every source as one text (the default; kept for scripts)");
    auto* blocks = app.add_flag("--blocks", raw.blocks,
                                "Cut every source in blocks of 30000 bytes, each on its own, as the first release "
                                "did (lines, separators and characters are cut at the block edges)");
    wholeFile->excludes(blocks);
    app.add_option("--codepage", raw.codepage,
                   "Code page of sources that are not UTF-16: auto (the default: UTF-8 for a source that is "
                   "valid UTF-8 throughout, else the system's; see below), system (the system's ANSI code "
                   "page), windows-1250 to windows-1258, 874, 932, 936, 949, 950 or utf-8")
        ->type_name("NAME");
    app.add_option("--output-dir", raw.outputDir,
                   "Write the pieces into DIR, an existing folder, instead of beside their source")
        ->type_name("DIR");
    app.add_option("--threads", raw.threads,
                   "Write pieces on N threads beside the one that cuts them (0: on that one; default: " +
                       std::to_string(DefaultWriterThreads()) + " on this machine)")
        ->type_name("N");
    app.add_flag("--dry-run", raw.dryRun, "Print the target of every piece and write nothing");
    auto* quiet = app.add_flag("--quiet", raw.quiet, "Print nothing but failures (and the targets of --dry-run)");
    app.add_flag("--verbose", raw.verbose, "Print the path of every piece as it is written")->excludes(quiet);
    app.set_version_flag("--version", std::string(kProgram) + " " + PARTWRIGHT_VERSION, "Print the version and exit");
    DeclareFeedOptions(app, raw.feed);
    app.add_option("FILE", raw.files,
                   "Source files, split in this order; - reads standard input, a FILE.gz the text it holds")
        ->type_name("FILE");
}

// CLI11 takes the arguments last to first. It reads "--separator=" as the
// option without a value and would then take the next argument (a file) as
// the value, so an empty value after "=" is passed on explicitly.
std::vector<std::string> ForCli11(const std::vector<std::string>& args) {
    std::vector<std::string> prepared;
    bool optionsEnded = false;
    for (const std::string& arg : args) {
        optionsEnded = optionsEnded || arg == "--";
        if (!optionsEnded && arg.size() > 3 && arg.starts_with("--") && arg.find('=') == arg.size() - 1) {
            prepared.push_back(arg.substr(0, arg.size() - 1));
            prepared.push_back("");
        } else {
            prepared.push_back(arg);
        }
    }
    std::reverse(prepared.begin(), prepared.end());
    return prepared;
}

}  // namespace

ParseOutcome ParseCommandLine(const std::vector<std::string>& args) {
    CLI::App app{"Splits text files into many smaller text files.", kProgram};
    RawArguments raw;
    DeclareOptions(app, raw);

    if (args.empty()) {
        ParseOutcome outcome;
        outcome.out = app.help();
        return outcome;
    }

    try {
        app.parse(ForCli11(args));
    } catch (const CLI::CallForHelp&) {
        ParseOutcome outcome;
        outcome.out = app.help();
        return outcome;
    } catch (const CLI::CallForVersion&) {
        ParseOutcome outcome;
        outcome.out = app.version() + "\n";
        return outcome;
    } catch (const CLI::ParseError& error) {
        return Refuse(error.what());
    }

    try {
        ParseOutcome outcome;
        outcome.options = Convert(raw, app);
        return outcome;
    } catch (const UsageError& error) {
        return Refuse(error.message);
    }
}

}  // namespace partwright
