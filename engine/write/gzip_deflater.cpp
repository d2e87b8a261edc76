#include "engine/write/gzip_deflater.h"

#include <zlib.h>

#include <algorithm>
#include <vector>

#include "engine/files/native_file.h"

namespace partwright {

namespace {

// Compressed bytes written to the file at once.
constexpr std::size_t kOutBytes = std::size_t{1} << 16;

}  // namespace

struct GzipDeflater::Impl {
    z_stream stream{};
    bool ready = false;
    std::vector<unsigned char> out = std::vector<unsigned char>(kOutBytes);

    ~Impl() {
        if (ready) deflateEnd(&stream);
    }
};

GzipDeflater::GzipDeflater() : impl_(std::make_unique<Impl>()) {}
GzipDeflater::~GzipDeflater() = default;

void GzipDeflater::Start() {
    Impl& d = *impl_;
    if (d.ready) {
        deflateReset(&d.stream);
        return;
    }
    // 15 + 16: a gzip wrapper around a 32 KiB window; level 6, gzip's own default.
    d.ready = deflateInit2(&d.stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) == Z_OK;
}

bool GzipDeflater::Deflate(NativeFile& file, int flush, std::string& reason) {
    z_stream& s = impl_->stream;
    for (;;) {
        s.next_out = impl_->out.data();
        s.avail_out = static_cast<uInt>(impl_->out.size());
        const int result = deflate(&s, flush);
        const std::size_t produced = impl_->out.size() - s.avail_out;
        if (produced > 0 && !file.Write(reinterpret_cast<const char*>(impl_->out.data()), produced, reason)) {
            return false;
        }
        if (result == Z_STREAM_ERROR) {
            reason = "zlib failed compressing the piece";
            return false;
        }
        // All input taken and the output not full: nothing more comes out of this call.
        if (flush == Z_FINISH ? result == Z_STREAM_END : (s.avail_in == 0 && s.avail_out != 0)) return true;
    }
}

bool GzipDeflater::Write(NativeFile& file, const char* data, std::size_t size, std::string& reason) {
    if (!impl_->ready) {
        reason = "zlib could not start compressing";
        return false;
    }
    z_stream& s = impl_->stream;
    while (size > 0) {
        const std::size_t step = std::min<std::size_t>(size, std::size_t{1} << 30);
        s.next_in = reinterpret_cast<unsigned char*>(const_cast<char*>(data));
        s.avail_in = static_cast<uInt>(step);
        if (!Deflate(file, Z_NO_FLUSH, reason)) return false;
        data += step;
        size -= step;
    }
    return true;
}

bool GzipDeflater::Finish(NativeFile& file, std::string& reason) {
    if (!impl_->ready) {
        reason = "zlib could not start compressing";
        return false;
    }
    impl_->stream.next_in = nullptr;
    impl_->stream.avail_in = 0;
    return Deflate(file, Z_FINISH, reason);
}

}  // namespace partwright
