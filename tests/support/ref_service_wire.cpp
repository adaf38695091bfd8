#include "tests/support/ref_service_wire.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>

#include "remote/rds_wire.h"

namespace zentro::testing::control {

Fields::Fields(std::string_view text) : reading_(true) {
  while (!text.empty()) {
    const std::size_t colon = std::min(text.find(':'), text.size());
    std::size_t size = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + colon, size);
    if (colon == text.size() || error != std::errc() || end != text.data() + colon ||
        size > text.size() - colon - 1) {
      throw WireError("broken field");
    }
    fields_.emplace_back(text.substr(colon + 1, size));
    text.remove_prefix(colon + 1 + size);
  }
}

std::string Fields::text() const {
  std::string out;
  for (const std::string& field : fields_) out += std::to_string(field.size()) + ":" + field;
  return out;
}

void Fields::field(std::string& text) {
  if (!reading_) {
    fields_.push_back(text);
  } else if (next_ < fields_.size()) {
    text = fields_[next_++];
  } else {
    throw WireError("fewer fields than expected");
  }
}

void Fields::field(Value& v) {
  std::string bytes;
  if (!reading_) {
    try {
      rds::encodeValue(v, bytes);
    } catch (const rds::WireError&) {  // no wire form: its text stands in
      bytes.clear();
      rds::encodeValue(Value(v.debugText()), bytes);
    }
  }
  field(bytes);
  if (!reading_) return;
  std::size_t pos = 0;
  try {
    v = rds::decodeValue(bytes, pos);
  } catch (const rds::WireError& e) {
    throw WireError(std::string("bad value: ") + e.what());
  }
}

void Fields::field(std::chrono::system_clock::time_point& t) {
  using namespace std::chrono;
  long long us = duration_cast<microseconds>(t.time_since_epoch()).count();
  field(us);
  if (reading_) {
    t = system_clock::time_point(duration_cast<system_clock::duration>(microseconds(us)));
  }
}

void Fields::field(long long& n) {
  std::string text = std::to_string(n);
  field(text);
  if (!reading_) return;
  char* end = nullptr;
  n = std::strtoll(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0') throw WireError("bad number \"" + text + "\"");
}

void Fields::count(std::size_t& n) {
  long long wide = static_cast<long long>(n);
  field(wide);
  if (wide < 0 || (reading_ && static_cast<std::size_t>(wide) > fields_.size() - next_)) {
    throw WireError("bad count");
  }
  n = static_cast<std::size_t>(wide);
}

}  // namespace zentro::testing::control
