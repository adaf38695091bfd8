#include "platform/win32/win32_view.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/win32/resource_ids.h"
#include "platform/win32/text_convert_win.h"

namespace zentro::win32 {

using platform::win32::fromWide;
using platform::win32::toWide;
using platform::win32::toWideLines;

namespace {

constexpr wchar_t kWindowClass[] = L"VMIZentroFrmLogin";
constexpr wchar_t kPanelClass[] = L"VMIZentroPanel";
constexpr UINT kTaskMessage = WM_APP + 1;
constexpr UINT_PTR kInstallTimerId = 1;
constexpr UINT kInstallTimerMs = 1;  // Windows raises it to its minimum (about 10 ms)

// Panels pass what their controls report on to the window, which owns the logic.
LRESULT CALLBACK panelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
      return SendMessageW(GetParent(hwnd), message, wParam, lParam);
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

void registerClasses(HINSTANCE instance, HICON bigIcon, HICON smallIcon) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = frmLoginProc;
  wc.hInstance = instance;
  wc.hIcon = bigIcon;
  wc.hIconSm = smallIcon;
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kWindowClass;
  RegisterClassExW(&wc);

  WNDCLASSEXW panel{};
  panel.cbSize = sizeof panel;
  panel.lpfnWndProc = panelProc;
  panel.hInstance = instance;
  panel.hCursor = wc.hCursor;
  panel.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  panel.lpszClassName = kPanelClass;
  RegisterClassExW(&panel);
}

std::string windowText(HWND hwnd) {
  int n = GetWindowTextLengthW(hwnd);
  if (n <= 0) return {};
  std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
  n = GetWindowTextW(hwnd, text.data(), n + 1);
  text.resize(static_cast<std::size_t>(std::max(n, 0)));
  return fromWide(text);
}

}  // namespace

LRESULT CALLBACK frmLoginProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* view = reinterpret_cast<Win32View*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!view || !view->hwnd_) return DefWindowProcW(hwnd, message, wParam, lParam);
  return view->onMessage(message, wParam, lParam);
}

Win32View::Win32View(HINSTANCE instance) : instance_(instance) {
  INITCOMMONCONTROLSEX icc{};
  icc.dwSize = sizeof icc;
  icc.dwICC = ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES;
  InitCommonControlsEx(&icc);

  HDC screen = GetDC(nullptr);
  dpi_ = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  if (dpi_ <= 0) dpi_ = 96;

  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    font_ = CreateFontIndirectW(&metrics.lfMessageFont);
  }
  if (!font_) font_ = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));

  auto loadIcon = [&](int id, int side) {
    return static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(id), IMAGE_ICON, side, side,
                                         LR_DEFAULTCOLOR));
  };
  bigIcon_ = loadIcon(IDI_ZENTRO, GetSystemMetrics(SM_CXICON));
  smallIcon_ = loadIcon(IDI_ZENTRO, GetSystemMetrics(SM_CXSMICON));
  refreshIcon_ = loadIcon(IDI_REFRESH, px(16));
  registerClasses(instance_, bigIcon_, smallIcon_);

  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  const DWORD exStyle = WS_EX_CONTROLPARENT;
  RECT frame{0, 0, px(kWidth), px(kHeight)};
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  HWND created = CreateWindowExW(exStyle, kWindowClass, L"", style, CW_USEDEFAULT, CW_USEDEFAULT,
                                 frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                 nullptr, instance_, this);
  hwnd_ = created;
  if (!hwnd_) return;
  buildControls();
}

Win32View::~Win32View() {
  if (hwnd_) {
    KillTimer(hwnd_, kInstallTimerId);
    HWND gone = hwnd_;
    hwnd_ = nullptr;
    DestroyWindow(gone);
  }
  if (font_) DeleteObject(font_);
  for (HICON icon : {bigIcon_, smallIcon_, refreshIcon_}) {
    if (icon) DestroyIcon(icon);
  }
}

void Win32View::buildControls() {
  // Stacking follows creation order: login at the back, install in front. No WS_CLIPCHILDREN:
  // a group box paints only its frame, so the panel must paint the background beneath it.
  const DWORD panelStyle = WS_CHILD | WS_CLIPSIBLINGS;
  for (HWND* panel : {&frameLogin_, &frameVersions_, &frameInstall_}) {
    *panel = CreateWindowExW(WS_EX_CONTROLPARENT, kPanelClass, L"", panelStyle, 0, 0, px(kWidth),
                             px(kHeight), hwnd_, nullptr, instance_, nullptr);
  }
  buildLoginPanel();
  buildVersionsPanel();
  buildInstallPanel();
  showFrontPanel();
}

HWND Win32View::panelWindow(Panel panel) const {
  switch (panel) {
    case Panel::Login: return frameLogin_;
    case Panel::Versions: return frameVersions_;
    case Panel::Install: return frameInstall_;
  }
  return frameLogin_;
}

HWND Win32View::box(TextBox which) const {
  switch (which) {
    case TextBox::FilerCode: return txtFilerCode_;
    case TextBox::Login: return txtLogin_;
    case TextBox::Password: return txtPassword_;
  }
  return txtFilerCode_;
}

void Win32View::showFrontPanel() {
  int front = -1;
  for (int i = 2; i >= 0 && front < 0; --i) {
    if (panelVisible_[static_cast<std::size_t>(i)]) front = i;
  }
  const HWND panels[] = {frameLogin_, frameVersions_, frameInstall_};
  HWND focus = GetFocus();
  bool focusLost = false;
  for (int i = 0; i < 3; ++i) {
    const bool shown = i == front;
    if (!shown && focus && IsChild(panels[i], focus)) focusLost = true;
    ShowWindow(panels[i], shown ? SW_SHOWNA : SW_HIDE);
  }
  // Focus must not stay in a panel that is no longer in front.
  if (focusLost && front >= 0 && GetActiveWindow() == hwnd_) {
    HWND first = GetNextDlgTabItem(hwnd_, nullptr, FALSE);
    if (first) SetFocus(first);
  }
}

void Win32View::show() {
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  RECT frame{};
  GetWindowRect(hwnd_, &frame);
  const int w = frame.right - frame.left, h = frame.bottom - frame.top;
  SetWindowPos(hwnd_, nullptr, work.left + (work.right - work.left - w) / 2,
               work.top + (work.bottom - work.top - h) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ShowWindow(hwnd_, SW_SHOWNORMAL);
  UpdateWindow(hwnd_);
  SetForegroundWindow(hwnd_);
  HWND target = focusTarget_ && IsWindowVisible(focusTarget_) ? focusTarget_
                                                              : GetNextDlgTabItem(hwnd_, nullptr, FALSE);
  if (target) SetFocus(target);
}

int Win32View::run() {
  MSG msg;
  while (!ended_ && GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (!IsDialogMessageW(hwnd_, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  return 0;
}

void Win32View::setCaption(const std::string& text) { SetWindowTextW(hwnd_, toWide(text).c_str()); }

void Win32View::setPanelVisible(Panel panel, bool visible) {
  panelVisible_[static_cast<std::size_t>(panel)] = visible;
  showFrontPanel();
}

std::string Win32View::text(TextBox which) const { return windowText(box(which)); }

void Win32View::setText(TextBox which, const std::string& text) {
  SetWindowTextW(box(which), toWide(text).c_str());
}

bool Win32View::rememberChecked() const {
  return SendMessageW(chkRemember_, BM_GETCHECK, 0, 0) == BST_CHECKED;
}
void Win32View::setRememberChecked(bool checked) {
  SendMessageW(chkRemember_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}
void Win32View::setRememberEnabled(bool enabled) { EnableWindow(chkRemember_, enabled); }
void Win32View::setRefreshEnabled(bool enabled) { EnableWindow(cmdRefresh_, enabled); }
void Win32View::setRefreshVisible(bool visible) {
  ShowWindow(cmdRefresh_, visible ? SW_SHOWNA : SW_HIDE);
}

void Win32View::setLabel(Label which, const std::string& text) {
  labels_[static_cast<std::size_t>(which)] = text;
  switch (which) {
    case Label::Status: SetWindowTextW(lblStatus_, toWideLines(text).c_str()); break;
    case Label::Message: SetWindowTextW(lblMessage_, toWideLines(text).c_str()); break;
    case Label::FrameStatus: showFrameCaption(); break;
    case Label::Bytes: SetWindowTextW(lblBytes_, toWideLines(text).c_str()); break;
  }
}

std::string Win32View::label(Label which) const { return labels_[static_cast<std::size_t>(which)]; }

void Win32View::showFrameCaption() {
  // One line, shortened with an ellipsis to the frame's width; '&' doubled so file names show
  // as they are instead of marking a mnemonic.
  std::wstring line = toWide(labels_[static_cast<std::size_t>(Label::FrameStatus)]);
  std::replace(line.begin(), line.end(), L'\r', L' ');
  std::replace(line.begin(), line.end(), L'\n', L' ');
  RECT frame{};
  GetClientRect(frameStatus_, &frame);
  RECT room{0, 0, std::max<LONG>(0, frame.right - px(24)), px(20)};
  HDC dc = GetDC(frameStatus_);
  HGDIOBJ old = SelectObject(dc, font_);
  std::wstring fitted = line + std::wstring(4, L'\0');  // room for the ellipsis
  DrawTextW(dc, fitted.data(), -1, &room,
            DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS | DT_MODIFYSTRING | DT_CALCRECT);
  SelectObject(dc, old);
  ReleaseDC(frameStatus_, dc);
  fitted.resize(wcslen(fitted.c_str()));
  std::wstring shown;
  for (wchar_t c : fitted) {
    shown += c;
    if (c == L'&') shown += L'&';
  }
  SetWindowTextW(frameStatus_, shown.c_str());
}

void Win32View::setBarWidth(Bar bar, double layoutUnits) {
  std::size_t i = bar == Bar::Total ? 0 : 1;
  if (barUnits_[i] == layoutUnits) return;
  barUnits_[i] = layoutUnits;
  InvalidateRect(bar == Bar::Total ? prgTotal_ : prgCurrent_, nullptr, FALSE);
}

void Win32View::setGridRows(const std::vector<std::string>& rows) {
  SendMessageW(grdVersions_, WM_SETREDRAW, FALSE, 0);
  ListView_DeleteAllItems(grdVersions_);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    std::wstring text = toWide(rows[r]);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(r);
    item.pszText = text.data();
    SendMessageW(grdVersions_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
  }
  SendMessageW(grdVersions_, WM_SETREDRAW, TRUE, 0);
  setCurrentGridRow(-1);
  ListView_EnsureVisible(grdVersions_, 0, FALSE);
}

void Win32View::setCurrentGridRow(int row) {
  ListView_SetItemState(grdVersions_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
  currentRow_ = -1;
  if (row < 0 || row >= gridRowCount()) return;
  ListView_SetItemState(grdVersions_, row, LVIS_SELECTED | LVIS_FOCUSED,
                        LVIS_SELECTED | LVIS_FOCUSED);
  ListView_EnsureVisible(grdVersions_, row, FALSE);
  currentRow_ = row;
}

int Win32View::currentGridRow() const { return currentRow_; }

int Win32View::gridRowCount() const { return ListView_GetItemCount(grdVersions_); }

void Win32View::setFocus(Focusable target) {
  HWND control = grdVersions_;
  switch (target) {
    case Focusable::FilerCode: control = txtFilerCode_; break;
    case Focusable::Login: control = txtLogin_; break;
    case Focusable::Password: control = txtPassword_; break;
    case Focusable::Grid: control = grdVersions_; break;
  }
  focusTarget_ = control;
  if (IsWindowVisible(hwnd_)) SetFocus(control);
}

void Win32View::setBusy(bool busy) {
  if (busy == busy_) return;
  busy_ = busy;
  SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(busy ? IDC_WAIT : IDC_ARROW)));
}

void Win32View::repaint() {
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void Win32View::processEvents() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // The outer loop ends on it: hand it back and stop pumping.
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    if (!IsDialogMessageW(hwnd_, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
}

Answer Win32View::messageBox(const std::string& text, Buttons buttons, Icon icon,
                             const std::optional<std::string>& title) {
  const std::wstring caption = toWide(title ? *title : std::string(kProductName));
  const UINT flags = static_cast<UINT>(buttons) | static_cast<UINT>(icon) | MB_SETFOREGROUND;
  // The hourglass of a running step would otherwise hide that the box wants an answer.
  if (busy_) SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW)));
  int answer = MessageBoxW(hwnd_, toWideLines(text).c_str(), caption.c_str(), flags);
  if (busy_) SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
  switch (answer) {
    case IDOK: return Answer::Ok;
    case IDCANCEL: return Answer::Cancel;
    case IDYES: return Answer::Yes;
    case IDNO: return Answer::No;
    default: break;
  }
  // No answer (the box could not be shown): the choice that changes nothing.
  return buttons == Buttons::YesNo ? Answer::No : buttons == Buttons::OkCancel ? Answer::Cancel
                                                                              : Answer::Ok;
}

void Win32View::setInstallTimerEnabled(bool enabled) {
  if (enabled == timerOn_) return;
  timerOn_ = enabled;
  if (enabled) {
    SetTimer(hwnd_, kInstallTimerId, kInstallTimerMs, nullptr);
  } else {
    KillTimer(hwnd_, kInstallTimerId);
  }
}

void Win32View::unload() {
  if (ended_) return;
  if (events_ && events_->Form_QueryUnload(UnloadReason::FormCode)) return;
  finishUnload();
}

void Win32View::finishUnload() {
  if (events_) events_->Form_Unload();
  ended_ = true;
  setInstallTimerEnabled(false);
  ShowWindow(hwnd_, SW_HIDE);
  // Queued, so the handler that unloaded the window returns before the loop ends.
  PostQuitMessage(0);
}

void Win32View::terminate(int exitCode) {
  setInstallTimerEnabled(false);
  ShowWindow(hwnd_, SW_HIDE);
  // Leaving through the message loop would let a step that was waiting in processEvents carry
  // on after the error; the run-time error report ends the process where it stands.
  std::fflush(nullptr);
  std::_Exit(exitCode);
}

void Win32View::postToUi(std::function<void()> task) {
  {
    std::lock_guard<std::mutex> lock(tasksMutex_);
    tasks_.push_back(std::move(task));
  }
  PostMessageW(hwnd_, kTaskMessage, 0, 0);
}

void Win32View::runNextTask() {
  std::function<void()> task;
  {
    std::lock_guard<std::mutex> lock(tasksMutex_);
    if (tasks_.empty()) return;
    task = std::move(tasks_.front());
    tasks_.pop_front();
  }
  task();
}

void Win32View::fire(void (FormEvents::*handler)()) {
  if (events_ && !ended_) (events_->*handler)();
}

bool Win32View::pressable(HWND loginPanelButton) const {
  // Shown on the panel in front (its own style, so this holds before the window is first shown)
  // and enabled.
  auto shown = [](HWND w) { return (GetWindowLongW(w, GWL_STYLE) & WS_VISIBLE) != 0; };
  return shown(frameLogin_) && shown(loginPanelButton) && IsWindowEnabled(loginPanelButton);
}

void Win32View::onCommand(int id, int code) {
  if (code != BN_CLICKED) return;
  // The dialog manager's Enter and Esc: the default and cancel buttons of the login panel,
  // only while it is in front and the button can be pressed.
  if (id == IDOK) {
    if (pressable(cmdLogin_)) fire(&FormEvents::cmdLogin_Click);
    return;
  }
  if (id == IDCANCEL) {
    if (pressable(cmdCancel_)) fire(&FormEvents::cmdCancel_Click);
    return;
  }
  switch (id) {
    case kIdCmdLogin: fire(&FormEvents::cmdLogin_Click); break;
    case kIdCmdCancel: fire(&FormEvents::cmdCancel_Click); break;
    case kIdCmdRefresh: fire(&FormEvents::cmdRefresh_Click); break;
    case kIdRun: fire(&FormEvents::cmdRunVersion_Click); break;
    case kIdCancVersion: fire(&FormEvents::cmdCancVersion_Click); break;
    default: break;
  }
}

void Win32View::onNotify(const NMHDR& header) {
  if (header.hwndFrom != grdVersions_) return;
  if (header.code == LVN_ITEMCHANGED) {
    // The row that takes the focus (a click, the arrow keys) becomes current; losing the
    // selection (a click beside the rows, Ctrl+click) leaves the current row as it is.
    const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
    if ((change.uChanged & LVIF_STATE) && (change.uNewState & LVIS_FOCUSED) &&
        !(change.uOldState & LVIS_FOCUSED) && change.iItem >= 0) {
      currentRow_ = change.iItem;
    }
    return;
  }
  if (header.code != NM_DBLCLK) return;
  const auto& activate = reinterpret_cast<const NMITEMACTIVATE&>(header);
  if (events_ && !ended_) {
    const int row = activate.iItem >= 0 && activate.iItem < gridRowCount() ? activate.iItem : -1;
    events_->grdVersions_DblClick(row);
  }
}

LRESULT Win32View::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      onCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_NOTIFY:
      onNotify(*reinterpret_cast<const NMHDR*>(lParam));
      return 0;
    case WM_DRAWITEM:
      drawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case DM_GETDEFID:
      if (pressable(cmdLogin_)) return MAKELRESULT(kIdCmdLogin, DC_HASDEFID);
      return 0;
    case WM_TIMER:
      if (wParam == kInstallTimerId && timerOn_) fire(&FormEvents::tmrComInstall_Timer);
      return 0;
    case kTaskMessage:
      runNextTask();
      return 0;
    case WM_SETCURSOR:
      if (busy_ && LOWORD(lParam) == HTCLIENT) {
        SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
        return TRUE;
      }
      break;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(hwnd_, focus)) focusTarget_ = focus;
      } else if (focusTarget_ && IsWindowVisible(focusTarget_)) {
        SetFocus(focusTarget_);
        return 0;
      }
      break;
    case WM_CLOSE:
      // The close box, the system menu and Alt+F4: the logic may refuse.
      if (ended_ || !events_) return 0;
      if (events_->Form_QueryUnload(UnloadReason::FormControlMenu)) return 0;
      finishUnload();
      return 0;
    case WM_QUERYENDSESSION:
      if (ended_ || !events_) return TRUE;
      return events_->Form_QueryUnload(UnloadReason::AppWindows) ? FALSE : TRUE;
    case WM_ENDSESSION:
      // The logon is ending: the remembered login is still written; the end cannot be refused.
      if (wParam && !ended_ && events_) {
        events_->Form_Unload();
        ended_ = true;
      }
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

}  // namespace zentro::win32
