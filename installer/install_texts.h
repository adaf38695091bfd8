#pragma once
// The install run's, the download handling's and the font registration's own texts, names and
// numbers, kept in one place so code and tests use the same words.

#include <string_view>

namespace zentro::install_texts {

inline constexpr std::string_view kCr = "\r";
inline constexpr std::string_view kTwoCr = "\r\r";

// --- install run -----------------------------------------------------------------------------
inline constexpr std::string_view kInstallErrorShared =
    "ERROR: The VMI Zentro cannot update one or more files on this shared system.  Please close "
    "any running Velmora applications you may have, and make sure no other users are currently "
    "using Velmora on this shared system, then try again.";
inline constexpr std::string_view kInstallErrorSingle =
    "ERROR: The VMI Zentro cannot update one or more files on your system/machine.  Please close "
    "any running Velmora applications, then try again.";
inline constexpr std::string_view kWillNowClose = "The VMI Zentro will now close.";
inline constexpr std::string_view kInstallErrorTitle = "INSTALLATION ERROR";

inline constexpr std::string_view kInitializationComplete = " - initialization complete";

inline constexpr std::string_view kSummaryFileWas = " file was";
inline constexpr std::string_view kSummaryFilesWere = " files were";
inline constexpr std::string_view kSummaryUpdated = " updated.";

inline constexpr std::string_view kCountUpdate = " update";
inline constexpr std::string_view kPluralS = "s";
inline constexpr std::string_view kCountFound = " found...";

inline constexpr std::string_view kMissingRights =
    "This program cannot continue.  You do not have enough rights to install files.";
inline constexpr std::string_view kMissingRightsAdvice =
    "Please contact your system administrator to give you additional rights to install programs.";
inline constexpr std::string_view kCriticalErrorTitle = "Critical Error";

inline constexpr std::string_view kDownloadingAndInstalling = "Downloading and Installing: ";
inline constexpr std::string_view kProcessing = "Processing...";

// --- install-file record ----------------------------------------------------------------------
inline constexpr std::string_view kFieldFileName = "FileName";
inline constexpr std::string_view kFieldSequenceId = "SequenceID";
inline constexpr std::string_view kFieldInstallType = "InstallType";
inline constexpr std::string_view kFieldFileVersion = "FileVersion";
inline constexpr std::string_view kFieldAltCheck = "AltCheck";
inline constexpr std::string_view kFieldAltCheckRegValue = "AltCheckRegValue";
inline constexpr std::string_view kFieldInstallLocation = "InstallLocation";
inline constexpr std::string_view kFieldDescription = "Description";
inline constexpr std::string_view kFieldIsCompressed = "IsCompressed";
inline constexpr std::string_view kFieldDownloadLocation = "DownloadLocation";
inline constexpr std::string_view kFieldSha256 = "SHA256";  // optional

inline constexpr double kLaunchSequenceId = 9999;

// Folder placeholders of InstallLocation, compared after upper-casing.
inline constexpr std::string_view kLocProduct = "CORVALEDIR";
inline constexpr std::string_view kLocTemp = "TEMPDIR";
inline constexpr std::string_view kLocCommon = "COMMONDIR";
inline constexpr std::string_view kLocBroker = "BROKERDIR";
inline constexpr std::string_view kLocClient = "CLIENTDIR";
inline constexpr std::string_view kLocCompany = "PELLWORTHDIR";
inline constexpr std::string_view kLocSystem = "SYSTEMDIR";
inline constexpr std::string_view kLocWindows = "WINDOWSDIR";
inline constexpr std::string_view kLocFonts = "FONTSDIR";

// Path placeholders of AltCheck, matched with letter case.
inline constexpr std::string_view kAltSystemDir = "<SYSTEMDIR>";
inline constexpr std::string_view kAltProgramFiles = "<PROGRAMFILES>";
inline constexpr std::string_view kAltWindowsDir = "<WINDOWSDIR>";

// --- download ---------------------------------------------------------------------------------
inline constexpr std::string_view kRequestHeaders = "Proxy-Connection: Keep-Alive";
inline constexpr std::string_view kGet = "GET";
inline constexpr std::string_view kContentLength = "Content-length";
inline constexpr std::string_view kCompressedSuffix = ".cmp";
// A download is written under this suffix and renamed once complete and verified.
inline constexpr std::string_view kPartSuffix = ".part";
inline constexpr std::size_t kChunkSize = 2048;

inline constexpr std::string_view kDownloadError = "There was an error downloading file ";
inline constexpr std::string_view kNotFoundOthers =
    "Installation of other files will be completed, but this may cause future errors.";
inline constexpr std::string_view kNotFoundContact =
    "Please contact the Pellworth technical support team about this matter.";

inline constexpr std::string_view kBytesOf = "k of ";
inline constexpr std::string_view kBytesK = "k";

// --- fonts ------------------------------------------------------------------------------------
inline constexpr std::string_view kFontsKey9x =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Fonts";
inline constexpr std::string_view kFontsKeyNt =
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
inline constexpr std::string_view kFontValuePrefix = "Corvale Font ";

}  // namespace zentro::install_texts
