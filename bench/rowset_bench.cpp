// Loading a large rowset answer: the persisted-recordset reader against a bare parse of the
// same bytes by the XML parser it builds on, measured side by side in one run.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "remote/ado_xml.h"
#include "remote/table.h"

namespace {

constexpr int kRows = 100000;
constexpr int kRepetitions = 7;

// Ten columns of mixed types, as install-file lists and deployment lists carry them.
std::string makeDocument() {
  using zentro::FieldType;
  using zentro::Value;
  zentro::Table t({{"SequenceID", FieldType::Int32, 0, false},
                   {"FileName", FieldType::String, 255, false},
                   {"TargetFolder", FieldType::String, 255, true},
                   {"Version", FieldType::String, 50, true},
                   {"FileSize", FieldType::Int64, 0, true},
                   {"Ratio", FieldType::Double, 0, true},
                   {"Price", FieldType::Currency, 0, true},
                   {"Register", FieldType::Bool, 0, true},
                   {"Modified", FieldType::Date, 0, true},
                   {"Notes", FieldType::String, 4000, true}});
  std::vector<Value> row(10);
  for (int i = 0; i < kRows; ++i) {
    row[0] = Value(std::int32_t{i});
    row[1] = Value("component_" + std::to_string(i) + ".dll");
    row[2] = Value("{app}\\bin\\modules\\" + std::to_string(i % 17));
    row[3] = Value("3.0." + std::to_string(i % 100) + "." + std::to_string(i % 1000));
    row[4] = Value(std::int64_t{1000000} + i * 37);
    row[5] = Value(i / 7.0);
    row[6] = Value(zentro::Currency{i * 1234LL});
    row[7] = Value(i % 3 == 0);
    row[8] = Value(*zentro::dateFromParts(2000 + i % 25, 1 + i % 12, 1 + i % 28, i % 24, i % 60, i % 60));
    row[9] = i % 4 == 0 ? Value("Fix for O'Brien & Sons <build " + std::to_string(i) + ">")
                        : Value::null();
    t.appendRow(row);
  }
  return zentro::writeAdoXml(t);
}

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Timing {
  double call = 0;      // the load itself
  double withFree = 0;  // the load and freeing what it built
};

Timing timeRowsetLoad(const std::string& bytes, std::size_t& rows) {
  Timing t;
  auto start = Clock::now();
  {
    zentro::Table table = zentro::readAdoXml(bytes);
    t.call = millisecondsSince(start);
    rows = table.rowCount();
  }
  t.withFree = millisecondsSince(start);
  return t;
}

Timing timeBareParse(const std::string& bytes) {
  Timing t;
  auto start = Clock::now();
  {
    pugi::xml_document doc;
    pugi::xml_parse_result result = doc.load_buffer(bytes.data(), bytes.size());
    t.call = millisecondsSince(start);
    if (!result) std::printf("bare parse failed: %s\n", result.description());
  }
  t.withFree = millisecondsSince(start);
  return t;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main() {
  const std::string bytes = makeDocument();
  std::printf("document: %d rows, 10 fields, %.1f MB\n", kRows, static_cast<double>(bytes.size()) / 1e6);
  std::size_t rows = 0;
  timeRowsetLoad(bytes, rows);  // warm-up: first touches of the allocator and caches
  timeBareParse(bytes);
  std::vector<double> loadCall, loadAll, bareCall, bareAll;
  for (int i = 0; i < kRepetitions; ++i) {  // interleaved so both see the same machine load
    Timing load = timeRowsetLoad(bytes, rows);
    Timing bare = timeBareParse(bytes);
    loadCall.push_back(load.call);
    loadAll.push_back(load.withFree);
    bareCall.push_back(bare.call);
    bareAll.push_back(bare.withFree);
  }
  std::printf("rows read: %zu\n", rows);
  std::printf("rowset load (readAdoXml), median of %d: %.1f ms (%.1f ms with freeing the table)\n",
              kRepetitions, median(loadCall), median(loadAll));
  std::printf("bare pugixml parse (load_buffer), median of %d: %.1f ms (%.1f ms with freeing the DOM)\n",
              kRepetitions, median(bareCall), median(bareAll));
  std::printf("ratio with freeing the results: %.2f\n", median(loadAll) / median(bareAll));
  std::printf("rowset load / bare pugixml parse ratio: %.2f\n", median(loadCall) / median(bareCall));
  return 0;
}
