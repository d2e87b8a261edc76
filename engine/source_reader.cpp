#include "engine/source_reader.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "engine/native_file.h"

namespace partwright {

struct SourceReader::Impl {
    std::filesystem::path path;
    NativeFile file;
    std::unique_ptr<TextDecoder> decoder;  // null for a UTF-16 source
    bool streamed = false;                 // one block handed out in chunks
    bool finished = false;
    std::size_t stepBytes = SourceReader::kBlockBytes;
    std::uint64_t size = 0;
    std::uint64_t bytesRead = 0;
    std::vector<char> buffer;
    bool haveOddByte = false;  // UTF-16: a low byte whose partner is in the next chunk
    unsigned char oddByte = 0;
    bool probeInBuffer = false;  // the first byte, read to tell UTF-16 apart, starts the first step
    bool failed = false;
    Failure error;

    [[nodiscard]] Status Fail(std::string reason) {
        error = Failure{Failure::Kind::ReadSource, path, std::move(reason)};
        file.Close();
        finished = true;
        failed = true;
        return Status::Error;
    }

    void AppendUtf16(const char* data, std::size_t count, bool last, Text& units) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(data);
        if (haveOddByte && count > 0) {
            units += static_cast<char16_t>(oddByte | (bytes[0] << 8));
            haveOddByte = false;
            ++bytes;
            --count;
        }
        const std::size_t pairs = count / 2;
        const std::size_t start = units.size();
        units.resize(start + pairs);
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(units.data() + start, bytes, pairs * 2);
        } else {
            for (std::size_t k = 0; k < pairs; ++k) {
                units[start + k] = static_cast<char16_t>(bytes[2 * k] | (bytes[2 * k + 1] << 8));
            }
        }
        if (count % 2 != 0) {
            haveOddByte = true;
            oddByte = bytes[count - 1];
        }
        if (last && haveOddByte) {
            // The lone last byte of an odd-length source: low half, 0 as the high half.
            units += static_cast<char16_t>(oddByte);
            haveOddByte = false;
        }
    }
};

SourceReader::SourceReader(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
SourceReader::~SourceReader() = default;

std::unique_ptr<SourceReader> SourceReader::Open(const std::filesystem::path& source, const ReadOptions& options,
                                                 Failure& failure) {
    auto impl = std::make_unique<Impl>();
    impl->path = source;
    std::string reason;
    auto decoder = TextDecoder::ForCodepage(options.codepage, reason);
    if (!decoder) {
        failure = Failure{Failure::Kind::BadCodepage, source, reason};
        return nullptr;
    }
    if (!impl->file.OpenForReading(source, reason)) {
        failure = Failure{Failure::Kind::ReadSource, source, reason};
        return nullptr;
    }
    impl->size = impl->file.size();
    const std::size_t chunk = std::max<std::size_t>(options.chunkBytes, 1);
    if (impl->size > 0) {
        char first = 0;
        std::size_t got = 0;
        if (!impl->file.Read(&first, 1, got, reason)) {
            failure = Failure{Failure::Kind::ReadSource, source, reason};
            return nullptr;
        }
        if (got == 0) {
            impl->size = 0;  // emptied since it was measured
        } else {
            const auto probe = static_cast<unsigned char>(first);
            const bool utf16 = probe == 0xFF || probe == 0xFE;
            impl->streamed = utf16 || options.wholeFile;
            impl->stepBytes = impl->streamed ? chunk : kBlockBytes;
            if (!utf16) {
                impl->decoder = std::move(decoder);
            }
            // The probed byte opens the first step.
            impl->buffer.resize(impl->stepBytes);
            impl->buffer[0] = first;
            impl->bytesRead = 1;
            impl->probeInBuffer = true;
        }
    }
    if (impl->size == 0) {
        impl->finished = true;
        impl->file.Close();
    }
    return std::unique_ptr<SourceReader>(new SourceReader(std::move(impl)));
}

SourceReader::Status SourceReader::Next(Text& units, bool& endsBlock) {
    Impl& d = *impl_;
    units.clear();
    endsBlock = false;
    if (d.finished) {
        return d.failed ? Status::Error : Status::EndOfSource;
    }
    // The step's bytes: a whole 30000-byte block, or one chunk of a streamed block;
    // never past the length measured at opening, so no byte from beyond the end.
    const std::size_t alreadyIn = d.probeInBuffer ? 1 : 0;
    d.probeInBuffer = false;
    const std::uint64_t left = d.size - d.bytesRead;
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(d.stepBytes - alreadyIn, left));
    std::size_t got = 0;
    std::string reason;
    if (!d.file.Read(d.buffer.data() + alreadyIn, want, got, reason)) {
        return d.Fail(reason);
    }
    d.bytesRead += got;
    const bool last = got < want || d.bytesRead >= d.size;
    if (last) {
        d.finished = true;
        d.file.Close();
    }
    const std::size_t count = alreadyIn + got;
    if (d.decoder) {
        d.decoder->Decode(std::span<const char>(d.buffer.data(), count), !d.streamed || last, units);
    } else {
        d.AppendUtf16(d.buffer.data(), count, last, units);
    }
    endsBlock = !d.streamed || last;
    return Status::Units;
}

bool SourceReader::isUtf16() const { return impl_->decoder == nullptr && impl_->size > 0; }
std::uint64_t SourceReader::size() const { return impl_->size; }
std::uint64_t SourceReader::bytesRead() const { return impl_->bytesRead; }
const Failure& SourceReader::error() const { return impl_->error; }

std::optional<std::vector<Text>> ReadFileBlocks(const std::filesystem::path& source, const ReadOptions& options,
                                                Failure& failure) {
    auto reader = SourceReader::Open(source, options, failure);
    if (!reader) {
        return std::nullopt;
    }
    std::vector<Text> blocks;
    Text block;
    Text units;
    bool endsBlock = false;
    for (;;) {
        switch (reader->Next(units, endsBlock)) {
            case SourceReader::Status::Units:
                block += units;
                if (endsBlock) {
                    blocks.push_back(std::move(block));
                    block.clear();
                }
                break;
            case SourceReader::Status::EndOfSource:
                return blocks;
            case SourceReader::Status::Error:
                failure = reader->error();
                return std::nullopt;
        }
    }
}

}  // namespace partwright

