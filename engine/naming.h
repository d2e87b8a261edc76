#pragma once

#include <cstdint>
#include <string>

#include "partwright/text.h"

namespace partwright {

// Path pieces of a source path. The folder separator is the platform's: "/"
// on POSIX; "\" on Windows, where "/" is accepted as well.
[[nodiscard]] NativeString GetFolder(const NativeString& path);          // up to and including the last separator; "" when none
[[nodiscard]] NativeString GetFileName(const NativeString& path);        // after the last separator; the whole path when none
[[nodiscard]] NativeString GetBaseName(const NativeString& fileName);    // before the last "."; the whole name when none
[[nodiscard]] NativeString GetExtension(const NativeString& fileName);   // after the last "."; "" when none

// The number in decimal, with "0" put in front until it is `width` long: PadZeros(12, 4) == "0012".
[[nodiscard]] std::string PadZeros(std::int64_t number, int width);

// The ASCII letters and digits of `text`, in order.
//   AlphaNumOnly(u"Hello, world!") == u"Helloworld"
[[nodiscard]] Text AlphaNumOnly(TextView text);

// UTF-16 text to the platform's path form: the units themselves on Windows;
// UTF-8 on POSIX, where a surrogate pair is joined and a lone half becomes U+FFFD.
[[nodiscard]] NativeString ToNative(TextView text);

// folder + AlphaNumOnly(first x code units of the piece) + ".txt".
// `pieceStart` needs to hold only the first x code units of the piece (or all of it when shorter).
//   NameFromFirstChars("C:\data\a.log", u"Hello, world!", 8) == "C:\data\Hellow.txt"
[[nodiscard]] NativeString NameFromFirstChars(const NativeString& source, TextView pieceStart, std::int32_t x);

// folder + base + "-" + PadZeros(number, 4) + "." + extension; a file name
// without "." gives folder + name + "-" + PadZeros(number, 4), with no dot.
//   NumberedName("C:\data\report.txt", 1) == "C:\data\report-0001.txt"
[[nodiscard]] NativeString NumberedName(const NativeString& source, std::int64_t number);

// folder + prefix + number + "." + extension; without "." in the file name, folder + prefix + number.
//   PrefixCounterName(u"bob", "C:\data\log.csv", -2) == "C:\data\bob-2.csv"
[[nodiscard]] NativeString PrefixCounterName(TextView prefix, const NativeString& source, std::int64_t number);

}  // namespace partwright
