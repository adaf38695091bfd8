#pragma once
// Messages of HttpError, shared by the HTTP client implementations so callers and tests can
// recognise them. Each is completed as its comment shows.

#include <string_view>

namespace zentro::platform::http_texts {

inline constexpr std::string_view kTimedOut = "timed out after ";          // + "N s"
inline constexpr std::string_view kNoConnection = "no connection within "; // + "N s"
inline constexpr std::string_view kStalled = "no data received for 60 s";
inline constexpr std::string_view kHostNotFound = "host name not found";
inline constexpr std::string_view kProxyNotFound = "proxy host name not found";
inline constexpr std::string_view kNoResponse = "the server closed the connection without an answer";
inline constexpr std::string_view kTooLarge = "the answer is larger than 64 MiB";
inline constexpr std::string_view kAborted = "the transfer was stopped by its receiver";
inline constexpr std::string_view kBadMethod = "unsupported request method ";  // + method

// Answers kept in memory (HttpClient::send) are limited to this size; downloads of any size
// go through a sink.
inline constexpr long long kMaxInMemoryBody = 64LL << 20;

}  // namespace zentro::platform::http_texts
