#pragma once
// Turns a complete download into an installed file: expands a ".cmp" archive, has the file
// placed by its install type, and registers a font. Window thread only; blocks it while the
// file is placed (the busy pointer shows meanwhile).

#include <string>

#include "installer/run_state.h"
#include "platform/view.h"

namespace zentro {

// InstallDownloadedFile: installs the current entry's download (session's current-entry
// values) from folders.tempFolder. Failures are not reported here: a file that cannot be
// placed sets session.updateBlocked; an archive that does not expand (or lacks the entry's
// file) marks session.downloadFailed and places nothing, which blocks the entries whose type
// replaces a target, as a missing download does.
void InstallDownloadedFile(View& view, const WorkingFolders& folders, InstallSession& session);

// ExpandArchive: expands `archivePath` into `folder` and deletes the archive whatever the
// outcome. False (with the reason logged) when the archive did not expand or, with a
// `fileName`, did not hold that file; the files of `folder` are then as they were.
bool ExpandArchive(const std::string& archivePath, const std::string& folder,
                   const std::string& fileName = {});

// The machine-hive key that holds the font registrations for the running system family.
std::string fontsKey();

}  // namespace zentro
