#pragma once

// The option values a new user starts with, in the window and on the command line.
namespace partwright::defaults {

inline constexpr char16_t kLinesPerPiece[] = u"3";
inline constexpr char16_t kSeparator[] = u",";
inline constexpr char16_t kNameLength[] = u"8";
inline constexpr char16_t kPrefix[] = u"bob";
inline constexpr char16_t kFirstNumber[] = u"1";

}  // namespace partwright::defaults
