#include "platform/archive.h"

#include <zip.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

#include "tests/support/temp_dir.h"

namespace zentro::platform {
namespace {

namespace fs = std::filesystem;
using zentro::testing::readFile;

struct Entry {
  std::string name;
  std::string content;  // ignored for folders (names ending in '/')
  bool stored = false;
};

// Writes a real ZIP with libzip; false when libzip refuses.
bool makeZip(const std::string& path, const std::vector<Entry>& entries) {
  int error = 0;
  zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!z) return false;
  for (const Entry& e : entries) {
    if (!e.name.empty() && e.name.back() == '/') {
      if (zip_dir_add(z, e.name.c_str(), ZIP_FL_ENC_UTF_8) < 0) {
        zip_discard(z);
        return false;
      }
      continue;
    }
    zip_source_t* src = zip_source_buffer(z, e.content.data(), e.content.size(), 0);
    zip_int64_t index = src ? zip_file_add(z, e.name.c_str(), src, ZIP_FL_ENC_UTF_8) : -1;
    if (index < 0) {
      if (src) zip_source_free(src);
      zip_discard(z);
      return false;
    }
    if (e.stored) zip_set_file_compression(z, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
  }
  return zip_close(z) == 0;
}

std::vector<std::string> listTree(const fs::path& root) {
  std::vector<std::string> out;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    out.push_back(fs::relative(e.path(), root).string() + (e.is_directory() ? "/" : ""));
  }
  std::sort(out.begin(), out.end());
  return out;
}

class ExpandArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(folder_); }
  std::string archive(const std::vector<Entry>& entries) {
    std::string path = dir_.file("download.cmp");
    EXPECT_TRUE(makeZip(path, entries));
    return path;
  }
  // Nothing of a refused archive may be left, inside the folder or beside it.
  void expectNothingWritten(const ExpandResult& r) {
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.error.empty());
    EXPECT_TRUE(fs::is_empty(folder_)) << r.error;
    EXPECT_EQ(listTree(dir_.path()), (std::vector<std::string>{"download.cmp", "temp/"}));
  }

  zentro::testing::TempDir dir_;
  fs::path folder_ = dir_.path() / "temp";
};

TEST_F(ExpandArchiveTest, ExpandsFilesAndFolders) {
  dir_.write("temp/VMIData.dll", "older download");
  std::string path = archive({{"VMIData.dll", std::string(100000, 'x')},
                              {"sub/dir/readme.txt", "hello"},
                              {"empty/", ""},
                              {"stored.bin", "as is", true}});
  ExpandResult r = expandArchive(path, folder_.string());
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(readFile((folder_ / "VMIData.dll").string()), std::string(100000, 'x'));
  EXPECT_EQ(readFile((folder_ / "sub/dir/readme.txt").string()), "hello");
  EXPECT_EQ(readFile((folder_ / "stored.bin").string()), "as is");
  EXPECT_EQ(listTree(folder_),
            (std::vector<std::string>{"VMIData.dll", "empty/", "stored.bin", "sub/", "sub/dir/",
                                      "sub/dir/readme.txt"}));
  EXPECT_TRUE(r.holds("VMIData.dll"));
  EXPECT_TRUE(r.holds("sub/dir/readme.txt"));
  EXPECT_FALSE(r.holds("vmidata.dll")) << "Linux names keep their letter case";
  EXPECT_FALSE(r.holds("empty"));
}

TEST_F(ExpandArchiveTest, RefusesNamesThatLeaveTheFolder) {
  for (const char* name : {"../escaped.dll", "/tmp/absolute.dll", "sub/../../escaped.dll",
                           "..\\escaped.dll", "C:\\boot.ini", "sub/nul.dll"}) {
    // The safe entry comes first: it must not be written either.
    std::string path = archive({{"first.dll", "ok"}, {name, "evil"}});
    expectNothingWritten(expandArchive(path, folder_.string()));
  }
}

TEST_F(ExpandArchiveTest, DoesNotFollowLinksOutOfTheFolder) {
  fs::path outside = dir_.path() / "outside";
  fs::create_directories(outside);
  fs::create_directory_symlink(outside, folder_ / "link");
  std::string path = archive({{"link/planted.dll", "evil"}});
  ExpandResult r = expandArchive(path, folder_.string());
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(fs::is_empty(outside));
}

TEST_F(ExpandArchiveTest, RefusesArchivesOverTheLimits) {
  std::string bomb = archive({{"small.txt", "x"}, {"zeros.bin", std::string(2 << 20, '\0')}});
  ExpandLimits limits;
  limits.maxTotalBytes = 1 << 20;
  expectNothingWritten(expandArchive(bomb, folder_.string(), limits));

  std::string many = archive({{"a", "1"}, {"b", "2"}, {"c", "3"}});
  limits = ExpandLimits{};
  limits.maxEntries = 2;
  expectNothingWritten(expandArchive(many, folder_.string(), limits));
}

TEST_F(ExpandArchiveTest, RefusesEntriesLargerThanDeclared) {
  std::string path = archive({{"first.txt", "fine"}, {"lie.bin", std::string(1000, 'A'), true}});
  // Declare 10 bytes for the second entry in both its local and central headers.
  std::string bytes = readFile(path);
  const std::string local("PK\3\4", 4), central("PK\1\2", 4);
  std::size_t lieLocal = bytes.find(local, bytes.find(local) + 4);
  std::size_t lieCentral = bytes.find(central, bytes.find(central) + 4);
  ASSERT_NE(lieLocal, std::string::npos);
  ASSERT_NE(lieCentral, std::string::npos);
  for (std::size_t at : {lieLocal + 22, lieCentral + 24}) {
    bytes[at] = 10;
    bytes[at + 1] = bytes[at + 2] = bytes[at + 3] = 0;
  }
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  expectNothingWritten(expandArchive(path, folder_.string()));
}

TEST_F(ExpandArchiveTest, DamagedArchivesFail) {
  std::string path = archive({{"a.dll", std::string(5000, 'a')}, {"b.dll", "b"}});
  std::string bytes = readFile(path);
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes.substr(0, bytes.size() / 2);
  expectNothingWritten(expandArchive(path, folder_.string()));

  std::ofstream(path, std::ios::binary | std::ios::trunc) << "this is not an archive";
  expectNothingWritten(expandArchive(path, folder_.string()));

  ExpandResult missing = expandArchive(dir_.file("missing.cmp"), folder_.string());
  EXPECT_FALSE(missing.ok);
  EXPECT_FALSE(expandArchive(path, "").ok);
}

TEST_F(ExpandArchiveTest, AFailureHalfwayTakesBackWhatItWrote) {
  // "a.txt" as a file and as a folder: writing succeeds, the final rename cannot.
  dir_.write("temp/keep.txt", "keep");
  std::string path = archive({{"a.txt", "file"}, {"a.txt/b.txt", "inner"}});
  ExpandResult r = expandArchive(path, folder_.string());
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(listTree(folder_), (std::vector<std::string>{"keep.txt"}));
}

}  // namespace
}  // namespace zentro::platform
