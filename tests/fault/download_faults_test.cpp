// Faults of file downloads: a body cut in the middle, a Content-length that promises more than
// comes, answers 404, 503 and 500, and a server that hangs up at once. Each is tried on a
// changed file of an installed deployment and on a fresh install, where a failed file must
// not exist at all rather than exist in part.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "installer/install_texts.h"
#include "tests/fault/fault_fixture.h"

namespace zentro::testing {
namespace {

namespace fs = std::filesystem;
namespace texts = install_texts;
using refservice::Fault;

struct DownloadFaultCase {
  std::string name;
  Fault fault;       // injected by the service (Kind::None: by the proxy)
  int proxyStatus;   // status the proxy answers instead (0: none)
  std::string logged;  // what the run log says about the failed download
  bool messageBox;     // the download error is also shown
};
void PrintTo(const DownloadFaultCase& c, std::ostream* os) { *os << c.name; }

class FaultDownloadTest : public FaultTest,
                          public ::testing::WithParamInterface<DownloadFaultCase> {
 protected:
  void SetUp() override {
    FaultTest::SetUp();
    startDemo();
  }

  // The library (a file with a version side file) fails to download in the next run.
  void breakLibraryDownload() {
    const DownloadFaultCase& c = GetParam();
    if (c.proxyStatus != 0) {
      useProxy().downloadStatus("/demo-library.dll", c.proxyStatus);
    } else {
      ref.service().setFileFault(kInstallGroup, "demo-library.dll", c.fault);
    }
  }
  void repair() {
    ref.service().clearFaults();
    dropProxy();
  }

  void expectReported(const ScriptedView& v, const std::string& log) {
    const DownloadFaultCase& c = GetParam();
    EXPECT_TRUE(v.unloaded()) << v.journalText();
    EXPECT_TRUE(contains(log, "ERROR download of demo-library.dll from ")) << log;
    EXPECT_TRUE(contains(log, c.logged)) << log;
    EXPECT_TRUE(contains(log, "WARN a download failed in this run; update stamps not written"))
        << log;
    const bool shown = contains(boxTexts(v), std::string(texts::kDownloadError));
    EXPECT_EQ(shown, c.messageBox) << boxTexts(v);
  }
};

TEST_P(FaultDownloadTest, ChangedFileKeepsTheOldOne) {
  const Installed before = installThenPublish();
  breakLibraryDownload();
  ScriptedView& v = runLauncher();
  expectReported(v, newLog());
  expectFailedRunKeptThingsWhole(before, GetParam().name);
  const std::string library = commonFolder() + "/demo-library.dll";
  for (const ServedFile& f : before.files) {
    if (f.path == library) {
      EXPECT_TRUE(readFile(library) == f.bytes) << "the old library stays";
    }
  }
  // The other changed files of the release went in whole.
  for (const ServedFile& f : servedFiles()) {
    if (f.path != library) {
      EXPECT_TRUE(readFile(f.path) == f.bytes) << f.path;
    }
  }

  repair();
  runLauncher();
  expectUpToDate(GetParam().name + ", next run");
}

TEST_P(FaultDownloadTest, FreshInstallLeavesNoPartialFile) {
  breakLibraryDownload();
  ScriptedView& v = runLauncher();
  expectReported(v, newLog());
  const std::string library = commonFolder() + "/demo-library.dll";
  EXPECT_FALSE(fs::exists(library)) << "a failed download left a file behind";
  EXPECT_FALSE(fs::exists(library + ".ver"));
  for (long group : {kInstallGroup, kCustomGroup}) {
    EXPECT_FALSE(fs::exists(stampPath(group))) << "stamp written although a download failed";
  }
  expectNoLeftovers(GetParam().name);

  repair();
  runLauncher();
  expectUpToDate(GetParam().name + ", next run");
}

INSTANTIATE_TEST_SUITE_P(
    Downloads, FaultDownloadTest,
    ::testing::Values(
        DownloadFaultCase{"CutMidBody", Fault{Fault::Kind::CutBody, 20}, 0,
                          "failed: transfer cut after 20 bytes", false},
        DownloadFaultCase{"ContentLengthTooLong", Fault{Fault::Kind::WrongLength, 100}, 0,
                          "failed: transfer cut after", false},
        DownloadFaultCase{"NotFound404", Fault{}, 404,
                          "failed: the server does not have the file (status 404)", true},
        DownloadFaultCase{"Unavailable503", Fault{}, 503, "failed: status 503", true},
        DownloadFaultCase{"ServerError500", Fault{Fault::Kind::Status500}, 0,
                          "failed: status 500", true},
        DownloadFaultCase{"HangUpWithoutAnswer", Fault{Fault::Kind::Refuse}, 0,
                          "failed: the server closed the connection without an answer", true}),
    [](const auto& p) { return p.param.name; });

}  // namespace
}  // namespace zentro::testing
