#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <utility>
#include <vector>

#include "engine/files/file_identity.h"
#include "engine/name/name_ledger.h"
#include "engine/name/older_pieces.h"
#include "partwright/run_interface.h"

namespace partwright {

// The numbers a source's pieces took, as runs of consecutive numbers: pieces
// come in order, so a source without gaps holds one run however many pieces
// it gives.
class TakenNumbers {
public:
    void Add(std::int64_t number);
    [[nodiscard]] bool Contains(std::int64_t number) const;
    [[nodiscard]] bool Empty() const { return runs_.empty(); }
    [[nodiscard]] std::int64_t Lowest() const { return runs_.front().first; }
    [[nodiscard]] std::int64_t Highest() const { return runs_.back().second; }

private:
    std::vector<std::pair<std::int64_t, std::int64_t>> runs_;  // sorted, not overlapping, each first <= second
};

// Stands between a run and its host, passing every call on, to see what the
// run names: once a source's pieces are all written (or planned), it tells
// the host of the files in their folder that the source's numbered or prefix
// naming gives to numbers from its first on which none of its new pieces
// took: older pieces a run with more pieces left past its last one, or in a
// gap its pieces left (an empty piece that is not written, a piece that
// failed) (RunHost::OlderPieceLeft). In a dry run it also counts the planned
// pieces whose names a file holds (RunReport::piecesReplaced), as the writers
// count them in a real run.
class OlderPieceWatch final : public RunHost {
public:
    OlderPieceWatch(RunHost& host, const SplitSettings& settings, const RunOptions& options,
                    const FileIdentitySet& sources, RunReport& report)
        : host_(host), settings_(settings), options_(options), sources_(sources), report_(report) {}

    // The source last begun has every piece settled: reports what it left.
    // Not called for a source the run stopped in.
    void SourceEnded();

    bool Yield() override { return host_.Yield(); }
    void ShowNotice(Notice notice, const std::filesystem::path& source) override;
    void ReportFailure(const Failure& failure) override;
    // A source cut short at the cap leaves its later numbers to older pieces by design: none are counted.
    void SourceCapped(const std::filesystem::path& source) override {
        wholeSource_ = false;
        host_.SourceCapped(source);
    }
    void ReportProgress(const Progress& progress) override;
    void PlannedPiece(const std::filesystem::path& target) override;
    void PlannedPieceSize(const std::filesystem::path& target, std::uint64_t bytes) override {
        host_.PlannedPieceSize(target, bytes);
    }
    void PieceWritten(const std::filesystem::path& target) override;
    void PieceRenamed(const std::filesystem::path& wanted, const std::filesystem::path& given) override;
    void OlderPieceLeft(const std::filesystem::path& source, const std::filesystem::path& older) override {
        host_.OlderPieceLeft(source, older);
    }
    void FewerParts(const std::filesystem::path& source, std::uint64_t pieces) override {
        host_.FewerParts(source, pieces);
    }

private:
    void Named(const std::filesystem::path& target);

    // What a source ended with, for the sources after it: the numbers its
    // pieces took, and past which it reported every file its pieces did not take.
    struct Ended {
        std::uint64_t pattern = 0;  // its folder and CountedNames::Pattern
        std::optional<std::pair<std::int64_t, std::int64_t>> numbers;
        std::optional<std::int64_t> reportedPast;
    };
    // The files the source just ended left, by number.
    [[nodiscard]] std::vector<std::pair<std::int64_t, std::filesystem::path>> LeftOver(std::int64_t past);
    // Whether the folder holds a file names_ gives a number to, as the source begins.
    [[nodiscard]] bool AnyNumberedFile();
    // Whether a later source's file numbered `number` is another source's new piece, or reported by it already.
    [[nodiscard]] bool SeenBefore(std::uint64_t pattern, std::int64_t number) const;

    RunHost& host_;
    const SplitSettings& settings_;
    const RunOptions& options_;
    const FileIdentitySet& sources_;
    RunReport& report_;
    int fileIndex_ = 0;                  // of the source last begun
    std::filesystem::path source_;       // empty when no source is open
    std::filesystem::path folder_;       // its pieces'
    bool wholeSource_ = false;           // every block was cut into pieces
    std::optional<CountedNames> names_;  // its pieces' names, when they are numbered
    std::uint64_t pattern_ = 0;          // of names_ in folder_
    std::int64_t before_ = 0;            // the number before its first piece's
    bool numberedBefore_ = false;        // the folder held a numbered file as the source began
    TakenNumbers taken_;                 // the numbers its pieces wanted
    std::filesystem::path wanted_;       // the name the next piece wanted, when it takes another
    NameLedger folders_;                 // keys folders as the file system tells them apart
    std::vector<Ended> ended_;           // one for each source ended with numbered names
};

}  // namespace partwright
