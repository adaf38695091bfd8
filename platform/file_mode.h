#pragma once
// Making a delivered program runnable. Windows runs any program file it is given; on Linux a
// file needs the execute right, which a download does not carry. Never throws.

#include <string>

namespace zentro::platform {

// When the file is a program (an ELF image or a "#!" script), gives it the execute right
// wherever it has the read right. Returns true when the file is a program that is now
// runnable; false for other files, for a link (never followed) and on failure. Windows: true
// for any existing file.
bool makeRunnableIfProgram(const std::string& path);

}  // namespace zentro::platform
