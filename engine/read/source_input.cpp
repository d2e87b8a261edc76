#include "engine/read/source_input.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/read/rest_check.h"
#include "engine/read/utf8_source.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace partwright {

namespace {

// The compressed bytes read from the archive at once.
constexpr std::size_t kCompressedChunk = std::size_t{1} << 16;

// Windows' names are case-insensitive, and so are archives' extensions in practice.
bool EndsWithGz(const NativeString& name) {
    if (name.size() < 3) return false;
    const NativeString tail = name.substr(name.size() - 3);
    return tail[0] == NativeChar('.') && (tail[1] == NativeChar('g') || tail[1] == NativeChar('G')) &&
           (tail[2] == NativeChar('z') || tail[2] == NativeChar('Z'));
}

}  // namespace

bool IsStandardInput(const std::filesystem::path& source) { return source.native() == NativeString(1, '-'); }

bool IsGzipSource(const std::filesystem::path& source) { return EndsWithGz(source.filename().native()); }

// zlib's inflate over the archive's file: a gzip stream of one or more
// members, one after the other, as `cat a.gz b.gz` makes.
struct SourceInput::Inflater {
    z_stream stream{};
    bool ready = false;
    bool ended = false;    // the last member ended where the file did
    bool inMember = true;  // within a member (a member's end was not met since its start)
    std::uint64_t compressedRead = 0;
    std::vector<unsigned char> input = std::vector<unsigned char>(kCompressedChunk);

    ~Inflater() {
        if (ready) inflateEnd(&stream);
    }
    bool Start(std::string& reason) {
        stream = z_stream{};
        // 15 + 16: the gzip wrapper, with a window of 32 KiB.
        if (inflateInit2(&stream, 15 + 16) != Z_OK) {
            reason = "zlib could not start inflating";
            return false;
        }
        ready = true;
        ended = false;
        inMember = true;
        compressedRead = 0;
        return true;
    }
};

SourceInput::SourceInput() = default;
SourceInput::~SourceInput() { Close(); }

bool SourceInput::OpenForReading(const std::filesystem::path& source, std::string& reason) {
    if (IsStandardInput(source)) {
        kind_ = Kind::StandardInput;
#ifdef _WIN32
        _setmode(_fileno(stdin), _O_BINARY);
#endif
        stdinOpen_ = true;
        return true;
    }
    kind_ = IsGzipSource(source) ? Kind::Gzip : Kind::File;
    if (!file_.OpenForReading(source, reason)) return false;
    if (kind_ == Kind::Gzip) {
        inflater_ = std::make_unique<Inflater>();
        if (!inflater_->Start(reason)) return false;
    }
    return true;
}

bool SourceInput::Read(char* data, std::size_t size, std::size_t& got, std::string& reason) {
    got = 0;
    switch (kind_) {
    case Kind::File: return file_.Read(data, size, got, reason);
    case Kind::Gzip: return ReadInflated(data, size, got, reason);
    case Kind::StandardInput:
        while (got < size) {
            const std::size_t read = std::fread(data + got, 1, size - got, stdin);
            got += read;
            if (read == 0) {
                if (std::ferror(stdin)) {
                    reason = "standard input could not be read";
                    return false;
                }
                break;
            }
        }
        return true;
    }
    return false;
}

bool SourceInput::ReadInflated(char* data, std::size_t size, std::size_t& got, std::string& reason) {
    Inflater& z = *inflater_;
    z_stream& s = z.stream;
    while (got < size && !z.ended) {
        if (s.avail_in == 0) {
            std::size_t in = 0;
            if (!file_.Read(reinterpret_cast<char*>(z.input.data()), z.input.size(), in, reason)) return false;
            z.compressedRead += in;
            s.next_in = z.input.data();
            s.avail_in = static_cast<uInt>(in);
            if (in == 0) {
                if (z.inMember) {
                    reason = "the gzip archive is cut off after " + std::to_string(z.compressedRead) +
                             " bytes: its last member has no end";
                    return false;
                }
                z.ended = true;
                break;
            }
        }
        if (!z.inMember) {
            // Another member follows the one that ended; zero bytes of padding end the archive.
            if (std::all_of(s.next_in, s.next_in + s.avail_in, [](unsigned char b) { return b == 0; })) {
                s.avail_in = 0;
                continue;
            }
            inflateReset(&s);
            z.inMember = true;
        }
        const std::size_t want = std::min<std::size_t>(size - got, std::size_t{1} << 30);
        s.next_out = reinterpret_cast<unsigned char*>(data + got);
        s.avail_out = static_cast<uInt>(want);
        const int result = inflate(&s, Z_NO_FLUSH);
        got += want - s.avail_out;
        if (result == Z_STREAM_END) {
            z.inMember = false;
        } else if (result == Z_DATA_ERROR || result == Z_NEED_DICT) {
            reason = std::string("the gzip archive is damaged: ") + (s.msg ? s.msg : "invalid data") +
                     " (within its first " + std::to_string(z.compressedRead) + " bytes)";
            return false;
        } else if (result == Z_MEM_ERROR) {
            reason = "zlib ran out of memory";
            return false;
        } else if (result != Z_OK && result != Z_BUF_ERROR) {
            reason = "zlib failed inflating the archive (error " + std::to_string(result) + ")";
            return false;
        }
    }
    return true;
}

bool SourceInput::Rewind(std::string& reason) {
    if (!file_.Seek(0, reason)) return false;
    inflateEnd(&inflater_->stream);
    inflater_->ready = false;
    return inflater_->Start(reason);
}

bool SourceInput::Seek(std::uint64_t offset, std::string& reason) {
    switch (kind_) {
    case Kind::File: return file_.Seek(offset, reason);
    case Kind::StandardInput: reason = "standard input cannot be read again"; return false;
    case Kind::Gzip: break;
    }
    if (!Rewind(reason)) return false;
    std::vector<char> scratch(kCompressedChunk);
    while (offset > 0) {
        std::size_t got = 0;
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(offset, scratch.size()));
        if (!ReadInflated(scratch.data(), want, got, reason)) return false;
        if (got < want) {
            reason = "the gzip archive gave less text the second time it was read";
            return false;
        }
        offset -= got;
    }
    return true;
}

void SourceInput::Close() {
    file_.Close();
    inflater_.reset();
    stdinOpen_ = false;
}

bool SourceInput::isOpen() const { return kind_ == Kind::StandardInput ? stdinOpen_ : file_.isOpen(); }
bool SourceInput::isRegular() const { return kind_ == Kind::StandardInput || file_.isRegular(); }
std::uint64_t SourceInput::size() const { return kind_ == Kind::File ? file_.size() : kUnknownSize; }

bool CheckRestIsUtf8(SourceInput& input, std::uint64_t from, std::uint64_t size, Utf8Validator& check, bool& valid,
                     std::string& reason) {
    if (NativeFile* file = input.plainFile()) return CheckRestIsUtf8(*file, from, size, check, valid, reason);
    std::vector<char> scratch(kScratchBytes);
    valid = check.valid();
    for (;;) {
        std::size_t got = 0;
        if (!input.Read(scratch.data(), scratch.size(), got, reason)) return false;
        const std::string_view step(scratch.data(), got);
        check.Feed(step);
        if (got < scratch.size()) {
            valid = check.ValidAtEnd();
            break;
        }
        valid = check.valid();
        if (!valid) break;
    }
    return input.Seek(from, reason);
}

}  // namespace partwright
