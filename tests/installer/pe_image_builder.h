#pragma once
// Builds small, valid PE images with a version resource, byte by byte, so version reading is
// tested on real PE files without a Windows tool chain.

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <tuple>
#include <vector>

namespace zentro::testing {

struct PeImageOptions {
  bool pe32Plus = true;
  std::uint16_t version[4] = {300, 1100, 0, 11};
  bool withVersionResource = true;   // false: an icon-typed resource only
  bool namedTypeFirst = false;       // a named resource type before the ID entries
  bool codeSectionFirst = true;      // a .text section before .rsrc (exercises RVA mapping)
};

class PeImageBuilder {
 public:
  static constexpr std::uint32_t kFileAlignment = 0x200;
  static constexpr std::uint32_t kTextRva = 0x1000;
  static constexpr std::uint32_t kRsrcRva = 0x2000;

  static std::vector<std::uint8_t> build(const PeImageOptions& o = {}) {
    const std::vector<std::uint8_t> rsrc = resources(o);
    const auto rsrcSize = static_cast<std::uint32_t>(rsrc.size());
    const std::uint32_t peAt = 0x80, coff = peAt + 4, opt = coff + 20;
    const std::uint16_t optionalSize = o.pe32Plus ? 240 : 224;
    const std::uint32_t dirs = opt + (o.pe32Plus ? 112 : 96);  // the data directories
    Bytes b;
    b.text(0, "MZ");
    b.put(0x3C, peAt);
    b.text(peAt, std::string_view("PE\0\0", 4));
    b.put(coff, o.pe32Plus ? 0x8664 : 0x14C, 2);
    b.put(coff + 2, o.codeSectionFirst ? 2 : 1, 2);  // sections
    b.put(coff + 16, optionalSize, 2);
    b.put(coff + 18, 0x2102, 2);  // executable image, DLL
    b.put(opt, o.pe32Plus ? 0x20B : 0x10B, 2);
    b.put(opt + 32, 0x1000);  // section alignment
    b.put(opt + 36, kFileAlignment);
    b.put(dirs - 4, 16);  // number of data directories
    b.put(dirs + 16, kRsrcRva);  // the resource directory
    b.put(dirs + 20, rsrcSize);
    std::uint32_t table = opt + optionalSize, raw = kFileAlignment;
    const auto section = [&](std::string_view name, std::uint32_t rva, std::uint32_t size,
                             const std::vector<std::uint8_t>& content) {
      const std::uint32_t rawSize = (size + kFileAlignment - 1) / kFileAlignment * kFileAlignment;
      b.text(table, name);
      b.put(table + 8, size);
      b.put(table + 12, rva);
      b.put(table + 16, rawSize);
      b.put(table + 20, raw);
      b.bytes.resize(raw + rawSize);
      std::copy(content.begin(), content.end(), b.bytes.begin() + raw);
      table += 40;
      raw += rawSize;
    };
    if (o.codeSectionFirst) section(".text", kTextRva, 0x10, {0xC3});  // ret
    section(".rsrc", kRsrcRva, rsrcSize, rsrc);
    return b.bytes;
  }

 private:
  struct Bytes {
    std::vector<std::uint8_t> bytes;
    void put(std::size_t at, std::uint32_t v, std::size_t width = 4) {
      bytes.resize(std::max(bytes.size(), at + width));
      for (std::size_t i = 0; i < width; ++i) bytes[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
    void text(std::size_t at, std::string_view s) {
      bytes.resize(std::max(bytes.size(), at + s.size()));
      std::copy(s.begin(), s.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
    }
  };

  // The resource section (its data entry holds an RVA). The root holds [a named type "X" (its
  // name at 0x100) -> an empty directory at 0x40] and the ID type (16, version; 3, icon) ->
  // 0x60; its one name (1) -> 0x80; its one language (0x409) -> the data entry at 0xA0, which
  // gives the VS_VERSIONINFO block at 0xC0.
  static std::vector<std::uint8_t> resources(const PeImageOptions& o) {
    constexpr std::uint32_t kDir = 0x80000000u;
    Bytes r;
    r.put(12, o.namedTypeFirst ? 1 : 0, 2);  // named entries
    r.put(14, 1, 2);                          // ID entries
    std::uint32_t e = 16;
    if (o.namedTypeFirst) {
      r.put(e, kDir | 0x100);
      r.put(e + 4, kDir | 0x40);
      e += 8;
    }
    r.put(e, o.withVersionResource ? 16 : 3);
    r.put(e + 4, kDir | 0x60);
    for (auto [dir, id, target] : {std::tuple{0x60u, 1u, kDir | 0x80}, {0x80u, 0x409u, 0xA0u}}) {
      r.put(dir + 14, 1, 2);
      r.put(dir + 16, id);
      r.put(dir + 20, target);
    }
    r.put(0x100, 1, 2);  // "X", length-prefixed UTF-16
    r.put(0x102, 'X', 2);
    const std::uint32_t vi = 0xC0, length = 40 + 52;  // the key padded to 40, the fixed info 52
    r.put(vi, length, 2);
    r.put(vi + 2, 52, 2);
    const std::string_view key = "VS_VERSION_INFO";
    for (std::size_t i = 0; i < key.size(); ++i) r.put(vi + 6 + 2 * i, key[i], 2);
    const std::uint32_t ms = (std::uint32_t{o.version[0]} << 16) | o.version[1];
    const std::uint32_t ls = (std::uint32_t{o.version[2]} << 16) | o.version[3];
    std::uint32_t at = vi + 40;  // signature, structure version, file and product versions
    for (std::uint32_t v : {0xFEEF04BDu, 0x00010000u, ms, ls, ms, ls}) r.put((at += 4) - 4, v);
    r.bytes.resize(vi + length);
    r.put(0xA0, kRsrcRva + vi);
    r.put(0xA4, length);
    return r.bytes;
  }
};

}  // namespace zentro::testing
