#pragma once
// frmLogin on Windows: a native Win32 window behind the View seam, with common controls 6.
// Three panels share the client area, login (back), selection, install (front); only the
// frontmost visible one is shown, so a covered panel takes no input. Enter presses cmdLogin
// and Esc presses cmdCancel while the login panel is in front (the dialog manager's default
// and cancel buttons); a focused button is pressed by Enter.
//
// Thread contract: every method on the thread that created the window, except postToUi, which
// any thread may call (the task is posted to the window's queue and runs in the window's
// message processing, in order). Events go to the FormEvents given to attach(); before that
// the window sends none.

#include <windows.h>

#include <array>
#include <deque>
#include <functional>
#include <mutex>

#include "platform/view.h"

namespace zentro::win32 {

// The window procedure of frmLogin (registered with its class).
LRESULT CALLBACK frmLoginProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

class Win32View : public View {
 public:
  // Client area in device-independent pixels (scaled to the system DPI).
  static constexpr int kWidth = 430;
  static constexpr int kHeight = 270;

  explicit Win32View(HINSTANCE instance);
  ~Win32View() override;
  Win32View(const Win32View&) = delete;
  Win32View& operator=(const Win32View&) = delete;

  void attach(FormEvents& events) { events_ = &events; }
  // Shows the window centred on the work area and gives it the keyboard.
  void show();
  // Runs the message loop until the window has unloaded; returns the exit code.
  int run();
  // True once the window has unloaded (the program is ending).
  bool ended() const { return ended_; }
  HWND windowHandle() const { return hwnd_; }

  void setCaption(const std::string& text) override;
  void setPanelVisible(Panel panel, bool visible) override;

  std::string text(TextBox box) const override;
  void setText(TextBox box, const std::string& text) override;
  bool rememberChecked() const override;
  void setRememberChecked(bool checked) override;
  void setRememberEnabled(bool enabled) override;
  void setRefreshEnabled(bool enabled) override;
  void setRefreshVisible(bool visible) override;

  void setLabel(Label label, const std::string& text) override;
  std::string label(Label label) const override;
  void setBarWidth(Bar bar, double layoutUnits) override;

  void setGridRows(const std::vector<std::string>& rows) override;
  void setCurrentGridRow(int row) override;
  int currentGridRow() const override;
  int gridRowCount() const override;

  void setFocus(Focusable target) override;
  void setBusy(bool busy) override;
  void repaint() override;
  void processEvents() override;

  Answer messageBox(const std::string& text, Buttons buttons, Icon icon,
                    const std::optional<std::string>& title) override;

  void setInstallTimerEnabled(bool enabled) override;
  bool installTimerEnabled() const override { return timerOn_; }

  void unload() override;
  // Hides the window and ends the process with `exitCode` at once: nothing that was running
  // when the error struck gets to continue, and nothing is saved.
  void terminate(int exitCode) override;

  void postToUi(std::function<void()> task) override;

 private:
  friend LRESULT CALLBACK frmLoginProc(HWND, UINT, WPARAM, LPARAM);
  // Control identifiers (1 and 2 are the dialog manager's Enter and Esc).
  enum ControlId : int {
    kIdFilerCode = 101, kIdLogin, kIdPassword, kIdRemember, kIdCmdLogin, kIdCmdCancel,
    kIdCmdRefresh, kIdStatus, kIdImage1, kIdGrid = 201, kIdRun, kIdCancVersion, kIdVersionsGroup,
    kIdMessage = 301, kIdFrameStatus, kIdTotal, kIdCurrent, kIdBytes, kIdInstallLogo,
    kIdStatic = 399
  };

  LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void buildControls();
  void buildLoginPanel();
  void buildVersionsPanel();
  void buildInstallPanel();
  HWND addControl(HWND parent, const wchar_t* cls, const std::string& text, DWORD style, int id,
                  int x, int y, int w, int h, DWORD exStyle = 0);
  int px(int dip) const { return MulDiv(dip, dpi_, 96); }
  HWND panelWindow(Panel panel) const;
  HWND box(TextBox which) const;
  void showFrontPanel();
  // Whether Enter/Esc may press this login-panel button: its panel is in front, it is shown
  // and enabled.
  bool pressable(HWND loginPanelButton) const;
  void onCommand(int id, int code);
  void onNotify(const NMHDR& header);
  void drawItem(const DRAWITEMSTRUCT& item);
  void showFrameCaption();
  void fire(void (FormEvents::*handler)());
  void finishUnload();
  void runNextTask();

  HINSTANCE instance_;
  HWND hwnd_ = nullptr;
  int dpi_ = 96;
  HFONT font_ = nullptr;
  HICON bigIcon_ = nullptr;
  HICON smallIcon_ = nullptr;
  HICON refreshIcon_ = nullptr;

  FormEvents* events_ = nullptr;
  bool ended_ = false;
  bool busy_ = false;
  bool timerOn_ = false;
  std::array<bool, 3> panelVisible_{true, false, false};
  std::array<std::string, 4> labels_;  // by Label, as given (the controls show display forms)
  std::array<double, 2> barUnits_{0, 0};
  HWND focusTarget_ = nullptr;
  // The grid's current row, as Run reads it: the row last focused by the user or set by the
  // logic, -1 for none. Kept apart from the selection, which the user can clear.
  int currentRow_ = -1;

  std::mutex tasksMutex_;
  std::deque<std::function<void()>> tasks_;

  // Control handles, filled by buildControls.
  HWND frameLogin_ = nullptr, frameVersions_ = nullptr, frameInstall_ = nullptr;
  HWND image1_ = nullptr, txtFilerCode_ = nullptr, txtLogin_ = nullptr, txtPassword_ = nullptr;
  HWND chkRemember_ = nullptr, cmdLogin_ = nullptr, cmdCancel_ = nullptr, cmdRefresh_ = nullptr;
  HWND lblStatus_ = nullptr;
  HWND grdVersions_ = nullptr, cmdRunVersion_ = nullptr, cmdCancVersion_ = nullptr;
  HWND installLogo_ = nullptr, lblMessage_ = nullptr, frameStatus_ = nullptr;
  HWND prgTotal_ = nullptr, prgCurrent_ = nullptr, lblBytes_ = nullptr;
};

}  // namespace zentro::win32
