#pragma once
// Removing the local deployment cache. Window thread.

#include <string>

namespace zentro {

// Removes the folder with all its files and subfolders, read-only ones included. Symbolic
// links are removed as links; nothing outside the folder is touched. A file held by another
// program stays (with whatever holds it), and the result is then false.
// True when the folder is gone afterwards or was never there. Never throws.
bool DeleteFolderTree(std::string path);

}  // namespace zentro
