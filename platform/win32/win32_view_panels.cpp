// Win32View's panels (platform/win32/win32_view.h): the three panels of frmLogin and their
// controls, as the window is designed. Positions are in device-independent pixels on the 430 x 270
// client area, scaled to the system DPI.
#include <windows.h>
#include <commctrl.h>
#include <uxtheme.h>

#include "platform/win32/text_convert_win.h"
#include "platform/win32/win32_view.h"
#include "platform/window_texts.h"

namespace zentro::win32 {
namespace {

// The design texts are shared with the Linux window (a header without toolkit code).
namespace design = zentro::qt;

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kLabel = kChild | SS_LEFT | SS_NOPREFIX;
constexpr DWORD kButton = kChild | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kEdit = kChild | WS_TABSTOP | ES_AUTOHSCROLL;

constexpr int kMargin = 20;
constexpr int kButtonW = 84;
constexpr int kButtonH = 26;
constexpr int kRight = Win32View::kWidth - kMargin;

// A group box paints only its frame and caption; beneath its siblings it never covers them.
void sendToBack(HWND control) {
  SetWindowPos(control, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

}  // namespace

HWND Win32View::addControl(HWND parent, const wchar_t* cls, const std::string& text, DWORD style,
                           int id, int x, int y, int w, int h, DWORD exStyle) {
  HWND control = CreateWindowExW(exStyle, cls, platform::win32::toWideLines(text).c_str(), style, px(x), px(y),
                                 px(w), px(h), parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_,
                                 nullptr);
  if (control) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  return control;
}

void Win32View::buildLoginPanel() {
  HWND p = frameLogin_;
  image1_ = addControl(p, L"STATIC", "", kChild | SS_OWNERDRAW, kIdImage1, kMargin, kMargin, 72, 72);

  const int labelX = 112, editX = 186, rowH = 23, rowStep = 32, firstRow = 22;
  const std::pair<const char*, HWND*> rows[] = {{design::kFilerCodeLabel, &txtFilerCode_},
                                                {design::kLoginLabel, &txtLogin_},
                                                {design::kPasswordLabel, &txtPassword_}};
  int id = kIdFilerCode;
  for (int r = 0; r < 3; ++r) {
    const int y = firstRow + r * rowStep;
    addControl(p, L"STATIC", rows[r].first, kLabel, kIdStatic, labelX, y + 4, editX - labelX - 4, 18);
    DWORD style = kEdit | (id == kIdPassword ? ES_PASSWORD : 0);
    *rows[r].second = addControl(p, WC_EDITW, "", style, id++, editX, y, kRight - editX, rowH,
                                 WS_EX_CLIENTEDGE);
  }
  // Every typed character shows as "*" (common controls 6 would draw a dot otherwise).
  SendMessageW(txtPassword_, EM_SETPASSWORDCHAR, L'*', 0);
  chkRemember_ = addControl(p, WC_BUTTONW, design::kRememberCaption,
                            kChild | WS_TABSTOP | BS_AUTOCHECKBOX, kIdRemember, editX,
                            firstRow + 3 * rowStep, kRight - editX, 20);

  const int buttonsY = 198;
  cmdLogin_ = addControl(p, WC_BUTTONW, design::kLoginCaption, kButton | BS_DEFPUSHBUTTON,
                         kIdCmdLogin, kRight - 2 * kButtonW - 8, buttonsY, kButtonW, kButtonH);
  cmdCancel_ = addControl(p, WC_BUTTONW, design::kCancelCaption, kButton, kIdCmdCancel,
                          kRight - kButtonW, buttonsY, kButtonW, kButtonH);
  cmdRefresh_ = addControl(p, WC_BUTTONW, "", kButton | BS_ICON, kIdCmdRefresh, kMargin,
                           buttonsY - 2, 30, 30);
  SendMessageW(cmdRefresh_, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(refreshIcon_));
  lblStatus_ = addControl(p, L"STATIC", "", kLabel, kIdStatus, kMargin, 232, kRight - kMargin, 34);
}

void Win32View::buildVersionsPanel() {
  HWND p = frameVersions_;
  HWND group = addControl(p, WC_BUTTONW, design::kVersionsCaption, kChild | BS_GROUPBOX,
                          kIdVersionsGroup, 12, 10, kWidth - 24, 206);
  grdVersions_ = addControl(p, WC_LISTVIEWW, "",
                            kChild | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS |
                                LVS_NOCOLUMNHEADER,
                            kIdGrid, 24, 34, kWidth - 48, 170, WS_EX_CLIENTEDGE);
  ListView_SetExtendedListViewStyle(grdVersions_, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
  SetWindowTheme(grdVersions_, L"Explorer", nullptr);
  LVCOLUMNW column{};
  column.mask = LVCF_WIDTH;
  RECT client{};
  GetClientRect(grdVersions_, &client);
  column.cx = client.right - client.left;
  SendMessageW(grdVersions_, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));

  const int buttonsY = 230;
  cmdRunVersion_ = addControl(p, WC_BUTTONW, design::kRunCaption, kButton, kIdRun,
                              kWidth - 12 - 2 * kButtonW - 8, buttonsY, kButtonW, kButtonH);
  cmdCancVersion_ = addControl(p, WC_BUTTONW, design::kCancelCaption, kButton, kIdCancVersion,
                               kWidth - 12 - kButtonW, buttonsY, kButtonW, kButtonH);
  sendToBack(group);
}

void Win32View::buildInstallPanel() {
  HWND p = frameInstall_;
  installLogo_ = addControl(p, L"STATIC", "", kChild | SS_OWNERDRAW, kIdInstallLogo, kMargin,
                            kMargin, 48, 48);
  lblMessage_ = addControl(p, L"STATIC", kDesignMessageText, kLabel, kIdMessage, 82, 24,
                           kRight - 82, 48);
  labels_[static_cast<std::size_t>(Label::Message)] = kDesignMessageText;

  const int frameX = kMargin, frameY = 84, frameW = kWidth - 2 * kMargin, frameH = 118;
  frameStatus_ = addControl(p, WC_BUTTONW, "", kChild | BS_GROUPBOX, kIdFrameStatus, frameX,
                            frameY, frameW, frameH);
  const int labelX = frameX + 14, barX = frameX + 76, barW = frameW - 76 - 14;
  addControl(p, L"STATIC", design::kTotalLabel, kLabel, kIdStatic, labelX, frameY + 28, 60, 18);
  prgTotal_ = addControl(p, L"STATIC", "", kChild | SS_OWNERDRAW, kIdTotal, barX, frameY + 29,
                         barW, 16);
  addControl(p, L"STATIC", design::kCurrentLabel, kLabel, kIdStatic, labelX, frameY + 56, 60, 18);
  prgCurrent_ = addControl(p, L"STATIC", "", kChild | SS_OWNERDRAW, kIdCurrent, barX,
                           frameY + 57, barW, 16);
  lblBytes_ = addControl(p, L"STATIC", "", kChild | SS_RIGHT | SS_NOPREFIX, kIdBytes, barX,
                         frameY + 84, barW, 18);
  sendToBack(frameStatus_);
}

}  // namespace zentro::win32
