#pragma once
// The program's typed run-time error: a number, a source and a description. Raised by the
// steps that run untrapped (and by the platform where a call fails in a way the caller must
// not ignore); caught once, where window events enter the controller (app/event_guard.h),
// which shows the description and ends the program. The bottom floor defines it, so every
// library can raise it. Plain value type.

#include <stdexcept>
#include <string>

namespace zentro {

class RuntimeError : public std::runtime_error {
 public:
  RuntimeError(long number, std::string source, std::string description)
      : std::runtime_error(description),
        number_(number),
        source_(std::move(source)),
        description_(std::move(description)) {}

  long number() const { return number_; }
  const std::string& source() const { return source_; }
  const std::string& description() const { return description_; }

 private:
  long number_;
  std::string source_;
  std::string description_;
};

// Error numbers used when a failure has no number of its own.
inline constexpr long kErrGeneric = 5;          // "Invalid procedure call or argument"
inline constexpr long kErrTable = 3021;         // recordset: no current record / bad criteria
inline constexpr long kErrXml = -2147467259;    // 0x80004005, an unreadable rowset document
inline constexpr long kErrRemote = -2147012867; // 0x80072EFD, transport failures

}  // namespace zentro
