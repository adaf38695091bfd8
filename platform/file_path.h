#pragma once
// Filesystem paths from the program's texts and back. Every text inside the program is UTF-8;
// a std::filesystem::path built from a plain std::string is read in the C library's narrow
// encoding on Windows (byte by byte), so "ü" in a folder name would miss the file. Build every
// path through pathFromUtf8 and read it back through utf8FromPath. Any thread; never throws.

#include <filesystem>
#include <string>
#include <string_view>

namespace zentro::platform {

// The path named by a UTF-8 text. A text that is not valid UTF-8 gives the empty path, which
// names no file, so the caller's file call fails cleanly.
inline std::filesystem::path pathFromUtf8(std::string_view utf8) {
  try {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
  } catch (...) {  // invalid UTF-8 on Windows: no file can carry that name
    return {};
  }
}

// The UTF-8 text of a path ("" when it cannot be converted).
inline std::string utf8FromPath(const std::filesystem::path& path) {
  try {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
  } catch (...) {  // a wide name that is not valid UTF-16: report no name
    return {};
  }
}

}  // namespace zentro::platform
