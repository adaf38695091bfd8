// The window's early font configuration load: fonts are matched and rendered exactly as after
// the font library's own start, and anything out of the ordinary is left to that start.
#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/qt/font_warm_up.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_system.h"

namespace zentro::qt {
namespace {

using ConfigPtr = std::unique_ptr<FcConfig, decltype(&FcConfigDestroy)>;

ConfigPtr own(FcConfig* config) { return ConfigPtr(config, &FcConfigDestroy); }

std::string unparsed(FcPattern* pattern) {
  FcChar8* text = FcNameUnparse(pattern);
  std::string out = text ? reinterpret_cast<const char*>(text) : "(none)";
  std::free(text);
  return out + "\n";
}

std::string listed(FcStrList* list) {
  std::string out;
  if (!list) return out;
  while (FcChar8* s = FcStrListNext(list)) {
    out += reinterpret_cast<const char*>(s);
    out += ' ';
  }
  FcStrListDone(list);
  return out + "\n";
}

// Everything the toolkit asks of a configuration: its folders and files, its font list, and for
// each request the substituted pattern and the fallback order, each font prepared for rendering.
std::string whatItShows(FcConfig* config) {
  std::string out = listed(FcConfigGetFontDirs(config)) + listed(FcConfigGetCacheDirs(config)) +
                    listed(FcConfigGetConfigFiles(config));
  FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, FC_STYLE, FC_FILE, FC_INDEX, FC_WEIGHT,
                                          FC_HINTING, FC_ANTIALIAS, nullptr);
  FcPattern* all = FcPatternCreate();
  FcFontSet* fonts = FcFontList(config, all, objects);
  for (int i = 0; fonts && i < fonts->nfont; ++i) out += unparsed(fonts->fonts[i]);
  if (fonts) FcFontSetDestroy(fonts);
  FcPatternDestroy(all);
  FcObjectSetDestroy(objects);

  for (const char* request : {"Sans Serif", "Serif:weight=bold", "Monospace:pixelsize=9",
                              "Helvetica", ":lang=ja", "Zentro Test Sans"}) {
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(request));
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    out += unparsed(pattern);
    FcResult result;
    if (FcFontSet* sorted = FcFontSort(config, pattern, FcTrue, nullptr, &result)) {
      for (int i = 0; i < sorted->nfont; ++i) {
        FcPattern* prepared = FcFontRenderPrepare(config, pattern, sorted->fonts[i]);
        out += " " + unparsed(prepared);
        FcPatternDestroy(prepared);
      }
      FcFontSetDestroy(sorted);
    }
    FcPatternDestroy(pattern);
  }
  return out;
}

class FontConfigurationTest : public ::testing::Test {
 protected:
  zentro::testing::TempDir dir_;
  // HOME and XDG_CONFIG_HOME below dir_: the user's own configuration and font caches.
  zentro::testing::ScopedUserProfile profile_{dir_.str()};
  zentro::testing::ScopedEnv env_;
};

TEST_F(FontConfigurationTest, MatchesAndRendersAsTheLibrarysOwnStart) {
  // The user's configuration counts: a font folder of their own and a rule of their own.
  auto library = own(FcInitLoadConfigAndFonts());
  ASSERT_TRUE(library);
  FcChar8* someFont = nullptr;
  FcFontSet* fonts = FcConfigGetFonts(library.get(), FcSetSystem);
  ASSERT_TRUE(fonts && fonts->nfont > 0) << "no fonts installed";
  ASSERT_EQ(FcPatternGetString(fonts->fonts[0], FC_FILE, 0, &someFont), FcResultMatch);
  const std::string userFonts = dir_.file("my fonts");
  std::filesystem::create_directories(userFonts);
  std::filesystem::copy_file(reinterpret_cast<const char*>(someFont), userFonts + "/Mine.ttf");
  dir_.write("config/fontconfig/fonts.conf",
             "<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n<fontconfig>\n"
             "  <dir>" + userFonts + "</dir>\n"
             "  <alias><family>Zentro Test Sans</family><prefer><family>Monospace</family>"
             "</prefer></alias>\n</fontconfig>\n");
  library = own(FcInitLoadConfigAndFonts());

  auto early = own(loadFontConfiguration());
  ASSERT_TRUE(early);
  const std::string shown = whatItShows(early.get());
  EXPECT_NE(shown.find(userFonts + "/Mine.ttf"), std::string::npos);
  EXPECT_EQ(shown, whatItShows(library.get()));
}

TEST_F(FontConfigurationTest, AnythingOutOfTheOrdinaryIsLeftToTheLibrary) {
  EXPECT_TRUE(own(loadFontConfiguration()));

  env_.set("FC_DEBUG", "1");
  EXPECT_FALSE(own(loadFontConfiguration())) << "debugging output is the library's";
  env_.set("FC_DEBUG", std::nullopt);

  env_.set("FONTCONFIG_FILE", dir_.file("missing.conf"));
  EXPECT_FALSE(own(loadFontConfiguration())) << "no configuration file";

  env_.set("FONTCONFIG_FILE", dir_.write("broken.conf", "<fontconfig><dir>unclosed"));
  EXPECT_FALSE(own(loadFontConfiguration())) << "a configuration that fails to load";

  env_.set("FONTCONFIG_FILE",
           dir_.write("no-cache.conf", "<fontconfig><dir>/usr/share/fonts</dir></fontconfig>"));
  EXPECT_FALSE(own(loadFontConfiguration())) << "no cache folder named";

  env_.set("FONTCONFIG_FILE",
           dir_.write("cached.conf", "<fontconfig><dir>/usr/share/fonts</dir><cachedir>" +
                                         dir_.file("cache") + "</cachedir></fontconfig>"));
  EXPECT_TRUE(own(loadFontConfiguration()));
}

}  // namespace
}  // namespace zentro::qt
