#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace partwright {

class NativeFile;

// Compresses the bytes of one piece after another into gzip files, each a
// whole gzip stream of its own: a piece's bytes go in as they come, and the
// compressed bytes go to its file as an output buffer fills.
class GzipDeflater {
public:
    GzipDeflater();
    ~GzipDeflater();
    GzipDeflater(const GzipDeflater&) = delete;
    GzipDeflater& operator=(const GzipDeflater&) = delete;

    // A new piece begins: what was fed before is forgotten.
    void Start();
    // Compresses `size` bytes into `file`. False with `reason` when writing fails.
    [[nodiscard]] bool Write(NativeFile& file, const char* data, std::size_t size, std::string& reason);
    // Ends the piece's stream (the gzip trailer with its length and CRC) into `file`.
    [[nodiscard]] bool Finish(NativeFile& file, std::string& reason);

private:
    struct Impl;
    [[nodiscard]] bool Deflate(NativeFile& file, int flush, std::string& reason);
    std::unique_ptr<Impl> impl_;
};

}  // namespace partwright
