#pragma once

// What the tests of whole runs share: a fresh folder per test, a list of
// paths, a host that records what the run tells it, and option presets.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "partwright/split_run.h"

namespace partwright::run_test {

namespace fs = std::filesystem;

// A fresh folder of its own for every test, removed with what is in it.
class Folder {
public:
    Folder() {
        std::random_device seed;
        std::mt19937_64 random(seed());
        for (;;) {
            path_ = fs::temp_directory_path() / ("partwright-run-" + std::to_string(random()));
            if (fs::create_directory(path_)) break;
        }
    }
    ~Folder() {
        std::error_code ignored;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(path_, ignored);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    fs::path operator/(const std::string& name) const { return path_ / name; }
    const fs::path& path() const { return path_; }

    fs::path Write(const std::string& name, const std::string& bytes) const {
        std::ofstream out(path_ / name, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return path_ / name;
    }
    // Every file in the folder and its subfolders, by path from the folder, with its bytes.
    std::map<std::string, std::string> Files() const {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(path_)) {
            if (entry.is_symlink() || !entry.is_regular_file()) continue;
            std::ifstream in(entry.path(), std::ios::binary);
            std::string bytes(static_cast<std::size_t>(entry.file_size()), '\0');
            in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            files[fs::relative(entry.path(), path_).generic_string()] = std::move(bytes);
        }
        return files;
    }

private:
    fs::path path_;
};

struct PathList final : SourceList {
    std::vector<fs::path> paths;
    PathList(std::initializer_list<fs::path> list) : paths(list) {}
    int Count() const override { return static_cast<int>(paths.size()); }
    fs::path At(int position) const override { return paths.at(static_cast<std::size_t>(position - 1)); }
};

struct RecordingHost final : RunHost {
    int stopAtYield = -1;  // the yield, counted from 1, that asks for a stop
    int yields = 0;
    std::vector<fs::path> notices;
    std::vector<Failure> failures;
    std::vector<fs::path> planned;
    std::vector<fs::path> written;
    int progressCalls = 0;
    Progress lastProgress;

    bool Yield() override { return ++yields != stopAtYield; }
    void ShowNotice(Notice notice, const fs::path& source) override {
        EXPECT_EQ(notice, Notice::LinesNotNumber);
        notices.push_back(source);
    }
    void ReportFailure(const Failure& failure) override { failures.push_back(failure); }
    void ReportProgress(const Progress& progress) override {
        ++progressCalls;
        lastProgress = progress;
    }
    void PlannedPiece(const fs::path& target) override { planned.push_back(target); }
    void PieceWritten(const fs::path& target) override { written.push_back(target.filename()); }
};

FixedSettings Lines(const Text& n) {
    FixedSettings settings;
    settings.split = SplitMode::Lines;
    settings.linesPerPiece = ReadLinesPerPiece(n);
    return settings;
}

FixedSettings Separator(const Text& separator) {
    FixedSettings settings;
    settings.split = SplitMode::Separator;
    settings.separator = separator;
    return settings;
}

std::string Utf16(const std::u16string& text) {
    std::string bytes;
    for (char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

using Files = std::map<std::string, std::string>;

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every entry under `folder`, by name; a folder (a temporary one left behind) reads as "<folder>".
Files FilesIn(const fs::path& folder) {
    Files files;
    for (const auto& entry : fs::directory_iterator(folder))
        files[entry.path().filename().string()] = entry.is_directory() ? "<folder>" : ReadText(entry);
    return files;
}

// Runs a Python oracle that writes `cases` generated cases into `folder`
// (one subfolder each); its seed is PARTWRIGHT_SEED when set, to run a failing
// one again, else a fresh one, which it returns (trace it).
std::uint32_t RunOracle(const char* script, int cases, const fs::path& folder) {
    const char* const given = std::getenv("PARTWRIGHT_SEED");
    const std::uint32_t seed = given ? static_cast<std::uint32_t>(std::stoul(given)) : std::random_device{}();
    const std::string command = "python3 \"" + std::string(script) + "\" " + std::to_string(seed) + " " +
                                std::to_string(cases) + " \"" + folder.string() + "\"";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return seed;
}

RunOptions DryRun() {
    RunOptions options;
    options.dryRun = true;
    return options;
}

RunOptions WholeFile() {
    RunOptions options;
    options.reading.wholeFile = true;
    return options;
}

// 1.0.0's reading: 30000-byte blocks in the system's code page, CR LF lines.
RunOptions Blocks() {
    RunOptions options;
    options.reading.wholeFile = false;
    options.reading.codepage = "system";
    options.lineEnd = LineEnd::CrLf;
    return options;
}

}  // namespace partwright::run_test
