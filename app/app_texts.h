#pragma once
// The window's own texts: captions, messages and status lines of start-up, login, selection,
// closing, deployment start and cache refresh. Used verbatim; tests compare with these.

namespace zentro::texts {

inline constexpr const char* kCaptionPrefix = "VMI Zentro, version ";
inline constexpr const char* kUseProfileSwitch = "USEPROFILE";
inline constexpr const char* kSessionFonts[] = {"fre3of9x.ttf", "free3of9.ttf", "Pd2nn___.ttf",
                                                "PW-39.ttf"};

// Configuration properties.
inline constexpr const char* kPropBaseUrl = "BaseURL";
inline constexpr const char* kPropSharedEnvironment = "SharedEnvironment";
inline constexpr const char* kPropWarnIfUpdates = "WarnIfUpdates";
inline constexpr const char* kPropRunFromTemp = "RunFromTemp";
// Where the service is reached when the configuration names no base URL.
inline constexpr const char* kDefaultBaseUrl = "https://zentro.velmora.example/cvbo";

// Settings store.
inline constexpr const char* kSettingsApp = "VMIZentro";
inline constexpr const char* kSettingsSection = "LoginInfo";
inline constexpr const char* kKeyFilerCode = "FilerCode";
inline constexpr const char* kKeyLogin = "Login";
inline constexpr const char* kKeyPassword = "Password";
inline constexpr const char* kKeyRemember = "Remember";

inline constexpr const char* kUseCancelButton =
    "Please use the \"Cancel\" button if you wish to close this program now.";

// Login flow.
inline constexpr const char* kFilerCodeMissing = "Filer Code is missing.  Please try again.";
inline constexpr const char* kLoginMissing = "Login is missing.  Please try again.";
inline constexpr const char* kPasswordMissing = "Password is missing.  Please try again.";
inline constexpr const char* kAuthenticating = "Authenticating, please wait...";
inline constexpr const char* kValidating = "Validating deployment options...";
inline constexpr const char* kInvalidLoginStatus = "Invalid Filer Code/Login Combination";
inline constexpr const char* kInvalidLoginMessage =
    "Invalid Filer Code / Login combination entered.  Please check your information and try "
    "again.";
inline constexpr const char* kInvalidPasswordStatus =
    "Invalid Filer Code/Login/Password Combination";
inline constexpr const char* kInvalidPasswordMessage =
    "Invalid Filer Code / Login / Password combination entered.  Please check your information "
    "and try again.";

// Business objects.
inline constexpr const char* kLoginProgId = "CVBO_V2.Init";
inline constexpr const char* kClientProgId = "CVBOGeneral_V3.Init";

// Deployment start.
inline constexpr const char* kInitializing = " - initializing...";
inline constexpr const char* kCheckingForUpdates = " - checking for updates...";
inline constexpr const char* kDownloadingUpdates = " - downloading/installing updates...";
inline constexpr const char* kZeroUpdatesFound = "0 updates found...";
inline constexpr const char* kCheckForUpdatesQuestion = "Do you want to check for updates now?";
inline constexpr long kLoginCheckErrorNumber = 20;
inline constexpr const char* kLoginCheckSource = "Login Check";
inline constexpr const char* kLoginCheckDescription =
    "The filer code/login/password you have supplied is not valid.";
inline constexpr const char* kDeploymentGone = "The selected deployment is no longer available.";
// A folder field of the deployment that would lead outside the root folder: start + field + end.
inline constexpr const char* kFolderRefusedStart = "The deployment's ";
inline constexpr const char* kFolderRefusedEnd =
    " does not name a folder inside the VMI Zentro folder; the deployment cannot be started.";
inline constexpr const char* kGroupKeyPrefix = "INSTALL_";
inline constexpr const char* kUpdateAdminProperty = "UPDATEADMINLOGIN";

// Cache refresh.
inline constexpr const char* kRefreshQuestion = "Refresh your VMI Zentro Cache now?";
inline constexpr const char* kRefreshDone = "VMI Zentro Cache successfully refreshed.";
inline constexpr const char* kRefreshFailed =
    "WARNING: There VMI Zentro Cache was not successfully refreshed.  This usually occurs when "
    "you have one of the Velmora applications (other than the Zentro itself) still running.\r\r"
    "Please make sure there are no other Velmora applications running, wait a minute, then try "
    "refreshing again.";

}  // namespace zentro::texts
