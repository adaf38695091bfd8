// ".cmp" expansion with minizip on Windows: archives written here (stored ZIP entries).
#include "platform/archive.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <utility>
#include <vector>

#include "platform/file_path.h"
#include "tests/support/temp_dir.h"

namespace zentro::platform {
namespace {

namespace fs = std::filesystem;
using Entries = std::vector<std::pair<std::string, std::string>>;

void put16(std::string& out, unsigned v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& out, unsigned long v) {
  put16(out, static_cast<unsigned>(v & 0xFFFF));
  put16(out, static_cast<unsigned>((v >> 16) & 0xFFFF));
}

// A ZIP archive of stored (uncompressed) entries, names as given.
std::string zipOf(const Entries& entries) {
  std::string body, central;
  for (const auto& [name, data] : entries) {
    const unsigned long crc =
        crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size()));
    const unsigned long offset = body.size();
    std::string common;
    put16(common, 20);  // version needed
    put16(common, 0);   // flags
    put16(common, 0);   // stored
    put32(common, 0);   // time, date
    put32(common, crc);
    put32(common, data.size());
    put32(common, data.size());
    put16(common, static_cast<unsigned>(name.size()));
    put16(common, 0);  // extra
    put32(body, 0x04034b50);
    body += common + name + data;
    put32(central, 0x02014b50);
    put16(central, 20);  // made by
    central += common;
    put16(central, 0);  // comment
    put16(central, 0);  // disk
    put16(central, 0);  // internal attributes
    put32(central, 0);  // external attributes
    put32(central, offset);
    central += name;
  }
  std::string end;
  put32(end, 0x06054b50);
  put32(end, 0);
  put16(end, static_cast<unsigned>(entries.size()));
  put16(end, static_cast<unsigned>(entries.size()));
  put32(end, central.size());
  put32(end, body.size());
  put16(end, 0);
  return body + central + end;
}

class ArchiveWinTest : public ::testing::Test {
 protected:
  ArchiveWinTest() { fs::create_directory(folder_); }
  std::string archive(const Entries& entries) { return dir_.write("download.cmp", zipOf(entries)); }
  std::vector<std::string> written() const {
    std::vector<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(folder_)) {
      names.push_back(fs::relative(e.path(), folder_).generic_string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string folder() const { return utf8FromPath(folder_); }
  std::string read(const std::string& name) const {
    std::ifstream in(folder_ / pathFromUtf8(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  zentro::testing::TempDir dir_;
  fs::path folder_ = dir_.path() / pathFromUtf8("Temp Pr\xC3\xBC" "fung \xC3\x9F");
};

TEST_F(ArchiveWinTest, ExpandsFilesAndFoldersIntoTheFolder) {
  ExpandResult r = expandArchive(archive({{"app.exe", "MZ program"}, {"sub/", ""},
                                          {"sub\\data.txt", "inner"}}),
                                 folder());
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(written(), (std::vector<std::string>{"app.exe", "sub", "sub/data.txt"}));
  EXPECT_EQ(read("app.exe"), "MZ program");
  EXPECT_EQ(read("sub\\data.txt"), "inner");
  // What it wrote, named as Windows names files (letter case does not count).
  EXPECT_TRUE(r.holds("APP.exe"));
  EXPECT_TRUE(r.holds("sub/data.txt"));
  EXPECT_FALSE(r.holds("data.txt"));
  // An existing file of the same name is replaced.
  ASSERT_TRUE(expandArchive(archive({{"app.exe", "newer"}}), folder()).ok);
  EXPECT_EQ(read("app.exe"), "newer");
}

TEST_F(ArchiveWinTest, RefusedArchivesWriteNothing) {
  const Entries refused[] = {
      {{"ok.txt", "x"}, {"..\\evil.txt", "x"}},
      {{"ok.txt", "x"}, {"C:\\evil.txt", "x"}},
      {{"ok.txt", "x"}, {"sub/. ./evil.txt", "x"}},
      {{"ok.txt", "x"}, {"data.txt:stream", "x"}},
      {{"Same.txt", "a"}, {"same.TXT", "b"}},  // one file on Windows
      {{"ok.txt", "x"}, {"sub/Con.txt", "x"}},  // a device, not a file
  };
  for (const Entries& entries : refused) {
    ExpandResult r = expandArchive(archive(entries), folder());
    EXPECT_FALSE(r.ok) << entries.back().first;
    EXPECT_TRUE(written().empty()) << entries.back().first;
  }
  EXPECT_FALSE(expandArchive(dir_.write("broken.cmp", "PK\x03\x04 not a zip"), folder()).ok);
  EXPECT_FALSE(expandArchive(dir_.file("missing.cmp"), folder()).ok);
  EXPECT_TRUE(written().empty());
}

TEST_F(ArchiveWinTest, LimitsAreChecked) {
  ExpandLimits limits;
  limits.maxTotalBytes = 10;
  EXPECT_FALSE(expandArchive(archive({{"big.bin", std::string(11, 'x')}}), folder(), limits).ok);
  limits = ExpandLimits{};
  limits.maxEntries = 1;
  EXPECT_FALSE(expandArchive(archive({{"a", "1"}, {"b", "2"}}), folder(), limits).ok);
  EXPECT_TRUE(written().empty());
}

}  // namespace
}  // namespace zentro::platform
