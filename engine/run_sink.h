#pragma once

#include <cstdint>
#include <filesystem>

#include "engine/cutter.h"
#include "engine/file_identity.h"
#include "engine/piece_writer.h"
#include "engine/split_run.h"
#include "engine/text.h"

namespace partwright {

// What one run shares with the sink that names and writes its pieces.
struct RunContext {
    const SplitSettings& settings;
    RunHost& host;
    const RunOptions& options;
    const FileIdentitySet& sources;
    RunReport& report;
    Progress& progress;

    void Fail(const Failure& failure) {
        host.ReportFailure(failure);
        report.failures.push_back(failure);
    }
};

// Names and writes the pieces of one source as the cutter hands them over.
// The naming options are read once per piece, when it begins. A piece whose
// name depends on its first characters is held in memory until the name is
// known, or, past a bounded size, in a temporary file that is renamed at the end.
class RunSink final : public PieceSink {
public:
    // Units of a piece start kept in memory while its name is not known yet.
    static constexpr std::size_t kMaxHeldUnits = std::size_t{1} << 20;
    // More letters and digits than this can never make a file name.
    static constexpr std::size_t kMaxNameChars = 4096;

    explicit RunSink(RunContext& run) : run_(run) {}

    // The next source: its piece index starts at 0.
    void StartSource(const std::filesystem::path& source);

    bool BeginPiece() override;
    void AppendToPiece(TextView units) override;
    void EndPiece(bool writeWhenEmpty) override;

    // Drops the piece in progress, leaving no file of it behind.
    void Abandon();

private:
    enum class State {
        Skipped,        // not written: no usable name, or writing failed
        Named,          // the target is known; the piece is opened on its first content
        Collecting,     // first-characters naming: the name is not known yet
        NamedTemporary  // the name became known while the piece was in a temporary file
    };

    void NameFromSettings();
    void Collect(TextView units);
    void NameKnown(TextView units);
    [[nodiscard]] bool Open();
    void Write(TextView units);
    void Commit();
    void Skip(const Failure& failure);
    void ResetPiece();

    RunContext& run_;
    std::filesystem::path source_;
    std::int64_t pieceIndex_ = 0;

    State state_ = State::Skipped;
    std::filesystem::path target_;
    bool opened_ = false;  // created (or, in a dry run, planned)
    PieceWriter writer_;

    std::int32_t nameLength_ = 0;
    std::int64_t unitsSeen_ = 0;  // of the first nameLength_ units
    Text nameChars_;
    Text heldStart_;
    bool inTemporary_ = false;
};

}  // namespace partwright
