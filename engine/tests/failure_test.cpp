#include "partwright/failure.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace partwright {
namespace {

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// What every description must do, whatever its wording: name the path in
// UTF-8, end with the reason when there is one, and read as its own kind (a
// code page that cannot be read reads as a source that cannot be read).
TEST(Failure, everyKindNamesItsPathGivesItsReasonAndReadsAsItsOwn) {
    using Kind = Failure::Kind;
    const Kind kinds[] = {Kind::OpenSource,     Kind::ReadSource,    Kind::WritePiece,
                          Kind::TargetIsSource, Kind::BadNameLength, Kind::BadFirstNumber,
                          Kind::NameTooLong,    Kind::BadCodepage,   Kind::BadHeader};
    const std::filesystem::path path = std::filesystem::path(u8"d\u00e9j\u00e0") / "a.txt";
    const std::u8string pathBytes = path.u8string();
    const std::string shown(pathBytes.begin(), pathBytes.end());
    ASSERT_NE(shown.find("d\xC3\xA9j\xC3\xA0"), std::string::npos);
    const std::string reason = "the system's own words";

    std::vector<std::string> leads;
    for (const Kind kind : kinds) {
        SCOPED_TRACE(static_cast<int>(kind));
        const std::string lead = Describe({kind, path, ""});
        const std::string full = Describe({kind, path, reason});
        EXPECT_NE(lead.find(shown), std::string::npos) << lead;
        EXPECT_FALSE(EndsWith(lead, ":") || EndsWith(lead, ": ")) << lead;
        // A piece that would overwrite a source says so in its own words.
        if (kind != Kind::TargetIsSource) {
            EXPECT_EQ(full, lead + ": " + reason);
        }
        for (std::size_t other = 0; other < leads.size(); ++other) {
            const bool bothRead = kinds[other] == Kind::ReadSource && kind == Kind::BadCodepage;
            EXPECT_EQ(leads[other] == lead, bothRead) << lead;
        }
        leads.push_back(lead);
    }
}

}  // namespace
}  // namespace partwright
