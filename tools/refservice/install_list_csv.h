#pragma once
// Reading a group's install-file list from its CSV file (format in tools/refservice/README.md).
// Pure function over a file; throws WorldError naming file and line.

#include <string>
#include <vector>

#include "tools/refservice/world.h"

namespace zentro::refservice {

// Splits one CSV record (RFC 4180 quoting; unquoted cells trimmed of blanks). `quoted[i]`
// tells whether cell i was quoted. False when a quote is left open.
bool splitCsvLine(const std::string& line, std::vector<std::string>& cells,
                  std::vector<bool>& quoted);

// Reads `csvPath` into entries. `filesDir` is the folder relative sources are found in;
// `displayName` is how errors name the file.
std::vector<InstallEntry> readInstallList(const std::string& csvPath, const std::string& displayName,
                                          const std::string& filesDir,
                                          const WorldLoadOptions& options);

// Reads a whole file; false when it cannot be read.
bool readWholeFile(const std::string& path, std::string& out);

}  // namespace zentro::refservice
