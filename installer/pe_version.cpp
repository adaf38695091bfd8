// The walk: DOS header -> PE header -> optional header (PE32 or PE32+) -> data directory 2
// (resources) -> resource type 16 (RT_VERSION) -> its first name -> its first language ->
// data entry -> VS_VERSIONINFO -> VS_FIXEDFILEINFO. Every read goes through ByteSource,
// which refuses anything past the end, so no structure is trusted before it is checked.
#include "installer/pe_version.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "platform/file_io.h"

namespace zentro {
namespace {

constexpr std::uint16_t kDosMagic = 0x5A4D;          // "MZ"
constexpr std::string_view kDosSignature = "MZ";
constexpr std::uint32_t kPeSignature = 0x00004550;   // "PE\0\0"
constexpr std::uint16_t kPe32Magic = 0x10B;
constexpr std::uint16_t kPe32PlusMagic = 0x20B;
constexpr std::uint32_t kDosLfanewOffset = 0x3C;
constexpr std::uint32_t kCoffHeaderSize = 20;
constexpr std::uint32_t kSectionHeaderSize = 40;
// The loader's own limit; it also bounds the work a hostile file can cause.
constexpr std::uint16_t kMaxSections = 96;
constexpr std::uint32_t kResourceDirectory = 2;
constexpr std::uint32_t kRtVersion = 16;
constexpr std::uint32_t kSubdirectoryBit = 0x80000000u;
constexpr std::uint32_t kFixedInfoSignature = 0xFEEF04BDu;
constexpr std::uint32_t kFixedInfoSize = 52;
// "VS_VERSION_INFO" with its terminator, in UTF-16.
constexpr char kVersionKey[] = "VS_VERSION_INFO";
constexpr std::uint32_t kVersionKeyBytes = sizeof kVersionKey * 2;
constexpr std::uint32_t kVersionHeaderBytes = 6;  // wLength, wValueLength, wType

// Random access to the image with every read bounded by its size.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual std::uint64_t size() const = 0;
  // False when [offset, offset + count) is not entirely inside the image or cannot be read.
  virtual bool read(std::uint64_t offset, void* out, std::size_t count) const = 0;

  bool inside(std::uint64_t offset, std::uint64_t count) const {
    return offset <= size() && count <= size() - offset;
  }
  std::optional<std::uint16_t> u16(std::uint64_t offset) const {
    std::uint8_t b[2];
    if (!read(offset, b, sizeof b)) return std::nullopt;
    return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
  }
  std::optional<std::uint32_t> u32(std::uint64_t offset) const {
    std::uint8_t b[4];
    if (!read(offset, b, sizeof b)) return std::nullopt;
    return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
           (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
  }
};

class SpanSource final : public ByteSource {
 public:
  explicit SpanSource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  std::uint64_t size() const override { return bytes_.size(); }
  bool read(std::uint64_t offset, void* out, std::size_t count) const override {
    if (!inside(offset, count)) return false;
    std::memcpy(out, bytes_.data() + offset, count);
    return true;
  }

 private:
  std::span<const std::uint8_t> bytes_;
};

// Opens only a file that begins like an image, and keeps its first bytes, where every image has
// its headers: most reads of the walk then need no further read of the file.
class FileSource final : public ByteSource {
 public:
  // `where`: a path, or an open folder and a name in it.
  template <class... Where>
  explicit FileSource(const Where&... where) : file_(where..., kMaxPeFileSize, kDosSignature) {
    const std::optional<std::size_t> got =
        file_.readAt(0, head_.data(),
                     static_cast<std::size_t>(std::min<std::uint64_t>(file_.size(), kHeadBytes)));
    headSize_ = got.value_or(0);
  }

  bool isOpen() const { return file_.isOpen(); }
  std::uint64_t size() const override { return file_.size(); }
  bool read(std::uint64_t offset, void* out, std::size_t count) const override {
    if (!inside(offset, count)) return false;
    if (offset + count <= headSize_) {
      std::memcpy(out, head_.data() + offset, count);
      return true;
    }
    return file_.readAt(offset, static_cast<char*>(out), count) == count;
  }

 private:
  // The DOS, PE and optional headers of an ordinary image.
  static constexpr std::size_t kHeadBytes = 512;

  platform::ReadOnlyFile file_;
  std::array<char, kHeadBytes> head_;  // the first headSize_ bytes are the file's
  std::size_t headSize_ = 0;
};

struct Section {
  std::uint32_t virtualAddress;
  std::uint32_t rawSize;
  std::uint32_t rawOffset;
};

class PeImage {
 public:
  explicit PeImage(const ByteSource& src) : src_(src) {}

  std::optional<PeFileVersion> fileVersion() {
    if (!readHeaders()) return std::nullopt;
    std::optional<std::uint32_t> dataRva = versionResourceRva();
    if (!dataRva) return std::nullopt;
    return fixedFileVersion(*dataRva, dataSize_);
  }

 private:
  // File offset of [rva, rva + count) when it lies wholly in one section's file data.
  std::optional<std::uint64_t> offsetOf(std::uint32_t rva, std::uint32_t count) const {
    for (const Section& s : sections_) {
      if (rva < s.virtualAddress) continue;
      std::uint64_t into = static_cast<std::uint64_t>(rva) - s.virtualAddress;
      if (into + count > s.rawSize) continue;
      std::uint64_t offset = static_cast<std::uint64_t>(s.rawOffset) + into;
      if (!src_.inside(offset, count)) return std::nullopt;
      return offset;
    }
    return std::nullopt;
  }
  std::optional<std::uint32_t> u32AtRva(std::uint32_t rva) const {
    std::optional<std::uint64_t> at = offsetOf(rva, 4);
    return at ? src_.u32(*at) : std::nullopt;
  }
  std::optional<std::uint16_t> u16AtRva(std::uint32_t rva) const {
    std::optional<std::uint64_t> at = offsetOf(rva, 2);
    return at ? src_.u16(*at) : std::nullopt;
  }

  bool readHeaders() {
    if (src_.u16(0) != kDosMagic) return false;
    std::optional<std::uint32_t> peOffset = src_.u32(kDosLfanewOffset);
    if (!peOffset || src_.u32(*peOffset) != kPeSignature) return false;
    const std::uint64_t coff = static_cast<std::uint64_t>(*peOffset) + 4;
    std::optional<std::uint16_t> sectionCount = src_.u16(coff + 2);
    std::optional<std::uint16_t> optionalSize = src_.u16(coff + 16);
    if (!sectionCount || !optionalSize || *sectionCount > kMaxSections) return false;

    const std::uint64_t optional = coff + kCoffHeaderSize;
    std::optional<std::uint16_t> magic = src_.u16(optional);
    std::uint64_t countField = 0;
    std::uint64_t directories = 0;
    if (magic == kPe32Magic) {
      countField = 92;
      directories = 96;
    } else if (magic == kPe32PlusMagic) {
      countField = 108;
      directories = 112;
    } else {
      return false;
    }
    std::optional<std::uint32_t> directoryCount = src_.u32(optional + countField);
    const std::uint64_t resourceEntry = directories + 8 * kResourceDirectory;
    if (!directoryCount || *directoryCount <= kResourceDirectory ||
        resourceEntry + 8 > *optionalSize) {
      return false;
    }
    std::optional<std::uint32_t> rva = src_.u32(optional + resourceEntry);
    std::optional<std::uint32_t> size = src_.u32(optional + resourceEntry + 4);
    if (!rva || !size || *rva == 0 || *size == 0) return false;
    resourceRva_ = *rva;

    const std::uint64_t table = optional + *optionalSize;
    if (!src_.inside(table, static_cast<std::uint64_t>(*sectionCount) * kSectionHeaderSize)) {
      return false;
    }
    sections_.reserve(*sectionCount);
    for (std::uint32_t i = 0; i < *sectionCount; ++i) {
      const std::uint64_t header = table + static_cast<std::uint64_t>(i) * kSectionHeaderSize;
      std::optional<std::uint32_t> va = src_.u32(header + 12);
      std::optional<std::uint32_t> rawSize = src_.u32(header + 16);
      std::optional<std::uint32_t> rawOffset = src_.u32(header + 20);
      if (!va || !rawSize || !rawOffset) return false;
      sections_.push_back(Section{*va, *rawSize, *rawOffset});
    }
    return true;
  }

  // The subdirectory or data offset (relative to the resource root) of the wanted entry of the
  // directory at `directory`: the ID entry `id`, or the first entry when `id` is empty.
  // `wantSubdirectory` says which kind the entry must be.
  std::optional<std::uint32_t> entryOf(std::uint32_t directory, std::optional<std::uint32_t> id,
                                       bool wantSubdirectory) const {
    const std::uint64_t base = static_cast<std::uint64_t>(resourceRva_) + directory;
    if (base + 16 > UINT32_MAX) return std::nullopt;
    const auto dir = static_cast<std::uint32_t>(base);
    std::optional<std::uint16_t> named = u16AtRva(dir + 12);
    std::optional<std::uint16_t> ids = u16AtRva(dir + 14);
    if (!named || !ids) return std::nullopt;
    const std::uint32_t total = static_cast<std::uint32_t>(*named) + *ids;
    // Named entries come first; an ID is searched among the ID entries only.
    const std::uint32_t first = id ? *named : 0;
    const std::uint32_t last = id ? total : std::min<std::uint32_t>(total, 1);
    for (std::uint32_t i = first; i < last; ++i) {
      const std::uint64_t entry = base + 16 + 8ull * i;
      if (entry + 8 > UINT32_MAX) return std::nullopt;
      std::optional<std::uint32_t> name = u32AtRva(static_cast<std::uint32_t>(entry));
      std::optional<std::uint32_t> target = u32AtRva(static_cast<std::uint32_t>(entry + 4));
      if (!name || !target) return std::nullopt;
      if (id && *name != *id) continue;
      if (((*target & kSubdirectoryBit) != 0) != wantSubdirectory) return std::nullopt;
      return *target & ~kSubdirectoryBit;
    }
    return std::nullopt;
  }

  std::optional<std::uint32_t> versionResourceRva() {
    std::optional<std::uint32_t> type = entryOf(0, kRtVersion, true);
    if (!type) return std::nullopt;
    std::optional<std::uint32_t> name = entryOf(*type, std::nullopt, true);
    if (!name) return std::nullopt;
    std::optional<std::uint32_t> language = entryOf(*name, std::nullopt, false);
    if (!language) return std::nullopt;
    const std::uint64_t dataEntry = static_cast<std::uint64_t>(resourceRva_) + *language;
    if (dataEntry + 8 > UINT32_MAX) return std::nullopt;
    std::optional<std::uint32_t> dataRva = u32AtRva(static_cast<std::uint32_t>(dataEntry));
    std::optional<std::uint32_t> dataSize = u32AtRva(static_cast<std::uint32_t>(dataEntry + 4));
    if (!dataRva || !dataSize) return std::nullopt;
    dataSize_ = *dataSize;
    return dataRva;
  }

  std::optional<PeFileVersion> fixedFileVersion(std::uint32_t rva, std::uint32_t size) const {
    // The fixed information follows the key, aligned to 4 bytes in the loaded image.
    const std::uint64_t valueRva = (static_cast<std::uint64_t>(rva) + kVersionHeaderBytes +
                                    kVersionKeyBytes + 3) & ~std::uint64_t{3};
    const std::uint64_t needed = valueRva - rva + kFixedInfoSize;
    if (needed > size || valueRva + kFixedInfoSize > UINT32_MAX) return std::nullopt;
    std::optional<std::uint64_t> at = offsetOf(rva, static_cast<std::uint32_t>(needed));
    if (!at) return std::nullopt;

    std::vector<std::uint8_t> block(static_cast<std::size_t>(needed));
    if (!src_.read(*at, block.data(), block.size())) return std::nullopt;
    SpanSource info(block);
    std::optional<std::uint16_t> length = info.u16(0);
    std::optional<std::uint16_t> valueLength = info.u16(2);
    if (!length || *length < needed || !valueLength || *valueLength < kFixedInfoSize) {
      return std::nullopt;
    }
    for (std::uint32_t i = 0; i < sizeof kVersionKey; ++i) {
      if (info.u16(kVersionHeaderBytes + 2 * i) != static_cast<std::uint16_t>(kVersionKey[i])) {
        return std::nullopt;
      }
    }
    const std::uint64_t value = valueRva - rva;
    if (info.u32(value) != kFixedInfoSignature) return std::nullopt;
    std::optional<std::uint32_t> ms = info.u32(value + 8);
    std::optional<std::uint32_t> ls = info.u32(value + 12);
    if (!ms || !ls) return std::nullopt;
    return PeFileVersion{static_cast<std::uint16_t>(*ms >> 16),
                         static_cast<std::uint16_t>(*ms & 0xFFFF),
                         static_cast<std::uint16_t>(*ls >> 16),
                         static_cast<std::uint16_t>(*ls & 0xFFFF)};
  }

  const ByteSource& src_;
  std::vector<Section> sections_;
  std::uint32_t resourceRva_ = 0;
  std::uint32_t dataSize_ = 0;
};

// Opened only as a regular file of bounded size: a folder, a device or a pipe that would block
// the read gives no version.
template <class... Where>
std::optional<PeFileVersion> fileVersionOf(const Where&... where) {
  const FileSource source(where...);
  if (!source.isOpen()) return std::nullopt;
  return PeImage(source).fileVersion();
}

}  // namespace

std::optional<PeFileVersion> parsePeFileVersion(std::span<const std::uint8_t> bytes) {
  SpanSource source(bytes);
  return PeImage(source).fileVersion();
}

std::optional<PeFileVersion> readPeFileVersion(const std::string& path) {
  return fileVersionOf(path);
}

std::optional<PeFileVersion> readPeFileVersion(const platform::OpenFolder& folder,
                                               const std::string& name) {
  return fileVersionOf(folder, name);
}

}  // namespace zentro
