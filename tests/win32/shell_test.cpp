// Starting programs, what only Windows has: how the launcher reads its own command line, and
// the wait that answers sent messages (the recorder program sends one).
// tests/platform/shell_test.cpp holds the contract both systems share.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>

#include "platform/paths.h"
#include "platform/shell.h"
#include "platform/win32/command_line_win.h"

namespace zentro::platform {
namespace {

TEST(CommandLineWinTest, TheArgumentTextFollowsTheProgramsPath) {
  EXPECT_EQ(win32::argumentText(L"\"C:\\Pr\u00FCf \u00DF\\VMIZentro.exe\"  WIN|jdoe|pw"),
            "WIN|jdoe|pw");
  EXPECT_EQ(win32::argumentText(L"C:\\x\\VMIZentro.exe\tA  B "), "A  B ");
  EXPECT_EQ(win32::argumentText(L"\"x y.exe\"\"WIN|a|b\""), "\"WIN|a|b\"");
  EXPECT_EQ(win32::argumentText(L"VMIZentro.exe"), "");
  EXPECT_EQ(win32::argumentText(L"\"unterminated path"), "");
  EXPECT_EQ(win32::argumentText(L"x.exe WIN|m\u00FCller|\u0416"), "WIN|m\xC3\xBCller|\xD0\x96");
}

// A message-only window of the test thread: answers the recorder's sent message, counts the
// posted one that stands for a click or a timer tick.
int postedSeen = 0;
LRESULT CALLBACK answeringProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APP + 7) return 42;
  if (message == WM_APP + 8) ++postedSeen;
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST(ShellWinTest, TheWaitAnswersSentMessagesAndLeavesPostedOnesQueued) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = answeringProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"ZentroShellWaitTest";
  RegisterClassW(&wc);
  HWND window = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                wc.hInstance, nullptr);
  ASSERT_NE(window, nullptr);
  postedSeen = 0;
  PostMessageW(window, WM_APP + 8, 0, 0);
  // The recorder sends to this thread's window while runAndWait waits for it: a wait that does
  // not answer leaves the recorder without an answer (99).
  const auto handle = reinterpret_cast<std::uintptr_t>(window);
  const std::string recorder = joinPath(programFolder(), ZENTRO_RECORDER_EXE);
  EXPECT_EQ(runAndWait("\"" + recorder + "\" --send=" + std::to_string(handle)), 42);
  EXPECT_EQ(postedSeen, 0) << "the wait must not run the window's posted messages";
  MSG msg;
  EXPECT_TRUE(PeekMessageW(&msg, window, WM_APP + 8, WM_APP + 8, PM_REMOVE));
  DestroyWindow(window);
  UnregisterClassW(wc.lpszClassName, wc.hInstance);
}

}  // namespace
}  // namespace zentro::platform
