#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>

#include "engine/files/native_file.h"

namespace partwright {

class Utf8Validator;

// Whether `source` stands for standard input ("-").
[[nodiscard]] bool IsStandardInput(const std::filesystem::path& source);
// Whether `source` is read as the gzip archive its name says it is (".gz", in any case).
[[nodiscard]] bool IsGzipSource(const std::filesystem::path& source);

// Where the reader takes a source's bytes from: the file as it lies, the
// text a gzip file holds (inflated as it is read, in bounded memory), or
// standard input. The calls are NativeFile's, so the reader reads all three
// alike; only a file has a length known when opened.
class SourceInput {
public:
    // size() of a source whose length is known only once it has been read to its end.
    static constexpr std::uint64_t kUnknownSize = std::numeric_limits<std::uint64_t>::max();

    SourceInput();
    ~SourceInput();
    SourceInput(const SourceInput&) = delete;
    SourceInput& operator=(const SourceInput&) = delete;

    // Opens `source` as its name says (see IsStandardInput, IsGzipSource).
    [[nodiscard]] bool OpenForReading(const std::filesystem::path& source, std::string& reason);
    // Reads until `size` bytes are in or the source ends; `got` says how
    // many. A gzip archive that is cut off or damaged fails here, its reason
    // saying which, after giving the bytes before the damage.
    [[nodiscard]] bool Read(char* data, std::size_t size, std::size_t& got, std::string& reason);
    // Moves to `offset` bytes of the text from its start: a gzip archive is
    // inflated again from its start; standard input cannot go back.
    [[nodiscard]] bool Seek(std::uint64_t offset, std::string& reason);
    void Close();

    [[nodiscard]] bool isOpen() const;
    // A file (or an archive) that is no device or pipe; standard input is taken as it comes.
    [[nodiscard]] bool isRegular() const;
    // Whether Seek can go back: not on standard input.
    [[nodiscard]] bool canSeek() const { return kind_ != Kind::StandardInput; }
    // The length of the text, or kUnknownSize (a gzip archive, standard input).
    [[nodiscard]] std::uint64_t size() const;
    // The file read as it lies, or null: its bytes are the text's own only then.
    [[nodiscard]] NativeFile* plainFile() { return kind_ == Kind::File ? &file_ : nullptr; }

private:
    enum class Kind { File, Gzip, StandardInput };
    struct Inflater;
    [[nodiscard]] bool ReadInflated(char* data, std::size_t size, std::size_t& got, std::string& reason);
    [[nodiscard]] bool Rewind(std::string& reason);

    Kind kind_ = Kind::File;
    NativeFile file_;
    std::unique_ptr<Inflater> inflater_;
    bool stdinOpen_ = false;
};

// CheckRestIsUtf8 (rest_check.h) for any input: a text that is not a plain
// file is read on to its end and inflated again up to `from`.
[[nodiscard]] bool CheckRestIsUtf8(SourceInput& input, std::uint64_t from, std::uint64_t size, Utf8Validator& check,
                                   bool& valid, std::string& reason);

}  // namespace partwright
