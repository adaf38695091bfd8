#pragma once
// The design texts of the window frmLogin: what its controls show before any code changes them.

namespace zentro::qt {

inline constexpr const char* kFilerCodeLabel = "Filer Code:";
inline constexpr const char* kLoginLabel = "Login:";
inline constexpr const char* kPasswordLabel = "Password:";
inline constexpr const char* kRememberCaption = "Remember my login info";
inline constexpr const char* kLoginCaption = "Login";
inline constexpr const char* kCancelCaption = "Cancel";
inline constexpr const char* kVersionsCaption =
    "Please select the application/version you want to run:";
inline constexpr const char* kRunCaption = "Run";
inline constexpr const char* kTotalLabel = "Total:";
inline constexpr const char* kCurrentLabel = "Current:";

}  // namespace zentro::qt
