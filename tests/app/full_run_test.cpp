// Whole runs of the launcher against the reference service's demo world: a fresh install,
// a second run that finds everything current, an update of one changed file, and failed
// downloads that leave the installed files whole and the stamps unwritten.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "tests/app/app_fixture.h"

namespace zentro::testing {
namespace {

namespace fs = std::filesystem;

class FullRunTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    ref.startFromFolder(demoWorldDir(), demoAppPath());
    writeConfig("<z:row PropName='BaseURL' PropValue='" + ref.baseUrl() + "'/>\n");
  }

  // One launcher run with an automatic login of BOB, whose last choice is the broker.
  void runOnce() {
    ScriptedView& run = runLauncher(std::string(kDemoFiler) + "|" + kDemoBob + "|" +
                                    kDemoBobPassword + "|USEPROFILE");
    ASSERT_TRUE(run.unloaded()) << run.journalText();
  }
  std::string common() const { return rootFolder() + "/BROKER/DemoBroker"; }
  std::string read(const std::string& name) const { return readFile(common() + "/" + name); }
  int downloads() { return int(ref.downloads().size()); }

  // The demo application records what it received in its working folder; it runs on its own,
  // so wait (boundedly) for its file.
  std::string launchRecord() const {
    const std::string path = common() + "/demo-app-received.txt";
    for (int i = 0; i < 500 && !fs::exists(path); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return readFile(path);
  }
};

TEST_F(FullRunTest, FreshInstallThenCurrentThenOneChangedFile) {
  runOnce();
  EXPECT_EQ(state().install.deploymentCaption, "[Demo Broker 2026]");
  EXPECT_EQ(read("demo-library.dll.ver"), "2.1.0.0\r\n");
  EXPECT_TRUE(fs::exists(common() + "/demo-data.dat")) << "expanded from its archive";
  EXPECT_FALSE(fs::exists(rootFolder() + "/Temp/demo-data.dat.cmp")) << "archive deleted";
  EXPECT_EQ(read("INSTALL_12.txt"), "2026-11-30T08:15:00\r\n");
  EXPECT_EQ(read("INSTALL_15.txt"), "2026-12-01T09:30:00\r\n");
  EXPECT_EQ(runs.back()->label(Label::Message), "[Demo Broker 2026] - initialization complete");
  EXPECT_EQ(form->exitStatus(), FrmLogin::kExitCurrent);
  const std::string token = ref.lastTokenOf(kDemoFiler, kDemoBob);
  const std::string received = launchRecord();
  EXPECT_NE(received.find(token), std::string::npos) << received;
  const int firstDownloads = downloads();
  EXPECT_GE(firstDownloads, 9);

  runOnce();
  EXPECT_TRUE(state().install.skipUpdates);
  EXPECT_EQ(downloads(), firstDownloads) << "a current deployment downloads nothing";

  ASSERT_TRUE(ref.setFile(12, "demo-library.dll", "library 2.2", "2.2.0.0"));
  ASSERT_TRUE(ref.setLastUpdate(12, "2026-12-05T10:00:00"));
  runOnce();
  // Files with a version on the machine download only when changed; files without one
  // (replace-only, register, run, runtime installer) are fetched on every full check.
  std::vector<std::string> fetched;
  const auto records = ref.downloads();
  for (std::size_t i = std::size_t(firstDownloads); i < records.size(); ++i) {
    fetched.push_back(records[i].path.substr(records[i].path.rfind('/') + 1));
  }
  std::sort(fetched.begin(), fetched.end());
  EXPECT_EQ(fetched, (std::vector<std::string>{"demo-component.ocx", "demo-library.dll",
                                               "demo-readme.txt", "demo-runtime.sh",
                                               "demo-setup.sh"}));
  EXPECT_EQ(read("demo-library.dll"), "library 2.2");
  EXPECT_EQ(read("demo-library.dll.ver"), "2.2.0.0\r\n");
  EXPECT_EQ(read("INSTALL_12.txt"), "2026-12-05T10:00:00\r\n");
}

TEST_F(FullRunTest, AFailedDownloadKeepsTheOldFileAndWritesNoStamps) {
  runOnce();
  const std::string before = read("demo-library.dll");
  ASSERT_TRUE(ref.setFile(12, "demo-library.dll", "library 2.2", "2.2.0.0"));
  ASSERT_TRUE(ref.setLastUpdate(12, "2026-12-05T10:00:00"));

  const refservice::Fault faults[] = {{refservice::Fault::Kind::CutBody, 4},
                                      {refservice::Fault::Kind::Status500},
                                      {refservice::Fault::Kind::WrongLength, 100}};
  for (const auto& fault : faults) {
    ref.setFileFault(12, "demo-library.dll", fault);
    runOnce();
    EXPECT_EQ(read("demo-library.dll"), before) << refservice::describeFault(fault);
    EXPECT_EQ(read("INSTALL_12.txt"), "2026-11-30T08:15:00\r\n")
        << "stamps stay when a download failed: " << refservice::describeFault(fault);
    EXPECT_FALSE(fs::exists(rootFolder() + "/Temp/demo-library.dll"));
    EXPECT_EQ(form->exitStatus(), FrmLogin::kExitUpdatesFailed) << "launched all the same";
  }

  ref.clearFaults();
  runOnce();
  EXPECT_EQ(read("demo-library.dll"), "library 2.2");
  EXPECT_EQ(read("INSTALL_12.txt"), "2026-12-05T10:00:00\r\n");
}

}  // namespace
}  // namespace zentro::testing
