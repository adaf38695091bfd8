// The PE version-resource reader on arbitrary images, from memory and from a file. It never
// throws, and both ways must find the same version (the file reader fetches only the parts it
// needs, so it walks the image by a different route).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <span>
#include <string>

#include "fuzz/fuzz_support.h"
#include "installer/pe_version.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::optional<zentro::PeFileVersion> fromMemory =
      zentro::parsePeFileVersion(std::span<const std::uint8_t>(data, size));

  std::string path = (zentro::fuzz::ScratchDir::path() / "image.dll").string();
  // A fresh file each time: truncating and rewriting one makes ext4 flush it on close.
  std::remove(path.c_str());
  {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out) std::abort();
  }
  if (zentro::readPeFileVersion(path) != fromMemory) std::abort();
  return 0;
}
