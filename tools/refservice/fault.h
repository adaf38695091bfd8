#pragma once
// Faults the reference service can inject into its answers, so that tests and demos can see
// how the launcher copes with a misbehaving server. Plain value types; no thread affinity.

#include <optional>
#include <string>
#include <string_view>

namespace zentro::refservice {

struct Fault {
  enum class Kind {
    None,
    Refuse,       // close the connection without any answer
    Delay,        // wait `amount` milliseconds, then answer normally
    CutBody,      // announce the true length, send `amount` body bytes, close
    Status500,    // answer "500 Internal Server Error"
    WrongLength,  // announce `amount` bytes more than the body holds, send the body, close
    VtError,      // member calls only: answer a VT_ERROR with SCODE `amount`
    ArrayAnswer,  // member calls only: the member runs, but returns an array of VARIANTs
  };
  Kind kind = Kind::None;
  long amount = 0;
  int remaining = -1;  // answers still affected; -1 = every answer

  bool active() const { return kind != Kind::None && remaining != 0; }
  bool operator==(const Fault&) const = default;
};

// Parses the world-file form: "refuse", "delay:250", "cut:100", "status500",
// "badlength:50", "error:0x80004005", "array", each optionally followed by " once" or " xN"
// (affects only the next N answers). nullopt with `error` set when the text is not a fault.
std::optional<Fault> parseFault(std::string_view text, std::string* error);

// The world-file form of a fault ("none" for Kind::None).
std::string describeFault(const Fault& fault);

}  // namespace zentro::refservice
