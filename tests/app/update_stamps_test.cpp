#include "app/update_stamps.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/paths.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_system.h"

namespace zentro {
namespace {

namespace fs = std::filesystem;
using platform::pathFromUtf8;
using zentro::testing::kWindows;
using zentro::testing::makeLink;
using zentro::testing::makeNamedPipe;
using zentro::testing::readFile;

constexpr char kServerStamp[] = "1/15/2024 3:45:12 PM";
constexpr char kLaterStamp[] = "2024-02-01T08:00:00";

class UpdateStampsTest : public ::testing::Test {
 protected:
  std::string common() const { return dir_.str(); }
  std::string stampText(const std::string& key) const { return readFile(dir_.file(key + ".txt")); }
  long entryCount() const {
    return std::distance(fs::directory_iterator(dir_.path()), fs::directory_iterator());
  }

  zentro::testing::TempDir dir_;
};

TEST_F(UpdateStampsTest, ReadTakesTheFirstLineWithoutSurroundingSpaces) {
  const std::pair<const char*, const char*> files[] = {
      {"   2024-01-15 08:30:00  \r\n", "2024-01-15 08:30:00"},
      {"1/15/2024\nsecond line\r\n", "1/15/2024"},
      {"no line end", "no line end"},
      {"", ""}};
  for (const auto& [text, stamp] : files) {
    dir_.write("INSTALL_1.txt", text);
    EXPECT_EQ(ReadUpdateStamp(common(), "INSTALL_1"), stamp) << text;
  }

  EXPECT_EQ(ReadUpdateStamp(common(), "INSTALL_missing"), "");
  EXPECT_EQ(ReadUpdateStamp(dir_.file("no/such/folder"), "INSTALL_1"), "");
  fs::create_directory(dir_.path() / "INSTALL_5.txt");
  EXPECT_EQ(ReadUpdateStamp(common(), "INSTALL_5"), "") << "a folder is not a stamp";
  ASSERT_TRUE(makeNamedPipe(dir_.file("INSTALL_6.txt")) || kWindows) << "Linux makes FIFOs";
  EXPECT_EQ(ReadUpdateStamp(common(), "INSTALL_6"), "") << "a FIFO is not waited on";
}

TEST_F(UpdateStampsTest, WritesEachValidStampVerbatimWithCrLf) {
  // A file a killed run staged here goes with the first write; one a live run holds stays.
  dir_.write("INSTALL_12.txt.00112233aabbccdd.zentro-new", "abandoned");
  zentro::testing::TempDir other;
  const std::string held = other.write("INSTALL_1.txt.ffeeddccbbaa9988.zentro-new", "live");
  zentro::testing::HeldFile holder(held);
  ASSERT_TRUE(holder.held());
  WriteUpdateStamps(other.str(), "INSTALL_1", kServerStamp, "", "");
  EXPECT_TRUE(fs::exists(pathFromUtf8(held)));
  holder.release();

  WriteUpdateStamps(common(), "INSTALL_12", kServerStamp, "INSTALL_40", kLaterStamp);
  EXPECT_EQ(stampText("INSTALL_12"), std::string(kServerStamp) + "\r\n");
  EXPECT_EQ(stampText("INSTALL_40"), std::string(kLaterStamp) + "\r\n");
  EXPECT_EQ(ReadUpdateStamp(common(), "INSTALL_12"), kServerStamp);
  // Nothing but the stamps is left in the folder (no temporary files).
  EXPECT_EQ(entryCount(), 2);

  // A later run overwrites, never through a link planted at a temporary name beside it.
  zentro::testing::TempDir elsewhere;
  const std::string victim = elsewhere.write("victim", "precious");
  EXPECT_TRUE(makeLink(victim, dir_.file("INSTALL_12.txt.tmp")) || kWindows);
  WriteUpdateStamps(common(), "INSTALL_12", kLaterStamp, "", "");
  EXPECT_EQ(stampText("INSTALL_12"), std::string(kLaterStamp) + "\r\n");
  EXPECT_EQ(readFile(victim), "precious");
}

TEST_F(UpdateStampsTest, EmptyKeysNonDatesAndMissingFoldersAreNeverWritten) {
  dir_.write("INSTALL_9.txt", "old\r\n");
  WriteUpdateStamps(common(), "INSTALL_8", "", "INSTALL_9", "not a date");
  EXPECT_FALSE(fs::exists(dir_.path() / "INSTALL_8.txt"));
  EXPECT_EQ(stampText("INSTALL_9"), "old\r\n") << "a non-date leaves the old stamp";

  WriteUpdateStamps(common(), "", kServerStamp, "", kServerStamp);
  EXPECT_EQ(entryCount(), 1) << "only the old INSTALL_9.txt";
  // The same key for both groups keeps the custom group's text.
  WriteUpdateStamps(common(), "INSTALL_5", kServerStamp, "INSTALL_5", kLaterStamp);
  EXPECT_EQ(stampText("INSTALL_5"), std::string(kLaterStamp) + "\r\n");
  // A folder that cannot be written is ignored.
  WriteUpdateStamps(dir_.file("gone"), "INSTALL_1", kServerStamp, "", "");
  EXPECT_FALSE(fs::exists(dir_.path() / "gone")) << "nothing is created";
}

struct StampCase {
  const char* server;
  const char* local;
  bool current;
};

class StampComparison : public ::testing::TestWithParam<StampCase> {};

TEST_P(StampComparison, CurrentWhenTheServerIsNotLaterThanTheLocalStamp) {
  EXPECT_EQ(isStampCurrent(GetParam().server, GetParam().local), GetParam().current)
      << GetParam().server << " vs " << GetParam().local;
}

INSTANTIATE_TEST_SUITE_P(
    Table, StampComparison,
    ::testing::Values(StampCase{kServerStamp, kServerStamp, true},
                      StampCase{"2024-01-15T15:45:12", kServerStamp, true},  // other form
                      StampCase{kServerStamp, kLaterStamp, true},
                      StampCase{kLaterStamp, kServerStamp, false},
                      StampCase{kServerStamp, "", false}, StampCase{"", kServerStamp, false},
                      StampCase{"garbage", "garbage", false},
                      // Before 1899-12-30 the day count runs backwards, the time of day not.
                      StampCase{"1899-12-29T05:00", "1899-12-29T06:00", true},
                      StampCase{"1899-12-29T07:00", "1899-12-29T06:00", false}));

}  // namespace
}  // namespace zentro
