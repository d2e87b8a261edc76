#include "engine/run/undecided_codepage.h"

#include <system_error>

#include "engine/read/source_reader.h"

namespace partwright {

bool UndecidedCodepage::MayWrite(const std::filesystem::path& target) {
    if (reader_ == nullptr) return true;
    if (++pieces_ <= kMaxPieces) {
        std::error_code error;
        if (std::filesystem::symlink_status(target, error).type() == std::filesystem::file_type::not_found) {
            return true;
        }
    }
    const bool utf8 = reader_->DecideNow();
    if (utf8) reader_ = nullptr;
    return utf8;
}

}  // namespace partwright
