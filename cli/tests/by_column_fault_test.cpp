// Runs partwright-cli --by-column under broken disks, limits and signals
// (fault_shim.cpp) with a low limit of open files, against the same run
// without a fault: every piece left is whole, no temporary file or folder is
// left, and the run says what failed and how many pieces it cost.
#include <gtest/gtest.h>

#include "fault_launch.h"

namespace partwright {
namespace {

namespace fs = std::filesystem;
using fault_launch::CliFaultTest;
using fault_launch::Fault;
using fault_launch::Files;
using fault_launch::FilesIn;
using fault_launch::Outcome;
using fault_launch::WriteBytes;

// 200000 records of 87 bytes or so among 300 values (17 MiB, more than the
// cut holds back), each value's records spread over the whole source: with
// fewer files open than values, every piece is closed and opened again many
// times, and the faults strike in the middle of the cut.
std::string ManyValues() {
    std::string text = "key,text\n";
    for (int i = 0; i < 200000; ++i) {
        std::string value = "v";
        value += std::to_string(i % 300);
        const bool quoted = i % 7 == 0;
        text += quoted ? std::string(1, '"').append(value).append(1, '"') : value;
        text.append(",\"").append(40, static_cast<char>('a' + i % 26)).append("\n").append(40, 'z').append("\"\n");
    }
    return text;
}

enum class Left { All, AllButOne, None };

struct Case {
    Fault fault;
    int status;
    const char* says;  // in what the run prints on standard error
    Left left;
};

TEST_F(CliFaultTest, aCutByColumnLeavesWholePiecesOrNoneAndNoTemporaryFiles) {
    const Case cases[] = {
        {{"write fails part-way", "write:300000:5"}, 1, "Input/output error", Left::AllButOne},
        {{"full disk", "write:300000:28:always"}, 1, "no piece of it is written", Left::None},
        {{"close fails", "close:50:5"}, 1, "Input/output error", Left::AllButOne},
        {{"read fails part-way", "read:300000:5"}, 1, "Input/output error", Left::None},
        {{"file-size limit below every piece", "", 1500}, 1, "File too large", Left::None},
        {{"SIGINT while writing", "stall:300000:0", 0, SIGINT}, 130, "", Left::None},
        {{"SIGABRT while writing", "stall:300000:0", 0, SIGABRT}, 128 + SIGABRT, "", Left::None},
        {{"second SIGTERM while writing", "stall:300000:0", 0, SIGTERM, false, true}, 128 + SIGTERM, "", Left::None},
    };
    const std::string source = ManyValues();
    const auto sourcePath = (dir_ / "run" / "s.csv").string();
    const std::vector<std::string> args{"--by-column", "key", "--header", "1", sourcePath};
    WriteBytes(sourcePath, source);
    ASSERT_EQ(Launch({"none", ""}, args).status, 0);
    Files whole = FilesIn(dir_ / "run");
    whole.erase("s.csv");
    ASSERT_EQ(whole.size(), 300u);
    // The header, 667 records of 87 bytes, 96 of them with the value quoted.
    ASSERT_EQ(whole.at("s-v7.csv").size(), 9 + 667 * 87 + 96 * 2u);

    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault.name);
        fs::remove_all(dir_ / "run");
        fs::create_directory(dir_ / "run");
        WriteBytes(sourcePath, source);
        const Outcome outcome = Launch(c.fault, args, 96);
        Files files = FilesIn(dir_ / "run");
        files.erase("s.csv");
        for (const auto& [name, bytes] : files) {
            ASSERT_TRUE(whole.contains(name)) << name << " is no piece of this run";
            EXPECT_TRUE(bytes == whole.at(name)) << name << " holds " << bytes.size() << " bytes, not the whole piece";
        }
        EXPECT_EQ(outcome.status, c.status) << outcome.err;
        EXPECT_NE(outcome.err.find(c.says), std::string::npos) << outcome.err;
        const std::size_t left = c.left == Left::All ? 300 : c.left == Left::AllButOne ? 299 : 0;
        EXPECT_EQ(files.size(), left) << outcome.err;
        if (c.left == Left::AllButOne) {
            // The one piece missing is the one the failure names.
            for (const auto& [name, bytes] : whole) {
                if (!files.contains(name)) {
                    EXPECT_NE(outcome.err.find(name), std::string::npos) << outcome.err;
                }
            }
        }
    }
}

}  // namespace
}  // namespace partwright
