#include "cli/feed_options.h"

#include <CLI/CLI.hpp>

#include <algorithm>

#include "cli/arg_text.h"
#include "cli/cli_options.h"
#include "partwright/settings_check.h"

namespace partwright {

namespace {

// A whole number of 1 or more, in plain digits.
bool ReadCount(const std::string& value, std::int64_t& count) {
    if (value.empty() || value.size() > 18 || value.find_first_not_of("0123456789") != std::string::npos) return false;
    count = std::stoll(value);
    return count >= 1;
}

}  // namespace

void DeclareFeedOptions(CLI::App& app, FeedArguments& raw) {
    app.add_option("--max-pieces", raw.maxPieces,
                   "Write at most K pieces from each source; the rest of it is not read (exit status 0)")
        ->type_name("K");
    auto* nameTemplate =
        app.add_option("--name-template", raw.nameTemplate,
                       "Name pieces by TEXT with {name} (the source's name without its extension), {ext}, {n} "
                       "(the piece's number), {n:000} (padded to as many digits as zeros), {first:X} (the letters "
                       "and digits among the piece's first X characters) and {value}; a \".\" before an empty "
                       "{ext} is left out")
            ->type_name("TEXT");
    for (const char* naming : {"--numbered", "--first-chars", "--prefix"}) {
        if (CLI::Option* other = app.get_option_no_throw(naming)) nameTemplate->excludes(other);
    }
    app.add_option("--stdin-name", raw.stdinName,
                   "The file name the pieces of standard input (the source -) are named after (default stdin.txt)")
        ->type_name("NAME");
    app.add_option("--compress", raw.compress, "gzip: write every piece compressed, as NAME.EXT.gz")->type_name("gzip");
}

std::string ApplyFeedOptions(const CLI::App& app, const FeedArguments& raw, CliOptions& options) {
    if (app.count("--max-pieces") > 0 && !ReadCount(raw.maxPieces, options.run.maxPieces)) {
        return "--max-pieces: \"" + raw.maxPieces + "\" is not a whole number of at least 1";
    }
    if (app.count("--name-template") > 0) {
        const auto text = TextFromArgument(raw.nameTemplate);
        if (!text) return "--name-template: the text is not valid UTF-8";
        options.settings.naming = NamingMode::Template;
        options.settings.nameTemplate = *text;
    }
    if (app.count("--stdin-name") > 0) {
        const auto text = TextFromArgument(raw.stdinName);
        if (!text) return "--stdin-name: the text is not valid UTF-8";
        // A file name, as a prefix is: no folder, no device, not empty.
        if (const char* problem = FileNameProblem(*text))
            return "--stdin-name: \"" + raw.stdinName + "\" is no file name: " + problem;
        options.run.reading.stdinName = *text;
    }
    if (app.count("--compress") > 0) {
        if (raw.compress != "gzip") return "--compress: \"" + raw.compress + "\" is not gzip";
        options.run.compression = PieceCompression::Gzip;
    }
    return "";
}

std::string StandardInputProblem(const CliOptions& options) {
    const auto count = std::count(options.files.begin(), options.files.end(), std::filesystem::path(kStandardInput));
    if (count > 1) return "standard input (-) is given more than once; it can be read only once";
    // Its size is known only at its end, too late to share it out in one pass.
    if (count > 0 && options.run.parts > 0) return "--parts: standard input (-) has no size to share out; give a file";
    return "";
}

}  // namespace partwright
