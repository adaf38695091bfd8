// zentro-fuzz-seeds OUTDIR: writes the binary seed inputs of the fuzz targets, made by the
// project's own encoders and by the test suite's PE image builder, so the seeds follow the
// formats as they change. Text seeds live in fuzz/corpus/; scripts/make-fuzz-seeds.sh adds
// the test data files.
#include <zip.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "remote/ado_xml.h"
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

std::string replaceAll(std::string s, const std::string& from, const std::string& to) {
  for (std::size_t p = s.find(from); p != std::string::npos; p = s.find(from, p + to.size())) {
    s.replace(p, from.size(), to);
  }
  return s;
}

bool rdsSeeds(const fs::path& dir) {
  namespace rds = zentro::rds;
  const std::string boundary = "rdsexample0boundary1";
  zentro::ErrorValue error;
  error.scode = static_cast<std::int32_t>(0x80020009u);
  error.scode2 = static_cast<std::int32_t>(0x800A0E7Au);
  error.hasExcepInfo = true;
  error.source = "ADODB.Connection";
  error.description = "Bad";
  const std::vector<Value> everyType{Value(),
                                     Value::null(),
                                     Value(std::int16_t{-2}),
                                     Value(std::int32_t{0x12345678}),
                                     Value(1.5),
                                     Value(zentro::Currency{123456}),
                                     Value(zentro::DateValue{2.5}),
                                     Value("ABC"),
                                     Value(""),
                                     Value("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"),
                                     Value(true),
                                     Value(std::uint8_t{200}),
                                     Value(zentro::DecimalValue{2, true, 1, 0x0000000200000003ull}),
                                     Value(zentro::ErrorValue{5, 0, false, "", "", ""}),
                                     Value(zentro::NothingValue{}),
                                     Value(zentro::ArrayValue{
                                         0x0C, {{3, 1}},
                                         {Value(std::int32_t{1}), Value(error),
                                          Value(zentro::ArrayValue{0x08, {{1, 0}, {2, 0}},
                                                                   {Value("a"), Value::null()}})}}),
                                     Value(zentro::ArrayValue{0x11, {}, {}})};

  const std::string request = rds::encodeRequestBody({Value("ABC"), Value(true)}, boundary);
  const std::string response =
      rds::encodeResponseBody({Value("ABC"), Value()}, Value("OK"), boundary);
  const std::string errorBody = rds::encodeErrorBody(error);
  const std::string kTypeLabel = "Content-Type: ";
  std::size_t headerEnd = response.find("\r\n\r\n");
  bool ok = writeSeed(dir, "request_worked_example.bin", request) &&
            writeSeed(dir, "response_worked_example.bin", response) &&
            writeSeed(dir, "response_error_excepinfo.bin", errorBody) &&
            writeSeed(dir, "request_every_type.bin", rds::encodeRequestBody(everyType, boundary)) &&
            writeSeed(dir, "response_every_type.bin",
                      rds::encodeResponseBody(everyType, Value(7.25), boundary)) &&
            writeSeed(dir, "request_no_arguments.bin", rds::encodeRequestBody({}, boundary)) &&
            writeSeed(dir, "response_lf_only.bin", replaceAll(response, "\r\n", "\n")) &&
            // The fuzz target takes a first line as the HTTP Content-Type.
            writeSeed(dir, "response_headers_in_http.bin",
                      response.substr(kTypeLabel.size(), headerEnd - kTypeLabel.size()) + "\r\n" +
                          response.substr(headerEnd));
  std::string value;
  rds::encodeValue(Value(zentro::ErrorValue{5, 0, false, "", "", ""}), value);
  return ok && writeSeed(dir, "varg_plain_error.bin", "application/x-varg\r\n" + value);
}

bool peSeeds(const fs::path& dir) {
  using zentro::testing::PeImageBuilder;
  using zentro::testing::PeImageOptions;
  PeImageOptions pe32;
  pe32.pe32Plus = false;
  PeImageOptions noVersion;
  noVersion.withVersionResource = false;
  PeImageOptions named;
  named.namedTypeFirst = true;
  named.codeSectionFirst = false;
  return writeSeed(dir, "pe32plus_version.dll", text(PeImageBuilder::build())) &&
         writeSeed(dir, "pe32_version.dll", text(PeImageBuilder::build(pe32))) &&
         writeSeed(dir, "no_version_resource.dll", text(PeImageBuilder::build(noVersion))) &&
         writeSeed(dir, "named_type_first.dll", text(PeImageBuilder::build(named)));
}

struct ZipEntry {
  std::string name;
  std::string content;
  bool stored = false;
};

bool zipSeed(const fs::path& dir, const std::string& name, const std::vector<ZipEntry>& entries) {
  fs::create_directories(dir);
  std::string path = (dir / name).string();
  int error = 0;
  zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!z) return false;
  for (const ZipEntry& e : entries) {
    zip_int64_t index = -1;
    if (!e.name.empty() && e.name.back() == '/') {
      index = zip_dir_add(z, e.name.c_str(), ZIP_FL_ENC_UTF_8);
    } else {
      zip_source_t* src = zip_source_buffer(z, e.content.data(), e.content.size(), 0);
      index = src ? zip_file_add(z, e.name.c_str(), src, ZIP_FL_ENC_UTF_8) : -1;
      if (index < 0 && src) zip_source_free(src);
      if (index >= 0 && e.stored)
        zip_set_file_compression(z, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
    }
    if (index < 0) {
      zip_discard(z);
      return false;
    }
  }
  return zip_close(z) == 0;
}

bool archiveSeeds(const fs::path& dir) {
  return zipSeed(dir, "two_files.zip",
                 {{"setup.ini", "[setup]\r\nversion=1\r\n"}, {"readme.txt", "hello", true}}) &&
         zipSeed(dir, "nested_folders.zip",
                 {{"bin/", ""},
                  {"bin/tool.dll", std::string(300, 'x')},
                  {"share/doc/notes.txt", "n"}}) &&
         zipSeed(dir, "zip_slip.zip", {{"ok.txt", "ok"}, {"../escaped.txt", "bad"}}) &&
         zipSeed(dir, "backslash_slip.zip", {{"a\\..\\..\\escaped.txt", "bad"}}) &&
         zipSeed(dir, "over_byte_limit.zip", {{"zeros.bin", std::string(2 << 20, '\0')}}) &&
         zipSeed(dir, "file_then_folder_same_name.zip", {{"a", "file"}, {"a/b", "inside"}}) &&
         zipSeed(dir, "empty.zip", {{"empty.txt", ""}});
}

bool adoSeeds(const fs::path& dir) {
  using zentro::FieldType;
  zentro::Table table({{"PropName", FieldType::String, 255, false},
                       {"Id", FieldType::Int32, 0, true},
                       {"Amount", FieldType::Double, 0, true},
                       {"When", FieldType::Date, 0, true},
                       {"Flag", FieldType::Bool, 0, true},
                       {"Price", FieldType::Currency, 0, true},
                       {"Data", FieldType::Binary, 8, true}});
  table.appendRow({Value("BaseURL"), Value(std::int32_t{1}), Value(1.5),
                   Value(zentro::DateValue{36934.5}), Value(true), Value(zentro::Currency{12345}),
                   Value(std::vector<std::uint8_t>{0xDE, 0xAD})});
  table.appendRow({Value("O'NEIL & <co>"), Value::null(), Value::null(), Value::null(),
                   Value::null(), Value::null(), Value::null()});
  return writeSeed(dir, "written_by_writer.xml", zentro::writeAdoXml(table));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
    return 2;
  }
  const fs::path out = argv[1];
  bool ok = rdsSeeds(out / "rds_wire") && peSeeds(out / "pe_version") &&
            archiveSeeds(out / "archive_expand") && adoSeeds(out / "ado_xml");
  if (!ok) std::fprintf(stderr, "could not write every seed into %s\n", argv[1]);
  return ok ? 0 : 1;
}
