// The RDS request and answer decoders on arbitrary bodies, with the headers in the body and,
// for the first line of the input taken as the HTTP Content-Type, with the headers outside it.
// Anything must decode or raise WireError; whatever decodes must encode again (or be refused
// with WireError) into a body that decodes to as many values.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "remote/rds_wire.h"

namespace {

using zentro::Value;
using zentro::fuzz::unlessRefused;
using zentro::ValueType;
namespace rds = zentro::rds;

constexpr const char* kBoundary = "fuzzboundary00000000";

// A double or a date that is NaN, which never equals itself.
bool isNaN(const Value& v) {
  if (const double* d = v.get<double>()) return std::isnan(*d);
  if (const zentro::DateValue* d = v.get<zentro::DateValue>()) return std::isnan(d->days);
  return false;
}

bool sameValues(const std::vector<Value>& a, const std::vector<Value>& b);

// Int64 travels as I4 or R8; NaN comes back as NaN of the same type; arrays come back with
// their shape and each element so; everything else equal.
bool sameAfterTravel(const Value& before, const Value& after) {
  if (before.type() == ValueType::Int64) return after.isNumeric();
  if (isNaN(before)) return after.type() == before.type() && isNaN(after);
  if (const zentro::ArrayValue* a = before.get<zentro::ArrayValue>()) {
    const zentro::ArrayValue* b = after.get<zentro::ArrayValue>();
    return b != nullptr && a->elementType == b->elementType && a->bounds == b->bounds &&
           sameValues(a->elements, b->elements);
  }
  return before == after;
}

bool sameValues(const std::vector<Value>& a, const std::vector<Value>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (!sameAfterTravel(a[i], b[i])) return false;
  }
  return true;
}

void request(std::string_view body, std::string_view contentType) {
  const auto args = unlessRefused<rds::WireError>(
      [&] { return rds::decodeRequestBody(body, contentType); });
  if (!args) return;
  const auto again =
      unlessRefused<rds::WireError>([&] { return rds::encodeRequestBody(*args, kBoundary); });
  if (again && !sameValues(*args, rds::decodeRequestBody(*again))) std::abort();
}

void response(std::string_view body, std::string_view contentType) {
  const auto r = unlessRefused<rds::WireError>(
      [&] { return rds::decodeResponseBody(body, contentType); });
  if (!r) return;
  const auto again = unlessRefused<rds::WireError>([&] {
    return r->isError ? rds::encodeErrorBody(r->error)
                      : rds::encodeResponseBody(r->params, r->returnValue, kBoundary);
  });
  if (!again) return;
  rds::Response back = rds::decodeResponseBody(*again);
  if (back.isError != r->isError) std::abort();
  if (r->isError) {
    if (!(back.error == r->error)) std::abort();
    return;
  }
  if (!sameValues(r->params, back.params)) std::abort();
  if (back.returnValue.has_value() != r->returnValue.has_value()) std::abort();
  if (r->returnValue && !sameAfterTravel(*r->returnValue, *back.returnValue)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  request(input, {});
  response(input, {});
  response(input, "application/x-varg");
  if (std::size_t eol = input.find("\r\n"); eol != std::string_view::npos) {
    std::string_view contentType = input.substr(0, eol);
    std::string_view body = input.substr(eol + 2);
    request(body, contentType);
    response(body, contentType);
  }
  return 0;
}
