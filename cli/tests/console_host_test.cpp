#include "cli/console_host.h"
#include <atomic>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>

#include "cli/cli_options.h"

namespace partwright {
namespace {

// A stream in a file of its own under the temporary folder, read back by the
// test. (std::tmpfile would use the drive's root folder on Windows.)
class Capture {
public:
    Capture() {
        static int serial = 0;
        path_ = std::filesystem::temp_directory_path() /
                ("partwright-console-host-test-" + std::to_string(std::random_device{}()) + "-" +
                 std::to_string(serial++));
        file_ = std::fopen(path_.string().c_str(), "w+b");
        if (file_ == nullptr) {
            throw std::runtime_error("cannot create " + path_.string());
        }
    }
    ~Capture() {
        std::fclose(file_);
        std::filesystem::remove(path_);
    }
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;
    [[nodiscard]] std::FILE* get() const { return file_; }
    [[nodiscard]] std::string Text() const {
        std::fflush(file_);
        std::rewind(file_);
        std::string text;
        for (int c; (c = std::fgetc(file_)) != EOF;) {
            text += static_cast<char>(c);
        }
        std::fseek(file_, 0, SEEK_END);  // the host may write on after this read
        return text;
    }

private:
    std::filesystem::path path_;
    std::FILE* file_ = nullptr;
};

TEST(ConsoleHostTest, cleanRunSaysDoneAndExitsZero) {
    Capture out, err;
    ConsoleHost host(out.get(), err.get(), false, false);
    host.PlannedPiece("/d/a-0001.txt");
    RunReport report;
    report.piecesWritten = 1;
    EXPECT_EQ(host.Finish(report), kExitOk);
    EXPECT_EQ(out.Text(), "/d/a-0001.txt\nDone.\n");
    EXPECT_EQ(err.Text(), "");
}

TEST(ConsoleHostTest, failuresGoToStderrAsTheyHappenAndTheRunEndsWithStatusOne) {
    Capture out, err;
    ConsoleHost host(out.get(), err.get(), false, false);
    const Failure failure{Failure::Kind::OpenSource, "/d/missing.txt", "No such file or directory"};
    host.ReportFailure(failure);
    EXPECT_EQ(err.Text(), "partwright-cli: " + Describe(failure) + "\n");  // before the run ends

    RunReport report;
    report.failures.push_back(failure);
    EXPECT_EQ(host.Finish(report), kExitFailed);
    EXPECT_EQ(out.Text(), "Done.\n");
}

TEST(ConsoleHostTest, aBlockWithoutPiecesIsNotASuccess) {
    Capture out, err;
    ConsoleHost host(out.get(), err.get(), true, false);
    host.ShowNotice(Notice::LinesNotNumber, "/d/a.txt");
    RunReport report;
    report.blocksNotCut = 1;
    EXPECT_EQ(host.Finish(report), kExitFailed);
    EXPECT_EQ(out.Text(), "");  // quiet
    EXPECT_EQ(err.Text(), "partwright-cli: /d/a.txt: Every x number of lines, where x can only be a number.\n");
}

TEST(ConsoleHostTest, aStopRequestStopsTheRunWhichIsThenNotDone) {
    Capture out, err;
    std::atomic<int> stop{0};
    ConsoleHost host(out.get(), err.get(), false, false, &stop);
    EXPECT_TRUE(host.Yield());
    stop.store(1);
    EXPECT_FALSE(host.Yield());

    // Between pieces nothing was removed, and the message does not say so.
    RunReport report;
    report.stopped = true;
    EXPECT_EQ(host.Finish(report), kExitInterrupted);
    EXPECT_EQ(out.Text(), "");
    EXPECT_EQ(err.Text(), "partwright-cli: stopped before the end\n");
    report.pieceRemoved = true;
    EXPECT_EQ(host.Finish(report), kExitInterrupted);
    EXPECT_NE(err.Text().find("the piece being written was removed"), std::string::npos);
}

TEST(ConsoleHostTest, progressLineIsClearedBeforeAFailureAndAtTheEnd) {
    Capture out, err;
    ConsoleHost host(out.get(), err.get(), false, true);
    Progress progress;
    progress.fileIndex = 1;
    progress.fileCount = 2;
    progress.sourceBytes = 3 << 20;
    progress.bytesRead = 1 << 20;
    progress.piecesWritten = 7;
    host.ReportProgress(progress);
    const std::string line = "file 1 of 2: 1 of 3 MiB read, 7 pieces written";
    EXPECT_EQ(err.Text(), std::string(1, '\r') + line);

    host.ReportFailure(Failure{Failure::Kind::WritePiece, "/d/x.txt", "Permission denied"});
    std::string blank(line.size() + 2, ' ');  // "\r", spaces over the line, "\r"
    blank.front() = '\r';
    blank.back() = '\r';
    EXPECT_EQ(err.Text().substr(0, 1 + line.size() + blank.size()), std::string(1, '\r') + line + blank);
    EXPECT_EQ(host.Finish(RunReport{}), kExitFailed);  // the host counts what it was told, too
    EXPECT_EQ(out.Text(), "Done.\n");
}

}  // namespace
}  // namespace partwright
