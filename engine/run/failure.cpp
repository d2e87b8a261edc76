#include "partwright/failure.h"

namespace partwright {

namespace {

std::string Utf8Path(const std::filesystem::path& path) {
    const std::u8string bytes = path.u8string();
    return std::string(bytes.begin(), bytes.end());
}

// "<lead>: <reason>", or the lead alone when there is no reason to give.
std::string WithReason(std::string lead, const std::string& reason) {
    if (!reason.empty()) {
        lead += ": ";
        lead += reason;
    }
    return lead;
}

}  // namespace

std::string Describe(const Failure& failure) {
    const std::string path = Utf8Path(failure.path);
    switch (failure.kind) {
    case Failure::Kind::OpenSource: return WithReason("cannot open " + path, failure.reason);
    case Failure::Kind::ReadSource: return WithReason("cannot read " + path, failure.reason);
    case Failure::Kind::WritePiece: return WithReason("cannot write " + path, failure.reason);
    case Failure::Kind::TargetIsSource:
        return path + ": the piece would overwrite a source of this run; it was not written";
    case Failure::Kind::BadNameLength:
        return WithReason(path + ": piece not written, the name length is not a whole number from 0 to 2147483647",
                          failure.reason);
    case Failure::Kind::BadFirstNumber:
        return WithReason(
            path + ": piece not written, the first counting number is not a whole number from -32768 to 32767",
            failure.reason);
    case Failure::Kind::NameTooLong:
        return WithReason(path + ": piece not written, its name from its first characters would be too long",
                          failure.reason);
    case Failure::Kind::BadCodepage:
        // The reason names the code page and what is wrong with it.
        return WithReason("cannot read " + path, failure.reason);
    case Failure::Kind::BadHeader:
        return WithReason(path + ": no pieces written, its header cannot be used", failure.reason);
    case Failure::Kind::UnclosedQuote: return WithReason(path + ": a quoted field never closes", failure.reason);
    case Failure::Kind::BadPrefix:
        return WithReason(path + ": piece not written, the prefix cannot begin a file name", failure.reason);
    case Failure::Kind::BadNameTemplate:
        return WithReason(path + ": piece not written, the name template cannot name it", failure.reason);
    case Failure::Kind::BadPattern:
        return WithReason(path + ": no pieces written, the pattern lines are matched with cannot be used",
                          failure.reason);
    }
    return WithReason(path, failure.reason);
}

}  // namespace partwright
