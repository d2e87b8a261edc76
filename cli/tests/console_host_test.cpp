#include "cli/console_host.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "cli/cli_options.h"

namespace partwright {
namespace {

// A temporary stream whose contents the test reads back.
class Capture {
public:
    Capture() : file_(std::tmpfile()) {}
    ~Capture() { std::fclose(file_); }
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;
    [[nodiscard]] std::FILE* get() const { return file_; }
    [[nodiscard]] std::string Text() const
    {
        std::fflush(file_);
        std::rewind(file_);
        std::string text;
        for (int c; (c = std::fgetc(file_)) != EOF;) {
            text += static_cast<char>(c);
        }
        return text;
    }

private:
    std::FILE* file_;
};

TEST(ConsoleHostTest, cleanRunSaysDoneAndExitsZero)
{
    Capture out, err;
    ConsoleHost host(out.get(), err.get(), false, false);
    host.PlannedPiece("/d/a-0001.txt");
    RunReport report;
    report.piecesWritten = 1;
    EXPECT_EQ(host.Finish(report), kExitOk);
    EXPECT_EQ(out.Text(), "/d/a-0001.txt\nDone.\n");
    EXPECT_EQ(err.Text(), "");
}

TEST(ConsoleHostTest, failuresGoToStderrAsTheyHappenAndTheRunEndsWithStatusOne)
{
    Capture out, err;
    ConsoleHost host(out.get(), err.get(), false, false);
    const Failure failure{Failure::Kind::ReadSource, "/d/missing.txt", "No such file or directory"};
    host.ReportFailure(failure);
    EXPECT_EQ(err.Text(), "partwright-cli: " + Describe(failure) + "\n");  // before the run ends

    RunReport report;
    report.failures.push_back(failure);
    EXPECT_EQ(host.Finish(report), kExitFailed);
    EXPECT_EQ(out.Text(), "Done.\n");
}

TEST(ConsoleHostTest, aBlockWithoutPiecesIsNotASuccess)
{
    Capture out, err;
    ConsoleHost host(out.get(), err.get(), true, false);
    host.ShowNotice(Notice::LinesNotNumber, "/d/a.txt");
    RunReport report;
    report.noticesShown = 1;
    EXPECT_EQ(host.Finish(report), kExitFailed);
    EXPECT_EQ(out.Text(), "");  // quiet
    EXPECT_EQ(err.Text(), "partwright-cli: /d/a.txt: Every x number of lines, where x can only be a number.\n");
}

TEST(ConsoleHostTest, progressLineIsClearedBeforeAFailureAndAtTheEnd)
{
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
