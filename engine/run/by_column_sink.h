#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/cut/csv_field.h"
#include "engine/cut/cutter.h"
#include "engine/files/native_file.h"
#include "engine/name/name_ledger.h"
#include "engine/name/name_template.h"
#include "engine/run/run_context.h"

namespace partwright {

// Gathers the records of a source into one piece per value of a field
// (RunOptions::byColumn), each behind the source's header, in source order.
// The cutter hands it one record a piece. Every value's piece grows in a
// named temporary file of a hidden folder beside the pieces, at most
// kMaxOpenFiles of them open at once (the least recently written is closed
// and opened again to append), and the pieces are given their names only once
// the whole source is read: each is whole or absent. What it holds for a
// value is its text, its temporary file's number and what it holds back to
// write (kBufferedBytes for all values together).
class ByColumnSink final : public PieceSink {
public:
    static constexpr std::size_t kMaxOpenFiles = 120;
    // What a value holds back before it writes, at most; and all values together,
    // past which those that hold the most write.
    static constexpr std::size_t kValueBufferBytes = 32 * 1024;
    static constexpr std::size_t kBufferedBytes = 8 * 1024 * 1024;

    explicit ByColumnSink(RunContext& run);
    ~ByColumnSink() override;
    ByColumnSink(const ByColumnSink&) = delete;
    ByColumnSink& operator=(const ByColumnSink&) = delete;

    // The next source (its pieces go where `nameSource` lies, named after it).
    void StartSource(const std::filesystem::path& source, const std::filesystem::path& nameSource);
    // The source's header, as the reader hands it on: written at the head of
    // every piece, and where a field named by its text is looked up.
    void SetHeader(std::string_view header);

    bool BeginPiece() override;
    void AppendToPiece(std::string_view bytes) override;
    void EndPiece(bool writeWhenEmpty) override;

    // The source is read whole: its pieces are named (or, in a dry run, planned).
    void Publish();
    // The source is not to give pieces (a stop, a failure to read it, a cut
    // made again): removes every temporary file of it.
    void Discard();

private:
    struct Value {
        std::uint64_t number = 0;  // of its temporary file, from 1, in order of first appearance
        int open = -1;             // its open file, or -1
        bool created = false;      // its temporary file exists
        bool failed = false;
        std::uint64_t bytes = 0;  // as written, head and header included
        std::string buffer;       // written, not yet in its file
    };
    struct OpenFile {
        NativeFile file;
        Value* value = nullptr;
        std::uint64_t lastUse = 0;
    };

    [[nodiscard]] bool ResolveColumn(std::string_view header);
    [[nodiscard]] Value& ValueOf(const std::string& text);
    void Write(Value& value, std::string_view bytes);
    [[nodiscard]] bool Open(Value& value);
    // Closes the least recently written file, or takes a free place: the place.
    [[nodiscard]] std::size_t FreePlace();
    std::size_t CloseOldest();
    [[nodiscard]] bool Flush(Value& value);
    void FlushLargest();
    void Release(Value& value);
    void CloseChecked(OpenFile& open);
    // Forgets the file, closed without a word (it failed, or the source is dropped).
    void CloseFile(OpenFile& open);
    [[nodiscard]] bool MakeFolder();
    void FailValue(Value& value, const std::string& reason);
    void FailSource(const std::string& reason, Failure::Kind kind = Failure::Kind::WritePiece);
    [[nodiscard]] std::filesystem::path WantedName(std::string_view value) const;
    [[nodiscard]] std::filesystem::path TemporaryOf(const Value& value) const;
    void PublishOne(const std::string& text, Value& value);
    void Clear();

    RunContext& run_;
    std::filesystem::path source_;
    std::filesystem::path nameSource_;
    NativeFolder folder_;     // where the pieces go
    std::int64_t field_ = 0;  // 0: not known (a field named, the header not read yet)
    std::optional<CsvFieldReader> reader_;
    std::optional<NameTemplate> template_;  // with NamingMode::Template
    std::string header_;                    // as written, after the head
    bool sourceFailed_ = false;

    // The record in progress: its bytes until its value is read, then the value they go to.
    std::string held_;
    Value* current_ = nullptr;
    bool inRecord_ = false;

    std::unordered_map<std::string, Value> values_;
    std::vector<const std::string*> order_;  // the values in order of first appearance
    std::unique_ptr<OpenFile[]> open_;       // kMaxOpenFiles of them
    std::uint64_t uses_ = 0;
    // The files it keeps open at most: kMaxOpenFiles, lowered whenever the
    // system refuses to open one more (a low limit on open files).
    std::size_t maxOpen_ = kMaxOpenFiles;
    std::size_t openCount_ = 0;
    std::size_t buffered_ = 0;  // held back by all values
    std::size_t maxBuffered_;   // kBufferedBytes, or the run's seam's
    std::size_t maxValueBuffered_;
    std::string scratch_;

    std::filesystem::path temporaryFolder_;  // empty until the first file of the source
    NativeFolder temporaries_;
    int trackedSlot_ = -1;

    NameLedger names_;
};

}  // namespace partwright
