#include "tools/refservice/fault.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/ascii_text.h"

namespace zentro::refservice {
namespace {

// Whole-text integer, decimal or 0x-hex; false on anything else.
bool parseNumber(const std::string& text, long& out) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  // SCODEs are written as unsigned hex; keep their 32-bit pattern.
  const long long v = hex ? static_cast<long long>(std::strtoull(text.c_str() + 2, &end, 16))
                          : std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || end == nullptr || *end != '\0') return false;
  out = hex ? static_cast<long>(static_cast<std::int32_t>(static_cast<std::uint32_t>(v)))
            : static_cast<long>(v);
  return true;
}

}  // namespace

std::optional<Fault> parseFault(std::string_view textIn, std::string* error) {
  auto fail = [&](const std::string& why) -> std::optional<Fault> {
    if (error) *error = why;
    return std::nullopt;
  };
  std::string text(platform::trim(textIn, platform::kBlanks));
  Fault f;
  // Trailing repetition limit.
  const auto space = text.find_last_of(" \t");
  if (space != std::string::npos) {
    const std::string tail = text.substr(space + 1);
    if (tail == "once") {
      f.remaining = 1;
    } else if (tail.size() > 1 && tail[0] == 'x') {
      long n = 0;
      if (!parseNumber(tail.substr(1), n) || n <= 0) return fail("bad repetition \"" + tail + "\"");
      f.remaining = static_cast<int>(n);
    } else {
      return fail("unexpected \"" + tail + "\" after the fault");
    }
    text = std::string(platform::trim(std::string_view(text).substr(0, space), platform::kBlanks));
  }
  const auto colon = text.find(':');
  const std::string name = text.substr(0, colon);
  const std::string arg(colon == std::string::npos
                            ? std::string_view()
                            : platform::trim(std::string_view(text).substr(colon + 1), platform::kBlanks));
  auto needArg = [&](Fault::Kind kind, bool allowNegative) -> std::optional<Fault> {
    long n = 0;
    if (!parseNumber(arg, n)) return fail("fault \"" + name + "\" needs a number, e.g. " + name + ":100");
    if (!allowNegative && n < 0) return fail("fault \"" + name + "\" needs a number of 0 or more");
    f.kind = kind;
    f.amount = n;
    return f;
  };
  if (name == "none" && arg.empty()) return Fault{};
  if (name == "refuse" && colon == std::string::npos) { f.kind = Fault::Kind::Refuse; return f; }
  if (name == "status500" && colon == std::string::npos) { f.kind = Fault::Kind::Status500; return f; }
  if (name == "array" && colon == std::string::npos) { f.kind = Fault::Kind::ArrayAnswer; return f; }
  if (name == "delay") return needArg(Fault::Kind::Delay, false);
  if (name == "cut") return needArg(Fault::Kind::CutBody, false);
  if (name == "badlength") {
    auto r = needArg(Fault::Kind::WrongLength, false);
    if (r && r->amount == 0) return fail("fault \"badlength\" needs at least 1 extra byte");
    return r;
  }
  if (name == "error") return needArg(Fault::Kind::VtError, true);
  return fail("unknown fault \"" + text +
              "\" (expected none, refuse, delay:MS, cut:BYTES, status500, badlength:BYTES, error:SCODE, array)");
}

std::string describeFault(const Fault& f) {
  std::string s;
  switch (f.kind) {
    case Fault::Kind::None: return "none";
    case Fault::Kind::Refuse: s = "refuse"; break;
    case Fault::Kind::Delay: s = "delay:" + std::to_string(f.amount); break;
    case Fault::Kind::CutBody: s = "cut:" + std::to_string(f.amount); break;
    case Fault::Kind::Status500: s = "status500"; break;
    case Fault::Kind::ArrayAnswer: s = "array"; break;
    case Fault::Kind::WrongLength: s = "badlength:" + std::to_string(f.amount); break;
    case Fault::Kind::VtError: {
      char buf[16];
      std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(f.amount));
      s = std::string("error:") + buf;
      break;
    }
  }
  if (f.remaining == 1) s += " once";
  else if (f.remaining > 1) s += " x" + std::to_string(f.remaining);
  return s;
}

}  // namespace zentro::refservice
