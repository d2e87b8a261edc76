// Standard input as a source, fed to the built program through a pipe in
// small writes of odd sizes, against the same text split from a file; and
// the command lines the new options refuse before anything is written.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace partwright {
namespace {

namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>;

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Files FilesIn(const fs::path& folder) {
    Files files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        files[entry.path().filename().string()] = ReadBytes(entry.path());
    }
    return files;
}

class Folder {
public:
    Folder() {
        static std::atomic<int> serial{0};
        path_ = fs::temp_directory_path() /
                ("partwright-feed-" + std::to_string(getpid()) + "-" + std::to_string(serial++));
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~Folder() { fs::remove_all(path_); }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

struct Result {
    int status = -1;
    std::string err;
};

// Runs the program in `folder` with `args`, writing `input` to its standard
// input in writes of 1, 2, 3, 5, 7, ... 4099 bytes, over and over.
Result RunProgram(const fs::path& folder, const std::vector<std::string>& args, const std::string& input) {
    // A program that refuses its command line exits before reading: the write then fails, no signal.
    std::signal(SIGPIPE, SIG_IGN);
    int in[2];
    int err[2];
    if (pipe(in) != 0 || pipe(err) != 0) return {};
    const pid_t child = fork();
    if (child == 0) {
        dup2(in[0], 0);
        dup2(err[1], 2);
        close(in[1]);
        close(err[0]);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        if (chdir(folder.c_str()) != 0) _exit(126);
        std::vector<char*> argv{const_cast<char*>(PARTWRIGHT_CLI_PATH)};
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        setenv("LC_ALL", "C", 1);
        execv(PARTWRIGHT_CLI_PATH, argv.data());
        _exit(127);
    }
    close(in[0]);
    close(err[1]);
    const std::size_t sizes[] = {1, 2, 3, 5, 7, 11, 13, 251, 4099};
    std::size_t at = 0;
    for (std::size_t k = 0; at < input.size(); ++k) {
        const std::size_t step = std::min(sizes[k % std::size(sizes)], input.size() - at);
        if (write(in[1], input.data() + at, step) != static_cast<ssize_t>(step)) break;  // refused: it exited
        at += step;
        if (k % 97 == 0) usleep(200);  // now and then the reader finds the pipe empty
    }
    close(in[1]);
    Result result;
    char buffer[4096];
    ssize_t got = 0;
    while ((got = read(err[0], buffer, sizeof buffer)) > 0) result.err.append(buffer, static_cast<std::size_t>(got));
    close(err[0]);
    int status = 0;
    waitpid(child, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string GeneratedText(std::mt19937& random, bool utf16) {
    std::string text = utf16 ? std::string("\xFF\xFE", 2) : std::string();
    const char* words[] = {"alpha", "b\xC3\xA9ta", "\xE2\x82\xAC", "|", "", "gamma delta"};
    for (int line = 0; line < 3000; ++line) {
        std::string piece;
        for (int k = static_cast<int>(random() % 6); k > 0; --k) piece += words[random() % std::size(words)];
        piece += "\r\n";
        if (!utf16) {
            text += piece;
            continue;
        }
        for (const char c : piece) {  // these words' UTF-16 in ASCII and the two below
            text += c;
            text += '\0';
        }
    }
    return text;
}

TEST(CliStandardInput, piecesOfAPipeFedInOddSizesMatchThoseOfTheSameFile) {
    std::mt19937 random(5);
    struct Case {
        std::vector<std::string> options;
        std::string stdinName;  // "" for the default
        bool intoOutputDir = false;
        bool utf16 = false;
    };
    const Case cases[] = {
        {{"--lines", "7"}, "", false, false},
        {{"--separator", "|", "--name-template", "{name}_{n:00}.{ext}"}, "feed.csv", true, false},
        {{"--max-bytes", "2K", "--compress", "gzip"}, "in.log", false, false},
        {{"--first-chars", "6", "--max-pieces", "40"}, "", true, false},
        {{"--blank-lines"}, "wide.txt", false, true},
    };
    for (const Case& c : cases) {
        const std::string text = GeneratedText(random, c.utf16);
        const std::string name = c.stdinName.empty() ? "stdin.txt" : c.stdinName;
        Folder fromFile;
        Folder fromPipe;
        Folder output;
        { std::ofstream(fromFile.path() / name, std::ios::binary) << text; }
        std::vector<std::string> fileArgs = c.options;
        fileArgs.push_back(name);
        const Result file = RunProgram(fromFile.path(), fileArgs, "");
        ASSERT_EQ(file.status, 0) << file.err;
        std::vector<std::string> pipeArgs = c.options;
        if (!c.stdinName.empty()) pipeArgs.insert(pipeArgs.end(), {"--stdin-name", c.stdinName});
        if (c.intoOutputDir) pipeArgs.insert(pipeArgs.end(), {"--output-dir", output.path().string()});
        pipeArgs.push_back("-");
        const Result piped = RunProgram(fromPipe.path(), pipeArgs, text);
        SCOPED_TRACE(c.options[0] + " into " + name);
        EXPECT_EQ(piped.status, 0) << piped.err;
        Files expected = FilesIn(fromFile.path());
        expected.erase(name);
        EXPECT_GT(expected.size(), 3U);
        EXPECT_EQ(FilesIn(c.intoOutputDir ? output.path() : fromPipe.path()), expected);
    }
}

TEST(CliStandardInput, optionsThatCannotBeUsedAreRefusedBeforeAnythingIsWritten) {
    const std::vector<std::vector<std::string>> refused = {
        {"--max-pieces", "0", "-"},
        {"--max-pieces", "two", "-"},
        {"--max-pieces", "-3", "-"},
        {"--name-template", "{x}-{n}", "-"},
        {"--name-template", "a/{n}", "-"},
        {"--name-template", "com{n}.txt", "-"},
        {"--name-template", "{n}", "--prefix", "p", "-"},
        {"--stdin-name", "", "-"},
        {"--stdin-name", "a/b.txt", "-"},
        {"--stdin-name", "nul.txt", "-"},
        {"--compress", "zip", "-"},
        {"-", "-"},
        {"--parts", "2", "-"},
    };
    for (const auto& args : refused) {
        SCOPED_TRACE(args[0] + " " + args[1]);
        Folder folder;
        const Result result = RunProgram(folder.path(), args, "a\r\nb\r\n");
        EXPECT_EQ(result.status, 2) << result.err;
        EXPECT_NE(result.err.find("partwright-cli: "), std::string::npos);
        EXPECT_TRUE(FilesIn(folder.path()).empty());
    }
}

}  // namespace
}  // namespace partwright
