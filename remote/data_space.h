#pragma once
// The data space: creates proxies of remote business objects reached over the RDS HTTP
// transport, and invokes their members by name with variant arguments.
// createObject sends nothing; each invoke is one POST to the URL's scheme, host and port +
// "/msadc/msadcs.dll/" + ProgID + "." + member.
// A DataSpace and its objects are used on one thread (the window's); they share one HTTP
// client, whose connection is kept alive across calls.

#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/http.h"
#include "remote/value.h"

namespace zentro {

// One argument of a call by member name: by value, or by reference to the caller's own variable,
// which receives the value the server returns for it.
class Arg {
 public:
  static Arg byVal(Value v) { Arg a; a.value_ = std::move(v); return a; }
  static Arg byRef(Value& var) { Arg a; a.value_ = var; a.ref_ = &var; return a; }
  static Arg byRef(std::string& var) { Arg a; a.value_ = Value(var); a.ref_ = &var; return a; }
  static Arg byRef(bool& var) { Arg a; a.value_ = Value(var); a.ref_ = &var; return a; }

  const Value& value() const { return value_; }
  bool isByRef() const { return ref_.index() != 0; }
  // Stores a returned value into the caller's variable (no-op for by-value arguments).
  // Text and Boolean variables receive the converted value; a value that does not convert
  // leaves them unchanged.
  void writeBack(const Value& returned) const;

 private:
  Value value_;
  std::variant<std::monostate, Value*, std::string*, bool*> ref_;
};

// Time limits of remote calls, in milliseconds.
struct CallLimits {
  long connectTimeoutMs = 15000;
  long totalTimeoutMs = 60000;
};

class ServiceObject {
 public:
  virtual ~ServiceObject() = default;
  // Invokes `member` with `args` (in declaration order) and returns its result (Empty for a
  // Sub). By-reference arguments receive the returned parameter values.
  // Throws RuntimeError whose description names the member and the cause: the remote error
  // (number and source from its EXCEPINFO), an HTTP error status, a timeout, an unreachable
  // host or an undecodable answer.
  virtual Value invoke(std::string_view member, std::vector<Arg> args) = 0;
};

class DataSpace {
 public:
  // Uses `http` for every call of the objects it creates; `http` must outlive them.
  explicit DataSpace(platform::HttpClient& http, CallLimits limits = {});
  // The proxy of `progId` at `url` (used exactly as passed). Throws RuntimeError when the URL
  // has no scheme and host to reach.
  std::unique_ptr<ServiceObject> createObject(std::string_view progId, std::string_view url);

 private:
  platform::HttpClient& http_;
  CallLimits limits_;
};

}  // namespace zentro
