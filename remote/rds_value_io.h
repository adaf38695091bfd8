#pragma once
// Shared pieces of the VARIANT wire codec (rds_value_codec.cpp, rds_array_codec.cpp): type
// tags, little-endian reads and writes that never read past the data, and the payload of one
// value of a known type. Internal to the RDS wire code; pure functions, any thread.

#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

#include "remote/rds_wire.h"

namespace zentro::rds::wire {

static_assert(std::endian::native == std::endian::little,
              "the wire form is copied byte for byte from little-endian integers");

enum : std::uint16_t {
  kVtEmpty = 0x0000,
  kVtNull = 0x0001,
  kVtI2 = 0x0002,
  kVtI4 = 0x0003,
  kVtR4 = 0x0004,
  kVtR8 = 0x0005,
  kVtCy = 0x0006,
  kVtDate = 0x0007,
  kVtBstr = 0x0008,
  kVtDispatch = 0x0009,
  kVtError = 0x000A,
  kVtBool = 0x000B,
  kVtVariant = 0x000C,  // array elements only: each a full tagged value
  kVtUnknown = 0x000D,
  kVtDecimal = 0x000E,
  kVtUi1 = 0x0011,
  kDbTypeI8 = 0x0014,  // TableGram type; read only
  kVtArray = 0x2000,
};

// The one-byte marker of an object reference (and of an array) that holds nothing.
inline constexpr std::uint8_t kNullIndicator = 0x01;

template <class T>
void put(std::string& out, T x) {
  static_assert(std::is_trivially_copyable_v<T>);
  char bytes[sizeof(T)];
  std::memcpy(bytes, &x, sizeof(T));
  out.append(bytes, sizeof(T));
}

template <class T>
T take(std::string_view data, std::size_t& pos, const char* what) {
  if (pos > data.size() || data.size() - pos < sizeof(T)) {
    throw WireError(std::string("truncated value: ") + what + " needs " +
                    std::to_string(sizeof(T)) + " bytes at offset " + std::to_string(pos));
  }
  T x;
  std::memcpy(&x, data.data() + pos, sizeof(T));
  pos += sizeof(T);
  return x;
}

// "0x200C"
std::string hexTag(std::uint16_t tag);

// The payload of one value whose type `vt` is already known (the tag was read, or the array
// names its element type). For kVtVariant the payload is a whole tagged value.
Value decodePayload(std::string_view data, std::size_t& pos, std::uint16_t vt, std::size_t start,
                    ArrayBudget& budget);
// Writes `v` as a payload of type `vt`; throws WireError when `v` is not of that type.
void encodePayload(const Value& v, std::uint16_t vt, std::string& out, ArrayBudget& budget);

// The array that follows an array tag (`tag` read at `start`).
Value decodeArray(std::string_view data, std::size_t& pos, std::uint16_t tag, std::size_t start,
                  ArrayBudget& budget);
// Tag and body of an array.
void encodeArray(const ArrayValue& a, std::string& out, ArrayBudget& budget);

}  // namespace zentro::rds::wire
