#pragma once
// Launches the built partwright-cli with a fault (the LD_PRELOAD shim of
// fault_shim.cpp, a file-size limit, a signal once the shim stalls) in a
// fresh folder, for the fault tests.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace partwright::fault_launch {

namespace fs = std::filesystem;

using Files = std::map<std::string, std::string>;

inline constexpr const char* kOlder = "an older file of this name, to be kept";

inline std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Every file in `folder` by name with its bytes, temporary files included.
inline Files FilesIn(const fs::path& folder) {
    Files files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        // A folder (a by-column cut's temporary one) reads as its name alone.
        files[entry.path().filename().string()] = entry.is_directory() ? "<folder>" : ReadBytes(entry.path());
    }
    return files;
}

struct Fault {
    const char* name;
    std::string shim;             // PARTWRIGHT_FAULT, or "" for none
    rlim_t fileSizeLimit = 0;     // bytes, or 0 for none
    int signal = 0;               // sent once the shim stalls
    bool noUnnamedFiles = false;  // the file system has no files without a name (O_TMPFILE)
    bool twice = false;           // the signal comes a second time, which ends the program
};

struct Outcome {
    int status = -1;  // exit status, or 128 + the signal that ended it
    std::string err;
};

class CliFaultTest : public testing::Test {
protected:
    void SetUp() override {
        std::random_device seed;
        dir_ = fs::temp_directory_path() / ("partwright-fault-" + std::to_string(std::mt19937_64(seed())()));
        ASSERT_TRUE(fs::create_directories(dir_ / "run"));
    }
    void TearDown() override { fs::remove_all(dir_); }

    // `openFiles`: a limit on the files the program may hold open, or 0 for none.
    Outcome Launch(const Fault& fault, const std::vector<std::string>& args, rlim_t openFiles = 0) {
        const fs::path mark = dir_ / "stalled";
        fs::remove(mark);
        const pid_t child = fork();
        if (child == 0) {
            if (!fault.shim.empty()) {
                setenv("LD_PRELOAD", PARTWRIGHT_FAULT_SHIM, 1);
                setenv("PARTWRIGHT_FAULT", fault.shim.c_str(), 1);
                setenv("PARTWRIGHT_FAULT_MARK", mark.c_str(), 1);
                setenv("ASAN_OPTIONS", "verify_asan_link_order=0", 1);
                if (fault.noUnnamedFiles) setenv("PARTWRIGHT_FAULT_NO_TMPFILE", "1", 1);
            }
            if (openFiles != 0) {
                const rlimit limit{openFiles, openFiles};
                setrlimit(RLIMIT_NOFILE, &limit);
            }
            if (fault.fileSizeLimit != 0) {
                const rlimit limit{fault.fileSizeLimit, fault.fileSizeLimit};
                setrlimit(RLIMIT_FSIZE, &limit);
            }
            if (!freopen("/dev/null", "w", stdout) || !freopen((dir_ / "err").c_str(), "w", stderr)) _exit(99);
            std::vector<char*> argv{const_cast<char*>(PARTWRIGHT_CLI_PATH)};
            for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
            argv.push_back(nullptr);
            execv(PARTWRIGHT_CLI_PATH, argv.data());
            _exit(98);
        }
        if (fault.signal != 0) {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (!fs::exists(mark) && std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            EXPECT_TRUE(fs::exists(mark)) << "the program never reached the stall";
            kill(child, fault.signal);
            if (fault.twice) {
                // Apart, so that the two are not merged into one pending signal.
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                kill(child, fault.signal);
            }
            fs::remove(mark);  // the signal is on its way: the program may go on
        }
        int raw = 0;
        waitpid(child, &raw, 0);
        Outcome outcome;
        outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        outcome.err = ReadBytes(dir_ / "err");
        return outcome;
    }

    fs::path dir_;
};

}  // namespace partwright::fault_launch
