// encodeArray and decodeArray (remote/rds_value_io.h): arrays (SAFEARRAY) in the VARIANT wire form:
// the array tag, then either the one-byte null marker or a zero byte, the dimension count, the
// features word, the element size, one (count, lower bound) pair per dimension and the elements in
// their type's own encoding. Every count read is checked against the bytes left and the message's
// array budget before anything is allocated.
#include "remote/rds_value_io.h"

namespace zentro::rds::wire {
namespace {

// Features word: the element kind in the high byte decides how elements are read (the tag is
// only a hint where the two disagree); the low byte holds memory-management hints.
constexpr std::uint16_t kFeatureHaveVarType = 0x0080;
constexpr std::uint16_t kFeatureKindMask = 0x0F00;
constexpr std::uint16_t kFeatureBstr = 0x0100;
constexpr std::uint16_t kFeatureUnknown = 0x0200;
constexpr std::uint16_t kFeatureDispatch = 0x0400;
constexpr std::uint16_t kFeatureVariant = 0x0800;

bool isVariableKind(std::uint16_t vt) {
  return vt == kVtBstr || vt == kVtVariant || vt == kVtDispatch || vt == kVtUnknown;
}

// Wire bytes of one element of a fixed-length type; 0 for types that cannot form an array.
std::size_t fixedSize(std::uint16_t vt) {
  switch (vt) {
    case kVtUi1: return 1;
    case kVtI2:
    case kVtBool: return 2;
    case kVtI4:
    case kVtR4:
    case kVtError: return 4;  // an SCODE; exception details may follow it
    case kVtR8:
    case kVtCy:
    case kVtDate: return 8;
    default: return 0;
  }
}

bool isElementType(std::uint16_t vt) {
  return vt == kVtEmpty || vt == kVtNull || isVariableKind(vt) || fixedSize(vt) != 0;
}

// The fewest wire bytes an element can take, for checking a count against the bytes left.
std::size_t minimumSize(std::uint16_t vt) {
  switch (vt) {
    case kVtBstr: return 5;  // length and the empty-text indicator
    case kVtVariant: return 2;
    case kVtDispatch:
    case kVtUnknown: return 1;
    default: return fixedSize(vt);
  }
}

std::uint16_t kindFeature(std::uint16_t vt) {
  switch (vt) {
    case kVtBstr: return kFeatureBstr;
    case kVtUnknown: return kFeatureUnknown;
    case kVtDispatch: return kFeatureDispatch;
    case kVtVariant: return kFeatureVariant;
    default: return 0;
  }
}

// The element size a sender writes: the in-memory size of one element. Senders built for
// 64-bit memory write 8 for text and object pointers and 24 for variants.
std::uint32_t elementSize(std::uint16_t vt) {
  if (vt == kVtVariant) return 16;
  if (isVariableKind(vt)) return 4;
  return static_cast<std::uint32_t>(fixedSize(vt));
}

bool sizeFits(std::uint16_t vt, std::uint32_t size) {
  if (vt == kVtEmpty || vt == kVtNull) return true;  // no elements follow
  if (vt == kVtVariant) return size == 16 || size == 24;
  if (isVariableKind(vt)) return size == 4 || size == 8;
  return size == fixedSize(vt);
}

std::string at(std::size_t offset) { return " at offset " + std::to_string(offset); }

// Elements the bounds describe, or WireError past `limit` (what the message has left).
std::size_t elementCount(const std::vector<ArrayBound>& bounds, std::size_t limit,
                         std::size_t start) {
  std::size_t total = 1;
  for (const ArrayBound& b : bounds) {
    if (b.count != 0 && total > limit / b.count) {
      throw WireError("array" + at(start) + " takes the message past " +
                      std::to_string(kMaxArrayElements) + " array elements");
    }
    total *= b.count;
  }
  return total;
}

// Counts one more level of nesting for the lifetime of an array being read or written.
class Nesting {
 public:
  Nesting(ArrayBudget& budget, std::size_t start) : budget_(budget) {
    if (budget_.depth >= kMaxArrayDepth) {
      throw WireError("arrays nested deeper than " + std::to_string(kMaxArrayDepth) + " levels" +
                      at(start));
    }
    ++budget_.depth;
  }
  ~Nesting() { --budget_.depth; }
  Nesting(const Nesting&) = delete;
  Nesting& operator=(const Nesting&) = delete;

 private:
  ArrayBudget& budget_;
};

}  // namespace

Value decodeArray(std::string_view data, std::size_t& pos, std::uint16_t tag, std::size_t start,
                  ArrayBudget& budget) {
  const std::uint16_t tagType = tag & ~kVtArray;
  if (!isElementType(tagType)) {
    throw WireError("unsupported array type " + hexTag(tag) + at(start));
  }
  Nesting nesting(budget, start);
  ArrayValue a;
  a.elementType = tagType;
  const auto marker = take<std::uint8_t>(data, pos, "array marker");
  if (marker == kNullIndicator) return Value(std::move(a));
  if (marker != 0x00) {
    throw WireError("bad array marker " + std::to_string(marker) + at(start));
  }
  const auto dims = take<std::uint16_t>(data, pos, "array dimension count");
  const auto features = take<std::uint16_t>(data, pos, "array features");
  const auto size = take<std::uint32_t>(data, pos, "array element size");
  if (dims == 0 || dims > kMaxArrayDims) {
    throw WireError("array" + at(start) + " has " + std::to_string(dims) +
                    " dimensions (1 to " + std::to_string(kMaxArrayDims) + " allowed)");
  }
  a.bounds.reserve(dims);
  for (std::uint16_t d = 0; d < dims; ++d) {
    ArrayBound b;
    b.count = take<std::uint32_t>(data, pos, "array bound");
    b.lower = take<std::int32_t>(data, pos, "array lower bound");
    a.bounds.push_back(b);
  }
  switch (features & kFeatureKindMask) {
    case 0: break;  // a fixed-length type: the tag names it
    case kFeatureBstr: a.elementType = kVtBstr; break;
    case kFeatureUnknown: a.elementType = kVtUnknown; break;
    case kFeatureDispatch: a.elementType = kVtDispatch; break;
    case kFeatureVariant: a.elementType = kVtVariant; break;
    default: throw WireError("array" + at(start) + " has contradictory features " + hexTag(features));
  }
  if ((features & kFeatureKindMask) == 0 && isVariableKind(a.elementType)) {
    throw WireError("array " + hexTag(tag) + at(start) + " has features " + hexTag(features) +
                    " of a fixed-length type");
  }
  if (!sizeFits(a.elementType, size)) {
    throw WireError("array" + at(start) + " gives element size " + std::to_string(size) +
                    " for elements of type " + hexTag(a.elementType));
  }
  const std::size_t count = elementCount(a.bounds, budget.elementsLeft, start);
  budget.elementsLeft -= count;
  if (a.elementType == kVtEmpty || a.elementType == kVtNull) return Value(std::move(a));
  if (count > (data.size() - pos) / minimumSize(a.elementType)) {
    throw WireError("array" + at(start) + " declares " + std::to_string(count) +
                    " elements but only " + std::to_string(data.size() - pos) + " bytes follow");
  }
  a.elements.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    a.elements.push_back(decodePayload(data, pos, a.elementType, pos, budget));
  }
  return Value(std::move(a));
}

void encodeArray(const ArrayValue& a, std::string& out, ArrayBudget& budget) {
  const std::uint16_t vt = a.elementType;
  if (!isElementType(vt)) throw WireError("arrays of type " + hexTag(vt) + " cannot be sent");
  Nesting nesting(budget, out.size());
  put(out, static_cast<std::uint16_t>(kVtArray | vt));
  if (a.bounds.empty()) {
    if (!a.elements.empty()) throw WireError("a null array cannot hold elements");
    out += static_cast<char>(kNullIndicator);
    return;
  }
  if (a.bounds.size() > kMaxArrayDims) {
    throw WireError("an array of " + std::to_string(a.bounds.size()) + " dimensions cannot be sent");
  }
  const std::size_t count = elementCount(a.bounds, budget.elementsLeft, out.size());
  budget.elementsLeft -= count;
  const std::size_t expected = vt == kVtEmpty || vt == kVtNull ? 0 : count;
  if (a.elements.size() != expected) {
    throw WireError("an array whose bounds make " + std::to_string(expected) + " elements holds " +
                    std::to_string(a.elements.size()));
  }
  out += '\0';
  put(out, static_cast<std::uint16_t>(a.bounds.size()));
  put(out, static_cast<std::uint16_t>(kFeatureHaveVarType | kindFeature(vt)));
  put(out, elementSize(vt));
  for (const ArrayBound& b : a.bounds) {
    put(out, b.count);
    put(out, b.lower);
  }
  for (const Value& e : a.elements) encodePayload(e, vt, out, budget);
}

}  // namespace zentro::rds::wire
