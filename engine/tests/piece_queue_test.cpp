// The writer queue against a literal model of what each piece holds: steps of
// bytes and of ranges of a source file, in any mix, on the run's own thread
// and on writer threads, give the same files; and what the writers hold is
// never much more than the queue's limit.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <random>
#include <stop_token>
#include <string>
#include <vector>

#include "engine/files/native_file.h"
#include "engine/tests/temp_folder.h"
#include "engine/write/piece_queue.h"

namespace partwright {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

std::shared_ptr<const NativeFile> OpenSource(const fs::path& path) {
    auto file = std::make_shared<NativeFile>();
    std::string reason;
    EXPECT_TRUE(file->OpenForReading(path, reason)) << reason;
    return file;
}

// Ranges that are exact neighbours, ranges with a gap between them, ranges
// that go back, bytes between them, and pieces abandoned: each piece holds
// exactly what it was given, in order.
TEST(PieceQueue, piecesHoldExactlyTheirStepsOnEveryThreadCount) {
    std::mt19937 random(20261208);
    std::string sourceBytes(200000, '\0');
    for (char& c : sourceBytes) c = static_cast<char>('a' + random() % 26);
    for (int round = 0; round < 12; ++round) {
        const int writers = std::array{0, 1, 2, 4}[round % 4];
        SCOPED_TRACE(::testing::Message() << "round " << round << ", writer threads: " << writers);
        TempFolder folder;
        WriteBytes(folder / "source.txt", sourceBytes);
        const auto source = OpenSource(folder / "source.txt");
        const FileIdentitySet noSources;
        std::map<std::string, std::string> expected;
        {
            std::stop_source stop;
            PieceQueue queue(writers, stop.get_token(), nullptr);
            for (int piece = 0; piece < 200; ++piece) {
                const std::string name = std::to_string(piece) + ".txt";
                queue.Open(folder / name, noSources);
                std::string holds;
                std::uint64_t at = random() % sourceBytes.size();
                const int steps = static_cast<int>(random() % 6);
                for (int step = 0; step < steps; ++step) {
                    // Where the system cannot read at offsets, ranges are not handed over.
                    if (!kCanReadAtOffsets || random() % 3 == 0) {
                        const std::string bytes(random() % 5000, static_cast<char>('A' + step));
                        queue.Append(bytes);
                        holds += bytes;
                        continue;
                    }
                    // Next to the last range, past a gap, or back before it.
                    const unsigned where = random() % 3;
                    if (where == 1) at += 1 + random() % 100;
                    if (where == 2) at = random() % sourceBytes.size();
                    at = std::min<std::uint64_t>(at, sourceBytes.size());
                    const std::uint64_t size = std::min<std::uint64_t>(random() % 70000, sourceBytes.size() - at);
                    queue.AppendFrom(source, at, size);
                    holds += sourceBytes.substr(at, size);
                    at += size;
                }
                if (random() % 8 == 0) {
                    queue.Abandon();
                } else {
                    queue.Commit(nullptr, noSources);
                    expected[name] = holds;
                }
            }
            PieceQueue::Outcome outcome;
            while (queue.TakeOutcome(outcome, true)) EXPECT_FALSE(outcome.failure) << outcome.failure->reason;
        }
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::directory_iterator(folder.path())) {
            if (entry.path().filename() != "source.txt")
                files[entry.path().filename().string()] = ReadBytes(entry.path());
        }
        EXPECT_EQ(files.size(), expected.size());
        for (const auto& [name, holds] : expected) {
            ASSERT_TRUE(files.contains(name)) << name;
            EXPECT_TRUE(files[name] == holds)
                << name << " holds " << files[name].size() << " bytes, not the " << holds.size() << " it was given";
        }
    }
}

// The run's thread hands over bytes much faster than a writer can write
// them: it waits, and the bytes held never pass the limit by more than one
// step.
TEST(PieceQueue, bytesHandedOverAndNotWrittenStayWithinTheLimit) {
    TempFolder folder;
    const FileIdentitySet noSources;
    const std::string step(1 << 20, 'x');
    std::size_t most = 0;
    std::stop_source stop;
    PieceQueue queue(1, stop.get_token(), nullptr);
    for (int piece = 0; piece < 4; ++piece) {
        queue.Open(folder / (std::to_string(piece) + ".txt"), noSources);
        for (int part = 0; part < 64; ++part) {
            queue.Append(step);
            most = std::max(most, queue.bytesHeld());
        }
        queue.Commit(nullptr, noSources);
    }
    PieceQueue::Outcome outcome;
    while (queue.TakeOutcome(outcome, true)) EXPECT_TRUE(outcome.written);
    // (Without the wait for room, a release build holds about 55 MiB here.)
    EXPECT_LE(most, PieceQueue::kMaxBytesInFlight + step.size());
}

}  // namespace
}  // namespace partwright
