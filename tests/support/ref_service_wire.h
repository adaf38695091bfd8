#pragma once
// The text the Windows tests and the reference service's control endpoint exchange
// (tests/support/ref_service_remote.cpp, ref_service_control_main.cpp): lines of
// tab-separated fields, each field with '%', tab, CR, LF and the other control bytes written
// as %XX, so any bytes travel. Worlds and records keep every value exactly (texts with their
// spaces, NULL against empty, call arguments with their types). Pure functions; any thread.

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "tools/refservice/call_log.h"
#include "tools/refservice/world.h"

namespace zentro::testing::control {

using Line = std::vector<std::string>;

class WireError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::string encodeLines(const std::vector<Line>& lines);
// Throws WireError on a broken escape.
std::vector<Line> decodeLines(std::string_view text);

std::vector<Line> worldLines(const refservice::World& world);
// Reads what worldLines wrote. Throws WireError on anything else.
refservice::World worldFromLines(const std::vector<Line>& lines);

struct Records {
  std::vector<refservice::CallRecord> calls;
  std::vector<refservice::NoteRecord> notes;
  std::vector<refservice::DownloadRecord> downloads;
};
std::vector<Line> recordLines(const Records& records);
// Reads what recordLines wrote; the records' times are the time of reading. Throws WireError.
Records recordsFromLines(const std::vector<Line>& lines);

}  // namespace zentro::testing::control
