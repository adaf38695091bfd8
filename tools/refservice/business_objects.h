#pragma once
// The business objects "CVBO_V2.Init" and "CVBOGeneral_V3.Init" as the reference service
// hosts them: the member table (argument counts, by-reference parameters, which argument is
// a password or login token), argument coercion, and the RDS answer of one call. Thread-safe (the state
// and the log lock themselves).

#include <string>
#include <vector>

#include "tools/refservice/call_log.h"
#include "tools/refservice/fault.h"
#include "tools/refservice/service_state.h"

namespace zentro::refservice {

inline constexpr const char* kLoginProgId = "CVBO_V2.Init";
inline constexpr const char* kGeneralProgId = "CVBOGeneral_V3.Init";

inline constexpr std::int32_t kScodeInvalidArg = static_cast<std::int32_t>(0x80070057);
inline constexpr std::int32_t kScodeException = static_cast<std::int32_t>(0x80020009);
inline constexpr std::int32_t kScodeFail = static_cast<std::int32_t>(0x80004005);
inline constexpr std::int32_t kScodeBadParamCount = static_cast<std::int32_t>(0x8002000E);

struct MemberSpec {
  const char* name;
  std::vector<bool> byRef;     // per declared parameter
  int secretIndex;             // the password or login token, masked in records; -1 = none
  bool isFunction;             // false = a Sub (no return part)
  bool returnsToken;           // the result is a login token, masked in records
};

// The member table; nullptr when `member` (matched without regard to case) is not hosted.
const MemberSpec* findMember(const std::string& member);
// True for the two hosted ProgIDs (without regard to case).
bool isHostedProgId(const std::string& progId);

// The answer to one POST: the RDS body and the transport fault still to apply
// (Delay, CutBody, WrongLength, Refuse or Status500; VtError is already in the body).
struct RdsAnswer {
  std::string body;
  Fault fault;
};

class BusinessObjects {
 public:
  BusinessObjects(ServiceState& state, CallLog& log) : state_(state), log_(log) {}
  // Answers a POST to `path` ("/msadc/msadcs.dll/ProgID.member") with `body` on `listener`;
  // `httpContentType` is the request's HTTP Content-Type header ("" when none).
  RdsAnswer answer(const std::string& listener, const std::string& path, const std::string& body,
                   const std::string& httpContentType = {});

 private:
  // Runs the member; returns the parameters to send back and the return value.
  void invoke(const std::string& listener, const MemberSpec& spec, const std::vector<Value>& args,
              std::vector<Value>& params, std::optional<Value>& result);

  ServiceState& state_;
  CallLog& log_;
};

}  // namespace zentro::refservice
