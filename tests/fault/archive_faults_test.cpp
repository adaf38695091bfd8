// Hostile and broken ".cmp" archives in place of the demo data archive: bytes that are no
// archive, a truncated archive, a zip bomb whose expansion passes the bound (4 GiB in all, see
// platform/archive.h), one that lies about its size, and zip-slip archives whose entries climb
// out of the folder they expand into. Served by the fault proxy; the install list carries no
// digest for the archive so the archive itself, not a digest mismatch, is what fails.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "installer/install_texts.h"
#include "platform/archive.h"
#include "tests/fault/fault_fixture.h"
#include "tests/support/zip_craft.h"

namespace zentro::testing {
namespace {

namespace fs = std::filesystem;
namespace texts = install_texts;

struct ArchiveCase {
  std::string name;
  std::string (*make)();
  std::string why;  // what the log gives as the reason
};
void PrintTo(const ArchiveCase& c, std::ostream* os) { *os << c.name; }

std::string notAnArchive() { return "these bytes are not an archive at all\n"; }

std::string truncatedArchive() {
  std::string zip =
      buildZipArchive({{"demo-data.dat", deflateBytes(std::string(5000, 'd')), std::nullopt}});
  return zip.substr(0, zip.size() - 30);
}

// Two honest entries of 2.25 GiB of zeros each: 4.5 GiB expanded from 4.6 MB.
std::string zipBomb() {
  const DeflatedData zeros = deflatedZeros(2304);
  return buildZipArchive({{"demo-data.dat", zeros, std::nullopt}, {"more.dat", zeros, std::nullopt}});
}

// Declares 4 KiB and expands to 32 MiB.
std::string lyingZipBomb() {
  return buildZipArchive({{"demo-data.dat", deflatedZeros(32), 4096u}});
}

std::string zipSlipParent() {
  return buildZipArchive({{"demo-data.dat", deflateBytes("data"), std::nullopt},
                          {"../escaped.dat", deflateBytes("escaped"), std::nullopt}});
}

std::string zipSlipNested() {
  return buildZipArchive({{"demo-data.dat", deflateBytes("data"), std::nullopt},
                          {"sub/../../../escaped.dat", deflateBytes("escaped"), std::nullopt}});
}

std::string zipSlipAbsolute() {
  return buildZipArchive({{"demo-data.dat", deflateBytes("data"), std::nullopt},
                          {"/tmp/zentro-escaped.dat", deflateBytes("escaped"), std::nullopt}});
}

std::string zipSlipBackslash() {
  return buildZipArchive({{"demo-data.dat", deflateBytes("data"), std::nullopt},
                          {"..\\escaped.dat", deflateBytes("escaped"), std::nullopt}});
}

class FaultArchiveTest : public FaultTest, public ::testing::WithParamInterface<ArchiveCase> {
 protected:
  void SetUp() override {
    FaultTest::SetUp();
    refservice::World world = demoWorld();
    for (auto& e : world.groups.at(kInstallGroup).entries) {
      if (e.fileName == "demo-data.dat") e.sha256.clear();
    }
    startDemo(world);
  }
};

TEST_P(FaultArchiveTest, RefusedWholeAndRecovered) {
  const ArchiveCase& c = GetParam();
  const Installed before = installThenPublish();
  FaultProxy& proxy = useProxy();
  proxy.downloadBytes("/demo-data.cmp", c.make());

  ScriptedView& v = runLauncher();
  const std::string log = newLog();
  EXPECT_GT(proxy.ruleHits(), 0);
  EXPECT_TRUE(v.unloaded()) << v.journalText();
  EXPECT_TRUE(contains(log, "/Temp/demo-data.dat.cmp did not expand: " + c.why)) << log;
  // The archive's file is missing, so the entry cannot be placed: the run stops there.
  EXPECT_TRUE(contains(boxTexts(v), std::string(texts::kInstallErrorSingle))) << boxTexts(v);
  expectFailedRunKeptThingsWhole(before, c.name);
  // Nothing escaped, nothing of the archive stayed behind.
  for (const std::string& path :
       {rootFolder() + "/escaped.dat", rootFolder() + "/Temp/escaped.dat",
        rootFolder() + "/Temp/more.dat", rootFolder() + "/Temp/demo-data.dat",
        rootFolder() + "/Temp/demo-data.dat.cmp", temp.str() + "/escaped.dat",
        std::string("/tmp/zentro-escaped.dat")}) {
    EXPECT_FALSE(fs::exists(path)) << path;
  }

  dropProxy();
  runLauncher();
  expectUpToDate(c.name + ", next run");
}

INSTANTIATE_TEST_SUITE_P(
    Archives, FaultArchiveTest,
    ::testing::Values(
        ArchiveCase{"NotAnArchive", notAnArchive, "cannot open archive: Not a zip archive"},
        ArchiveCase{"Truncated", truncatedArchive, "cannot open archive: "},
        ArchiveCase{"ZipBombOverTheBound", zipBomb,
                    "expanded size exceeds the limit of " +
                        std::to_string(platform::ExpandLimits{}.maxTotalBytes) + " bytes"},
        ArchiveCase{"ZipBombLyingAboutItsSize", lyingZipBomb,
                    "entry demo-data.dat is larger than declared"},
        ArchiveCase{"ZipSlipParent", zipSlipParent, "unsafe entry name: ../escaped.dat"},
        ArchiveCase{"ZipSlipNested", zipSlipNested,
                    "unsafe entry name: sub/../../../escaped.dat"},
        ArchiveCase{"ZipSlipAbsolute", zipSlipAbsolute,
                    "unsafe entry name: /tmp/zentro-escaped.dat"},
        ArchiveCase{"ZipSlipBackslash", zipSlipBackslash, "unsafe entry name: ..\\escaped.dat"}),
    [](const auto& p) { return p.param.name; });

}  // namespace
}  // namespace zentro::testing
