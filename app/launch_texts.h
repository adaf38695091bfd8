#pragma once
// The launch stage's own texts and names, kept in one place so code and tests agree.

#include <string_view>

namespace zentro::launch_texts {

inline constexpr std::string_view kCr = "\r";
inline constexpr std::string_view kTwoCr = "\r\r";

// Out-of-date warning.
inline constexpr std::string_view kWarnAlways = "W";
inline constexpr std::string_view kWarnAdmin = "A";
inline constexpr std::string_view kWarningStart =
    "WARNING: You are not using the latest version of this application.  There are ";
inline constexpr std::string_view kWarningFile = " file";
inline constexpr std::string_view kWarningPluralS = "s";
inline constexpr std::string_view kWarningNeeding = " needing an update on this machine/server.";
inline constexpr std::string_view kWarningNotifyAdmin = "Please notify your System Administrator.";

// The three shell attempts: verb and the start of the line recorded when it fails.
inline constexpr std::string_view kVerbNone = "";
inline constexpr std::string_view kVerbRunAs = "runas";
inline constexpr std::string_view kVerbOpen = "open";
inline constexpr std::string_view kAttempt1 = "Attempt 1 - ShellExecute() Returned Code ";
inline constexpr std::string_view kAttempt2 = "Attempt 2 - ShellExecute(runas) Returned Code ";
inline constexpr std::string_view kAttempt3 =
    "Attempt 3 - ShellExecute(highestAvailable) Returned Code ";
inline constexpr std::string_view kAttemptError = "   Error: ";
inline constexpr int kShowNormal = 1;
inline constexpr int kShellSuccessAbove = 32;
// The error number of a total failure whose last code is 0 (the shell's out-of-resources
// result): the shell's "out of memory" code.
inline constexpr long kOutOfResourcesNumber = 8;

// A launch record naming a program outside the deployment's folders.
inline constexpr std::string_view kLaunchRefused =
    "The application to start is not a file in the deployment's folders, so it was not "
    "started.";
inline constexpr long kLaunchRefusedNumber = 5;

// ShellExecuteErrorText.
inline constexpr std::string_view kCodeSeparator = " : ";
inline constexpr std::string_view kUnknownErrorCode = "(Unknown Error Code)";

// CopyToTempFolder.
inline constexpr std::string_view kCopyPrefix = "CVTEMP_";
inline constexpr std::string_view kCopyStampSeparator = "_";
inline constexpr int kCopyFolderAttempts = 1000;

}  // namespace zentro::launch_texts
