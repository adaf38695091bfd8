#include "installer/install_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "installer/install_commands.h"
#include "tests/support/recorder.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_system.h"

namespace zentro {
namespace {

namespace fs = std::filesystem;
using platform::pathFromUtf8;
using zentro::testing::awaitRecord;
using zentro::testing::HeldFile;
using zentro::testing::readFile;

class InstallFileTest : public ::testing::Test {
 protected:
  InstallFileTest() {
    for (const char* folder : {"temp", "target", "common"}) {
      fs::create_directories(dir_.path() / folder);
    }
  }

  std::string download(const std::string& name, const std::string& content) {
    return dir_.write("temp/" + name, content);
  }
  // The tests' recorder program (tests/support/recorder.h) at `relative`.
  std::string recorder(const std::string& relative, int exitCode) {
    return zentro::testing::writeRecorder(dir_.file(relative), exitCode);
  }
  std::string targetFile(const std::string& name) const { return dir_.file("target/" + name); }

  // Placed with version 1.2.3.4 for its side file.
  bool install(const std::string& downloaded, int type, const std::string& target) {
    bool blocked = false;
    InstallFile(downloaded, type, target, "1.2.3.4", dir_.file("common"), blocked);
    return blocked;
  }

  zentro::testing::TempDir dir_;
};

// The download takes the target's place, whose read-only attribute does not refuse it; a
// program keeps its execute right.
TEST_F(InstallFileTest, ReplaceMovesTheDownloadIntoPlace) {
  const std::string target = dir_.write("target/tool", "old");
  fs::permissions(pathFromUtf8(target), fs::perms::owner_read | fs::perms::owner_exec);
  const std::string fresh = download("tool", "new");
  EXPECT_FALSE(install(fresh, kInstallReplace, target));
  EXPECT_EQ(readFile(target), "new");
  EXPECT_FALSE(fs::exists(pathFromUtf8(fresh)));
  if (!zentro::testing::kWindows) {  // Windows files carry no execute right
    EXPECT_NE(fs::status(target).permissions() & fs::perms::owner_exec, fs::perms::none);
  }
}

TEST_F(InstallFileTest, PlantedLinksAreReplacedNeverFollowed) {
  // A link at the target and one at the side file's old temporary name: the victims keep
  // their content and their rights.
  zentro::testing::TempDir elsewhere;
  const std::string victim = elsewhere.write("victim", "precious");
  const std::string sideVictim = elsewhere.write("side-victim", "precious");
  fs::permissions(pathFromUtf8(victim), fs::perms::owner_read, fs::perm_options::replace);
  const std::string target = targetFile("app.dll");
  if (!zentro::testing::makeLink(victim, target) ||
      !zentro::testing::makeLink(sideVictim, target + ".ver.zentro-new")) {
    ASSERT_TRUE(zentro::testing::kWindows) << "Linux makes links";
    GTEST_SKIP() << "no symbolic links here";
  }
  EXPECT_FALSE(install(download("app.dll", "new"), kInstallWithVersion, target));
  EXPECT_EQ(readFile(target), "new");
  EXPECT_FALSE(fs::is_symlink(pathFromUtf8(target)));
  EXPECT_EQ(readFile(target + ".ver"), "1.2.3.4\r\n");
  EXPECT_EQ(readFile(victim), "precious");
  EXPECT_EQ(readFile(sideVictim), "precious");
  EXPECT_EQ(fs::status(pathFromUtf8(victim)).permissions() & fs::perms::owner_write,
            fs::perms::none);
}

// What cannot be placed blocks the update, and what must not be placed does not; either way the
// target and the download stay as they were, and nothing is registered.
TEST_F(InstallFileTest, NothingPlacedLeavesTargetAndDownloadAlone) {
  const std::string registrar = recorder("common/" + std::string(install_commands::kRegistrar), 0);
  const std::string target = dir_.write("target/app.dll", "old");
  const std::string fresh = download("app.dll", "new");
  for (int type : {0, 6, -1, 99}) EXPECT_FALSE(install(fresh, type, target)) << "type " << type;
  EXPECT_TRUE(install(dir_.file("temp/missing.dll"), kInstallReplace, target));
  {
    HeldFile holder(target);  // held open by a running program
    ASSERT_TRUE(holder.held());
    for (int type : {kInstallRegister, kInstallReplace, kInstallWithVersion}) {
      EXPECT_TRUE(install(fresh, type, target)) << "type " << type;
    }
  }
  EXPECT_EQ(readFile(target), "old");
  EXPECT_EQ(readFile(fresh), "new");
  EXPECT_FALSE(fs::exists(pathFromUtf8(target + std::string(install_commands::kSideFileSuffix))));
  EXPECT_FALSE(fs::exists(pathFromUtf8(registrar + ".args")));
  // A target that cannot be replaced at all: a folder of that name.
  const std::string folder = targetFile("folder.dll");
  fs::create_directories(pathFromUtf8(folder));
  EXPECT_TRUE(install(fresh, kInstallReplace, folder));
  EXPECT_TRUE(fs::is_directory(pathFromUtf8(folder)));
  // Once the holder has gone, the same download is placed.
  EXPECT_FALSE(install(fresh, kInstallReplace, target));
  EXPECT_EQ(readFile(target), "new");
}

TEST_F(InstallFileTest, RegisterReplacesThenRegistersWithTheCommonRegistrar) {
  // Without a registrar nothing else happens.
  EXPECT_FALSE(install(download("comp.ocx", "first"), kInstallRegister, targetFile("comp.ocx")));
  EXPECT_EQ(readFile(targetFile("comp.ocx")), "first");
  EXPECT_TRUE(fs::is_empty(dir_.path() / "common"));

  std::string registrar = recorder("common/" + std::string(install_commands::kRegistrar), 0);
  std::string target = dir_.write("target/comp.ocx", "old");
  EXPECT_FALSE(install(download("comp.ocx", "new"), kInstallRegister, target));
  EXPECT_EQ(readFile(target), "new");
  EXPECT_EQ(awaitRecord(registrar).args, "/s\n" + target + "\n");
}

// The runtime installers the program knows run with their quiet arguments and ask for a restart
// when they say so; others run without arguments and are not examined.
TEST_F(InstallFileTest, RuntimeInstallersRunWithTheirArgumentsAndMayAskForRestart) {
  const struct {
    const char* file;
    int exitCode;
    bool blocked;
    const char* args;
  } rows[] = {
      // Lower case on disk: matched against the upper-cased path. The quoted part of
      // " /q:a /c:"dasetup.exe /q /n"" arrives as one argument.
      {"temp/mdac_typ.exe", install_commands::kRestartExitCode, true, "/q:a\n/c:dasetup.exe /q /n\n"},
      {"temp/sub/MDAC_TYP.EXE", 0, false, "/q:a\n/c:dasetup.exe /q /n\n"},
      {"temp/vbrun60sp6.exe", 3010, true, "/Q\n"},
      {"temp/Jet40SP3_Comp.exe", 3010, true, ""},
      {"temp/dotnetfx.exe", 3010, false, ""},
  };
  for (const auto& row : rows) {
    const std::string program = recorder(row.file, row.exitCode);
    EXPECT_EQ(install(program, kInstallRuntime, ""), row.blocked) << row.file;
    const auto record = awaitRecord(program);
    EXPECT_TRUE(record.ran) << row.file;
    EXPECT_EQ(record.args, row.args) << row.file;
  }
  // A download that arrived without execute rights still runs.
  std::string plain = recorder("temp/setup.exe", 0);
  fs::permissions(pathFromUtf8(plain), fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_FALSE(install(plain, kInstallRuntime, ""));
  EXPECT_TRUE(awaitRecord(plain).ran);
}

TEST_F(InstallFileTest, RunStartsTheDownloadWithoutWaiting) {
  std::string program = recorder("temp/update.exe", 0);
  EXPECT_FALSE(install(program, kInstallRun, targetFile("update.exe")));
  // The program runs on its own: its record comes in time.
  const auto record = awaitRecord(program);
  EXPECT_TRUE(record.ran);
  EXPECT_EQ(record.args, "");
  EXPECT_FALSE(fs::exists(pathFromUtf8(targetFile("update.exe"))));
}

}  // namespace
}  // namespace zentro
