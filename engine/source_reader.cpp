#include "engine/source_reader.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "engine/decoder_factory.h"
#include "engine/native_file.h"
#include "engine/utf8_source.h"
#include "partwright/codepage.h"

namespace partwright {

namespace {

// 30000-byte blocks read at once: about as much as a streamed chunk.
constexpr std::size_t kBlocksPerRead = 8;

// Whether the whole of a source, from `path`, is valid UTF-8, reading at most
// `size` bytes a chunk at a time (bounded memory). False when it cannot be read.
bool IsValidUtf8File(const std::filesystem::path& path, std::uint64_t size, std::size_t chunk) {
    NativeFile file;
    std::string reason;
    if (!file.OpenForReading(path, reason)) return false;
    std::vector<char> buffer(chunk);
    Utf8Validator validator;
    std::uint64_t left = size;
    while (left > 0 && validator.valid()) {
        std::size_t got = 0;
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), left));
        if (!file.Read(buffer.data(), want, got, reason) || got == 0) break;
        validator.Feed(std::string_view(buffer.data(), got));
        left -= got;
    }
    return left == 0 && validator.ValidAtEnd();
}

std::string ShortfallReason(std::uint64_t got, std::uint64_t measured) {
    return "it ended after " + std::to_string(got) + " of the " + std::to_string(measured) +
           " bytes it had when opened";
}

}  // namespace

struct SourceReader::Impl {
    std::filesystem::path path;
    NativeFile file;
    std::unique_ptr<TextDecoder> decoder;  // null for a UTF-16 source
    bool utf8 = false;
    std::optional<ByteCoding> coding;      // when the source can be cut as bytes
    bool streamed = false;                 // one block handed out in chunks
    bool finished = false;
    std::size_t stepBytes = SourceReader::kBlockBytes;
    std::uint64_t size = 0;
    std::uint64_t bytesRead = 0;
    std::vector<char> buffer;
    std::unique_ptr<char16_t[]> units;  // the decoded step; room for stepBytes + kSpareUnits
    std::string unitUtf8;               // a UTF-8 step with bytes that are not their units' UTF-8
    bool haveOddByte = false;  // UTF-16: a low byte whose partner is in the next chunk
    unsigned char oddByte = 0;
    std::size_t begin = 0;  // buffer[begin, end): read, not handed out yet
    std::size_t end = 0;
    bool failed = false;
    Failure error;

    [[nodiscard]] Status Fail(std::string reason) {
        error = Failure{Failure::Kind::ReadSource, path, std::move(reason)};
        file.Close();
        finished = true;
        failed = true;
        return Status::Error;
    }

    // The next step's bytes, buffer[offset, offset + count): a whole
    // 30000-byte block, or one chunk of a streamed block. Blocks are read
    // several at a time, to spare system calls; never past the length
    // measured at opening, so no byte from beyond the end. Sets `last` on
    // the source's last step.
    [[nodiscard]] bool ReadStep(std::size_t& offset, std::size_t& count, bool& last) {
        if (end - begin < stepBytes && file.isOpen()) {
            std::memmove(buffer.data(), buffer.data() + begin, end - begin);
            end -= begin;
            begin = 0;
            const std::size_t want =
                static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size() - end, size - bytesRead));
            std::size_t got = 0;
            std::string reason;
            if (!file.Read(buffer.data() + end, want, got, reason)) {
                (void)Fail(reason);
                return false;
            }
            bytesRead += got;
            end += got;
            if (got < want) {
                // Cut short since it was measured: what is left would be a wrong last piece.
                (void)Fail(ShortfallReason(bytesRead, size));
                return false;
            }
            if (bytesRead >= size) file.Close();
        }
        offset = begin;
        count = std::min(stepBytes, end - begin);
        if (utf8 && streamed && (file.isOpen() || count < end - begin)) {
            // Not the last chunk: a character cut at its end waits for the next.
            // (A chunk that is not the last is stepBytes >= 4 bytes long.)
            count -= Utf8CutTailLength(std::string_view(buffer.data() + offset, count));
        }
        begin += count;
        last = !file.isOpen() && begin == end;
        finished = last;
        return true;
    }

    // UTF-16LE bytes to units; returns the number of units written to `out`.
    std::size_t Utf16Units(const char* data, std::size_t count, bool last, char16_t* out) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(data);
        char16_t* p = out;
        if (haveOddByte && count > 0) {
            *p++ = static_cast<char16_t>(oddByte | (bytes[0] << 8));
            haveOddByte = false;
            ++bytes;
            --count;
        }
        const std::size_t pairs = count / 2;
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(p, bytes, pairs * 2);
        } else {
            for (std::size_t k = 0; k < pairs; ++k) {
                p[k] = static_cast<char16_t>(bytes[2 * k] | (bytes[2 * k + 1] << 8));
            }
        }
        p += pairs;
        if (count % 2 != 0) {
            haveOddByte = true;
            oddByte = bytes[count - 1];
        }
        if (last && haveOddByte) {
            // The lone last byte of an odd-length source: low half, 0 as the high half.
            *p++ = static_cast<char16_t>(oddByte);
            haveOddByte = false;
        }
        return static_cast<std::size_t>(p - out);
    }
};

SourceReader::SourceReader(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
SourceReader::~SourceReader() = default;

std::unique_ptr<SourceReader> SourceReader::Open(const std::filesystem::path& source, const ReadOptions& options,
                                                 Failure& failure) {
    auto impl = std::make_unique<Impl>();
    impl->path = source;
    std::string reason;
    const bool automatic = IsAutoCodepage(options.codepage);
    auto decoder = MakeDecoder(automatic ? std::string() : options.codepage, reason);
    if (!decoder) {
        failure = Failure{Failure::Kind::BadCodepage, source, reason};
        return nullptr;
    }
    if (!impl->file.OpenForReading(source, reason)) {
        failure = Failure{Failure::Kind::OpenSource, source, reason};
        return nullptr;
    }
    // A device or a pipe has no length to read by and could block for ever.
    if (!impl->file.isRegular()) {
        failure = Failure{Failure::Kind::OpenSource, source, "not a regular file (a device or a pipe)"};
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
            failure = Failure{Failure::Kind::ReadSource, source, ShortfallReason(0, impl->size)};
            return nullptr;
        } else {
            const auto probe = static_cast<unsigned char>(first);
            const bool utf16 = probe == 0xFF || probe == 0xFE;
            impl->streamed = utf16 || options.wholeFile;
            impl->stepBytes = impl->streamed ? chunk : kBlockBytes;
            if (!utf16) {
                if (automatic && !decoder->IsUtf8() && IsValidUtf8File(source, impl->size, chunk)) {
                    decoder = MakeDecoder("utf-8", reason);
                }
                impl->utf8 = decoder->IsUtf8();
                if (impl->utf8 && impl->streamed) impl->stepBytes = std::max<std::size_t>(chunk, 4);
                impl->decoder = std::move(decoder);
                if (impl->utf8) {
                    impl->coding = ByteCoding::Utf8();
                } else if (const ByteTable* table = impl->decoder->SingleByteTable()) {
                    impl->coding = ByteCoding::SingleByte(*table);
                }
            }
            impl->buffer.resize(impl->streamed ? impl->stepBytes : kBlocksPerRead * kBlockBytes);
            // Never resized, so no step pays for filling it.
            impl->units.reset(new char16_t[impl->stepBytes + TextDecoder::kSpareUnits]);
            // The probed byte opens the first step.
            impl->buffer[0] = first;
            impl->end = 1;
            impl->bytesRead = 1;
        }
    }
    if (impl->size == 0) {
        impl->finished = true;
        impl->file.Close();
    }
    return std::unique_ptr<SourceReader>(new SourceReader(std::move(impl)));
}

SourceReader::Status SourceReader::Next(TextView& units, bool& endsBlock) {
    units = {};
    std::string_view bytes;
    const Status status = NextStep(bytes, endsBlock);
    if (status != Status::Units) {
        return status;
    }
    // A block ends exactly where the decoder's input ends: 30000-byte blocks
    // are converted on their own, a streamed block at its last chunk.
    Impl& d = *impl_;
    const std::size_t decoded =
        d.decoder ? d.decoder->DecodeInto(std::span<const char>(bytes.data(), bytes.size()), endsBlock, d.units.get())
                  : d.Utf16Units(bytes.data(), bytes.size(), endsBlock, d.units.get());
    units = TextView(d.units.get(), decoded);
    return Status::Units;
}

SourceReader::Status SourceReader::NextBytes(std::string_view& bytes, bool& endsBlock) {
    const Status status = NextStep(bytes, endsBlock);
    Impl& d = *impl_;
    if (status == Status::Units && d.utf8) {
        // Valid UTF-8 is cut as it lies; from the first byte that is not
        // its own unit's UTF-8 on, the step is rewritten.
        const std::size_t plain = PlainUtf8Prefix(bytes);
        if (plain < bytes.size()) {
            d.unitUtf8.assign(bytes.data(), plain);
            AppendCesu8OfUtf8(bytes.substr(plain), d.unitUtf8);
            bytes = d.unitUtf8;
        }
    }
    return status;
}

SourceReader::Status SourceReader::NextStep(std::string_view& bytes, bool& endsBlock) {
    Impl& d = *impl_;
    bytes = {};
    endsBlock = false;
    if (d.finished) {
        return d.failed ? Status::Error : Status::EndOfSource;
    }
    std::size_t offset = 0;
    std::size_t count = 0;
    bool last = false;
    if (!d.ReadStep(offset, count, last)) {
        return Status::Error;
    }
    bytes = std::string_view(d.buffer.data() + offset, count);
    endsBlock = !d.streamed || last;
    return Status::Units;
}

const ByteCoding* SourceReader::byteCoding() const { return impl_->coding ? &*impl_->coding : nullptr; }

std::uint64_t SourceReader::size() const { return impl_->size; }
std::uint64_t SourceReader::bytesRead() const { return impl_->bytesRead; }
const Failure& SourceReader::error() const { return impl_->error; }

}  // namespace partwright

