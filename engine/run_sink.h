#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

#include "engine/cutter.h"
#include "engine/file_identity.h"
#include "engine/piece_writer.h"
#include "engine/split_run.h"
#include "engine/text.h"
#include "engine/utf8_raw.h"

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
// The naming options are read once per piece, when it begins. Every piece
// goes through the writer's temporary file; one whose name depends on its
// first characters is written there before its name is known.
// It takes decoded text, or, for a source in a single-byte code page or in
// UTF-8, bytes (see ByteCoding), which go to the file without being decoded.
class RunSink final : public PieceSink, public BytePieceSink {
public:
    // More letters and digits than this can never make a file name.
    static constexpr std::size_t kMaxNameChars = 4096;

    explicit RunSink(RunContext& run) : run_(run) {}

    // The next source: its piece index starts at 0. `coding` tells how its
    // bytes stand for units when its pieces come as bytes.
    void StartSource(const std::filesystem::path& source, std::optional<ByteCoding> coding = std::nullopt);

    // The source's header with its line end, written at the head of every
    // piece from now on; bytes of the source's code page when its pieces come as bytes.
    void SetHeader(Text header);
    void SetHeader(std::string header);

    bool BeginPiece() override;
    void AppendToPiece(TextView units) override;
    void AppendToPiece(std::string_view bytes) override;
    void EndPiece(bool writeWhenEmpty) override;

    // Drops the piece in progress, leaving no file of it behind; false when
    // no piece was being written.
    bool Abandon();

private:
    enum class State {
        Skipped,        // not written: writing failed, or its failure is reported
        Unnamable,      // no usable name: a failure once the piece turns out to be written
        Named,          // the target is known; the piece is opened on its first content
        Collecting,     // first-characters naming: the name is not known yet
        NamedTemporary  // the name became known while the piece was in a temporary file
    };

    void AppendBytes(std::string_view bytes);
    [[nodiscard]] static std::uint64_t Utf8Size(TextView units);
    [[nodiscard]] std::uint64_t Utf8Size(std::string_view bytes) const;
    void NameFromSettings();
    void Collect(TextView units);
    void NameKnown(TextView units);
    [[nodiscard]] bool OpenUnnamed(Failure& failure);
    [[nodiscard]] bool FailedBeforeNamed();
    [[nodiscard]] bool Open();
    void Write(TextView units);
    void WriteBytes(std::string_view bytes);
    [[nodiscard]] bool WriteHeader();
    void Commit();
    void Skip(const Failure& failure);
    void Unnamable(Failure failure);
    void ResetPiece();

    RunContext& run_;
    std::filesystem::path source_;
    std::filesystem::path nameSource_;  // the source as if it lay in the folder the pieces go to
    Text header_;
    std::string headerBytes_;
    std::int64_t pieceIndex_ = 0;
    bool bytes_ = false;   // the pieces of this source come as bytes
    ByteCoding coding_;    // of those bytes
    ByteUtf8Forms forms_;  // of coding_
    Text decoded_;         // bytes decoded for first-characters naming

    State state_ = State::Skipped;
    std::filesystem::path target_;
    Failure unnamable_{};  // why a piece in State::Unnamable has no name
    bool opened_ = false;  // created (or, in a dry run, planned)
    PieceWriter writer_;

    std::int32_t nameLength_ = 0;
    std::int64_t unitsSeen_ = 0;  // of the first nameLength_ units
    Text nameChars_;
    // A failure of the temporary file before the piece had a name: reported
    // with the name, once it is known.
    std::optional<Failure> unnamedFailure_;
    std::uint64_t plannedBytes_ = 0;  // of the piece's own text, in a dry run
};

}  // namespace partwright
