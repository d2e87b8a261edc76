#pragma once

#include <cstdint>
#include <string>

#include "partwright/text.h"

namespace partwright {

// Path pieces of a source path. The folder separator is the platform's: "/"
// on POSIX; "\" on Windows, where "/" is accepted as well.
[[nodiscard]] NativeString GetFolder(const NativeString& path);  // up to and including the last separator; "" when none
[[nodiscard]] NativeString GetFileName(const NativeString& path);  // after the last separator; the whole path when none
[[nodiscard]] NativeString GetBaseName(const NativeString& fileName);   // before the last "."; the whole name when none
[[nodiscard]] NativeString GetExtension(const NativeString& fileName);  // after the last "."; "" when none

// The number in decimal, with "0" put in front until it is `width` long: PadZeros(12, 4) == "0012".
[[nodiscard]] std::string PadZeros(std::int64_t number, int width);

// The ASCII letters and digits of `text`, in order.
//   AlphaNumOnly(u"Hello, world!") == u"Helloworld"
[[nodiscard]] Text AlphaNumOnly(TextView text);

// UTF-16 text to the platform's path form: the units themselves on Windows;
// UTF-8 on POSIX, where a surrogate pair is joined and a lone half becomes U+FFFD.
[[nodiscard]] NativeString ToNative(TextView text);

// folder + base + "-" + PadZeros(number, 4) + "." + extension; a file name
// without "." gives folder + name + "-" + PadZeros(number, 4), with no dot.
//   NumberedName("C:\data\report.txt", 1) == "C:\data\report-0001.txt"
[[nodiscard]] NativeString NumberedName(const NativeString& source, std::int64_t number);

// folder + prefix + number + "." + extension; without "." in the file name, folder + prefix + number.
//   PrefixCounterName(u"bob", "C:\data\log.csv", -2) == "C:\data\bob-2.csv"
[[nodiscard]] NativeString PrefixCounterName(TextView prefix, const NativeString& source, std::int64_t number);

// The name first-characters naming gives a piece: folder + AlphaNumOnly(its
// first x code units) + ".txt", unless they hold no letter or digit, or make a name Windows keeps
// for a device ("con", "nul", "com1"...): then folder + base + "-" +
// PadZeros(number, 4) + ".txt", the numbered name of the piece with ".txt".
//   FirstCharsName("/d/a.log", u"--", 2, 3) == "/d/a-0003.txt"
[[nodiscard]] NativeString FirstCharsName(const NativeString& source, TextView pieceStart, std::int32_t x,
                                          std::int64_t number);

// The name of the `copy`-th piece of a run that wanted `target` (copy >= 2):
// " (copy)" put before the file name's last ".", or at its end without one.
// The last `keptTail` characters (".gz" of a compressed piece) stay behind the mark.
//   CopyName("/d/hellow.txt", 2) == "/d/hellow (2).txt"
//   CopyName("/d/hellow.txt.gz", 2, 3) == "/d/hellow (2).txt.gz"
[[nodiscard]] NativeString CopyName(const NativeString& target, int copy, std::size_t keptTail = 0);

// Whether Windows keeps `fileName` for a device: CON, PRN, AUX, NUL, COM0 to
// COM9, LPT0 to LPT9, CONIN$ or CONOUT$, in any case, alone or before a "."
// (trailing blanks before the dot do not count).
[[nodiscard]] bool IsDeviceName(TextView fileName);

// Why `prefix` cannot begin the file name of a piece, or nullptr when it can.
// Refused everywhere, so that names travel between systems: "/" or "\",
// "." or "..", any of : * ? " < > |, a control character, a name Windows
// keeps for a device before a dot ("nul.x"; "com" and "lpt" also alone, which
// a counting number turns into one), and ".partwright-", kept for temporary files.
[[nodiscard]] const char* PrefixProblem(TextView prefix);

}  // namespace partwright
