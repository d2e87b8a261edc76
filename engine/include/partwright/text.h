#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace partwright {

// Text is a sequence of UTF-16 code units; lengths and positions count code units.
using Text = std::u16string;
using TextView = std::u16string_view;

// A path in the platform's own form: UTF-8 bytes on POSIX, UTF-16 on Windows.
using NativeString = std::filesystem::path::string_type;
using NativeChar = std::filesystem::path::value_type;

}  // namespace partwright
