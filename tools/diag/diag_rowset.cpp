// The rowset and config commands of diag_commands.h, and the text forms they print values in.

#include <cstdio>
#include <fstream>
#include <ostream>

#include "platform/paths.h"
#include "platform/runtime_error.h"
#include "remote/ado_xml.h"
#include "remote/value_text.h"
#include "tools/diag/diag_commands.h"

namespace zentro::diag {
namespace {

std::string hexBytes(const std::vector<std::uint8_t>& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string s;
  for (auto b : bytes) {
    s += digits[b >> 4];
    s += digits[b & 15];
  }
  return s;
}

// Nested JSON arrays, one level per dimension, the last dimension innermost (the order the
// elements travel in). Arrays of Empty or Null carry no elements and show their one value.
void appendDimension(const ArrayValue& a, std::size_t dim, std::size_t& next, std::string& out) {
  out += '[';
  for (std::uint32_t k = 0; k < a.bounds[dim].count; ++k) {
    if (k != 0) out += ", ";
    if (dim + 1 < a.bounds.size()) {
      appendDimension(a, dim + 1, next, out);
    } else if (next < a.elements.size()) {
      out += jsonValue(a.elements[next++]);
    } else {
      out += a.elementType == 0x0001 ? "null" : "\"\"";
    }
  }
  out += ']';
}

std::string jsonError(const ErrorValue& e) {
  if (!e.hasExcepInfo) return std::to_string(e.scode);
  char code[16];
  std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(e.scode2 != 0 ? e.scode2 : e.scode));
  return "{\"error\": \"" + std::string(code) + "\", \"source\": " + jsonString(e.source) +
         ", \"description\": " + jsonString(e.description) + "}";
}

}  // namespace

std::string arrayShape(const ArrayValue& a) {
  static const std::pair<std::uint16_t, const char*> kNames[] = {
      {0x00, "Empty"},   {0x01, "Null"},     {0x02, "Int16"},  {0x03, "Int32"},   {0x04, "Single"},
      {0x05, "Double"},  {0x06, "Currency"}, {0x07, "Date"},   {0x08, "String"},  {0x09, "Object"},
      {0x0A, "Error"},   {0x0B, "Bool"},     {0x0C, "Variant"}, {0x0D, "Unknown"}, {0x11, "UInt8"}};
  std::string s = "Array of ";
  for (const auto& [vt, name] : kNames)
    if (vt == a.elementType) s += name;
  if (a.bounds.empty()) return s + ", no data";
  for (const ArrayBound& b : a.bounds)
    s += ", " + std::to_string(b.lower) + " To " + std::to_string(std::int64_t{b.lower} + b.count - 1);
  return s;
}

const char* fieldTypeName(FieldType type) {
  switch (type) {
    case FieldType::String: return "String";
    case FieldType::UInt8: return "UInt8";
    case FieldType::Int16: return "Int16";
    case FieldType::Int32: return "Int32";
    case FieldType::Int64: return "Int64";
    case FieldType::Double: return "Double";
    case FieldType::Currency: return "Currency";
    case FieldType::Decimal: return "Decimal";
    case FieldType::Bool: return "Bool";
    case FieldType::Date: return "Date";
    case FieldType::Binary: return "Binary";
    case FieldType::Guid: return "Guid";
  }
  return "?";
}

const char* valueTypeName(ValueType type) {
  switch (type) {
    case ValueType::Empty: return "Empty";
    case ValueType::Null: return "Null";
    case ValueType::String: return "String";
    case ValueType::UInt8: return "UInt8";
    case ValueType::Int16: return "Int16";
    case ValueType::Int32: return "Int32";
    case ValueType::Int64: return "Int64";
    case ValueType::Double: return "Double";
    case ValueType::Currency: return "Currency";
    case ValueType::Date: return "Date";
    case ValueType::Bool: return "Bool";
    case ValueType::Decimal: return "Decimal";
    case ValueType::Binary: return "Binary";
    case ValueType::Guid: return "Guid";
    case ValueType::Error: return "Error";
    case ValueType::Array: return "Array";
    case ValueType::Nothing: return "Nothing";
  }
  return "?";
}

std::string jsonString(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string jsonValue(const Value& v) {
  switch (v.type()) {
    case ValueType::Null: return "null";
    case ValueType::Empty: return "\"\"";
    case ValueType::Bool: return *v.get<bool>() ? "true" : "false";
    case ValueType::UInt8: return std::to_string(*v.get<std::uint8_t>());
    case ValueType::Int16: return std::to_string(*v.get<std::int16_t>());
    case ValueType::Int32: return std::to_string(*v.get<std::int32_t>());
    case ValueType::Int64: return std::to_string(*v.get<std::int64_t>());
    case ValueType::Double: {
      const double d = *v.get<double>();
      // JSON has no infinities or NaN: those travel as text.
      if (d != d || d - d != 0) return jsonString(value_text::formatDoubleRoundTrip(d));
      return value_text::formatDoubleRoundTrip(d);
    }
    case ValueType::Currency: return value_text::formatCurrency(*v.get<Currency>());
    case ValueType::Decimal: return value_text::formatDecimal(*v.get<DecimalValue>(), true);
    case ValueType::Date: return jsonString(formatIsoDate(*v.get<DateValue>()));
    case ValueType::Binary: return jsonString(hexBytes(*v.get<std::vector<std::uint8_t>>()));
    case ValueType::Guid: return jsonString(value_text::formatGuid(*v.get<GuidValue>()));
    case ValueType::Error: return jsonError(*v.get<ErrorValue>());
    case ValueType::String: return jsonString(*v.get<std::string>());
    case ValueType::Nothing: return "\"Nothing\"";
    case ValueType::Array: {
      const ArrayValue& a = *v.get<ArrayValue>();
      if (a.bounds.empty()) return "[]";
      std::string out;
      std::size_t next = 0;
      appendDimension(a, 0, next, out);
      return out;
    }
  }
  return "null";
}

int rowsetCommand(const std::string& file, std::ostream& out, std::ostream& err) {
  Table t;
  try {
    t = readAdoXmlFile(file);
  } catch (const RuntimeError& e) {
    err << "zentro-diag: " << file << ": " << e.description() << "\n";
    return 1;
  }
  out << "fields: " << t.fields().size() << "\n";
  for (const auto& f : t.fields())
    out << "  " << f.name << "  " << fieldTypeName(f.type) << "  " << f.definedSize
        << (f.nullable ? "" : "  not null") << "\n";
  out << "rows: " << t.rowCount() << "\n";
  for (std::size_t r = 0; r < t.rowCount(); ++r) {
    const auto& row = t.row(r);
    out << "{";
    for (std::size_t i = 0; i < t.fields().size(); ++i) {
      if (i) out << ", ";
      out << jsonString(t.fields()[i].name) << ": " << (i < row.size() ? jsonValue(row[i]) : "null");
    }
    out << "}\n";
  }
  return 0;
}

int configCommand(const std::string& root, std::ostream& out, std::ostream& err) {
  const std::string path = platform::joinPath(root, kConfigFileName);
  if (!std::ifstream(path)) {
    out << "no configuration file at " << path << "\n";
    return 0;
  }
  Table t;
  try {
    t = readAdoXmlFile(path);
  } catch (const RuntimeError& e) {
    // The launcher would run with no properties at all; say why.
    err << "zentro-diag: " << path << ": " << e.description()
        << "\n(the launcher ignores this file and runs with no properties)\n";
    return 1;
  }
  const int name = t.fieldIndex("PropName");
  const int value = t.fieldIndex("PropValue");
  if (name < 0 || value < 0) {
    err << "zentro-diag: " << path << ": the rowset has no PropName and PropValue fields\n";
    return 1;
  }
  out << "configuration file " << path << ": " << t.rowCount() << " properties\n";
  for (std::size_t r = 0; r < t.rowCount(); ++r) {
    const auto& row = t.row(r);
    const Value& n = row[static_cast<std::size_t>(name)];
    const Value& v = row[static_cast<std::size_t>(value)];
    out << (n.isNull() ? "(null)" : n.debugText()) << " = "
        << (v.isNull() ? "(null)" : jsonString(v.debugText())) << "\n";
  }
  return 0;
}

}  // namespace zentro::diag
