// The message bodies of remote/rds_wire.h: request and response bodies of the RDS generic method
// invocation: the version line, the multipart line with boundary and num-args, application/x-varg
// parts and the close delimiter. Parsing never trusts declared lengths; values are read by their
// own encoding.
#include <algorithm>
#include <charconv>
#include <random>

#include "platform/ascii_text.h"
#include "remote/rds_wire.h"

namespace zentro::rds {
namespace {

constexpr std::string_view kCrlf = "\r\n";
constexpr std::string_view kClientVersionLine = "ADCClientVersion:01.06";
constexpr std::string_view kMultipartType = "multipart/mixed";
constexpr std::string_view kVargType = "application/x-varg";
constexpr std::size_t kMaxArgs = 1024;
constexpr std::size_t kMaxBoundary = 70;
constexpr std::size_t kMaxHeaderLine = 8192;
constexpr std::size_t kMaxHeaderLines = 64;
// What the servers declare for a VT_ERROR value, whatever follows it.
constexpr std::string_view kErrorContentLength = "6";

using platform::equalsNoCaseAscii;
using platform::startsWithNoCaseAscii;
using platform::kBlanks;
using platform::trim;

bool isAlpha(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

struct Header {
  std::string_view name;
  std::string_view value;
};

// Reads the line at `pos` (LF or CRLF ended) if it has the form "Name: value".
// Returns false, leaving `pos`, for anything else (blank line, binary data, a boundary).
bool readHeaderLine(std::string_view data, std::size_t& pos, Header& out) {
  if (pos >= data.size() || !isAlpha(data[pos])) return false;
  std::size_t i = pos;
  while (i < data.size() && (isAlpha(data[i]) || isDigit(data[i]) || data[i] == '-')) ++i;
  std::size_t nameEnd = i;
  while (i < data.size() && (data[i] == ' ' || data[i] == '\t')) ++i;
  if (i >= data.size() || data[i] != ':') return false;
  std::size_t lf = data.find('\n', i);
  if (lf == std::string_view::npos) {
    throw WireError("truncated header line at offset " + std::to_string(pos));
  }
  if (lf - pos > kMaxHeaderLine) throw WireError("header line too long at offset " + std::to_string(pos));
  std::size_t end = lf > i && data[lf - 1] == '\r' ? lf - 1 : lf;
  out.name = data.substr(pos, nameEnd - pos);
  out.value = trim(data.substr(i + 1, end - i - 1), kBlanks);
  pos = lf + 1;
  return true;
}

// Consumes one blank line (CRLF or LF) at `pos`; false when there is none.
bool skipLineEnd(std::string_view data, std::size_t& pos) {
  if (data.substr(pos, 2) == kCrlf) {
    pos += 2;
    return true;
  }
  if (pos < data.size() && data[pos] == '\n') {
    ++pos;
    return true;
  }
  return false;
}

std::size_t parseCount(std::string_view text, const char* what) {
  std::size_t n = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) {
    throw WireError(std::string("bad ") + what + " \"" + std::string(text) + "\"");
  }
  return n;
}

// The media type and parameters of a Content-Type value; quoted parameter values allowed.
struct MediaType {
  std::string type;
  std::string boundary;
  std::optional<std::string> numArgs;
};

MediaType parseMediaType(std::string_view value) {
  MediaType mt;
  std::size_t i = value.find(';');
  mt.type = std::string(trim(value.substr(0, i), kBlanks));
  while (i != std::string_view::npos && i < value.size()) {
    ++i;  // past ';'
    std::size_t eq = value.find('=', i);
    if (eq == std::string_view::npos) break;
    std::string_view key = trim(value.substr(i, eq - i), kBlanks);
    std::size_t j = eq + 1;
    while (j < value.size() && (value[j] == ' ' || value[j] == '\t')) ++j;
    std::string param;
    if (j < value.size() && value[j] == '"') {
      std::size_t close = value.find('"', j + 1);
      if (close == std::string_view::npos) throw WireError("unterminated quoted parameter");
      param = std::string(value.substr(j + 1, close - j - 1));
      i = value.find(';', close);
    } else {
      i = value.find(';', j);
      param = std::string(trim(value.substr(j, i == std::string_view::npos ? i : i - j), kBlanks));
    }
    if (equalsNoCaseAscii(key, "boundary")) mt.boundary = std::move(param);
    else if (equalsNoCaseAscii(key, "num-args")) mt.numArgs = std::move(param);
  }
  return mt;
}

bool typeIs(std::string_view contentType, std::string_view type) {
  return equalsNoCaseAscii(trim(contentType.substr(0, contentType.find(';')), kBlanks), type);
}

void checkBoundary(std::string_view b) {
  if (b.empty() || b.size() > kMaxBoundary) {
    throw WireError("bad boundary length " + std::to_string(b.size()));
  }
  for (char c : b) {
    auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u > 0x7E || c == '"' || c == ';') throw WireError("bad character in boundary");
  }
}

std::string randomBoundary() {
  static constexpr std::string_view kChars = "abcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937 gen{std::random_device{}()};
  std::uniform_int_distribution<std::size_t> pick(0, kChars.size() - 1);
  std::string b(20, ' ');
  for (char& c : b) c = kChars[pick(gen)];
  return b;
}

// One part. Groupable values declare their length; an array or object reference sits alone
// in a part without one.
void appendPart(std::string& out, std::string_view boundary, const std::string& values,
                bool withLength) {
  out += kCrlf;
  out += "--";
  out += boundary;
  out += kCrlf;
  out += "Content-Type: application/x-varg\r\n";
  if (withLength) {
    out += "Content-Length: ";
    out += std::to_string(values.size());
    out += kCrlf;
  }
  out += kCrlf;
  out += values;
}

// The parameters right to left: consecutive groupable values share a part, each other value
// has one of its own.
void appendParams(std::string& out, std::string_view boundary, const std::vector<Value>& values,
                  ArrayBudget& budget) {
  std::string group;
  for (std::size_t k = values.size(); k > 0; --k) {
    const Value& v = values[k - 1];
    if (isGroupable(v)) {
      encodeValue(v, group, budget);
      continue;
    }
    if (!group.empty()) appendPart(out, boundary, group, true);
    group.clear();
    std::string alone;
    encodeValue(v, alone, budget);
    appendPart(out, boundary, alone, false);
  }
  if (!group.empty()) appendPart(out, boundary, group, true);
}

// The header lines at the start of a body, and where its content begins.
struct Envelope {
  std::string contentType;
  std::optional<std::string_view> contentLength;
  std::size_t contentStart = 0;
};

Envelope readEnvelope(std::string_view body, std::string_view httpContentType) {
  Envelope env;
  std::size_t pos = 0;
  Header h;
  std::size_t lines = 0;
  bool sawHeader = false;
  while (readHeaderLine(body, pos, h)) {
    if (++lines > kMaxHeaderLines) throw WireError("too many header lines");
    sawHeader = true;
    if (equalsNoCaseAscii(h.name, "Content-Type")) env.contentType = std::string(h.value);
    else if (equalsNoCaseAscii(h.name, "Content-Length")) env.contentLength = h.value;
  }
  if (env.contentType.empty()) env.contentType = std::string(trim(httpContentType, kBlanks));
  if (env.contentType.empty()) throw WireError("the body has no Content-Type");
  // Body-level headers end with a blank line; in a multipart body that line is also the
  // CRLF that opens the first delimiter, which the part reader accepts either way.
  if (sawHeader && typeIs(env.contentType, kVargType) && !skipLineEnd(body, pos)) {
    throw WireError("header lines are not followed by a blank line");
  }
  env.contentStart = pos;
  return env;
}

struct PartsResult {
  std::vector<Value> values;  // wire order
  bool returnPart = false;    // the last value sat alone in its own part after num-args
};

bool atDelimiter(std::string_view data, std::size_t pos, std::string_view dashBoundary) {
  std::size_t p = pos;
  if (!skipLineEnd(data, p)) return false;
  return data.substr(p, dashBoundary.size()) == dashBoundary;
}

// Reads the parts after the multipart line. `allowReturn`: one extra value in its own part.
PartsResult readParts(std::string_view data, std::size_t pos, const MediaType& mt, bool allowReturn) {
  checkBoundary(mt.boundary);
  if (!mt.numArgs) throw WireError("the multipart line has no num-args");
  std::size_t numArgs = parseCount(*mt.numArgs, "num-args");
  if (numArgs > kMaxArgs) throw WireError("num-args " + std::to_string(numArgs) + " above 1024");
  const std::string dashBoundary = "--" + mt.boundary;
  const std::size_t maxValues = numArgs + (allowReturn ? 1 : 0);

  while (skipLineEnd(data, pos)) {
  }
  if (data.substr(pos, dashBoundary.size()) != dashBoundary) {
    throw WireError("expected boundary \"" + dashBoundary + "\" at offset " + std::to_string(pos));
  }
  pos += dashBoundary.size();

  PartsResult result;
  ArrayBudget budget;
  for (;;) {
    if (data.substr(pos, 2) == "--") break;  // close delimiter; any epilogue is ignored
    while (pos < data.size() && (data[pos] == ' ' || data[pos] == '\t')) ++pos;
    if (!skipLineEnd(data, pos)) {
      throw WireError(pos >= data.size() ? "truncated body: no closing boundary"
                                         : "bad boundary line at offset " + std::to_string(pos));
    }
    Header h;
    std::optional<std::size_t> contentLength;
    std::size_t lines = 0;
    while (readHeaderLine(data, pos, h)) {
      if (++lines > kMaxHeaderLines) throw WireError("too many part header lines");
      if (equalsNoCaseAscii(h.name, "Content-Type") && !typeIs(h.value, kVargType)) {
        throw WireError("unexpected part type \"" + std::string(h.value) + "\"");
      }
      if (equalsNoCaseAscii(h.name, "Content-Length")) contentLength = parseCount(h.value, "Content-Length");
    }
    if (!skipLineEnd(data, pos)) {
      throw WireError("truncated or malformed part header at offset " + std::to_string(pos));
    }
    const std::size_t valuesStart = pos;
    if (contentLength && *contentLength > data.size() - valuesStart) {
      throw WireError("Content-Length " + std::to_string(*contentLength) + " exceeds the " +
                      std::to_string(data.size() - valuesStart) + " bytes left");
    }
    const std::size_t partFirst = result.values.size();
    bool holdsError = false;
    while (!atDelimiter(data, pos, dashBoundary)) {
      if (pos >= data.size()) throw WireError("truncated body: part without a closing boundary");
      if (result.values.size() == maxValues) {
        throw WireError("more values than num-args=" + std::to_string(numArgs));
      }
      if (result.values.size() == numArgs && partFirst < numArgs) {
        throw WireError("the return value does not start a part of its own");
      }
      result.values.push_back(decodeValue(data, pos, budget));
      holdsError = holdsError || result.values.back().type() == ValueType::Error;
    }
    // The servers count only the SCODE of an error value; any other mismatch means the
    // values were not read the way the sender wrote them.
    if (contentLength && *contentLength != pos - valuesStart && !holdsError) {
      throw WireError("Content-Length " + std::to_string(*contentLength) + " does not match the " +
                      std::to_string(pos - valuesStart) + " bytes of the part");
    }
    skipLineEnd(data, pos);
    pos += dashBoundary.size();
  }
  if (result.values.size() < numArgs) {
    throw WireError("num-args=" + std::to_string(numArgs) + " but " +
                    std::to_string(result.values.size()) + " values arrived");
  }
  result.returnPart = result.values.size() > numArgs;
  return result;
}

std::string multipartLine(std::string_view boundary, std::size_t numArgs) {
  std::string s = "Content-Type: multipart/mixed; boundary=";
  s += boundary;
  s += "; num-args=";
  s += std::to_string(numArgs);
  s += kCrlf;
  return s;
}

bool allowedNameChar(char c) {
  return isAlpha(c) || isDigit(c) || c == '_' || c == '.' || c == '-';
}

}  // namespace

std::string requestPath(std::string_view progId, std::string_view member) {
  if (progId.empty() || member.empty() || !std::all_of(progId.begin(), progId.end(), allowedNameChar) ||
      !std::all_of(member.begin(), member.end(), allowedNameChar) ||
      member.find('.') != std::string_view::npos) {
    throw WireError("\"" + std::string(progId) + "." + std::string(member) +
                    "\" is not a valid object and member name");
  }
  std::string path(kEndpoint);
  path += progId;
  path += '.';
  path += member;
  return path;
}

std::pair<std::string, std::string> parseRequestPath(std::string_view path) {
  path = path.substr(0, path.find_first_of("?#"));
  std::string_view endpoint(kEndpoint);
  if (path.size() <= endpoint.size() || !startsWithNoCaseAscii(path, endpoint)) {
    throw WireError("\"" + std::string(path) + "\" is not an RDS method path");
  }
  std::string_view rest = path.substr(endpoint.size());
  std::size_t dot = rest.rfind('.');
  if (dot == std::string_view::npos || dot == 0 || dot + 1 == rest.size() ||
      !std::all_of(rest.begin(), rest.end(), allowedNameChar)) {
    throw WireError("\"" + std::string(rest) + "\" is not a ProgID.Method pair");
  }
  return {std::string(rest.substr(0, dot)), std::string(rest.substr(dot + 1))};
}

std::string encodeRequestBody(const std::vector<Value>& args, std::string boundary) {
  if (boundary.empty()) boundary = randomBoundary();
  checkBoundary(boundary);
  if (args.size() > kMaxArgs) throw WireError("more than 1024 arguments");
  std::string out(kClientVersionLine);
  out += kCrlf;
  out += multipartLine(boundary, args.size());
  ArrayBudget budget;
  appendParams(out, boundary, args, budget);
  out += "\r\n--";
  out += boundary;
  out += "--\r\n";
  return out;
}

std::vector<std::pair<std::string, std::string>> requestHeaders() {
  return {{"User-Agent", "ACTIVEDATA"}, {"Connection", "Keep-Alive"}, {"Cache-Control", "no-cache"}};
}

std::vector<Value> decodeRequestBody(std::string_view body, std::string_view httpContentType) {
  Envelope env = readEnvelope(body, httpContentType);
  if (!typeIs(env.contentType, kMultipartType)) {
    throw WireError("a request must be multipart/mixed, not \"" + env.contentType + "\"");
  }
  PartsResult parts = readParts(body, env.contentStart, parseMediaType(env.contentType), false);
  std::reverse(parts.values.begin(), parts.values.end());
  return std::move(parts.values);
}

std::string encodeResponseBody(const std::vector<Value>& params,
                               const std::optional<Value>& returnValue, std::string boundary) {
  if (boundary.empty()) boundary = randomBoundary();
  checkBoundary(boundary);
  if (params.size() > kMaxArgs) throw WireError("more than 1024 parameters");
  std::string out = multipartLine(boundary, params.size());
  ArrayBudget budget;
  appendParams(out, boundary, params, budget);
  if (returnValue) {
    std::string value;
    encodeValue(*returnValue, value, budget);
    appendPart(out, boundary, value, isGroupable(*returnValue));
  }
  out += "\r\n--";
  out += boundary;
  out += "--\r\n";
  return out;
}

std::string encodeErrorBody(const ErrorValue& error) {
  std::string out = "Content-Type: application/x-varg\r\nContent-Length: ";
  out += kErrorContentLength;
  out += "\r\n\r\n";
  encodeValue(Value(error), out);
  return out;
}

Response decodeResponseBody(std::string_view body, std::string_view httpContentType) {
  Envelope env = readEnvelope(body, httpContentType);
  Response r;
  if (typeIs(env.contentType, kVargType)) {
    std::size_t pos = env.contentStart;
    if (env.contentLength) {
      std::size_t declared = parseCount(*env.contentLength, "Content-Length");
      if (declared > body.size() - pos) {
        throw WireError("Content-Length " + std::to_string(declared) + " exceeds the " +
                        std::to_string(body.size() - pos) + " bytes left");
      }
    }
    Value v = decodeValue(body, pos);
    const ErrorValue* e = v.get<ErrorValue>();
    if (!e) throw WireError("an application/x-varg answer must hold an error value");
    for (; pos < body.size(); ++pos) {
      char c = body[pos];
      if (c != '\r' && c != '\n' && c != ' ' && c != '\t') {
        throw WireError("unexpected data after the error value at offset " + std::to_string(pos));
      }
    }
    r.isError = true;
    r.error = *e;
    return r;
  }
  if (!typeIs(env.contentType, kMultipartType)) {
    throw WireError("unexpected answer type \"" + env.contentType + "\"");
  }
  PartsResult parts = readParts(body, env.contentStart, parseMediaType(env.contentType), true);
  if (parts.returnPart) {
    r.returnValue = std::move(parts.values.back());
    parts.values.pop_back();
  }
  std::reverse(parts.values.begin(), parts.values.end());
  r.params = std::move(parts.values);
  return r;
}

}  // namespace zentro::rds
