#include "engine/name/name_source.h"

#include "engine/read/source_input.h"

namespace partwright {

std::filesystem::path NameSourceOf(const std::filesystem::path& source, const RunOptions& options) {
    const std::filesystem::path& folder = options.outputFolder;
    if (IsStandardInput(source)) {
        const std::filesystem::path name(options.reading.stdinName);
        return folder.empty() ? name : folder / name;
    }
    std::filesystem::path named = folder.empty() ? source : folder / source.filename();
    if (IsGzipSource(source)) {
        const auto inner = named.filename().native();
        if (inner.size() > 3) named.replace_filename(inner.substr(0, inner.size() - 3));
    }
    return named;
}

}  // namespace partwright
