#pragma once

// The fixed texts the user sees. The window shows all of them in its boxes;
// the command line prints kNoFiles, kLinesNotNumber and kDone.
namespace partwright::messages {

inline constexpr const char* kNoFiles = "No files added.";
inline constexpr const char* kLinesNotNumber = "Every x number of lines, where x can only be a number.";
inline constexpr const char* kDone = "Done.";
inline constexpr const char* kInvalidFilename = "Invalid filename";
inline constexpr const char* kNonNumeric = "Non numeric entry.";

}  // namespace partwright::messages
