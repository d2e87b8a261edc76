#include "partwright/failure.h"

#include <gtest/gtest.h>

namespace partwright {
namespace {

TEST(Failure, describesWhatWentWrongAndNamesTheFile) {
    using Kind = Failure::Kind;
    const std::filesystem::path path = std::filesystem::path("data") / "a.txt";
    const std::string shown = path.string();
    const struct {
        Failure failure;
        std::string expected;
    } cases[] = {
        {{Kind::OpenSource, path, "No such file or directory"}, "cannot open " + shown + ": No such file or directory"},
        {{Kind::ReadSource, path, "Input/output error"}, "cannot read " + shown + ": Input/output error"},
        {{Kind::WritePiece, path, "No space left on device"}, "cannot write " + shown + ": No space left on device"},
        {{Kind::WritePiece, path, ""}, "cannot write " + shown},
        {{Kind::TargetIsSource, path, "it is a source of this run"},
         shown + ": the piece would overwrite a source of this run; it was not written"},
        {{Kind::BadNameLength, path, "got \"abc\""},
         shown + ": piece not written, the name length is not a whole number from 0 to 2147483647: got \"abc\""},
        {{Kind::BadFirstNumber, path, "got \"40000\""},
         shown + ": piece not written, the first counting number is not a whole number from -32768 to 32767: got \"40000\""},
        {{Kind::NameTooLong, path, "more than 4096 letters and digits"},
         shown + ": piece not written, its name from its first characters would be too long: more than 4096 letters and digits"},
        {{Kind::BadCodepage, path, "unknown code page: cp1"}, "cannot read " + shown + ": unknown code page: cp1"},
    };
    for (const auto& c : cases) EXPECT_EQ(Describe(c.failure), c.expected);
}

TEST(Failure, pathsAreGivenInUtf8) {
    const Failure failure{Failure::Kind::OpenSource, std::filesystem::path(u8"caf\u00e9.txt"), "x"};
    EXPECT_EQ(Describe(failure), "cannot open caf\xC3\xA9.txt: x");
}

}  // namespace
}  // namespace partwright
