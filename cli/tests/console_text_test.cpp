#include "cli/console_text.h"

#include <gtest/gtest.h>

#include <string>

namespace partwright {
namespace {

TEST(ConsoleTextTest, controlCharactersAndBrokenBytesAreShownNotObeyed) {
    const struct {
        std::string in;
        std::string shown;
    } cases[] = {
        {"plain.txt", "plain.txt"},
        {"C:\\data\\a.txt", "C:\\data\\a.txt"},  // backslashes as they are
        {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80",
         "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},  // letters of any language
        {"a\x1B[2Jb", "a\\x1B[2Jb"},                    // ESC clears no screen
        {std::string("n\0l", 3), "n\\x00l"},
        {"tab\there\nline\rback\x7F", "tab\\x09here\\x0Aline\\x0Dback\\x7F"},
        {"\xC2\x9B"
         "31m",
         "\\u009B31m"},                                              // C1 CSI, as UTF-8
        {"\xC2\x80 \xC2\x9F \xC2\xA0", "\\u0080 \\u009F \xC2\xA0"},  // C1 edges; U+00A0 is text
        {"\x9B"
         "31m",
         "\\x9B31m"},                                                      // a lone byte, not UTF-8
        {"\xED\xA0\x80", "\\uD800"},                                       // a lone surrogate from a Windows name
        {"\xC3", "\\xC3"},                                                 // a cut sequence
        {"\xC0\xAF \xF4\x90\x80\x80", "\\xC0\\xAF \\xF4\\x90\\x80\\x80"},  // overlong, above U+10FFFF
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ForTerminal(c.in), c.shown) << testing::PrintToString(c.in);
    }
    EXPECT_EQ(LinesForTerminal("--lines: \"\x1B\" is not a number\nRun with --help\n"),
              "--lines: \"\\x1B\" is not a number\nRun with --help\n");
}

}  // namespace
}  // namespace partwright
