// zentro-fuzz-seeds OUTDIR: writes the binary seed inputs of the fuzz targets, made by the
// project's own encoders, the archive target's script builder and the test suite's PE image
// builder, so the seeds follow the formats as they change. Text seeds live in fuzz/corpus/;
// scripts/make-fuzz-seeds.sh adds the test data files.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/zip_script.h"
#include "remote/rds_wire.h"
#include "tests/installer/pe_image_builder.h"

namespace {

namespace fs = std::filesystem;
using zentro::Value;

bool writeSeed(const fs::path& dir, const std::string& name, const std::string& bytes) {
  fs::create_directories(dir);
  std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

std::string text(const std::vector<std::uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

bool rdsSeeds(const fs::path& dir) {
  namespace rds = zentro::rds;
  const std::string boundary = "rdsexample0boundary1";
  const zentro::ErrorValue error{static_cast<std::int32_t>(0x80020009u),
                                 static_cast<std::int32_t>(0x800A0E7Au), true, "ADODB.Connection",
                                 "Bad", ""};
  const zentro::ErrorValue plainError{5, 0, false, "", "", ""};
  const std::vector<Value> everyType{
      Value(), Value::null(), Value(std::int16_t{-2}), Value(std::int32_t{0x12345678}), Value(1.5),
      Value(zentro::Currency{123456}), Value(zentro::DateValue{2.5}), Value("ABC"), Value(""),
      Value("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"), Value(true), Value(std::uint8_t{200}),
      Value(zentro::DecimalValue{2, true, 1, 0x0000000200000003ull}), Value(plainError),
      Value(zentro::NothingValue{}),
      Value(zentro::ArrayValue{
          0x0C, {{3, 1}},
          {Value(std::int32_t{1}), Value(error),
           Value(zentro::ArrayValue{0x08, {{1, 0}, {2, 0}}, {Value("a"), Value::null()}})}}),
      Value(zentro::ArrayValue{0x11, {}, {}})};

  const std::string response = rds::encodeResponseBody({Value("ABC"), Value()}, Value("OK"), boundary);
  const std::string kTypeLabel = "Content-Type: ";
  const std::size_t headerEnd = response.find("\r\n\r\n");
  std::string plainErrorValue;
  rds::encodeValue(Value(plainError), plainErrorValue);
  std::string lfOnly = response;  // its values hold no carriage return byte
  std::erase(lfOnly, '\r');
  const std::pair<const char*, std::string> seeds[] = {
      {"request_worked_example.bin", rds::encodeRequestBody({Value("ABC"), Value(true)}, boundary)},
      {"response_worked_example.bin", response},
      {"response_error_excepinfo.bin", rds::encodeErrorBody(error)},
      {"request_every_type.bin", rds::encodeRequestBody(everyType, boundary)},
      {"response_every_type.bin", rds::encodeResponseBody(everyType, Value(7.25), boundary)},
      {"request_no_arguments.bin", rds::encodeRequestBody({}, boundary)},
      {"response_lf_only.bin", lfOnly},
      // The fuzz target takes a first line as the HTTP Content-Type.
      {"response_headers_in_http.bin",
       response.substr(kTypeLabel.size(), headerEnd - kTypeLabel.size()) + "\r\n" +
           response.substr(headerEnd)},
      {"varg_plain_error.bin", "application/x-varg\r\n" + plainErrorValue}};
  for (const auto& [name, bytes] : seeds) {
    if (!writeSeed(dir, name, bytes)) return false;
  }
  return true;
}

bool peSeeds(const fs::path& dir) {
  using zentro::testing::PeImageBuilder;
  return writeSeed(dir, "pe32plus_version.dll", text(PeImageBuilder::build())) &&
         writeSeed(dir, "pe32_version.dll", text(PeImageBuilder::build({.pe32Plus = false}))) &&
         writeSeed(dir, "no_version_resource.dll",
                   text(PeImageBuilder::build({.withVersionResource = false}))) &&
         writeSeed(dir, "named_type_first.dll",
                   text(PeImageBuilder::build({.namedTypeFirst = true, .codeSectionFirst = false})));
}

// Raw archives for the archive target's "PK" path, from the scripts its other path reads.
bool archiveSeeds(const fs::path& dir) {
  const std::pair<const char*, const char*> archives[] = {
      {"two_files.zip", "setup.ini=[setup] version=1\n!readme.txt=hello"},
      {"nested_folders.zip", "bin/\nbin/tool.dll*1\nshare/doc/notes.txt=n"},
      {"zip_slip.zip", "ok.txt=ok\n../escaped.txt=bad"},
      {"backslash_slip.zip", "a\\..\\..\\escaped.txt=bad"},
      {"over_byte_limit.zip", "zeros.bin*128"},
      {"file_then_folder_same_name.zip", "a=file\na/b=inside"},
      {"empty.zip", "empty.txt"}};
  fs::create_directories(dir);
  for (const auto& [name, script] : archives) {
    std::vector<zentro::fuzz::ScriptEntry> entries;
    if (!zentro::fuzz::buildZip(script, dir / name, entries)) return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
    return 2;
  }
  const fs::path out = argv[1];
  bool ok = rdsSeeds(out / "rds_wire") && peSeeds(out / "pe_version") &&
            archiveSeeds(out / "archive_expand");
  if (!ok) std::fprintf(stderr, "could not write every seed into %s\n", argv[1]);
  return ok ? 0 : 1;
}
