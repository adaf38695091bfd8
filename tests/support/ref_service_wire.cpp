#include "tests/support/ref_service_wire.h"

#include <cstdlib>

#include "remote/rds_wire.h"

namespace zentro::testing::control {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

Fields::Fields(std::string_view text) : reading_(true) {
  std::string field;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') {
      fields_.push_back(std::move(field));
      field.clear();
    } else if (text[i] != '%') {
      field += text[i];
    } else {
      const int hi = i + 2 < text.size() ? hexDigit(text[i + 1]) : -1;
      const int lo = hi >= 0 ? hexDigit(text[i + 2]) : -1;
      if (lo < 0) throw WireError("broken escape");
      field += static_cast<char>(hi * 16 + lo);
      i += 2;
    }
  }
  if (!field.empty()) throw WireError("last line without its end");
}

std::string Fields::text() const {
  std::string out;
  for (const std::string& field : fields_) {
    for (unsigned char c : field) {
      if (c == '%' || c < 0x20 || c == 0x7F) {
        out += '%';
        out += kHex[c >> 4];
        out += kHex[c & 0xF];
      } else {
        out += static_cast<char>(c);
      }
    }
    out += '\n';
  }
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
