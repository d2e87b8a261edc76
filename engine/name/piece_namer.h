#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "engine/name/name_template.h"
#include "partwright/failure.h"
#include "partwright/run_interface.h"
#include "partwright/text.h"

namespace partwright {

// Names one piece as the naming options say, read once when it begins:
// numbered, a prefix and a counter, or the letters and digits among its
// first characters (UTF-16 code units: a character beyond U+FFFF counts as
// two), collected from the piece's text (see text_form.h) as it comes.
class PieceNamer {
public:
    // More letters and digits than this can never make a file name.
    static constexpr std::size_t kMaxNameChars = 4096;

    enum class Start {
        Named,       // the name is known
        Collecting,  // first characters: Collect until complete(), then Name()
        Unnamable,   // the naming options give no name: the failure says why
    };

    // Every name from now on ends in `suffix` (".gz" for compressed pieces).
    void AddToNames(NativeString suffix) { suffix_ = std::move(suffix); }

    // The piece numbered `number` (from 1) of `source` begins; `nameSource` is
    // the source as if it lay in the folder the pieces go to. Sets `target` when
    // Named, `failure` when Unnamable.
    [[nodiscard]] Start Begin(const SplitSettings& settings, const std::filesystem::path& source,
                              const std::filesystem::path& nameSource, std::int64_t number,
                              std::filesystem::path& target, Failure& failure);

    // Takes from the front of `bytes` the code units the name still wants;
    // returns how many bytes they are.
    std::size_t Collect(std::string_view bytes);
    // All the units the name wants are in.
    [[nodiscard]] bool complete() const { return unitsSeen_ == nameLength_; }
    // Code units collected so far.
    [[nodiscard]] std::int64_t unitsSeen() const { return unitsSeen_; }
    // Too many letters and digits for a name: the failure to report, or nothing.
    [[nodiscard]] bool tooLong() const { return nameChars_.size() > kMaxNameChars; }
    [[nodiscard]] Failure TooLong() const;
    // The name from what was collected: all of the piece when it was shorter than the name length.
    [[nodiscard]] std::filesystem::path Name() const;

private:
    [[nodiscard]] Start BeginBare(const SplitSettings& settings, std::int64_t number, std::filesystem::path& target,
                                  Failure& failure);
    [[nodiscard]] std::filesystem::path BareName() const;
    // Parsed once for each text it is given (the settings are read once a piece).
    [[nodiscard]] const std::optional<NameTemplate>& TemplateOf(const Text& text);

    std::filesystem::path source_;
    std::filesystem::path nameSource_;
    NativeString suffix_;
    bool templated_ = false;  // named by template_
    Text templateText_;
    std::optional<NameTemplate> template_;
    std::string templateProblem_;
    bool templateParsed_ = false;
    std::int64_t number_ = 0;
    std::int32_t nameLength_ = 0;
    std::int64_t unitsSeen_ = 0;  // of the first nameLength_ units
    Text nameChars_;
    Text decoded_;  // the units of the bytes collected last
};

}  // namespace partwright
