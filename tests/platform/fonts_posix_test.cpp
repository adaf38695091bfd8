// Fonts on Linux: fontconfig and the user font folder.
#include "platform/fonts.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_dir.h"
#include "tests/support/test_system.h"

namespace zentro::platform {
namespace {

namespace fs = std::filesystem;

class FontsTest : public ::testing::Test {
 protected:
  zentro::testing::TempDir dir_;
  // XDG_RUNTIME_DIR, XDG_DATA_HOME and XDG_CONFIG_HOME: runtime, data and config below dir_.
  zentro::testing::ScopedUserProfile profile_{dir_.str()};
  zentro::testing::ScopedEnv env_;
};

TEST_F(FontsTest, SessionFontsAreLinkedForFontconfig) {
  std::string font = dir_.write("Fonts/CORVALE.TTF", "not really glyphs");
  EXPECT_EQ(addFontResource(font), 1);
  fs::path linked = fs::path(dir_.file("runtime")) / "vmizentro-fonts" / "CORVALE.TTF";
  EXPECT_EQ(fs::read_symlink(linked), font);
  // Adding it again replaces the link.
  EXPECT_EQ(addFontResource(font), 1);
  // fontconfig learns the folder from a snippet in the user's configuration, which a later
  // session with another folder corrects.
  const std::string snippet =
      dir_.file("config/fontconfig/conf.d/60-vmizentro-session-fonts.conf");
  auto names = [&](const std::string& runtime) {
    const std::string dir = "<dir>" + dir_.file(runtime) + "/vmizentro-fonts</dir>";
    return zentro::testing::readFile(snippet).find(dir) != std::string::npos;
  };
  EXPECT_TRUE(names("runtime"));
  env_.set("XDG_RUNTIME_DIR", dir_.file("runtime2"));
  fs::create_directories(dir_.file("runtime2"));
  EXPECT_EQ(addFontResource(font), 1);
  EXPECT_TRUE(names("runtime2"));

  EXPECT_EQ(addFontResource(dir_.file("Fonts/missing.ttf")), 0);
  EXPECT_EQ(addFontResource(dir_.write("Fonts/readme.txt", "text")), 0);
}

TEST_F(FontsTest, PermanentFontsGoToTheUserFontFolder) {
  EXPECT_EQ(userFontFolder(), dir_.file("data") + "/fonts");
  std::string font = dir_.write("Fonts/corvale.otf", "glyphs");
  EXPECT_TRUE(installUserFont(font));
  EXPECT_EQ(zentro::testing::readFile(userFontFolder() + "/corvale.otf"), "glyphs");
  EXPECT_FALSE(installUserFont(dir_.file("Fonts/missing.ttf")));
  // Refreshing the cache of that folder returns once done, whatever the tool reports.
  broadcastFontChange();
}

}  // namespace
}  // namespace zentro::platform
