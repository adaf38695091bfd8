// The rowset and config commands, and the text forms they print values in.

#include <fstream>
#include <ostream>

#include "platform/paths.h"
#include "remote/ado_xml.h"
#include "remote/runtime_error.h"
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

}  // namespace

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
      if (d != d || d - d != 0) return jsonString(valuetext::formatDoubleRoundTrip(d));
      return valuetext::formatDoubleRoundTrip(d);
    }
    case ValueType::Currency: return valuetext::formatCurrency(*v.get<Currency>());
    case ValueType::Decimal: return valuetext::formatDecimal(*v.get<DecimalValue>(), true);
    case ValueType::Date: return jsonString(formatIsoDate(*v.get<DateValue>()));
    case ValueType::Binary: return jsonString(hexBytes(*v.get<std::vector<std::uint8_t>>()));
    case ValueType::Guid: return jsonString(valuetext::formatGuid(*v.get<GuidValue>()));
    case ValueType::Error: return std::to_string(v.get<ErrorValue>()->scode);
    case ValueType::String: return jsonString(*v.get<std::string>());
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
