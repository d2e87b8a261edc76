#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/read/text_decoder.h"
#include "partwright/failure.h"
#include "partwright/line_end.h"
#include "partwright/run_interface.h"
#include "partwright/text.h"

namespace partwright {

class NativeFile;

// What the run asks of the reader (see SourceReading), and what the run
// works out for each source.
struct ReadOptions : SourceReading {
    // "auto": check the whole source before the first step, so that it is
    // never cut twice (Status::Restart does not come). For a dry run of cuts
    // whose pieces would be named otherwise in the fallback code page, which
    // plans each piece once.
    bool checkWholeFirst = false;
    // "auto", for such cuts when pieces are written: the source is cut as
    // UTF-8 while undecided(), and the run calls DecideNow before a piece
    // would take the place of an older file, which a cut in the fallback code
    // page might not replace again. Pieces under free names are removed
    // should a Restart come. So the source is read once when it is UTF-8 and
    // nothing is in the way.
    bool decideBeforeReplacing = false;
    // How much a streamed source reads per step; 0 is the reader's own choice
    // (tests set a few bytes, to put chunk edges everywhere).
    std::size_t chunkBytes = 0;
    // A byte-order mark stays in the text, as U+FEFF at its head (the first
    // release's pieces); otherwise it is the source's encoding only.
    bool markAsText = false;
};

// What a source turned out to be.
enum class SourceForm {
    CodePage,  // read in a code page (UTF-8 "auto" may fall back to one)
    Utf8,      // UTF-8: by its mark, or read as UTF-8 throughout
    Utf16Le,
    Utf16Be,
};

// Reads one source as the texts the run cuts. A byte-order mark decides the
// encoding: FF FE is UTF-16LE, FE FF UTF-16BE (each a single block; an odd
// last byte becomes one code unit with 0 as its other half), EF BB BF UTF-8
// (its bytes that are not UTF-8 read as their own values). A first byte FF
// or FE without its partner is no mark. The mark is left out of the text
// unless ReadOptions::markAsText. Any other source is decoded from its ANSI code page in blocks of
// 30000 bytes, each converted on its own, unless `wholeFile` asks for one
// block. A single block is streamed in chunks, so memory stays bounded
// whatever the size of the source. In UTF-8, a character whose bytes cross a
// 30000-byte boundary is cut there, its bytes read as bytes that are not
// UTF-8; a streamed chunk never ends inside a character.
//
// With the code page "auto" the source is read as UTF-8 while its bytes
// are, checked as they are read (the same open file, no pass of its own).
// Invalid UTF-8 within the first read switches to the fallback code page
// before anything is handed out; found later, Next gives
// Restart once: what it gave so far is void, and the source is read again
// from its first byte in the fallback code page.
//
// The bytes come through SourceInput: the file as it lies, the text a gzip
// archive (".gz") holds, or standard input ("-"). The last two have no length
// before their end, and their bytes are no place in a file (OffsetOf still
// counts them, SharedFile is null); standard input cannot be read twice, so
// "auto" reads it as UTF-8 and its first line end is looked for in the first read only.
class SourceReader {
public:
    static constexpr std::size_t kBlockBytes = 30000;

    enum class Status { Units, EndOfSource, Error, Restart };

    // Opens the source. On failure returns null and fills `failure`
    // (kind OpenSource, ReadSource or BadCodepage, with the path and the reason).
    [[nodiscard]] static std::unique_ptr<SourceReader> Open(const std::filesystem::path& source,
                                                            const ReadOptions& options, Failure& failure);
    ~SourceReader();
    SourceReader(const SourceReader&) = delete;
    SourceReader& operator=(const SourceReader&) = delete;

    // Points `bytes` at the next text of the source, valid until the next
    // call, in the one form the run cuts (see text_form.h). A step ends
    // between characters. `endsBlock` is set when the step completes a block
    // (for a 30000-byte block always; for a streamed block only on its last
    // chunk). A source of zero bytes gives EndOfSource at once, so it has no
    // blocks. On Error, error() says why. Valid UTF-8 comes straight from the
    // source (OffsetOf tells where it lies); what else a UTF-8 source holds is
    // repaired (see AppendRepairedUtf8), and every other source is converted
    // here, a step at a time.
    [[nodiscard]] Status Next(std::string_view& bytes, bool& endsBlock);

    // What ends the source's first line: CR LF, a lone LF, or nothing when
    // it has no line end (a CR not followed by LF ends nothing). Only before
    // the first Next; looks ahead on the same open file when
    // the first read holds no LF. False when that read fails (error() says why).
    [[nodiscard]] bool FirstLineEnd(std::optional<LineEnd>& found);

    // The source file, open for reading at offsets by other threads for as
    // long as they hold it; null where the system cannot (kCanReadAtOffsets).
    [[nodiscard]] std::shared_ptr<const NativeFile> SharedFile();
    // Where `bytes`, part of the last step Next gave, lie in the source:
    // nothing when they are not the source's own bytes (rewritten UTF-8).
    [[nodiscard]] std::optional<std::uint64_t> OffsetOf(std::string_view bytes) const;

    [[nodiscard]] bool isUtf16() const;
    // Valid only once the whole source is read (for "auto", which may fall back).
    [[nodiscard]] SourceForm form() const;
    // The source began with a byte-order mark.
    [[nodiscard]] bool hadMark() const;
    // The code units of the bytes of its single-byte code page, or null.
    [[nodiscard]] const ByteTable* singleByteTable() const;
    // "auto" reads the source as UTF-8 and has not yet seen all of it: Restart may still come.
    [[nodiscard]] bool mayRestart() const;
    // "auto" with decideBeforeReplacing: the source is cut as UTF-8 and not
    // all of it has been checked yet.
    [[nodiscard]] bool undecided() const;
    // Checks the rest of an undecided source now. True when it is UTF-8
    // throughout, and no Restart comes; false when it is not (the next step
    // gives Restart) or when it could not be read (the next step gives Error).
    [[nodiscard]] bool DecideNow();
    // Bytes; SourceInput::kUnknownSize until an archive or standard input is read to its end.
    [[nodiscard]] std::uint64_t size() const;
    [[nodiscard]] std::uint64_t bytesRead() const;
    [[nodiscard]] const Failure& error() const;

private:
    struct Impl;
    explicit SourceReader(std::unique_ptr<Impl> impl);
    // The code units of a step's bytes, for a source that is neither UTF-8 nor a single-byte code page.
    [[nodiscard]] TextView Decode(std::string_view bytes, bool endsBlock);
    // The next step's bytes as they lie in the source.
    [[nodiscard]] Status NextStep(std::string_view& bytes, bool& endsBlock);
    std::unique_ptr<Impl> impl_;
};

}  // namespace partwright
