#pragma once
// Install lists for the installer benchmarks, laid out as GetInstallFilesByIDXML answers them
// and positioned on their first row, as the deployment start leaves installList.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "remote/table.h"

namespace zentro::bench {

struct BenchEntry {
  std::string fileName;
  std::int32_t sequenceId = 10;  // 9999 and above: a launch record
  int installType = 5;
  std::string fileVersion = "1.0.0.0";
  std::string location = "COMMONDIR";
};

inline Table makeBenchInstallList(const std::vector<BenchEntry>& entries) {
  Table list({{"FileName", FieldType::String},        {"SequenceID", FieldType::Int32},
              {"InstallType", FieldType::Int16},      {"FileVersion", FieldType::String},
              {"AltCheck", FieldType::String},        {"AltCheckRegValue", FieldType::String},
              {"InstallLocation", FieldType::String}, {"Description", FieldType::String},
              {"IsCompressed", FieldType::Int16},     {"DownloadLocation", FieldType::String},
              {"SHA256", FieldType::String}});
  for (const BenchEntry& e : entries) {
    list.appendRow({Value(e.fileName), Value(e.sequenceId),
                    Value(static_cast<std::int16_t>(e.installType)), Value(e.fileVersion),
                    Value::null(), Value::null(), Value(e.location), Value(e.fileName),
                    Value(std::int16_t{0}), Value(e.fileName), Value(std::string())});
  }
  if (!entries.empty()) list.moveFirst();
  return list;
}

}  // namespace zentro::bench
