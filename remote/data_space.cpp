#include "remote/data_space.h"

#include <cstdio>

#include "platform/ascii_text.h"
#include "platform/runtime_error.h"
#include "remote/data_space_texts.h"
#include "remote/rds_wire.h"
#include "remote/text_case.h"

namespace zentro {
namespace {

namespace texts = data_space_texts;

// Where calls go: scheme, host and port of the object's URL.
struct Endpoint {
  std::string base;      // "https://host:8443" (port only when the URL names one)
  std::string hostPort;  // "host:8443", the default port filled in; for messages
};

bool hostChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '-' || c == '_';
}

bool allDigits(std::string_view s) {
  return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos;
}

// scheme://[userinfo@]host[:port][/path...]; the path, query and user info play no part.
std::optional<Endpoint> parseEndpoint(std::string_view url) {
  std::size_t sep = url.find("://");
  if (sep == std::string_view::npos) return std::nullopt;
  std::string scheme = lowerCase(url.substr(0, sep));
  if (scheme != "http" && scheme != "https") return std::nullopt;
  std::string_view authority = url.substr(sep + 3);
  authority = authority.substr(0, authority.find_first_of("/?#"));
  if (std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
    authority = authority.substr(at + 1);
  }
  std::string_view host = authority;
  std::string_view port;
  if (!authority.empty() && authority.front() == '[') {  // IPv6 literal
    std::size_t close = authority.find(']');
    if (close == std::string_view::npos || close < 2) return std::nullopt;
    host = authority.substr(0, close + 1);
    std::string_view inner = authority.substr(1, close - 1);
    if (inner.find_first_not_of("0123456789abcdefABCDEF:.") != std::string_view::npos) {
      return std::nullopt;
    }
    std::string_view after = authority.substr(close + 1);
    if (!after.empty()) {
      if (after.front() != ':') return std::nullopt;
      port = after.substr(1);
    }
  } else {
    std::size_t colon = authority.find(':');
    if (colon != std::string_view::npos) {
      host = authority.substr(0, colon);
      port = authority.substr(colon + 1);
    }
    if (host.empty()) return std::nullopt;
    for (char c : host) {
      if (!hostChar(c)) return std::nullopt;
    }
  }
  if (!port.empty() && (!allDigits(port) || port.size() > 5 || std::stoi(std::string(port)) == 0 ||
                        std::stoi(std::string(port)) > 65535)) {
    return std::nullopt;
  }
  Endpoint ep;
  ep.base = scheme + "://" + std::string(host);
  if (!port.empty()) ep.base += ":" + std::string(port);
  ep.hostPort = std::string(host) + ":" +
                (port.empty() ? std::string(scheme == "https" ? "443" : "80") : std::string(port));
  return ep;
}

std::string hexCode(long number) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(static_cast<std::uint32_t>(number)));
  return buf;
}

// "HTTP/1.1 500 Internal Server Error" -> "500 Internal Server Error"
std::string statusText(const platform::HttpResponse& r) {
  std::string text = std::to_string(r.status);
  std::size_t sp1 = r.statusLine.find(' ');
  std::size_t sp2 = sp1 == std::string::npos ? sp1 : r.statusLine.find(' ', sp1 + 1);
  if (sp2 != std::string::npos) {
    const std::string_view reason =
        platform::trim(std::string_view(r.statusLine).substr(sp2 + 1));
    if (!reason.empty()) text += " " + std::string(reason);
  }
  return text;
}

class RdsServiceObject final : public ServiceObject {
 public:
  RdsServiceObject(platform::HttpClient& http, CallLimits limits, std::string progId,
                   Endpoint endpoint)
      : http_(http), limits_(limits), progId_(std::move(progId)), endpoint_(std::move(endpoint)) {}

  Value invoke(std::string_view member, std::vector<Arg> args) override {
    const std::string name(member);
    platform::HttpRequest request;
    try {
      std::vector<Value> values;
      values.reserve(args.size());
      for (const Arg& a : args) values.push_back(a.value());
      request.url = endpoint_.base + rds::requestPath(progId_, member);
      request.body = rds::encodeRequestBody(values);
    } catch (const rds::WireError& e) {
      throw RuntimeError(kErrGeneric, progId_,
                         name + ": " + std::string(texts::kNotEncodable) + " (" + e.what() + ")");
    }
    request.method = "POST";
    request.headers = rds::requestHeaders();
    request.connectTimeoutMs = limits_.connectTimeoutMs;
    request.totalTimeoutMs = limits_.totalTimeoutMs;

    platform::HttpResponse response;
    try {
      response = http_.send(request);
    } catch (const platform::HttpError& e) {
      throw RuntimeError(kErrRemote, progId_, name + ": " + transportText(e));
    }
    if (response.status != 200) {
      throw RuntimeError(kErrRemote, progId_,
                         name + ": " + std::string(texts::kHttpStatus) + statusText(response));
    }

    rds::Response answer;
    try {
      answer = rds::decodeResponseBody(response.body, response.header("Content-Type"));
      if (!answer.isError && answer.params.size() != args.size()) {
        throw rds::WireError(std::to_string(answer.params.size()) + " parameters came back for " +
                             std::to_string(args.size()) + " arguments");
      }
    } catch (const rds::WireError& e) {
      throw RuntimeError(kErrRemote, progId_,
                         name + ": " + std::string(texts::kUndecodable) + " (" + e.what() + ")");
    }
    if (answer.isError) throw remoteError(name, answer.error);

    for (std::size_t i = 0; i < args.size(); ++i) args[i].writeBack(answer.params[i]);
    return answer.returnValue.value_or(Value());
  }

 private:
  std::string transportText(const platform::HttpError& e) const {
    using Kind = platform::HttpError::Kind;
    switch (e.kind()) {
      case Kind::Unreachable:
        return std::string(texts::kUnreachable) + endpoint_.hostPort + " (" + e.what() + ")";
      case Kind::Tls:
        return std::string(texts::kTlsFailed) + endpoint_.hostPort + std::string(texts::kFailed) +
               " (" + e.what() + ")";
      case Kind::Cut:
        return std::string(texts::kCut) + endpoint_.hostPort + std::string(texts::kBrokeOff) +
               " (" + e.what() + ")";
      case Kind::Timeout:
      case Kind::Other:
        break;
    }
    return e.what();
  }

  RuntimeError remoteError(const std::string& member, const ErrorValue& e) const {
    long number = e.hasExcepInfo && e.scode2 != 0 ? e.scode2 : e.scode;
    std::string source = e.hasExcepInfo && !e.source.empty() ? e.source : progId_;
    std::string description = e.hasExcepInfo && !e.description.empty()
                                  ? e.description
                                  : std::string(texts::kRemoteError) + hexCode(number);
    return RuntimeError(number, std::move(source), member + ": " + description);
  }

  platform::HttpClient& http_;
  CallLimits limits_;
  std::string progId_;
  Endpoint endpoint_;
};

}  // namespace

void Arg::writeBack(const Value& returned) const {
  if (auto* const* v = std::get_if<Value*>(&ref_)) {
    **v = returned;
  } else if (auto* const* s = std::get_if<std::string*>(&ref_)) {
    if (auto text = returned.toText()) **s = std::move(*text);
  } else if (auto* const* b = std::get_if<bool*>(&ref_)) {
    if (auto flag = returned.toBool()) **b = *flag;
  }
}

DataSpace::DataSpace(platform::HttpClient& http, CallLimits limits) : http_(http), limits_(limits) {}

std::unique_ptr<ServiceObject> DataSpace::createObject(std::string_view progId,
                                                       std::string_view url) {
  auto endpoint = parseEndpoint(url);
  if (!endpoint) {
    throw RuntimeError(kErrGeneric, std::string(texts::kSource),
                       std::string(texts::kCreateObject) + std::string(url) +
                           std::string(texts::kBadUrl));
  }
  return std::make_unique<RdsServiceObject>(http_, limits_, std::string(progId),
                                            std::move(*endpoint));
}

}  // namespace zentro
