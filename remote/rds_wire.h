#pragma once
// Encoder and decoder of the RDS generic method invocation ([MS-ADTG]), shared by the client
// (data_space.cpp) and the reference service (tools/refservice).
// Values travel right to left: the last declared parameter is the first value on the wire.
// Decoding never trusts lengths: truncated or oversized parts, bad boundaries and unknown
// types raise WireError. Pure functions; safe from any thread.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "remote/value.h"

namespace zentro::rds {

class WireError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

inline constexpr const char* kEndpoint = "/msadc/msadcs.dll/";

// --- single values (VARIANT wire form) ---
// Arrays in one message are bounded: arrays nest at most kMaxArrayDepth deep, have at most
// kMaxArrayDims dimensions, and all arrays of the message together hold at most
// kMaxArrayElements elements (a decoded element costs far more memory than its wire bytes).
inline constexpr std::size_t kMaxArrayDepth = 16;
inline constexpr std::size_t kMaxArrayDims = 64;
inline constexpr std::size_t kMaxArrayElements = std::size_t{1} << 20;
// What is left of those bounds while one message is read or written.
struct ArrayBudget {
  std::size_t depth = 0;  // arrays around the current value
  std::size_t elementsLeft = kMaxArrayElements;
};

// Throws WireError for Binary, Guid and arrays that break their own shape (element count
// other than the bounds say, elements of another type, the bounds above). Int64 has no
// parameter type: it goes as I4 when it fits, else as R8. Nothing goes as a null VT_DISPATCH
// (or VT_UNKNOWN) reference.
void encodeValue(const Value& v, std::string& out);
void encodeValue(const Value& v, std::string& out, ArrayBudget& budget);
// Decodes one value at `pos`, advancing it: every groupable type, the TableGram I8 tag (0x14),
// null VT_DISPATCH/VT_UNKNOWN references and arrays of every element type the transport
// defines (VARIANT arrays nesting further arrays). A reference to a real object is refused.
Value decodeValue(std::string_view data, std::size_t& pos);
Value decodeValue(std::string_view data, std::size_t& pos, ArrayBudget& budget);
// False for what must travel alone in its part: arrays and object references.
bool isGroupable(const Value& v);

// --- requests ---
struct Request {
  std::string progId;              // "CVBO_V2.Init"
  std::string member;              // "GetLoginServersXML"
  std::vector<Value> args;         // declaration order (left to right)
};
// "/msadc/msadcs.dll/<ProgID>.<member>". Throws WireError unless both names are plain ASCII
// (letters, digits, '_', '-', '.'; no '.' in the member).
std::string requestPath(std::string_view progId, std::string_view member);
// Splits a request path at the last "." after the endpoint. Throws WireError.
std::pair<std::string, std::string> parseRequestPath(std::string_view path);
// The entity body of a call: version line, multipart line, one part holding all
// (groupable) values right to left, close delimiter. `boundary`: 20 chars when empty = random.
std::string encodeRequestBody(const std::vector<Value>& args, std::string boundary = {});
// The HTTP headers that go with it (User-Agent ACTIVEDATA, Connection Keep-Alive, Cache-Control).
std::vector<std::pair<std::string, std::string>> requestHeaders();
// Decodes a request body; returns the arguments in declaration order. `httpContentType`: the
// HTTP Content-Type header, used when the body does not start with its own header lines.
std::vector<Value> decodeRequestBody(std::string_view body, std::string_view httpContentType = {});

// --- responses ---
struct Response {
  bool isError = false;
  ErrorValue error;                    // when isError
  std::vector<Value> params;           // declaration order; by-value ones come back Empty
  std::optional<Value> returnValue;    // absent for a Sub
};
// Success: multipart body with every parameter (right to left) and an optional return part.
std::string encodeResponseBody(const std::vector<Value>& params,
                               const std::optional<Value>& returnValue,
                               std::string boundary = {});
// Failure: a single application/x-varg VT_ERROR value with EXCEPINFO.
std::string encodeErrorBody(const ErrorValue& error);
// Decodes either answer form. `httpContentType` as for decodeRequestBody.
Response decodeResponseBody(std::string_view body, std::string_view httpContentType = {});

}  // namespace zentro::rds
