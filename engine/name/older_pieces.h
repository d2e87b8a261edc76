#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>
#include <utility>

#include "partwright/text.h"

namespace partwright {

// The names a source's numbered or prefix naming gives its pieces, so that
// files a run before this one left under them can be found: head + number + tail.
class CountedNames {
public:
    // Numbered naming of the source file name `sourceName`: "small-0004.txt" for "small.txt".
    [[nodiscard]] static CountedNames Numbered(const NativeString& sourceName);
    // Prefix naming: "bob12.csv" for the prefix "bob" and "log.csv".
    [[nodiscard]] static CountedNames Prefix(TextView prefix, const NativeString& sourceName);

    // The number `fileName` stands for, when it is exactly the name this
    // naming gives that number (in either case where file names ignore it): "small-0004 (2).txt", "small-04.txt" and
    // "smallx-0005.txt" are none of small.txt's names.
    //   CountedNames::Numbered("small.txt").NumberOf("small-0012.txt") == 12
    [[nodiscard]] std::optional<std::int64_t> NumberOf(std::basic_string_view<NativeChar> fileName) const;
    // What the names have in common besides their number, as one text: equal
    // for two sources whose pieces take the same names.
    [[nodiscard]] NativeString Pattern() const { return head_ + NativeChar('|') + tail_; }

private:
    CountedNames(bool numbered, const NativeString& sourceName, TextView prefix);

    bool numbered_;
    NativeString head_;  // what comes before the number
    NativeString tail_;  // what comes after it
};

}  // namespace partwright
