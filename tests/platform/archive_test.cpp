// ".cmp" expansion, one contract for both systems (Linux libzip, Windows minizip), with
// archives written byte by byte so that hostile names and lying headers can be made.
#include "platform/archive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tests/support/test_system.h"
#include "tests/support/zip_craft.h"

namespace zentro::platform {
namespace {

namespace fs = std::filesystem;
using zentro::testing::kWindows;
using zentro::testing::readFile;
using Entries = std::vector<std::pair<std::string, std::string>>;  // name, content

class ExpandArchiveTest : public ::testing::Test {
 protected:
  ExpandArchiveTest() { fs::create_directories(folder_); }
  // Writes the archive; `declared` overrides the size the last entry's headers claim.
  std::string archive(const Entries& entries, std::optional<std::uint32_t> declared = {}) {
    std::vector<zentro::testing::ZipEntrySpec> specs;
    for (const auto& [name, content] : entries) {
      specs.push_back({name, zentro::testing::deflateBytes(content), std::nullopt});
    }
    specs.back().declaredSize = declared;
    return dir_.write("download.cmp", zentro::testing::buildZipArchive(specs));
  }
  ExpandResult expand(const std::string& path, const ExpandLimits& limits = {}) {
    return expandArchive(path, utf8FromPath(folder_), limits);
  }
  static std::vector<std::string> tree(const fs::path& root) {
    std::vector<std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
      std::string name = utf8FromPath(fs::relative(e.path(), root));
      std::replace(name.begin(), name.end(), '\\', '/');
      out.push_back(name + (e.is_directory() ? "/" : ""));
    }
    std::sort(out.begin(), out.end());
    return out;
  }
  std::string read(const std::string& name) const {
    return readFile(utf8FromPath(folder_ / pathFromUtf8(name)));
  }
  // Nothing of a refused archive may be left, inside the folder or beside it.
  void expectNothingWritten(const ExpandResult& r, const std::string& what) {
    EXPECT_FALSE(r.ok) << what;
    EXPECT_FALSE(r.error.empty()) << what;
    EXPECT_EQ(tree(dir_.path()), (std::vector<std::string>{"download.cmp", "temp/"})) << what;
  }

  zentro::testing::TempDir dir_;
  fs::path folder_ = dir_.path() / "temp";
};

TEST_F(ExpandArchiveTest, ExpandsFilesAndFolders) {
  dir_.write("temp/VMIData.dll", "older download");
  // "x" and "x.part": an entry named like another one's temporary file.
  ExpandResult r = expand(archive({{"VMIData.dll", std::string(100000, 'x')},
                                   {"x.part", "named like a temporary file"},
                                   {"sub/dir/readme.txt", "hello"},
                                   {"empty/", ""},
                                   {"sub\\data.txt", "inner"},
                                   {"x", "plain"}}));
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(read("VMIData.dll"), std::string(100000, 'x'));
  EXPECT_EQ(read("sub/dir/readme.txt"), "hello");
  EXPECT_EQ(read("sub/data.txt"), "inner");
  EXPECT_EQ(read("x"), "plain");
  EXPECT_EQ(read("x.part"), "named like a temporary file");
  EXPECT_EQ(tree(folder_),
            (std::vector<std::string>{"VMIData.dll", "empty/", "sub/", "sub/data.txt", "sub/dir/",
                                      "sub/dir/readme.txt", "x", "x.part"}));
  EXPECT_TRUE(r.holds("VMIData.dll"));
  EXPECT_TRUE(r.holds("sub/dir/readme.txt"));
  EXPECT_FALSE(r.holds("readme.txt"));
  EXPECT_FALSE(r.holds("empty"));
  // Names compare as the operating system compares file names: without letter case on Windows.
  EXPECT_EQ(r.holds("vmidata.DLL"), kWindows);
}

TEST_F(ExpandArchiveTest, RefusesUnsafeAndDuplicateNames) {
  std::vector<std::string> names = {"../escaped.dll", "/tmp/absolute.dll", "sub/../../escaped.dll",
                                    "..\\escaped.dll", "C:\\boot.ini",     "sub/nul.dll",
                                    "sub/Con.txt",     "sub/. ./evil.txt", "data.txt:stream",
                                    "VMIData.dll"};
  if (kWindows) names.push_back("VMIDATA.dll");  // the same file on Windows
  for (const std::string& name : names) {
    // The safe entry comes first: it must not be written either.
    expectNothingWritten(expand(archive({{"VMIData.dll", "ok"}, {name, "evil"}})), name);
  }
}

TEST_F(ExpandArchiveTest, DoesNotFollowLinksOutOfTheFolder) {
  fs::path outside = dir_.path() / "outside";
  fs::create_directories(outside);
  if (!zentro::testing::makeLink(utf8FromPath(outside), utf8FromPath(folder_ / "link")) ||
      !fs::is_symlink(folder_ / "link")) {
    ASSERT_TRUE(kWindows) << "Linux makes links";
    GTEST_SKIP() << "no symbolic links here";
  }
  EXPECT_FALSE(expand(archive({{"link/planted.dll", "evil"}})).ok);
  EXPECT_TRUE(fs::is_empty(outside));
}

TEST_F(ExpandArchiveTest, RefusesArchivesOverTheLimitsDamagedOrLying) {
  // The bounds every install run uses; the cases below scale them down.
  EXPECT_EQ(ExpandLimits{}.maxTotalBytes, 4294967296u);
  EXPECT_EQ(ExpandLimits{}.maxEntries, 10000u);
  ExpandLimits limits;
  limits.maxTotalBytes = 1 << 20;
  const std::string bomb = archive({{"small.txt", "x"}, {"zeros.bin", std::string(2 << 20, '\0')}});
  expectNothingWritten(expand(bomb, limits), "bomb");
  limits = ExpandLimits{};
  limits.maxEntries = 2;
  expectNothingWritten(expand(archive({{"a", "1"}, {"b", "2"}, {"c", "3"}}), limits), "entries");
  // 10 bytes declared for 1000 in both headers of the second entry.
  expectNothingWritten(expand(archive({{"first.txt", "fine"}, {"lie.bin", std::string(1000, 'A')}},
                                      10)),
                       "lie");

  const std::string bytes = readFile(archive({{"a.dll", std::string(5000, 'a')}, {"b.dll", "b"}}));
  expectNothingWritten(expand(dir_.write("download.cmp", bytes.substr(0, bytes.size() / 2))),
                       "truncated");
  expectNothingWritten(expand(dir_.write("download.cmp", "PK\x03\x04 not an archive")), "garbage");
  EXPECT_FALSE(expandArchive(dir_.file("missing.cmp"), utf8FromPath(folder_)).ok);
  EXPECT_FALSE(expandArchive(dir_.file("download.cmp"), "").ok);
}

TEST_F(ExpandArchiveTest, AFailureHalfwayTakesBackWhatItWrote) {
  // "a.txt" as a file and as a folder: writing succeeds, the final rename cannot.
  dir_.write("temp/keep.txt", "keep");
  EXPECT_FALSE(expand(archive({{"a.txt", "file"}, {"a.txt/b.txt", "inner"}})).ok);
  EXPECT_EQ(tree(folder_), (std::vector<std::string>{"keep.txt"}));
}

}  // namespace
}  // namespace zentro::platform
