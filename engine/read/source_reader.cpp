#include "engine/read/source_reader.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "engine/files/native_file.h"
#include "engine/files/page_buffer.h"
#include "engine/read/byte_coding.h"
#include "engine/read/byte_order_mark.h"
#include "engine/read/decoder_factory.h"
#include "engine/read/line_end_scan.h"
#include "engine/read/rest_check.h"
#include "engine/read/source_input.h"
#include "engine/read/text_form.h"
#include "engine/read/utf16_units.h"
#include "engine/read/utf8_source.h"
#include "partwright/code_points.h"
#include "partwright/codepage.h"

namespace partwright {

namespace {

// How much a streamed source reads per step, unless the options say. Small
// enough that a step's bytes are still in the core's cache when they are cut
// and written (bench/RESULTS.md has what 64 and 256 KiB steps cost).
constexpr std::size_t kChunkBytes = std::size_t{1} << 16;
// 30000-byte blocks read at once: about as much as a streamed chunk.
constexpr std::size_t kBlocksPerRead = 8;

}  // namespace

struct SourceReader::Impl {
    std::filesystem::path path;
    SourceInput file;
    bool sized = true;                     // the length was known at opening (not so of an archive or standard input)
    std::unique_ptr<TextDecoder> decoder;  // null for a UTF-16 source
    bool utf8 = false;
    std::optional<ByteUtf8Forms> byteForms;  // of a single-byte code page, converted byte by byte
    // "auto": read as UTF-8 while every byte so far is; `fallback` is the
    // decoder should a byte turn out not to be. The file stays open until
    // the last byte is checked, for reading again from its start.
    bool speculating = false;
    bool decideLate = false;      // see ReadOptions::decideBeforeReplacing
    bool restartPending = false;  // DecideNow found a byte that is not UTF-8
    std::unique_ptr<TextDecoder> fallback;
    Utf8Validator check;
    std::size_t stepPlain = std::string_view::npos;  // PlainUtf8Prefix of the step, when known
    bool streamed = false;                           // one block handed out in chunks
    bool finished = false;
    std::size_t stepBytes = SourceReader::kBlockBytes;
    std::uint64_t size = 0;
    std::uint64_t bytesRead = 0;
    // Room for readBytes and a page, so that every byte read lands at an index
    // that agrees with its offset in the file modulo a page (see PageBuffer).
    PageBuffer<char> buffer;
    std::size_t readBytes = 0;           // read at once, at most
    std::shared_ptr<NativeFile> shared;  // a second handle to the file, for SharedFile
    PageBuffer<char16_t> units;          // the decoded step; room for a held unit, stepBytes + kSpareUnits
    char16_t heldHigh = 0;               // a high surrogate that ended the last step, 0 for none
    std::string unitUtf8;                // a UTF-8 step with bytes that are not valid UTF-8, repaired
    PageBuffer<char> converted;          // the step of any other source in UTF-8; 3 bytes a unit at most
    bool bigEndian = false;              // UTF-16: high byte first
    std::size_t markBytes = 0;           // of the byte-order mark it began with
    std::size_t markSkipped = 0;         // of those, left out of the text and not yet stepped past
    Utf16Units utf16;                    // UTF-16: bytes to units
    std::size_t begin = 0;               // buffer[begin, end): read, not handed out yet
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

    [[nodiscard]] bool more() const { return bytesRead < size; }

    // Moves what is left in the buffer to its front and reads behind it,
    // never past the length measured at opening, so no byte from beyond the
    // end. The bytes kept move to where the next byte read lands at an index
    // that agrees with its offset in the file modulo a page, and a read ends
    // on a page of the file where the step still fits, so the next one starts on one.
    [[nodiscard]] bool Refill(std::string& reason) {
        const std::size_t left = end - begin;
        std::size_t at = static_cast<std::size_t>(bytesRead % kPageBytes);
        while (at < left) at += kPageBytes;
        std::memmove(buffer.data() + at - left, buffer.data() + begin, left);
        begin = at - left;
        end = at;
        auto want = static_cast<std::size_t>(
            std::min<std::uint64_t>({buffer.size() - end, readBytes, size - bytesRead}));
        const auto past = static_cast<std::size_t>((bytesRead + want) % kPageBytes);
        if (want > past && left + want - past >= stepBytes) want -= past;  // never at the cost of a whole step
        std::size_t got = 0;
        if (!file.Read(buffer.data() + end, want, got, reason)) return false;
        bytesRead += got;
        end += got;
        if (got < want && !sized) {
            size = bytesRead;  // the end of a text whose length comes with it
        } else if (got < want) {
            // Cut short since it was measured: what is left would be a wrong last piece.
            reason = ShortfallReason(bytesRead, size);
            return false;
        }
        if (!more() && !speculating) file.Close();
        return true;
    }

    // The next step's bytes, buffer[offset, offset + count): a whole
    // 30000-byte block, or one chunk of a streamed block. Blocks are read
    // several at a time, to spare system calls. Sets `last` on the source's last step.
    [[nodiscard]] bool ReadStep(std::size_t& offset, std::size_t& count, bool& last) {
        // A text of unknown length is read ahead of its last full step, so that the end is known there.
        if ((end - begin < stepBytes || (!sized && end - begin == stepBytes)) && more()) {
            std::string reason;
            if (!Refill(reason)) {
                (void)Fail(reason);
                return false;
            }
        }
        offset = begin;
        // The mark left out still counts in the first block's 30000 bytes.
        count = std::min(streamed ? stepBytes : stepBytes - markSkipped, end - begin);
        markSkipped = 0;
        if (utf8 && streamed && (more() || count < end - begin)) {
            // Not the last chunk: a character cut at its end waits for the next.
            // (A chunk that is not the last is stepBytes >= 4 bytes long.)
            count -= Utf8CutTailLength(std::string_view(buffer.data() + offset, count));
        }
        begin += count;
        last = !more() && begin == end;
        finished = last;
        return true;
    }

    // "auto": whether the source is still UTF-8 after `step`, its next bytes.
    // The bytes that are plain UTF-8 are counted once here, for Next too.
    [[nodiscard]] bool StillUtf8(std::string_view step, bool last) {
        if (check.atBoundary()) {
            stepPlain = PlainUtf8Prefix(step);
            if (stepPlain < step.size()) check.Feed(step.substr(stepPlain));
        } else {
            check.Feed(step);
        }
        return last ? check.ValidAtEnd() : check.valid();
    }

    void SetForms() {
        byteForms.reset();
        if (const ByteTable* table = !utf8 && decoder ? decoder->SingleByteTable() : nullptr) {
            byteForms = Utf8FormsOf(*table);
        }
    }

    // The source is read in the fallback code page from now on.
    void UseFallback() {
        decoder = std::move(fallback);
        utf8 = false;
        SetForms();
        speculating = false;
        stepPlain = std::string_view::npos;
        if (!more()) file.Close();
    }

    // The source turned out not to be UTF-8 after some of it was handed
    // out: back to its first byte, in the fallback code page.
    [[nodiscard]] Status Restart() {
        std::string reason;
        if (!file.Seek(0, reason)) return Fail(reason);
        bytesRead = 0;
        begin = 0;
        end = 0;
        finished = false;
        heldHigh = 0;
        markBytes = 0;  // "auto" speculates only on sources without a mark
        UseFallback();
        return Status::Restart;
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
    // "auto" falls back to the system's code page, or to windows-1252 where that is UTF-8.
    const std::string named = !automatic ? options.codepage : SystemCodepage() == kUtf8Codepage ? "1252" : "";
    auto decoder = MakeDecoder(named, reason);
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
    impl->sized = impl->size != SourceInput::kUnknownSize;
    const std::size_t chunk = options.chunkBytes > 0 ? options.chunkBytes : kChunkBytes;
    if (impl->size > 0) {
        // Room for a byte-order mark, read before anything else.
        char probe[3] = {};
        const auto probeBytes = static_cast<std::size_t>(std::min<std::uint64_t>(impl->size, 3));
        std::size_t got = 0;
        if (!impl->file.Read(probe, probeBytes, got, reason)) {
            failure = Failure{Failure::Kind::ReadSource, source, reason};
            return nullptr;
        }
        if (got < probeBytes && !impl->sized) {
            impl->size = got;
        }
        if (got < probeBytes && impl->sized) {
            failure = Failure{Failure::Kind::ReadSource, source, ShortfallReason(got, impl->size)};
            return nullptr;
        } else {
            const Mark mark = MarkOf(std::string_view(probe, got));
            const bool utf16 = mark == Mark::Utf16Le || mark == Mark::Utf16Be;
            impl->bigEndian = mark == Mark::Utf16Be;
            impl->markBytes = mark == Mark::None ? 0 : utf16 ? 2 : 3;
            if (mark == Mark::Utf8) {
                // UTF-8 by its mark, whatever the code page asked.
                decoder = MakeDecoder("utf-8", reason);
            }
            impl->streamed = utf16 || options.wholeFile;
            impl->stepBytes = impl->streamed ? chunk : kBlockBytes;
            if (!utf16) {
                // Standard input cannot be read again: "auto" reads it as UTF-8, whatever bytes it holds.
                if (automatic && mark == Mark::None && !impl->file.canSeek()) {
                    decoder = MakeDecoder("utf-8", reason);
                } else if (automatic && mark == Mark::None) {
                    impl->fallback = std::move(decoder);
                    decoder = MakeDecoder("utf-8", reason);
                    impl->speculating = true;
                }
                impl->utf8 = decoder->IsUtf8();
                if (impl->utf8 && impl->streamed) impl->stepBytes = std::max<std::size_t>(chunk, 4);
                impl->decoder = std::move(decoder);
                impl->SetForms();
            }
            impl->readBytes = impl->streamed ? impl->stepBytes : kBlocksPerRead * kBlockBytes;
            impl->buffer = PageBuffer<char>(impl->readBytes + kPageBytes);
            impl->units = PageBuffer<char16_t>(1 + impl->stepBytes + TextDecoder::kSpareUnits);
            // Also for "auto", which may fall back to a code page.
            if (!impl->utf8 || impl->speculating) {
                impl->converted = PageBuffer<char>(3 * (1 + impl->stepBytes + TextDecoder::kSpareUnits));
            }
            // The probed bytes open the first step, from after the mark unless it is text.
            std::memcpy(impl->buffer.data(), probe, got);
            impl->end = got;
            impl->bytesRead = got;
            if (!options.markAsText) impl->begin = impl->markSkipped = impl->markBytes;
            if (impl->speculating) {
                // The first read is checked before anything is handed out, so
                // a source that is not UTF-8 there is never read twice.
                if (!impl->Refill(reason)) {
                    failure = Failure{Failure::Kind::ReadSource, source, reason};
                    return nullptr;
                }
                Utf8Validator firstRead;
                firstRead.Feed(std::string_view(impl->buffer.data(), impl->end));
                if (!(impl->more() ? firstRead.valid() : firstRead.ValidAtEnd())) {
                    impl->UseFallback();
                } else if (!impl->more()) {
                    impl->speculating = false;  // all of it read, and UTF-8
                    impl->file.Close();
                } else if (options.decideBeforeReplacing) {
                    impl->decideLate = true;
                } else if (options.checkWholeFirst) {
                    bool valid = false;
                    if (!CheckRestIsUtf8(impl->file, impl->bytesRead, impl->size, firstRead, valid, reason)) {
                        failure = Failure{Failure::Kind::ReadSource, source, reason};
                        return nullptr;
                    }
                    if (valid) {
                        impl->speculating = false;
                    } else {
                        impl->UseFallback();
                    }
                }
            }
        }
    }
    if (impl->size == 0) {
        impl->finished = true;
        impl->file.Close();
    }
    return std::unique_ptr<SourceReader>(new SourceReader(std::move(impl)));
}

// A block ends exactly where the decoder's input ends: 30000-byte blocks are
// converted on their own, a streamed block at its last chunk. Within a
// block, a high surrogate that ends a step waits for the next, which may
// begin with its low half: a pair is written as its one character.
TextView SourceReader::Decode(std::string_view bytes, bool endsBlock) {
    Impl& d = *impl_;
    char16_t* const start = d.units.data() + 1;
    const std::size_t decoded = d.decoder ? d.decoder->DecodeInto(std::span<const char>(bytes.data(), bytes.size()),
                                                                  endsBlock, start)
                                          : d.utf16.Convert(bytes.data(), bytes.size(), endsBlock, start, d.bigEndian);
    TextView text(start, decoded);
    if (d.heldHigh != 0) {
        start[-1] = d.heldHigh;
        text = TextView(start - 1, decoded + 1);
        d.heldHigh = 0;
    }
    if (!endsBlock && !text.empty() && IsHighSurrogate(text.back())) {
        d.heldHigh = text.back();
        text.remove_suffix(1);
    }
    return text;
}

SourceReader::Status SourceReader::Next(std::string_view& bytes, bool& endsBlock) {
    const Status status = NextStep(bytes, endsBlock);
    if (status != Status::Units) return status;
    Impl& d = *impl_;
    if (d.utf8) {
        // Valid UTF-8 is cut as it lies; from the first byte that is not
        // valid UTF-8 on, the step is rewritten.
        const std::size_t plain = d.stepPlain != std::string_view::npos ? d.stepPlain : PlainUtf8Prefix(bytes);
        if (plain < bytes.size()) {
            d.unitUtf8.assign(bytes.data(), plain);
            AppendRepairedUtf8(bytes.substr(plain), d.unitUtf8);
            bytes = d.unitUtf8;
        }
        return status;
    }
    // Any other source is converted here, so that what follows sees one form of text.
    char* const out = d.converted.data();
    const char* const last = d.byteForms ? EncodeBytesUtf8(bytes, *d.byteForms, out)
                                         : EncodeUtf8(Decode(bytes, endsBlock), out);
    bytes = std::string_view(out, static_cast<std::size_t>(last - out));
    return status;
}

SourceReader::Status SourceReader::NextStep(std::string_view& bytes, bool& endsBlock) {
    Impl& d = *impl_;
    bytes = {};
    endsBlock = false;
    if (d.restartPending) {
        d.restartPending = false;
        return d.Restart();
    }
    if (d.finished) {
        return d.failed ? Status::Error : Status::EndOfSource;
    }
    std::size_t offset = 0;
    std::size_t count = 0;
    bool last = false;
    d.stepPlain = std::string_view::npos;
    if (!d.ReadStep(offset, count, last)) {
        return Status::Error;
    }
    bytes = std::string_view(d.buffer.data() + offset, count);
    if (d.speculating) {
        if (!d.StillUtf8(bytes, last)) {
            bytes = {};
            return d.Restart();
        }
        if (last) {
            d.speculating = false;
            d.file.Close();
        }
    }
    endsBlock = !d.streamed || last;
    return Status::Units;
}

bool SourceReader::FirstLineEnd(std::optional<LineEnd>& found) {
    Impl& d = *impl_;
    found.reset();
    LineEndScan scan(isUtf16(), d.bigEndian);
    std::string reason;
    if (d.end - d.begin < d.readBytes && d.more() && !d.Refill(reason)) {
        (void)d.Fail(reason);
        return false;
    }
    // Before the first step the buffer holds the source from its first byte.
    // Standard input cannot go back: a first line longer than the first read is taken as having no line end.
    if (scan.Feed(std::string_view(d.buffer.data(), d.end)) || !d.more() || !d.file.canSeek()) {
        found = scan.found();
        return true;
    }
    // A first line longer than the first read: read on, then back to where the reader stands.
    PageBuffer<char> ahead(kScratchBytes);
    std::uint64_t at = d.bytesRead;
    while (at < d.size) {
        const ScratchStep place = ScratchStepAt(at, d.size);
        std::size_t got = 0;
        if (!d.file.Read(ahead.data() + place.lead, place.count, got, reason)) break;
        if (got == 0) break;  // shorter than measured: the reading itself reports it
        at += got;
        if (scan.Feed(std::string_view(ahead.data() + place.lead, got))) break;
    }
    if (!reason.empty() || !d.file.Seek(d.bytesRead, reason)) {
        (void)d.Fail(reason);
        return false;
    }
    found = scan.found();
    return true;
}

bool SourceReader::mayRestart() const { return impl_->speculating; }
bool SourceReader::undecided() const { return impl_->speculating && impl_->decideLate; }

bool SourceReader::DecideNow() {
    Impl& d = *impl_;
    if (!undecided()) return !d.restartPending && !d.failed;
    // What is read and not handed out yet, then the rest of the file.
    Utf8Validator check = d.check;
    if (d.end > d.begin) check.Feed(std::string_view(d.buffer.data() + d.begin, d.end - d.begin));
    bool valid = d.more() ? check.valid() : check.ValidAtEnd();
    std::string reason;
    if (valid && d.more() && !CheckRestIsUtf8(d.file, d.bytesRead, d.size, check, valid, reason)) {
        (void)d.Fail(reason);
        return false;
    }
    if (valid) {
        d.speculating = false;
        if (!d.more()) d.file.Close();
    } else {
        d.restartPending = true;
    }
    return valid;
}

std::shared_ptr<const NativeFile> SourceReader::SharedFile() {
    Impl& d = *impl_;
    if (!kCanReadAtOffsets) return nullptr;
    if (!d.shared) {
        auto shared = std::make_shared<NativeFile>();
        std::string reason;
        // Opened before the reader's own handle closes: a source fully read is closed.
        NativeFile* const file = d.file.plainFile();
        if (file == nullptr || !file->isOpen() || !shared->DuplicateOf(*file, reason)) return nullptr;
        d.shared = std::move(shared);
    }
    return d.shared;
}

std::optional<std::uint64_t> SourceReader::OffsetOf(std::string_view bytes) const {
    const Impl& d = *impl_;
    const char* base = d.buffer.data();
    if (bytes.data() < base || bytes.data() + bytes.size() > base + d.end) return std::nullopt;
    // buffer[0, end) holds the bytes read last, up to bytesRead.
    return d.bytesRead - d.end + static_cast<std::uint64_t>(bytes.data() - base);
}
bool SourceReader::isUtf16() const { return impl_->decoder == nullptr && impl_->size > 0; }
SourceForm SourceReader::form() const {
    if (isUtf16()) return impl_->bigEndian ? SourceForm::Utf16Be : SourceForm::Utf16Le;
    return impl_->utf8 ? SourceForm::Utf8 : SourceForm::CodePage;
}
bool SourceReader::hadMark() const { return impl_->markBytes > 0; }
const ByteTable* SourceReader::singleByteTable() const {
    return impl_->decoder && !impl_->utf8 ? impl_->decoder->SingleByteTable() : nullptr;
}
std::uint64_t SourceReader::size() const { return impl_->size; }
std::uint64_t SourceReader::bytesRead() const { return impl_->bytesRead; }
const Failure& SourceReader::error() const { return impl_->error; }

}  // namespace partwright
