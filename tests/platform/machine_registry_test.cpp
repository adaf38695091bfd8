// The machine hive's string values, one contract for both systems (Linux: the layer's own
// file; Windows: HKEY_LOCAL_MACHINE), then what only the Linux file has;
// tests/win32/registry_test.cpp holds what only Windows has.
#include "platform/machine_registry.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>

#include "tests/support/temp_dir.h"
#include "tests/support/test_system.h"

namespace zentro::platform {
namespace {

class MachineRegistryTest : public ::testing::Test {
 protected:
  zentro::testing::TempDir dir_;
  zentro::testing::ScopedUserProfile profile_{dir_.str()};
  const std::string parent_ = profile_.scratchMachineKey();
  const std::string key_ = parent_ + "\\Velmora";
};

TEST_F(MachineRegistryTest, KeysMustExistBeforeValuesAreWritten) {
  EXPECT_FALSE(writeMachineString(key_, "Name", "data"));
  EXPECT_EQ(readMachineString(key_, "Name"), std::nullopt);

  ASSERT_TRUE(createMachineKey(key_));
  // Parents come with it.
  EXPECT_TRUE(writeMachineString(parent_, "Parent", "yes"));
  EXPECT_EQ(readMachineString(parent_, "Parent"), "yes");
  EXPECT_TRUE(writeMachineString(key_, "Name", "data"));
  EXPECT_EQ(readMachineString(key_, "Name"), "data");
  EXPECT_EQ(readMachineString(key_, "Other"), std::nullopt);
  EXPECT_EQ(readMachineString(parent_ + "\\Other", "Name"), std::nullopt);
  // Creating it again changes nothing.
  EXPECT_TRUE(createMachineKey(key_));
  EXPECT_EQ(readMachineString(key_, "Name"), "data");
}

TEST_F(MachineRegistryTest, MatchesWithoutCaseAndKeepsOneValuePerName) {
  ASSERT_TRUE(createMachineKey(key_));
  ASSERT_TRUE(writeMachineString(key_, "Corvale Font A.ttf", "A.ttf"));
  std::string otherCase = key_;
  for (char& c : otherCase) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  ASSERT_TRUE(writeMachineString(otherCase, "corvale font a.TTF", "B.ttf"));
  EXPECT_EQ(readMachineString(key_, "Corvale Font A.ttf"), "B.ttf");
  EXPECT_EQ(readMachineString(otherCase, "CORVALE FONT A.TTF"), "B.ttf");
}

TEST_F(MachineRegistryTest, AnyNameAndDataSurvive) {
  // Key, value name and text keep every character (the 8-bit calls would lose the Cyrillic
  // letter to the code page and misread the UTF-8 bytes of the others).
  const std::string nonAscii = "Zentro Pr\xC3\xBC" "fung \xC3\x9F \xD0\x96";
  const std::string key = key_ + "\\" + nonAscii;
  ASSERT_TRUE(createMachineKey(key));
  const std::string names[] = {"a=b", "[section]", ";not a comment", "#hash", "50%", " padded ",
                               nonAscii};
  const std::string data[] = {"x=y", "line\nbreak", "cr\rlf\r\n", "%41", "", " spaced ", nonAscii};
  for (std::size_t i = 0; i < std::size(names); ++i) {
    ASSERT_TRUE(writeMachineString(key, names[i], data[i])) << names[i];
  }
  for (std::size_t i = 0; i < std::size(names); ++i) {
    EXPECT_EQ(readMachineString(key, names[i]), data[i]) << names[i];
  }
  // Nothing else appeared: a value of one key never turns into a key or a comment.
  EXPECT_EQ(readMachineString("section", "x"), std::nullopt);
}

// What only Linux has: the hive is a file of the layer's own (here one in a folder yet to be
// made), with its text, planted links and key paths it cannot hold.
constexpr char kKey[] = "SOFTWARE\\Pellworth\\Velmora";

class MachineHiveFileTest : public MachineRegistryTest {
 protected:
  void SetUp() override {
    if (zentro::testing::kWindows) GTEST_SKIP() << "Windows keeps the machine hive itself";
    env_.set("ZENTRO_MACHINE_HIVE", hive_);
  }
  std::string hive_ = dir_.file("hive/machine-hive.ini");
  zentro::testing::ScopedEnv env_;
};

TEST_F(MachineHiveFileTest, KeepsOneLinePerValueAndReplacesPlantedLinks) {
  ASSERT_TRUE(createMachineKey(kKey));
  ASSERT_TRUE(writeMachineString(kKey, "Corvale Font A.ttf", "A.ttf"));
  ASSERT_TRUE(writeMachineString("software\\PELLWORTH\\velmora\\", "corvale font a.TTF", "B.ttf"));
  std::string text = zentro::testing::readFile(hive_);
  EXPECT_NE(text.find("[SOFTWARE\\Pellworth\\Velmora]\nCorvale Font A.ttf=B.ttf\n"),
            std::string::npos)
      << text;
  // A link planted at the temporary name of the next write is replaced, never written through.
  const std::string victim = dir_.write("victim", "precious");
  std::filesystem::create_symlink(victim, hive_ + ".tmp." + std::to_string(::getpid()));
  EXPECT_TRUE(createMachineKey(kKey));
  EXPECT_TRUE(writeMachineString(kKey, "Name", "again"));
  EXPECT_EQ(readMachineString(kKey, "Name"), "again");
  EXPECT_EQ(zentro::testing::readFile(victim), "precious");
}

TEST_F(MachineHiveFileTest, UnusableKeyPaths) {
  for (const char* key : {"", "\\\\", "A]B", "A\nB"}) EXPECT_FALSE(createMachineKey(key)) << key;
  env_.set("ZENTRO_MACHINE_HIVE", dir_.write("file", "x") + "/below-a-file.ini");
  EXPECT_FALSE(createMachineKey(kKey));
}

}  // namespace
}  // namespace zentro::platform
