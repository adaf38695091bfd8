#pragma once
// Messages of HttpError, shared by the HTTP client implementations so callers and tests can
// recognise them. Each is completed as its comment shows.

#include <string_view>

namespace zentro::platform::http_texts {

// The two stages of a call's time limit: the connection (TLS included) was not made in time,
// or it was made and the answer did not come whole before the call's overall limit.
inline constexpr std::string_view kTimedOut = "no complete answer within ";  // + "N s"
inline constexpr std::string_view kNoConnection = "no connection within ";   // + "N s"
inline constexpr std::string_view kStalled = "no data received for 60 s";
inline constexpr std::string_view kHostNotFound = "host name not found";
inline constexpr std::string_view kProxyNotFound = "proxy host name not found";
inline constexpr std::string_view kNoResponse = "the server closed the connection without an answer";
inline constexpr std::string_view kTooLarge = "the answer is larger than 64 MiB";
inline constexpr std::string_view kAborted = "the transfer was stopped by its receiver";
inline constexpr std::string_view kBadMethod = "unsupported request method ";  // + method
inline constexpr std::string_view kNotStarted = "the HTTP library could not start";
// A download from an https:// URL redirected to http:// is refused, never followed.
inline constexpr std::string_view kInsecureRedirect = "refused a redirect from https to http";

// Answers kept in memory (HttpClient::send) are limited to this size; downloads of any size
// go through a sink.
inline constexpr long long kMaxInMemoryBody = 64LL << 20;

}  // namespace zentro::platform::http_texts
