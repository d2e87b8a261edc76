#include "cli/arg_text.h"

#include <gtest/gtest.h>

namespace partwright {
namespace {

TEST(ArgTextTest, decodesUtf8OfEveryLength) {
    EXPECT_EQ(TextFromArgument("a"), Text(u"a"));
    EXPECT_EQ(TextFromArgument(""), Text(u""));
    EXPECT_EQ(TextFromArgument("\xC3\xA9"), Text(u"\u00E9"));
    EXPECT_EQ(TextFromArgument("\xE2\x82\xAC;"), Text(u"\u20AC;"));
    EXPECT_EQ(TextFromArgument("\xF0\x9F\x98\x80"), Text(u"\U0001F600"));
    EXPECT_EQ(TextFromArgument("\xED\xA0\x80"), Text(1, char16_t(0xD800)));  // a lone surrogate survives
}

TEST(ArgTextTest, refusesMalformedUtf8) {
    for (const char* bad :
         {"\x80", "\xFF", "a\xC3", "\xE2\x82", "\xC0\xAF", "\xE0\x80\xAF", "\xF4\x90\x80\x80", "\xC3\x28"}) {
        EXPECT_FALSE(TextFromArgument(bad)) << "accepted: " << bad;
    }
}

TEST(ArgTextTest, utf16RoundTripsThroughArgumentsExactly) {
    const Text cases[] = {
        u"plain",
        u"\u00E9t\u00E9 \u20AC",
        u"\U0001F600 pair",
        Text{char16_t(0xDC00), u'x', char16_t(0xD83D)},  // lone halves, in the wrong order
        Text{u'a', char16_t(0)},
    };
    for (const Text& text : cases) {
        EXPECT_EQ(TextFromArgument(ArgumentFromUtf16(text)), text);
    }
    // A proper pair is ordinary UTF-8, so messages show the character.
    EXPECT_EQ(ArgumentFromUtf16(u"\U0001F600"), "\xF0\x9F\x98\x80");
}

}  // namespace
}  // namespace partwright
