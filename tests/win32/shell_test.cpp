// Starting programs through the real shell and process calls, with the probe recording how it
// was started.
#include "platform/shell.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <thread>

#include "platform/file_path.h"
#include "platform/paths.h"
#include "platform/win32/command_line_win.h"
#include "tests/support/temp_dir.h"
#include "tests/win32/win32_test_support.h"

namespace zentro::platform {
namespace {

constexpr int kShowNormal = 1;

using zentro::testing::kNonAscii;

// The probe's record (raw command line, current folder); waits for it to appear, since a
// shell start does not wait for the program.
std::vector<std::string> awaitRecord(const std::string& file) {
  for (int i = 0; i < 400; ++i) {
    std::ifstream in(pathFromUtf8(file), std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    if (lines.size() >= 2) return lines;
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  return {};
}

std::string inQuotes(const std::string& s) { return "\"" + s + "\""; }

class ShellWinTest : public ::testing::Test {
 protected:
  zentro::testing::TempDir dir_;
  std::string probe_ = zentro::testing::probePath();
};

TEST_F(ShellWinTest, ShellExecuteStartsTheProgramWithItsParametersAndFolder) {
  const std::string record = dir_.file("record.txt");
  const std::string parameters =
      "--record=" + inQuotes(record) + " \"http://tok@host/x TOKEN\"";
  const int code = shellExecute("", probe_, parameters, dir_.str(), kShowNormal);
  EXPECT_GT(code, 32);
  std::vector<std::string> lines = awaitRecord(record);
  ASSERT_EQ(lines.size(), 2u);
  std::vector<std::string> args = splitCommandLine(lines[0]);
  ASSERT_EQ(args.size(), 3u) << lines[0];
  EXPECT_EQ(args[1], "--record=" + record);
  EXPECT_EQ(args[2], "http://tok@host/x TOKEN");
  EXPECT_EQ(lines[1], dir_.str());
}

TEST_F(ShellWinTest, VerbsOpenAndNoneBothStart) {
  const std::string record = dir_.file("open.txt");
  EXPECT_GT(shellExecute("open", probe_, "--record=" + inQuotes(record), dir_.str(), kShowNormal), 32);
  EXPECT_EQ(awaitRecord(record).size(), 2u);
}

TEST_F(ShellWinTest, FailuresReturnTheShellsCodes) {
  EXPECT_EQ(shellExecute("", dir_.file("missing.exe"), "", dir_.str(), kShowNormal), 2);
  const int noFolder =
      shellExecute("", dir_.file("no\\such\\folder\\app.exe"), "", dir_.str(), kShowNormal);
  EXPECT_TRUE(noFolder == 2 || noFolder == 3) << noFolder;
  EXPECT_LE(noFolder, 32);
}

TEST_F(ShellWinTest, RunAndWaitReturnsTheWholeExitCode) {
  EXPECT_EQ(runAndWait(inQuotes(probe_) + " --exit=3010"), 3010);
  EXPECT_EQ(reportedExitCode(3010), 3010);
  EXPECT_EQ(runAndWait(inQuotes(probe_)), 0);
  EXPECT_EQ(runAndWait(inQuotes(dir_.file("missing.exe")) + " /q"), -1);
  EXPECT_EQ(runAndWait(""), -1);
}

TEST_F(ShellWinTest, RunAndWaitWaitsForTheProgram) {
  const std::string record = dir_.file("waited.txt");
  ASSERT_EQ(runAndWait(inQuotes(probe_) + " --record=" + inQuotes(record)), 0);
  // No polling: the file is complete once the call has returned.
  std::ifstream in(pathFromUtf8(record));
  std::string first;
  ASSERT_TRUE(std::getline(in, first));
  EXPECT_NE(first.find("--record="), std::string::npos);
}

TEST_F(ShellWinTest, AnyCharacterReachesTheProgramItsArgumentsAndItsFolder) {
  const std::string folder = joinPath(dir_.str(), kNonAscii);
  ASSERT_TRUE(createFolder(folder));
  const std::string record = joinPath(folder, "run.txt");
  const std::string login = "WIN|M\xC3\xBCller|P\xC3\xA4ss \xD0\x96";  // "WIN|Müller|Päss Ж"
  ASSERT_EQ(runAndWait(inQuotes(probe_) + " --record=" + inQuotes(record) + " " + login), 0);
  std::vector<std::string> lines = awaitRecord(record);
  ASSERT_EQ(lines.size(), 2u);
  // How the launcher reads its own command line: everything after its path, as typed.
  EXPECT_EQ(win32::argumentText(win32::toWide(lines[0])),
            "--record=" + inQuotes(record) + " " + login);

  const std::string opened = joinPath(folder, "open.txt");
  EXPECT_GT(shellExecute("", probe_, "--record=" + inQuotes(opened) + " " + login, folder,
                         kShowNormal),
            32);
  lines = awaitRecord(opened);
  ASSERT_EQ(lines.size(), 2u);
  const std::vector<std::string> args = splitCommandLine(lines[0]);
  ASSERT_EQ(args.size(), 4u) << lines[0];
  EXPECT_EQ(args[1], "--record=" + opened);
  EXPECT_EQ(args[2], "WIN|M\xC3\xBCller|P\xC3\xA4ss");
  EXPECT_EQ(args[3], "\xD0\x96");
  EXPECT_EQ(lines[1], folder);
}

TEST(CommandLineWinTest, TheArgumentTextFollowsTheProgramsPath) {
  EXPECT_EQ(win32::argumentText(L"\"C:\\Pr\u00FCf \u00DF\\VMIZentro.exe\"  WIN|jdoe|pw"),
            "WIN|jdoe|pw");
  EXPECT_EQ(win32::argumentText(L"C:\\x\\VMIZentro.exe\tA  B "), "A  B ");
  EXPECT_EQ(win32::argumentText(L"\"x y.exe\"\"WIN|a|b\""), "\"WIN|a|b\"");
  EXPECT_EQ(win32::argumentText(L"VMIZentro.exe"), "");
  EXPECT_EQ(win32::argumentText(L"\"unterminated path"), "");
  EXPECT_EQ(win32::argumentText(L"x.exe WIN|m\u00FCller|\u0416"), "WIN|m\xC3\xBCller|\xD0\x96");
}

// A message-only window of the test thread: answers the probe's sent message, counts the posted
// one that stands for a click or a timer tick.
int postedSeen = 0;
LRESULT CALLBACK answeringProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APP + 7) return 42;
  if (message == WM_APP + 8) ++postedSeen;
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST_F(ShellWinTest, TheWaitAnswersSentMessagesAndLeavesPostedOnesQueued) {
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
  // The probe sends to this thread's window while runAndWait waits for it: a wait that does not
  // answer leaves the probe without an answer (99).
  const auto handle = reinterpret_cast<std::uintptr_t>(window);
  EXPECT_EQ(runAndWait(inQuotes(probe_) + " --send=" + std::to_string(handle)), 42);
  EXPECT_EQ(postedSeen, 0) << "the wait must not run the window's posted messages";
  MSG msg;
  EXPECT_TRUE(PeekMessageW(&msg, window, WM_APP + 8, WM_APP + 8, PM_REMOVE));
  DestroyWindow(window);
  UnregisterClassW(wc.lpszClassName, wc.hInstance);
}

TEST_F(ShellWinTest, StartProgramDoesNotWait) {
  const std::string record = dir_.file("started.txt");
  startProgram(inQuotes(probe_) + " --record=" + inQuotes(record));
  EXPECT_EQ(awaitRecord(record).size(), 2u);
}

}  // namespace
}  // namespace zentro::platform
