#include "installer/install_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "installer/install_commands.h"
#include "platform/shell.h"
#include "tests/support/temp_dir.h"

namespace zentro {
namespace {

namespace fs = std::filesystem;
using zentro::testing::readFile;

// Records its arguments, one per line, in <own path>.args and ends with `exitCode`.
std::string recorderScript(int exitCode) {
  return "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$0.args\"\nexit " +
         std::to_string(exitCode) + "\n";
}

class InstallFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(temp_);
    fs::create_directories(target_);
    fs::create_directories(common_);
  }

  std::string download(const std::string& name, const std::string& content) {
    return dir_.write("temp/" + name, content);
  }
  std::string script(const std::string& relative, const std::string& content) {
    std::string path = dir_.write(relative, content);
    fs::permissions(path, fs::perms::owner_all);
    return path;
  }
  std::string targetFile(const std::string& name) { return (target_ / name).string(); }
  std::string common() const { return common_.string(); }

  bool install(const std::string& downloaded, int type, const std::string& target,
               const std::string& version = "1.2.3.4") {
    bool blocked = false;
    InstallFile(downloaded, type, target, version, common(), blocked);
    return blocked;
  }

  zentro::testing::TempDir dir_;
  fs::path temp_ = dir_.path() / "temp";
  fs::path target_ = dir_.path() / "target";
  fs::path common_ = dir_.path() / "common";
};

TEST_F(InstallFileTest, ReplaceMovesTheDownloadIntoPlace) {
  std::string fresh = download("app.dll", "new");
  EXPECT_FALSE(install(fresh, kInstallReplace, targetFile("app.dll")));
  EXPECT_EQ(readFile(targetFile("app.dll")), "new");
  EXPECT_FALSE(fs::exists(fresh));

  // A read-only target is replaced all the same.
  fs::permissions(targetFile("app.dll"), fs::perms::owner_read);
  std::string newer = download("app.dll", "newer");
  EXPECT_FALSE(install(newer, kInstallReplace, targetFile("app.dll")));
  EXPECT_EQ(readFile(targetFile("app.dll")), "newer");
}

TEST_F(InstallFileTest, ReplacesAcrossFileSystems) {
  // A temp folder on another file system than the target (tmpfs here) still ends in one
  // atomic step: the download is copied beside the target first.
  struct stat shmInfo {}, tempInfo {};
  if (::stat("/dev/shm", &shmInfo) != 0 || ::stat(dir_.str().c_str(), &tempInfo) != 0 ||
      shmInfo.st_dev == tempInfo.st_dev) {
    GTEST_SKIP() << "no second file system";
  }
  std::error_code ec;
  zentro::testing::TempDir elsewhere;
  fs::path shm = fs::path("/dev/shm") / elsewhere.path().filename();
  fs::create_directories(shm);
  std::string fresh = (shm / "app.dll").string();
  std::ofstream(fresh) << "new";
  std::string target = dir_.write("target/app.dll", "old");
  EXPECT_FALSE(install(fresh, kInstallReplace, target));
  EXPECT_EQ(readFile(target), "new");
  EXPECT_FALSE(fs::exists(fresh));
  EXPECT_EQ(std::distance(fs::directory_iterator(target_), fs::directory_iterator()), 1);
  fs::remove_all(shm, ec);
}

TEST_F(InstallFileTest, PlantedLinksAreReplacedNeverFollowed) {
  // A link at the target and one at the side file's old temporary name: the victims keep
  // their content and their rights.
  zentro::testing::TempDir elsewhere;
  const std::string victim = elsewhere.write("victim", "precious");
  const std::string sideVictim = elsewhere.write("side-victim", "precious");
  fs::permissions(victim, fs::perms::owner_read, fs::perm_options::replace);
  const std::string target = targetFile("app.dll");
  fs::create_symlink(victim, target);
  fs::create_symlink(sideVictim, target + ".ver.zentro-new");
  EXPECT_FALSE(install(download("app.dll", "new"), kInstallWithVersion, target));
  EXPECT_EQ(readFile(target), "new");
  EXPECT_FALSE(fs::is_symlink(target));
  EXPECT_EQ(readFile(target + ".ver"), "1.2.3.4\r\n");
  EXPECT_EQ(readFile(victim), "precious");
  EXPECT_EQ(readFile(sideVictim), "precious");
  EXPECT_EQ(fs::status(victim).permissions(), fs::perms::owner_read);
}

TEST_F(InstallFileTest, ProgramsKeepTheirExecuteRight) {
  std::string target = targetFile("tool");
  dir_.write("target/tool", "old");
  fs::permissions(target, fs::perms::owner_all);
  EXPECT_FALSE(install(download("tool", "new"), kInstallReplace, target));
  EXPECT_NE(fs::status(target).permissions() & fs::perms::owner_exec, fs::perms::none);
}

TEST_F(InstallFileTest, TargetInUseBlocksAndKeepsBothFiles) {
  std::string target = dir_.write("target/app.dll", "old");
  // Held open by a running program: on Linux, an exclusive lock another holder took.
  int holder = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);

  std::string fresh = download("app.dll", "new");
  for (int type : {kInstallRegister, kInstallReplace, kInstallWithVersion}) {
    EXPECT_TRUE(install(fresh, type, target)) << "type " << type;
    EXPECT_EQ(readFile(target), "old");
    EXPECT_EQ(readFile(fresh), "new");
  }
  EXPECT_FALSE(fs::exists(target + std::string(install_commands::kSideFileSuffix)));
  ::close(holder);

  EXPECT_FALSE(install(fresh, kInstallReplace, target));
  EXPECT_EQ(readFile(target), "new");
}

TEST_F(InstallFileTest, MissingDownloadBlocksAndKeepsTheOldFile) {
  std::string target = dir_.write("target/app.dll", "old");
  EXPECT_TRUE(install((temp_ / "app.dll").string(), kInstallReplace, target));
  EXPECT_EQ(readFile(target), "old");

  // A target that cannot be replaced at all (a folder of that name) blocks as well.
  fs::create_directories(target_ / "folder.dll");
  std::string fresh = download("folder.dll", "new");
  EXPECT_TRUE(install(fresh, kInstallReplace, targetFile("folder.dll")));
  EXPECT_TRUE(fs::is_directory(targetFile("folder.dll")));
  EXPECT_EQ(readFile(fresh), "new");
}

TEST_F(InstallFileTest, RegisterReplacesThenRegistersWithTheCommonRegistrar) {
  std::string registrar = script("common/" + std::string(install_commands::kRegistrar),
                                 recorderScript(0));
  std::string target = dir_.write("target/comp.ocx", "old");
  EXPECT_FALSE(install(download("comp.ocx", "new"), kInstallRegister, target));
  EXPECT_EQ(readFile(target), "new");
  EXPECT_EQ(readFile(registrar + ".args"), "/s\n" + target + "\n");

  // Blocked: nothing registered.
  fs::remove(registrar + ".args");
  int holder = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);
  EXPECT_TRUE(install(download("comp.ocx", "newer"), kInstallRegister, target));
  ::close(holder);
  EXPECT_FALSE(fs::exists(registrar + ".args"));
}

TEST_F(InstallFileTest, RegisterWithoutRegistrarDoesNothingElse) {
  RegisterComponent(targetFile("comp.ocx"), common());
  EXPECT_TRUE(fs::is_empty(common_));
  EXPECT_FALSE(install(download("comp.ocx", "new"), kInstallRegister, targetFile("comp.ocx")));
  EXPECT_EQ(readFile(targetFile("comp.ocx")), "new");
}

TEST_F(InstallFileTest, WithVersionWritesTheSideFile) {
  std::string target = dir_.write("target/VMIData.dll", "old");
  std::string side = target + std::string(install_commands::kSideFileSuffix);
  dir_.write("target/VMIData.dll.ver", "0.0.0.1\r\nstale second line\r\n");
  EXPECT_FALSE(install(download("VMIData.dll", "new"), kInstallWithVersion, target, "5.0.21.2"));
  EXPECT_EQ(readFile(target), "new");
  EXPECT_EQ(readFile(side), "5.0.21.2\r\n");
  EXPECT_EQ(readFile(side), "5.0.21.2" + std::string(install_commands::kLineEnd));
}

TEST_F(InstallFileTest, RecognisedRuntimeInstallerAsksForRestart) {
  // Lower case on disk: matched against the upper-cased path.
  std::string mdac =
      script("temp/mdac_typ.exe", recorderScript(install_commands::kRestartExitCode));
  EXPECT_TRUE(install(mdac, kInstallRuntime, targetFile("mdac_typ.exe")));
  // The quoted part of " /q:a /c:"dasetup.exe /q /n"" arrives as one argument.
  EXPECT_EQ(readFile(mdac + ".args"), "/q:a\n/c:dasetup.exe /q /n\n");

  std::string fine = script("temp/sub/MDAC_TYP.EXE", recorderScript(0));
  EXPECT_FALSE(install(fine, kInstallRuntime, targetFile("MDAC_TYP.EXE")));

  std::string vb = script("temp/vbrun60sp6.exe", recorderScript(3010));
  EXPECT_TRUE(install(vb, kInstallRuntime, ""));
  EXPECT_EQ(readFile(vb + ".args"), "/Q\n");

  std::string jet = script("temp/Jet40SP3_Comp.exe", recorderScript(3010));
  EXPECT_TRUE(install(jet, kInstallRuntime, ""));
  EXPECT_EQ(readFile(jet + ".args"), "");
}

TEST_F(InstallFileTest, OtherRuntimeInstallersRunWithoutArgumentsAndAreNotExamined) {
  std::string other = script("temp/dotnetfx.exe", recorderScript(3010));
  EXPECT_FALSE(install(other, kInstallRuntime, ""));
  EXPECT_EQ(readFile(other + ".args"), "");
  // A download that arrived without execute rights still runs.
  std::string plain = download("setup.exe", recorderScript(0));
  EXPECT_FALSE(install(plain, kInstallRuntime, ""));
  EXPECT_TRUE(fs::exists(plain + ".args"));
}

TEST_F(InstallFileTest, RunStartsTheDownloadWithoutWaiting) {
  std::string marker = (temp_ / "started").string();
  std::string program = download("update.exe", "#!/bin/sh\necho \"$#\" > \"" + marker + "\"\n");
  EXPECT_FALSE(install(program, kInstallRun, targetFile("update.exe")));
  // Bounded wait for the detached program's marker.
  for (int i = 0; i < 1000 && !fs::exists(marker); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(readFile(marker), "0\n");
  EXPECT_FALSE(fs::exists(targetFile("update.exe")));
}

TEST_F(InstallFileTest, OtherTypesLeaveEverythingAlone) {
  std::string target = dir_.write("target/app.dll", "old");
  for (int type : {0, 6, -1, 99}) {
    std::string fresh = download("app.dll", "new");
    EXPECT_FALSE(install(fresh, type, target)) << "type " << type;
    EXPECT_EQ(readFile(fresh), "new");
    EXPECT_EQ(readFile(target), "old");
  }
}

TEST(RunAndWait, ReportsExitCodesAndUnstartablePrograms) {
  zentro::testing::TempDir dir;
  EXPECT_EQ(platform::runAndWait(dir.file("no-such-program.exe")), -1);
  EXPECT_EQ(platform::runAndWait(""), -1);
  EXPECT_EQ(platform::runAndWait("/bin/sh -c \"exit 7\""), 7);
  EXPECT_EQ(platform::runAndWait("/bin/sh -c \"exit 3010\""), platform::reportedExitCode(3010));
}

}  // namespace
}  // namespace zentro
