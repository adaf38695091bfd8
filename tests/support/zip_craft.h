#pragma once
// Hand-made ZIP archives for the archive fault cases: entries with any name (including ones
// that climb out of their folder), sizes in the headers that differ from the data, and
// deflate streams of zeros that expand to gigabytes while staying a few megabytes long.
// Written byte by byte, so a library's own checks cannot stop a hostile archive from being
// made. Pure functions; any thread.

#include <zlib.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zentro::testing {

// Compressed (raw deflate) data of one entry with its CRC and expanded size.
struct DeflatedData {
  std::string bytes;
  std::uint32_t crc = 0;
  std::uint64_t expandedSize = 0;
};

struct ZipEntrySpec {
  std::string name;
  DeflatedData data;
  // What the headers claim; nullopt = the truth.
  std::optional<std::uint32_t> declaredSize;
};

namespace zip_craft_detail {
// Raw deflate of `data`, ended by `flush`: Z_FINISH, or Z_FULL_FLUSH for a block that refers to
// nothing before it and leaves the stream open.
inline std::string rawDeflate(const std::string& data, int flush) {
  z_stream zs{};
  deflateInit2(&zs, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&zs, data.size()) + 64, '\0');
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  zs.avail_in = static_cast<uInt>(data.size());
  zs.next_out = reinterpret_cast<Bytef*>(out.data());
  zs.avail_out = static_cast<uInt>(out.size());
  deflate(&zs, flush);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return out;
}
inline std::uint32_t crcOf(const std::string& data) {
  return static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}
inline void put16(std::string& s, std::uint32_t v) {
  s += static_cast<char>(v & 0xff);
  s += static_cast<char>((v >> 8) & 0xff);
}
inline void put32(std::string& s, std::uint32_t v) {
  put16(s, v & 0xffff);
  put16(s, v >> 16);
}
}  // namespace zip_craft_detail

// Raw deflate of `data`.
inline DeflatedData deflateBytes(const std::string& data) {
  return {zip_craft_detail::rawDeflate(data, Z_FINISH), zip_craft_detail::crcOf(data), data.size()};
}

// A deflate stream that expands to `mebibytes` MiB of zero bytes: one fully flushed block of
// 1 MiB of zeros (it refers to nothing before it) repeated, then the final empty block. About
// 1 KiB per MiB, so gigabytes of output cost megabytes of archive and no time to make.
inline DeflatedData deflatedZeros(std::uint64_t mebibytes) {
  const std::string zeros(1u << 20, '\0');
  const std::string block = zip_craft_detail::rawDeflate(zeros, Z_FULL_FLUSH);
  const uLong blockCrc = zip_craft_detail::crcOf(zeros);
  DeflatedData out{{}, 0, mebibytes << 20};
  out.bytes.reserve(block.size() * mebibytes + 2);
  for (std::uint64_t i = 0; i < mebibytes; ++i) {
    out.bytes += block;
    out.crc = static_cast<std::uint32_t>(
        crc32_combine(out.crc, blockCrc, static_cast<z_off_t>(zeros.size())));
  }
  out.bytes += std::string("\x03\x00", 2);  // the final block: fixed codes, end of block only
  return out;
}

// A ZIP archive of deflated entries (no ZIP64: each expanded size must fit 32 bits).
inline std::string buildZipArchive(const std::vector<ZipEntrySpec>& entries) {
  using zip_craft_detail::put16;
  using zip_craft_detail::put32;
  std::string out;
  std::string central;
  for (const ZipEntrySpec& e : entries) {
    const auto offset = static_cast<std::uint32_t>(out.size());
    const std::uint32_t size =
        e.declaredSize.value_or(static_cast<std::uint32_t>(e.data.expandedSize));
    const auto packed = static_cast<std::uint32_t>(e.data.bytes.size());
    auto common = [&](std::string& s) {
      put16(s, 20);      // version needed
      put16(s, 0);       // flags
      put16(s, 8);       // deflate
      put16(s, 0);       // time
      put16(s, 0x21);    // date: 1980-01-01
      put32(s, e.data.crc);
      put32(s, packed);
      put32(s, size);
      put16(s, static_cast<std::uint32_t>(e.name.size()));
      put16(s, 0);       // extra length
    };
    put32(out, 0x04034b50);
    common(out);
    out += e.name;
    out += e.data.bytes;

    put32(central, 0x02014b50);
    put16(central, 20);  // made by
    common(central);
    put16(central, 0);   // comment length
    put16(central, 0);   // disk
    put16(central, 0);   // internal attributes
    put32(central, 0);   // external attributes
    put32(central, offset);
    central += e.name;
  }
  const auto centralOffset = static_cast<std::uint32_t>(out.size());
  out += central;
  put32(out, 0x06054b50);
  put16(out, 0);
  put16(out, 0);
  put16(out, static_cast<std::uint32_t>(entries.size()));
  put16(out, static_cast<std::uint32_t>(entries.size()));
  put32(out, static_cast<std::uint32_t>(central.size()));
  put32(out, centralOffset);
  put16(out, 0);
  return out;
}

}  // namespace zentro::testing
