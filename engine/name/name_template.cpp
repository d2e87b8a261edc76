#include "engine/name/name_template.h"

#include <algorithm>
#include <limits>

#include "engine/name/naming.h"
#include "engine/name/temporary_name.h"
#include "engine/read/text_form.h"

namespace partwright {

namespace {

// The literal part of a file name: what Windows and POSIX both take in one.
const char* LiteralProblem(TextView text) {
    if (text.find_first_of(u"/\\") != TextView::npos) return "it holds a folder separator (/ or \\)";
    if (text.find_first_of(u":*?\"<>|") != TextView::npos) return "it holds one of : * ? \" < > |";
    for (const char16_t c : text) {
        if (c < 0x20 || c == 0x7F) return "it holds a control character";
    }
    return nullptr;
}

// Units of a native name as UTF-16 code units, for the checks on names:
// they look at ASCII only, and a byte beyond it stays beyond it.
Text Widen(const NativeString& name) { return Text(name.begin(), name.end()); }

bool IsUsableName(const NativeString& name) {
    const Text wide = Widen(name);
    return !wide.empty() && wide != u"." && wide != u".." && !IsDeviceName(wide);
}

// A whole number of 1 to the int32 range from ASCII digits, or nothing.
std::optional<std::int32_t> Count(TextView digits) {
    if (digits.empty() || digits.size() > 10) return std::nullopt;
    std::int64_t value = 0;
    for (const char16_t c : digits) {
        if (c < u'0' || c > u'9') return std::nullopt;
        value = value * 10 + (c - u'0');
    }
    if (value < 1 || value > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::string Quoted(TextView text) { return "{" + ToUtf8(Text(text)) + "}"; }

}  // namespace

std::optional<NameTemplate> NameTemplate::Parse(TextView text, std::string& problem) {
    NameTemplate parsed;
    if (text.empty()) {
        problem = "it is empty";
        return std::nullopt;
    }
    Text literal;
    const auto endLiteral = [&parsed, &literal] {
        if (!literal.empty()) parsed.parts_.push_back({Field::Literal, std::move(literal), 0});
        literal.clear();
    };
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char16_t c = text[at];
        if (c == u'}') {
            problem = "a \"}\" without its \"{\" at character " + std::to_string(at + 1);
            return std::nullopt;
        }
        if (c != u'{') {
            literal += c;
            continue;
        }
        const std::size_t close = text.find(u'}', at);
        if (close == TextView::npos) {
            problem = "a \"{\" without its \"}\" at character " + std::to_string(at + 1);
            return std::nullopt;
        }
        const TextView field = text.substr(at + 1, close - at - 1);
        endLiteral();
        Part part;
        if (field == u"name") {
            part.field = Field::Name;
        } else if (field == u"ext") {
            part.field = Field::Ext;
        } else if (field == u"value") {
            part.field = Field::Value;
            parsed.usesValue_ = true;
        } else if (field == u"n" || (field.starts_with(u"n:") && field.size() > 2 &&
                                     field.find_first_not_of(u'0', 2) == TextView::npos)) {
            part.field = Field::Number;
            part.width = static_cast<int>(std::min<std::size_t>(field.size() > 1 ? field.size() - 2 : 0, 20));
        } else if (field.starts_with(u"first:") && Count(field.substr(6))) {
            part.field = Field::First;
            const std::int32_t length = *Count(field.substr(6));
            if (parsed.firstLength_ != 0 && parsed.firstLength_ != length) {
                problem = "its {first:X} fields ask for different X";
                return std::nullopt;
            }
            parsed.firstLength_ = length;
        } else {
            problem = "it has the field " + Quoted(field) +
                      ", which is none of {name}, {ext}, {n}, {n:000}, {first:X} (X a whole number of at least 1) "
                      "and {value}";
            return std::nullopt;
        }
        parsed.parts_.push_back(std::move(part));
        at = close;
    }
    endLiteral();
    for (const Part& part : parsed.parts_) {
        if (part.field != Field::Literal) continue;
        if (const char* why = LiteralProblem(part.text)) {
            problem = why;
            return std::nullopt;
        }
    }
    // A first piece whose fields of text hold "x": a template that makes no
    // name of it makes none of any piece (a piece whose fields give no name
    // takes the numbered name, see Fill's callers).
    const NativeString x(1, NativeChar('x'));
    const NativeString bare = parsed.Fill(x + NativeChar('.') + x, u"x", 1, u"x");
    if (bare.empty()) {
        problem =
            "it makes no name at all, or only \".\" or \"..\", or a name Windows keeps for a device "
            "(CON, NUL, COM1...)";
        return std::nullopt;
    }
    const Text wide = Widen(bare);
    if (wide.starts_with(u".partwright-")) {
        problem = kTemporaryNameReason;
        return std::nullopt;
    }
    return parsed;
}

NativeString NameTemplate::Fill(const NativeString& sourceName, TextView firstChars, std::int64_t number,
                                TextView value) const {
    const bool dotted = sourceName.find(NativeChar('.')) != NativeString::npos;
    const NativeString extension = dotted ? GetExtension(sourceName) : NativeString();
    NativeString name;
    for (std::size_t k = 0; k < parts_.size(); ++k) {
        const Part& part = parts_[k];
        switch (part.field) {
        case Field::Literal: {
            Text text = part.text;
            // "{name}.{ext}" of a source without an extension: no dot left dangling.
            const bool beforeEmptyExt = k + 1 < parts_.size() && parts_[k + 1].field == Field::Ext && extension.empty();
            if (beforeEmptyExt && text.back() == u'.') text.pop_back();
            name += ToNative(text);
            break;
        }
        case Field::Name: name += GetBaseName(sourceName); break;
        case Field::Ext: name += extension; break;
        case Field::Number: {
            const std::string digits = PadZeros(number, part.width);
            name += NativeString(digits.begin(), digits.end());
            break;
        }
        case Field::First: name += ToNative(firstChars); break;
        case Field::Value: {
            // Whatever a value holds, it stays within one file name.
            Text kept(value);
            std::replace_if(
                kept.begin(), kept.end(),
                [](char16_t c) { return c < 0x20 || c == 0x7F || Text(u"/\\:*?\"<>|").find(c) != Text::npos; }, u'_');
            name += ToNative(kept);
            break;
        }
        }
    }
    // A name a dot begins only because its first fields came out empty (".csv") hides the piece.
    const bool dotByTemplate = !parts_.empty() && parts_[0].field == Field::Literal && parts_[0].text[0] == u'.';
    const bool hidden = !name.empty() && name[0] == NativeChar('.') && !dotByTemplate;
    return IsUsableName(name) && !hidden ? name : NativeString();
}

}  // namespace partwright
