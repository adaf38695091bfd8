#pragma once
// The XDG base folders for the Linux services (paths, fonts, the machine hive). Internal to
// platform/posix. Any thread; never throws.

#include <string>

namespace zentro::platform::posix {

// The folder `variable` names when it holds an absolute path (relative ones are invalid by the
// XDG rules and ignored), else the home folder + "/" + `homeRelative`; "" without a home folder.
std::string xdgFolder(const char* variable, const char* homeRelative);

}  // namespace zentro::platform::posix
