#include "installer/pe_version.h"

#include <gtest/gtest.h>

#include <span>

#include "installer/version_compare.h"
#include "tests/installer/pe_image_builder.h"
#include "tests/support/temp_dir.h"

namespace zentro {
namespace {

using testing::PeImageBuilder;
using testing::PeImageOptions;

std::string text(std::span<const std::uint8_t> bytes) { return {bytes.begin(), bytes.end()}; }

struct ImageCase {
  const char* name;
  PeImageOptions options;
  std::optional<PeFileVersion> expected;
};

class PeVersionImages : public ::testing::TestWithParam<ImageCase> {};

TEST_P(PeVersionImages, ReadsTheFixedFileVersion) {
  const ImageCase& c = GetParam();
  std::vector<std::uint8_t> image = PeImageBuilder::build(c.options);
  EXPECT_EQ(parsePeFileVersion(image), c.expected);

  zentro::testing::TempDir dir;
  EXPECT_EQ(readPeFileVersion(dir.write("component.dll", text(image))), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Images, PeVersionImages,
    ::testing::Values(
        ImageCase{"Pe32Plus", {}, PeFileVersion{300, 1100, 0, 11}},
        ImageCase{"Pe32", {.pe32Plus = false}, PeFileVersion{300, 1100, 0, 11}},
        // Halves are unsigned: parts above 32767 keep their value.
        ImageCase{"HighParts", {.version = {40000, 65535, 32768, 65535}},
                  PeFileVersion{40000, 65535, 32768, 65535}},
        ImageCase{"NamedTypeBeforeIds", {.version = {5, 0, 21, 1}, .namedTypeFirst = true},
                  PeFileVersion{5, 0, 21, 1}},
        ImageCase{"SingleSection", {.pe32Plus = false, .version = {1, 2, 3, 4}, .codeSectionFirst = false},
                  PeFileVersion{1, 2, 3, 4}},
        ImageCase{"NoVersionResource", {.withVersionResource = false}, std::nullopt}),
    [](const ::testing::TestParamInfo<ImageCase>& p) { return p.param.name; });

// Every truncation of an image is safe and never invents a version; reading the file agrees
// with the bytes wherever it ends (checked around the part read in one go, around the version
// block, and at every 61st length in between).
TEST(PeVersion, EveryTruncationIsSafeAndFileReadsAgree) {
  zentro::testing::TempDir dir;
  for (bool pe32Plus : {true, false}) {
    const std::vector<std::uint8_t> image = PeImageBuilder::build({pe32Plus, {7, 8, 9, 10}});
    for (std::size_t length = 0; length <= image.size(); ++length) {
      const std::span<const std::uint8_t> head(image.data(), length);
      const std::optional<PeFileVersion> v = parsePeFileVersion(head);
      if (v) {
        EXPECT_EQ(*v, (PeFileVersion{7, 8, 9, 10})) << "length " << length;
      }
      if (length % 61 == 0 || (length >= 500 && length <= 530) || length + 8 >= image.size()) {
        EXPECT_EQ(readPeFileVersion(dir.write("cut.dll", text(head))), v)
            << "length " << length;
      }
    }
    // The section's padding is not needed, but the version block is.
    EXPECT_TRUE(parsePeFileVersion(image).has_value());
    EXPECT_FALSE(parsePeFileVersion(std::span<const std::uint8_t>(image.data(), 0x400)));
  }
}

TEST(PeVersion, CorruptedBytesNeverCrash) {
  const std::vector<std::uint8_t> image = PeImageBuilder::build();
  // Each byte of the headers and the resource tree set to values that break sizes, counts and
  // offsets in turn; whatever the reader returns, it must not read outside the image (the
  // sanitizer build checks that).
  for (std::size_t at = 0; at < image.size(); ++at) {
    for (std::uint8_t value : {std::uint8_t{0x00}, std::uint8_t{0x7F}, std::uint8_t{0xFF}}) {
      std::vector<std::uint8_t> broken = image;
      broken[at] = value;
      (void)parsePeFileVersion(broken);
    }
  }
}

TEST(PeVersion, RefusesWhatIsNotAVersionBlock) {
  const std::vector<std::uint8_t> image = PeImageBuilder::build();
  const std::size_t rsrc = 2 * PeImageBuilder::kFileAlignment;
  const std::size_t block = rsrc + 0xC0;
  const std::vector<std::pair<std::size_t, std::uint8_t>> edits[] = {
      {{block + 6, 'X'}},                 // another key
      {{block + 40, 0xBC}},               // another signature
      {{rsrc + 0xA3, 0x70}},              // a data entry far past the end of the section
      // A subdirectory bit where a data entry belongs (a loop back to the root).
      {{rsrc + 0x80 + 20, 0}, {rsrc + 0x80 + 23, 0x80}}};
  for (const auto& edit : edits) {
    std::vector<std::uint8_t> broken = image;
    for (const auto& [at, value] : edit) broken[at] = value;
    EXPECT_FALSE(parsePeFileVersion(broken)) << "at " << edit[0].first;
  }
}

// A file's version: its version resource, else the first line of its side file without blanks
// (the file itself may be missing), else "" (also for what is no image or no file at all).
// Read by name in its open folder, every file gives the same answer as by its path.
TEST(GetFileVersion, ResourceThenSideFileThenNothing) {
  zentro::testing::TempDir dir;
  const auto side = [&](const std::string& file, const std::string& content) {
    dir.write(file + ".ver", content);
    return dir.file(file);
  };
  dir.write("msvbvm60.dll", text(PeImageBuilder::build()));
  dir.write("plain.dll", text(PeImageBuilder::build({.withVersionResource = false})));
  dir.write("setup.exe", "not a program");
  const std::pair<std::string, std::string> rows[] = {
      {side("msvbvm60.dll", "9.9.9.9\r\n"), "300.1100.0.11"},
      {side("plain.dll", "1.2.3.4\r\n"), "1.2.3.4"},
      {side("setup.exe", " 4. 0 .1 .0 \r\nsecond line\r\n"), "4.0.1.0"},
      {side("gone.dll", "2.5.0.0"), "2.5.0.0"},
      {side("empty.dll", ""), ""},
      {side("huge.dll", std::string(100000, '1')), ""},  // a first line far too long
      {side("large.dll", "1.2.3.4\r\n" + std::string(70000, 'x')), ""},  // a file far too large
      {dir.file("missing.dll"), ""},
      {dir.file("."), ""},
      // Names that are no bare file name: in a subfolder, and one that begins at a separator.
      {side("lib/sub.dll", "5.6.7.8"), "5.6.7.8"},
      {dir.str() + "//msvbvm60.dll", "300.1100.0.11"},
      {dir.write("readme.txt", "MZ but not really a program"), ""},
      {dir.write("zero.dll", ""), ""}};
  const platform::OpenFolder folder(dir.str());
  for (const auto& [path, expected] : rows) {
    EXPECT_EQ(GetFileVersion(path), expected) << path;
    EXPECT_EQ(GetFileVersion(folder, path.substr(dir.str().size() + 1)), expected) << path;
  }
}

}  // namespace
}  // namespace zentro
