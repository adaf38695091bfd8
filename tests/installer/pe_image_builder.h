#pragma once
// Builds small, valid PE images with a version resource, byte by byte, so version reading is
// tested on real PE files without a Windows tool chain.

#include <algorithm>
#include <cstdint>
#include <string>
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
  static std::vector<std::uint8_t> build(const PeImageOptions& o = {}) {
    PeImageBuilder b;
    return b.make(o);
  }

  static constexpr std::uint32_t kFileAlignment = 0x200;
  static constexpr std::uint32_t kTextRva = 0x1000;
  static constexpr std::uint32_t kRsrcRva = 0x2000;

 private:
  std::vector<std::uint8_t> bytes_;

  void put16(std::size_t at, std::uint32_t v) {
    grow(at + 2);
    bytes_[at] = static_cast<std::uint8_t>(v);
    bytes_[at + 1] = static_cast<std::uint8_t>(v >> 8);
  }
  void put32(std::size_t at, std::uint32_t v) {
    put16(at, v & 0xFFFF);
    put16(at + 2, v >> 16);
  }
  void putText(std::size_t at, const std::string& s) {
    grow(at + s.size());
    for (std::size_t i = 0; i < s.size(); ++i) bytes_[at + i] = static_cast<std::uint8_t>(s[i]);
  }
  void grow(std::size_t size) {
    if (bytes_.size() < size) bytes_.resize(size, 0);
  }

  // The resource section's content; `base` is its RVA (data entries hold RVAs).
  std::vector<std::uint8_t> resources(const PeImageOptions& o, std::uint32_t base) {
    PeImageBuilder r;
    const std::uint32_t typeId = o.withVersionResource ? 16 : 3;
    const std::uint16_t named = o.namedTypeFirst ? 1 : 0;
    // Root: [named "X" -> an empty directory at 0x40], ID typeId -> directory at 0x60.
    r.put16(12, named);
    r.put16(14, 1);
    std::size_t e = 16;
    if (o.namedTypeFirst) {
      r.put32(e, 0x80000000u | 0x100);  // name string offset
      r.put32(e + 4, 0x80000000u | 0x40);
      e += 8;
    }
    r.put32(e, typeId);
    r.put32(e + 4, 0x80000000u | 0x60);
    // Type directory: one ID entry, name 1 -> dir at 0x80.
    r.put16(0x60 + 14, 1);
    r.put32(0x60 + 16, 1);
    r.put32(0x60 + 20, 0x80000000u | 0x80);
    // Name directory: language 0x409 -> data entry at 0xA0.
    r.put16(0x80 + 14, 1);
    r.put32(0x80 + 16, 0x409);
    r.put32(0x80 + 20, 0xA0);
    // Named type's string "X" (length-prefixed UTF-16).
    r.put16(0x100, 1);
    r.put16(0x102, 'X');
    // VS_VERSIONINFO at 0xC0.
    const std::uint32_t vi = 0xC0;
    const std::string key = "VS_VERSION_INFO";
    const std::uint32_t valueAt = vi + 40;  // 6 + 32 bytes of key, padded to 4
    const std::uint32_t length = 40 + 52;
    r.put16(vi, length);
    r.put16(vi + 2, 52);
    r.put16(vi + 4, 0);
    for (std::size_t i = 0; i < key.size(); ++i) r.put16(vi + 6 + 2 * i, key[i]);
    r.put32(valueAt, 0xFEEF04BDu);
    r.put32(valueAt + 4, 0x00010000u);
    r.put32(valueAt + 8, (std::uint32_t{o.version[0]} << 16) | o.version[1]);
    r.put32(valueAt + 12, (std::uint32_t{o.version[2]} << 16) | o.version[3]);
    r.put32(valueAt + 16, (std::uint32_t{o.version[0]} << 16) | o.version[1]);  // product
    r.put32(valueAt + 20, (std::uint32_t{o.version[2]} << 16) | o.version[3]);
    r.grow(valueAt + 52);
    // Data entry.
    r.put32(0xA0, base + vi);
    r.put32(0xA4, length);
    r.grow(0x110);
    return r.bytes_;
  }

  std::vector<std::uint8_t> make(const PeImageOptions& o) {
    const std::uint32_t peAt = 0x80;
    putText(0, "MZ");
    put32(0x3C, peAt);
    putText(peAt, std::string("PE\0\0", 4));
    const std::size_t coff = peAt + 4;
    const std::uint16_t sections = o.codeSectionFirst ? 2 : 1;
    const std::uint16_t optionalSize = o.pe32Plus ? 240 : 224;
    put16(coff, o.pe32Plus ? 0x8664 : 0x14C);
    put16(coff + 2, sections);
    put16(coff + 16, optionalSize);
    put16(coff + 18, 0x2102);  // executable image, DLL
    const std::size_t opt = coff + 20;
    put16(opt, o.pe32Plus ? 0x20B : 0x10B);
    const std::size_t countAt = opt + (o.pe32Plus ? 108 : 92);
    const std::size_t dirs = opt + (o.pe32Plus ? 112 : 96);
    put32(opt + 32, 0x1000);  // section alignment
    put32(opt + 36, kFileAlignment);
    put32(countAt, 16);

    std::vector<std::uint8_t> rsrc = resources(o, kRsrcRva);
    put32(dirs + 16, kRsrcRva);
    put32(dirs + 20, static_cast<std::uint32_t>(rsrc.size()));

    std::size_t table = opt + optionalSize;
    std::uint32_t raw = kFileAlignment;
    if (o.codeSectionFirst) {
      putText(table, ".text");
      put32(table + 8, 0x10);
      put32(table + 12, kTextRva);
      put32(table + 16, kFileAlignment);
      put32(table + 20, raw);
      grow(raw + kFileAlignment);
      bytes_[raw] = 0xC3;  // ret
      raw += kFileAlignment;
      table += 40;
    }
    const std::uint32_t rsrcRaw = (static_cast<std::uint32_t>(rsrc.size()) + kFileAlignment - 1) /
                                  kFileAlignment * kFileAlignment;
    putText(table, ".rsrc");
    put32(table + 8, static_cast<std::uint32_t>(rsrc.size()));
    put32(table + 12, kRsrcRva);
    put32(table + 16, rsrcRaw);
    put32(table + 20, raw);
    grow(raw + rsrcRaw);
    std::copy(rsrc.begin(), rsrc.end(), bytes_.begin() + raw);
    return bytes_;
  }
};

}  // namespace zentro::testing
