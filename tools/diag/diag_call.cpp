// The call command of diag_commands.h: one call of a business object's member, by name, through the
// data space.

#include <cstdio>
#include <deque>
#include <ostream>

#include "platform/http.h"
#include "platform/runtime_error.h"
#include "remote/data_space.h"
#include "remote/value_text.h"
#include "tools/diag/diag_commands.h"

namespace zentro::diag {
namespace {

// "s:text", "b:true", "i:42", "d:2.5", "n:", "e:"; a leading "&" passes it by reference.
bool parseArg(const std::string& spec, Value& value, bool& byRef, std::string& why) {
  std::string s = spec;
  byRef = !s.empty() && s[0] == '&';
  if (byRef) s.erase(0, 1);
  const auto colon = s.find(':');
  if (colon == std::string::npos) {
    why = "argument \"" + spec + "\" needs a type prefix (s:, b:, i:, d:, n:, e:)";
    return false;
  }
  const std::string kind = s.substr(0, colon), text = s.substr(colon + 1);
  if (kind == "s") {
    value = Value(text);
  } else if (kind == "b") {
    if (text != "true" && text != "false") {
      why = "argument \"" + spec + "\": b: takes true or false";
      return false;
    }
    value = Value(text == "true");
  } else if (kind == "i") {
    const auto n = value_text::parseInt64(text);
    if (!n || *n < INT32_MIN || *n > INT32_MAX) {
      why = "argument \"" + spec + "\": i: takes a 32-bit whole number";
      return false;
    }
    value = Value(static_cast<std::int32_t>(*n));
  } else if (kind == "d") {
    const auto d = value_text::parseDouble(text);
    if (!d) {
      why = "argument \"" + spec + "\": d: takes a number";
      return false;
    }
    value = Value(*d);
  } else if (kind == "n" && text.empty()) {
    value = Value::null();
  } else if (kind == "e" && text.empty()) {
    value = Value::empty();
  } else {
    why = "argument \"" + spec + "\": unknown type prefix \"" + kind + ":\"";
    return false;
  }
  return true;
}

// "(String): text", "(Array of Variant, 0 To 1): [1, \"a\"]"
std::string shown(const Value& v) {
  const ArrayValue* a = v.get<ArrayValue>();
  std::string s = "(" + (a ? arrayShape(*a) : std::string(valueTypeName(v.type()))) + "): ";
  return s + (v.type() == ValueType::String ? *v.get<std::string>() : jsonValue(v));
}

std::string hex(long n) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(n));
  return buf;
}

}  // namespace

int callCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() < 3) {
    err << "zentro-diag: call needs URL PROGID MEMBER [ARG...]\n";
    return 2;
  }
  const std::string& url = args[0];
  const std::string& progId = args[1];
  const std::string& member = args[2];
  // The variables by-reference arguments refer to; a deque keeps their addresses stable.
  std::deque<Value> vars;
  std::vector<Arg> callArgs;
  std::vector<std::pair<std::size_t, Value*>> refs;  // argument position, variable
  for (std::size_t i = 3; i < args.size(); ++i) {
    Value v;
    bool byRef = false;
    std::string why;
    if (!parseArg(args[i], v, byRef, why)) {
      err << "zentro-diag: " << why << "\n";
      return 2;
    }
    if (byRef) {
      vars.push_back(v);
      refs.emplace_back(i - 2, &vars.back());
      callArgs.push_back(Arg::byRef(vars.back()));
    } else {
      callArgs.push_back(Arg::byVal(v));
    }
  }
  try {
    auto http = platform::makeHttpClient();
    DataSpace space(*http);
    auto object = space.createObject(progId, url);
    const Value result = object->invoke(member, std::move(callArgs));
    out << "result " << shown(result) << "\n";
    for (const auto& [position, var] : refs) out << "argument " << position << " by reference " << shown(*var) << "\n";
  } catch (const RuntimeError& e) {
    err << "zentro-diag: error " << e.number() << " (" << hex(e.number()) << ") from " << e.source() << ": "
        << e.description() << "\n";
    return 1;
  }
  return 0;
}

}  // namespace zentro::diag
