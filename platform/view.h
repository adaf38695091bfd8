#pragma once
// The window seam: everything the window's logic asks of the window `frmLogin`, and the
// events the window sends back (FormEvents). Implemented by the Qt window (platform/qt),
// the Win32 window, and the scripted window of the tests.
//
// Thread contract: every View method is called on the window's thread, except postToUi,
// which any thread may call. FormEvents are delivered on the window's thread.

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zentro {

enum class Panel { Login, Versions, Install };          // frameLogin, frameVersions, frameInstall
enum class TextBox { FilerCode, Login, Password };      // txtFilerCode, txtLogin, txtPassword
enum class Focusable { FilerCode, Login, Password, Grid };
enum class Bar { Total, Current };                      // prgTotal, prgCurrent
enum class Label { Status, Message, FrameStatus, Bytes };  // lblStatus, lblMessage, frameStatus caption, lblBytes

// Message box buttons, icons and answers (the values of the platform's message box).
enum class Buttons { Ok = 0, OkCancel = 1, YesNo = 4 };
enum class Icon { None = 0, Critical = 16, Question = 32, Exclamation = 48, Information = 64 };
enum class Answer { Ok = 1, Cancel = 2, Yes = 6, No = 7 };

// Full widths of the progress rectangles, in layout units.
inline constexpr double kTotalBarWidth = 6375;
inline constexpr double kCurrentBarWidth = 4335;
// The program's title, shown by message boxes given no title of their own.
inline constexpr const char* kProductName = "Velmora Zentro";
// lblMessage as the window is designed, before the install run writes to it.
inline constexpr const char* kDesignMessageText = "Please wait, initializing system update procedure...";

class View {
 public:
  virtual ~View() = default;

  virtual void setCaption(const std::string& text) = 0;
  virtual void setPanelVisible(Panel panel, bool visible) = 0;

  virtual std::string text(TextBox box) const = 0;
  virtual void setText(TextBox box, const std::string& text) = 0;
  virtual bool rememberChecked() const = 0;                 // chkRemember
  virtual void setRememberChecked(bool checked) = 0;
  virtual void setRememberEnabled(bool enabled) = 0;
  virtual void setRefreshEnabled(bool enabled) = 0;         // cmdRefresh
  virtual void setRefreshVisible(bool visible) = 0;

  virtual void setLabel(Label label, const std::string& text) = 0;
  virtual std::string label(Label label) const = 0;
  virtual void setBarWidth(Bar bar, double layoutUnits) = 0;

  // grdVersions: one column, one row per text; currentGridRow is -1 when none.
  virtual void setGridRows(const std::vector<std::string>& rows) = 0;
  virtual void setCurrentGridRow(int row) = 0;
  virtual int currentGridRow() const = 0;
  virtual int gridRowCount() const = 0;

  virtual void setFocus(Focusable target) = 0;
  virtual void setBusy(bool busy) = 0;      // hourglass pointer over the window
  virtual void repaint() = 0;               // redraw now, so a new text shows before slow work
  virtual void processEvents() = 0;         // handle pending window messages (DoEvents)

  // Modal message box. `title` nullopt = no title given (the product name is shown);
  // "" = an empty title.
  virtual Answer messageBox(const std::string& text, Buttons buttons, Icon icon,
                            const std::optional<std::string>& title) = 0;

  virtual void setInstallTimerEnabled(bool enabled) = 0;  // tmrComInstall, interval 1 ms
  virtual bool installTimerEnabled() const = 0;

  // Unloads the window: Form_QueryUnload (reason: program code) and Form_Unload run, then the
  // window goes away and the program ends once control returns to the event loop.
  virtual void unload() = 0;
  // Ends the program at once without unloading (after the run-time error report).
  virtual void terminate(int exitCode) = 0;

  // Runs `task` on the window's thread at its next event processing. Any thread.
  virtual void postToUi(std::function<void()> task) = 0;
};

// Reason codes of Form_QueryUnload.
enum class UnloadReason { FormControlMenu = 0, FormCode = 1, AppWindows = 2, TaskManager = 3 };

// The window's events, handled by the controller (app/form_login.h).
class FormEvents {
 public:
  virtual ~FormEvents() = default;
  virtual void Form_Load() = 0;
  virtual bool Form_QueryUnload(UnloadReason reason) = 0;  // true = cancel the unload
  virtual void Form_Unload() = 0;
  virtual void cmdLogin_Click() = 0;
  virtual void cmdCancel_Click() = 0;
  virtual void cmdRefresh_Click() = 0;
  virtual void cmdRunVersion_Click() = 0;
  virtual void grdVersions_DblClick(int row) = 0;  // row under the pointer; -1 outside rows
  virtual void cmdCancVersion_Click() = 0;
  virtual void tmrComInstall_Timer() = 0;
};

}  // namespace zentro
