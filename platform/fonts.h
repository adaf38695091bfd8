#pragma once
// Font registration. Never throw; results are informational only.

#include <string>

namespace zentro::platform {

// Makes the font file usable until the user logs off (AddFontResource). Linux: the file is
// linked into a per-session fontconfig folder. Returns a count of fonts added (0 = failure).
int addFontResource(const std::string& path);

// Tells running programs that the font table changed (WM_FONTCHANGE broadcast; Linux:
// refreshes the fontconfig cache of the user font folder). Returns when done.
void broadcastFontChange();

// Linux stand-in for a permanent install: the user font folder that fonts are linked into.
std::string userFontFolder();

// Linux stand-in for a permanent install: links (or, failing that, copies) the font file into
// userFontFolder(). False when the file is missing, does not look like a font, or cannot be
// placed. Windows: the fonts folder is permanent already; returns true.
bool installUserFont(const std::string& path);

}  // namespace zentro::platform
