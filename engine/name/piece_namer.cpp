#include "engine/name/piece_namer.h"

#include <algorithm>
#include <string>

#include "engine/name/naming.h"
#include "engine/read/text_form.h"

namespace partwright {

namespace {

std::string Quoted(TextView text) { return "got \"" + ToUtf8(text) + "\""; }

}  // namespace

PieceNamer::Start PieceNamer::Begin(const SplitSettings& settings, const std::filesystem::path& source,
                                    const std::filesystem::path& nameSource, std::int64_t number,
                                    std::filesystem::path& target, Failure& failure) {
    source_ = source;
    nameSource_ = nameSource;
    const Start start = BeginBare(settings, number, target, failure);
    if (start == Start::Named) target += suffix_;
    return start;
}

PieceNamer::Start PieceNamer::BeginBare(const SplitSettings& settings, std::int64_t number,
                                        std::filesystem::path& target, Failure& failure) {
    const std::filesystem::path& source = source_;
    const std::filesystem::path& nameSource = nameSource_;
    number_ = number;
    nameLength_ = 0;
    unitsSeen_ = 0;
    nameChars_.clear();
    templated_ = false;
    switch (settings.Naming()) {
    case NamingMode::FirstChars: {
        const TypedField<std::int32_t> length = settings.NameLength();
        if (!length.value) {
            failure = {Failure::Kind::BadNameLength, source, Quoted(length.text)};
            return Start::Unnamable;
        }
        nameLength_ = *length.value;
        return Start::Collecting;
    }
    case NamingMode::Numbered: target = NumberedName(nameSource.native(), number); return Start::Named;
    case NamingMode::Prefix: {
        const Text prefix = settings.Prefix();
        if (const char* problem = PrefixProblem(prefix)) {
            failure = {Failure::Kind::BadPrefix, source, std::string(problem) + ", " + Quoted(prefix)};
            return Start::Unnamable;
        }
        const TypedField<std::int16_t> first = settings.FirstNumber();
        if (!first.value) {
            failure = {Failure::Kind::BadFirstNumber, source, Quoted(first.text)};
            return Start::Unnamable;
        }
        target = PrefixCounterName(prefix, nameSource.native(), *first.value + number - 1);
        return Start::Named;
    }
    case NamingMode::Template: {
        const std::optional<NameTemplate>& parsed = TemplateOf(settings.NameTemplate());
        if (!parsed) {
            failure = {Failure::Kind::BadNameTemplate, source, templateProblem_ + ", " + Quoted(templateText_)};
            return Start::Unnamable;
        }
        templated_ = true;
        nameLength_ = parsed->firstLength();
        if (nameLength_ > 0) return Start::Collecting;
        target = BareName();
        return Start::Named;
    }
    }
    return Start::Unnamable;
}

std::size_t PieceNamer::Collect(std::string_view bytes) {
    // Only the bytes that may make the name are decoded.
    const auto wanted = static_cast<std::size_t>(
        std::min<std::int64_t>(static_cast<std::int64_t>(bytes.size()), nameLength_ - unitsSeen_));
    decoded_.clear();
    const std::size_t taken = DecodeUtf8(bytes, wanted, decoded_);
    nameChars_ += AlphaNumOnly(decoded_);
    // A character beyond U+FFFF counts as two units; when only its first is
    // wanted it is taken whole (it holds no letter or digit either way).
    unitsSeen_ = std::min<std::int64_t>(unitsSeen_ + static_cast<std::int64_t>(decoded_.size()), nameLength_);
    return taken;
}

Failure PieceNamer::TooLong() const {
    return {Failure::Kind::NameTooLong, source_,
            "more than " + std::to_string(kMaxNameChars) + " letters and digits in its first " +
                std::to_string(nameLength_) + " characters"};
}

std::filesystem::path PieceNamer::Name() const {
    std::filesystem::path name = BareName();
    name += suffix_;
    return name;
}

std::filesystem::path PieceNamer::BareName() const {
    if (!templated_) return FirstCharsName(nameSource_.native(), nameChars_, nameLength_, number_);
    const NativeString source = nameSource_.native();
    const NativeString name = template_->Fill(GetFileName(source), nameChars_, number_);
    // Fields that leave no usable name (a piece whose first characters make
    // "con.txt"): the numbered name, as first-characters naming does.
    return name.empty() ? NumberedName(source, number_) : GetFolder(source) + name;
}

const std::optional<NameTemplate>& PieceNamer::TemplateOf(const Text& text) {
    if (!templateParsed_ || text != templateText_) {
        templateText_ = text;
        templateProblem_.clear();
        template_ = NameTemplate::Parse(text, templateProblem_);
        templateParsed_ = true;
    }
    return template_;
}

}  // namespace partwright
