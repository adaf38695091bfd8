#pragma once
// Removing the local deployment cache. Window thread.

#include <string>

namespace zentro {

// Removes the folder with all its files and subfolders, read-only ones included. Links
// (Windows: junctions and other reparse points too) are removed as links, never entered;
// nothing outside the folder is touched. A file held by another program stays (with whatever
// holds it), and the result is then false. A file (not a folder) at `path` is not a cache
// folder: it is left alone and the result is true.
// True when the folder is gone afterwards or was never there. Never throws.
bool DeleteFolderTree(std::string path);

}  // namespace zentro
