#pragma once
// The commands of zentro-diag. Each writes its findings to `out`, problems to `err`, and
// returns the process exit code (0 = done, 1 = failed, 2 = bad usage). Single-threaded.

#include <iosfwd>
#include <string>
#include <vector>

#include "remote/table.h"
#include "remote/value.h"

namespace zentro::diag {

// The configuration file the launcher reads from its root folder.
inline constexpr const char* kConfigFileName = "VMIZentroConfig.XML";

// `rowset FILE`: the fields (name, type, size), then one JSON object per row.
int rowsetCommand(const std::string& file, std::ostream& out, std::ostream& err);
// `config [ROOT]`: the PropName/PropValue rows of ROOT/VMIZentroConfig.XML.
int configCommand(const std::string& root, std::ostream& out, std::ostream& err);
// `call URL PROGID MEMBER ARG...`: one remote call; prints the result and by-reference values.
int callCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// --- shared text forms ---
const char* fieldTypeName(FieldType type);
const char* valueTypeName(ValueType type);
// JSON text of a value: numbers and Booleans bare, NULL as null, an array as nested JSON
// arrays (one level per dimension), an error with details as an object, the rest as strings.
std::string jsonValue(const Value& v);
// "Array of Variant, 0 To 3" (element type, then each dimension's bounds).
std::string arrayShape(const ArrayValue& a);
std::string jsonString(const std::string& s);

}  // namespace zentro::diag
