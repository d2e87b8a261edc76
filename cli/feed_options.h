#pragma once

#include <string>

namespace CLI {
class App;
}

namespace partwright {

struct CliOptions;

// The options that say how sources come in and how many pieces go out:
// --max-pieces, --name-template, --stdin-name, --compress.
struct FeedArguments {
    std::string maxPieces;
    std::string nameTemplate;
    std::string stdinName;
    std::string compress;
};

// Declares them on `app`; --name-template excludes the other namings.
void DeclareFeedOptions(CLI::App& app, FeedArguments& raw);

// Checks those given and puts them into `options` (the template into its
// settings, for the field check that follows). Returns what is wrong with
// the first that cannot be used, or "".
[[nodiscard]] std::string ApplyFeedOptions(const CLI::App& app, const FeedArguments& raw, CliOptions& options);

// What is wrong with the sources of `options` as standard input goes: "-"
// more than once, or "" when nothing is.
[[nodiscard]] std::string StandardInputProblem(const CliOptions& options);

}  // namespace partwright
