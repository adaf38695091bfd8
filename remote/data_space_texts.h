#pragma once
// Texts of the errors a data space raises. Descriptions of call failures read
// "<member>: " + one of these (completed as the comment shows).

#include <string_view>

namespace zentro::data_space_texts {

// Source of errors that belong to no object yet.
inline constexpr std::string_view kSource = "RDS.DataSpace";
// "CreateObject: the URL \"<url>\"" + kBadUrl
inline constexpr std::string_view kCreateObject = "CreateObject: the URL \"";
inline constexpr std::string_view kBadUrl = "\" has no scheme and host to reach";
inline constexpr std::string_view kHttpStatus = "the server answered HTTP ";   // + "500 Internal Server Error"
inline constexpr std::string_view kUnreachable = "could not reach ";           // + "host:port (cause)"
inline constexpr std::string_view kTlsFailed = "secure connection to ";        // + "host:port" + kFailed
inline constexpr std::string_view kFailed = " failed";                         // + " (cause)"
inline constexpr std::string_view kCut = "the connection to ";                 // + "host:port" + kBrokeOff
inline constexpr std::string_view kBrokeOff = " broke off";                    // + " (cause)"
inline constexpr std::string_view kUndecodable = "the answer could not be read"; // + " (cause)"
inline constexpr std::string_view kNotEncodable = "the call could not be sent";  // + " (cause)"
inline constexpr std::string_view kRemoteError = "the server reported error ";   // + "0x80070057"

}  // namespace zentro::data_space_texts
