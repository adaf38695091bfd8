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

Fields::Fields(std::string_view text) {
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

void Fields::add(const Value& v) {
  std::string bytes;
  try {
    rds::encodeValue(v, bytes);
  } catch (const rds::WireError&) {  // no wire form: its text stands in
    bytes.clear();
    rds::encodeValue(Value(v.debugText()), bytes);
  }
  add(bytes);
}

void Fields::add(std::chrono::system_clock::time_point t) {
  add(std::chrono::duration_cast<std::chrono::microseconds>(t.time_since_epoch()).count());
}

void Fields::get(std::string& text) {
  if (next_ >= fields_.size()) throw WireError("fewer fields than expected");
  text = fields_[next_++];
}

void Fields::get(Value& v) {
  const auto bytes = take<std::string>();
  std::size_t pos = 0;
  try {
    v = rds::decodeValue(bytes, pos);
  } catch (const rds::WireError& e) {
    throw WireError(std::string("bad value: ") + e.what());
  }
}

void Fields::get(std::chrono::system_clock::time_point& t) {
  t = std::chrono::system_clock::time_point(
      std::chrono::duration_cast<std::chrono::system_clock::duration>(
          std::chrono::microseconds(number())));
}

long long Fields::number() {
  const auto text = take<std::string>();
  char* end = nullptr;
  const long long n = std::strtoll(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0') throw WireError("bad number \"" + text + "\"");
  return n;
}

std::size_t Fields::count() {
  const long long n = number();
  if (n < 0 || static_cast<std::size_t>(n) > fields_.size() - next_) throw WireError("bad count");
  return static_cast<std::size_t>(n);
}

}  // namespace zentro::testing::control
