// win32_panel_snapshot: shows frmLogin's Win32 window with one panel filled with sample
// content, for the screenshots of scripts/screenshots-windows.sh (taken under Wine and Xvfb).
//   win32_panel_snapshot.exe login|versions|install SHOWN_FILE
// Once the window has been painted it writes SHOWN_FILE; it ends by itself a few seconds later.
#include <windows.h>

#include <fstream>
#include <string>

#include "platform/program_info.h"
#include "platform/win32/win32_view.h"

namespace {

constexpr UINT kShownAfterMs = 1000;
constexpr UINT kEndAfterMs = 8000;
std::string shownFile;

void CALLBACK markShown(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  std::ofstream(shownFile) << "shown\n";
}

void CALLBACK end(HWND, UINT, UINT_PTR, DWORD) { PostQuitMessage(0); }

void fill(zentro::win32::Win32View& view, const std::string& panel) {
  using namespace zentro;
  const platform::ProgramVersion v = platform::programVersion();
  view.setCaption("VMI Zentro, version " + std::to_string(v.major) + "." +
                  std::to_string(v.minor) + ".0." + std::to_string(v.revision));
  view.setText(TextBox::FilerCode, "DEMO");
  view.setText(TextBox::Login, "ALICE");
  view.setText(TextBox::Password, "alice-demo");
  view.setRememberChecked(true);
  view.setRememberEnabled(true);
  if (panel == "login") {
    view.setLabel(Label::Status, "Authenticating, please wait...");
    view.setFocus(Focusable::Password);
  } else if (panel == "versions") {
    view.setPanelVisible(Panel::Versions, true);
    view.setGridRows({"Demo Broker 2026", "Demo Client", "Demo Broker Pilot"});
    view.setCurrentGridRow(0);
    view.setFocus(Focusable::Grid);
  } else {
    view.setPanelVisible(Panel::Install, true);
    view.setLabel(Label::Message, "[Demo Broker 2026] - Checking for updates...");
    view.setLabel(Label::FrameStatus, "Downloading demo-library.dll & demo-data.dat (4 of 9)");
    view.setBarWidth(Bar::Total, kTotalBarWidth * 0.45);
    view.setBarWidth(Bar::Current, kCurrentBarWidth * 0.7);
    view.setLabel(Label::Bytes, "31,744 of 45,312 bytes");
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  if (__argc < 3) return 2;
  shownFile = __argv[2];
  zentro::win32::Win32View view(instance);
  if (!view.windowHandle()) return 1;
  fill(view, __argv[1]);
  view.show();
  SetTimer(nullptr, 0, kShownAfterMs, markShown);
  SetTimer(nullptr, 0, kEndAfterMs, end);
  return view.run();
}
