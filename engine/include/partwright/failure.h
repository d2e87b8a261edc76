#pragma once

#include <filesystem>
#include <string>

namespace partwright {

// One thing that went wrong during a run. The run reports it and goes on with
// the next piece or source.
struct Failure {
    enum class Kind {
        OpenSource,       // the source cannot be opened, or is no file to read
        ReadSource,       // reading the opened source failed
        WritePiece,       // the piece cannot be created or written
        TargetIsSource,   // the piece's name leads to a source of the same run
        BadNameLength,    // the name length is not a usable whole number
        BadFirstNumber,   // the first counting number is not a 16-bit whole number
        NameTooLong,      // the first-characters name can never be a valid file name
        BadCodepage,      // the requested code page is unknown here
        BadHeader,        // the source's header cannot be taken: it gives no pieces
        BadPrefix,        // the prefix cannot begin a file name
        BadNameTemplate,  // the name template cannot name pieces
        BadPattern,       // the pattern lines are matched with is no regular expression the run can use
        UnclosedQuote,    // a CSV source's quoted field never closes: the rest of it is one record, written
    };

    Kind kind;
    std::filesystem::path path;  // the source, or the piece's target when known
    std::string reason;          // the operating system's reason, or what was wrong
};

// "cannot open /data/a.txt: No such file or directory" and the like, in UTF-8.
[[nodiscard]] std::string Describe(const Failure& failure);

}  // namespace partwright
