#pragma once
// Starting programs. Window thread; each call blocks only as documented.

#include <string>
#include <string_view>
#include <vector>

namespace zentro::platform {

// The description of the error shellExecute raises for a command line too long to pass on.
inline constexpr std::string_view kCommandLineTooLong =
    "The command line is longer than the system allows.";

// ShellExecute: starts `file` with `parameters` (one command-line text, split into arguments
// by the Windows rules) in `workingFolder`. `verb` is "", "runas" or "open".
// Returns a number > 32 on success, else the shell's codes: 2 file not found, 3 path not found,
// 5 access denied, 8 out of memory, 11 bad format, 31 no association.
// Linux: a file with an execute right is spawned (not waited for); another file is opened with
// xdg-open, which must not give up (31 otherwise); "runas" answers what elevation cannot cure
// (missing file, bad format, a document) as the plain start does, else goes through pkexec
// when present (5 otherwise, and when pkexec gives up). Blocks while a helper tool decides, at
// most a bounded time (the user's answer to the authentication dialog). Raises RuntimeError
// (kCommandLineTooLong) when the arguments are longer than the operating system takes.
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
