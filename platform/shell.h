#pragma once
// Starting programs. Window thread; each call blocks only as documented.

#include <string>
#include <vector>

namespace zentro::platform {

// ShellExecute: starts `file` with `parameters` (one command-line text, split into arguments
// by the Windows rules) in `workingFolder`. `verb` is "", "runas" or "open".
// Returns a number > 32 on success, else the shell's codes: 2 file not found, 3 path not found,
// 5 access denied, 8 out of memory, 11 bad format, 31 no association.
// Linux: an executable file is spawned (not waited for); another file is opened with xdg-open
// when present (31 otherwise); "runas" goes through pkexec when present, else 5.
int shellExecute(const std::string& verb, const std::string& file, const std::string& parameters,
                 const std::string& workingFolder, int showCommand);

// Starts `commandLine` (program path, then arguments by the Windows rules) and waits without a
// time limit. Returns the exit code, or -1 when the program cannot be started.
int runAndWait(const std::string& commandLine);

// What runAndWait returns for a program that ends with `programExitCode`: the code itself on
// Windows; its low 8 bits on Linux, where an exit status is one byte (so an installer's 3010
// arrives as 194, also when a Windows installer runs through a compatibility layer).
int reportedExitCode(int programExitCode);

// Starts `commandLine` shown minimised; does not wait, does not report the outcome.
void startProgram(const std::string& commandLine);

// Splits a command-line text into arguments as the Windows C runtime does (quotes group,
// backslashes before a quote escape it). Shared by both platforms so they agree.
std::vector<std::string> splitCommandLine(const std::string& commandLine);

}  // namespace zentro::platform
