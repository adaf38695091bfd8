#include "tools/refservice/business_objects.h"

#include "remote/rds_wire.h"
#include "remote/text_case.h"

namespace zentro::refservice {
namespace {

const std::vector<MemberSpec>& memberTable() {
  static const std::vector<MemberSpec> table = {
      {"GetLoginServersXML", {true, true}, -1, true, false},
      {"GetDeploymentsXML", {true, true}, -1, true, false},
      {"isValidLogin", {false, false, false, false, true}, 2, true, false},
      {"LoginUser", {true, true, true, false}, 2, true, true},
      {"LoginUserHex", {true, true, true, false}, 2, true, true},
      {"GetUpdateInfoLastUpdate", {true, true}, 0, true, false},
      {"GetInstallFilesByIDXML", {true, false, false}, 0, true, false},
      {"WriteLoginNotes", {true, true}, 0, false, false},
  };
  return table;
}

// An error raised inside a member, with the code its EXCEPINFO carries.
struct RaisedError {
  std::int32_t scode2;
  std::string description;
};

std::string textArg(const Value& v, const char* what) {
  const auto s = v.toText();
  if (!s) throw RaisedError{kScodeFail, std::string("Invalid use of Null: ") + what};
  return *s;
}

bool boolArg(const Value& v, const char* what) {
  const auto b = v.toBool();
  if (!b) throw RaisedError{kScodeFail, std::string("Type mismatch: ") + what};
  return *b;
}

ErrorValue errorValue(std::int32_t scode, std::int32_t scode2, const std::string& source,
                      const std::string& description) {
  ErrorValue e;
  e.scode = scode;
  e.scode2 = scode2;
  e.hasExcepInfo = true;
  e.source = source;
  e.description = description;
  return e;
}

// What the "array" fault returns: an array of VARIANTs such as a data factory sends beside a
// failed call, holding a number, an error with its details, a nested array of texts (one of
// them Null) and a null object reference.
Value faultArray(const std::string& progId) {
  ArrayValue texts;
  texts.elementType = 0x0008;  // VT_BSTR
  texts.bounds = {ArrayBound{2, 1}};
  texts.elements = {Value("one"), Value::null()};
  ArrayValue a;
  a.bounds = {ArrayBound{4, 0}};
  a.elements = {Value(std::int32_t{42}),
                Value(errorValue(kScodeException, kScodeFail, progId, "Fault injected by the reference service")),
                Value(std::move(texts)), Value(NothingValue{})};
  return Value(std::move(a));
}

std::string hex(std::int32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(v));
  return buf;
}

}  // namespace

const MemberSpec* findMember(const std::string& member) {
  for (const auto& m : memberTable())
    if (equalsNoCase(m.name, member)) return &m;
  return nullptr;
}

bool isHostedProgId(const std::string& progId) {
  return equalsNoCase(progId, kLoginProgId) || equalsNoCase(progId, kGeneralProgId);
}

RdsAnswer BusinessObjects::answer(const std::string& listener, const std::string& path,
                                  const std::string& body, const std::string& httpContentType) {
  CallRecord rec;
  rec.time = std::chrono::system_clock::now();
  rec.listener = listener;
  RdsAnswer out;
  auto refuseCall = [&](const std::string& why) {
    out.body = rds::encodeErrorBody(errorValue(kScodeInvalidArg, 0, rec.progId, why));
    rec.outcome = "error: " + why;
    log_.addCall(rec);
    return out;
  };
  try {
    std::tie(rec.progId, rec.member) = rds::parseRequestPath(path);
  } catch (const rds::WireError& e) {
    rec.member = path;
    return refuseCall(std::string("bad request path: ") + e.what());
  }
  const MemberSpec* spec = findMember(rec.member);
  if (!isHostedProgId(rec.progId)) return refuseCall("unknown ProgID " + rec.progId);
  if (!spec) return refuseCall("unknown member " + rec.member);
  rec.member = spec->name;
  std::vector<Value> args;
  try {
    args = rds::decodeRequestBody(body, httpContentType);
  } catch (const rds::WireError& e) {
    return refuseCall(std::string("malformed request: ") + e.what());
  }
  rec.args = args;
  if (spec->secretIndex >= 0 && static_cast<std::size_t>(spec->secretIndex) < rec.args.size())
    rec.args[static_cast<std::size_t>(spec->secretIndex)] = Value(kMaskedSecret);

  const Fault fault = state_.takeMemberFault(listener, spec->name);
  if (fault.kind == Fault::Kind::VtError) {
    out.body = rds::encodeErrorBody(errorValue(static_cast<std::int32_t>(fault.amount), 0, rec.progId,
                                               "Fault injected by the reference service"));
    rec.outcome = "fault: " + describeFault(fault);
    log_.addCall(rec);
    return out;
  }
  out.fault = fault;
  if (fault.kind == Fault::Kind::Refuse || fault.kind == Fault::Kind::Status500) {
    rec.outcome = "fault: " + describeFault(fault);
    log_.addCall(rec);
    return out;
  }
  try {
    std::vector<Value> params;
    std::optional<Value> result;
    invoke(listener, *spec, args, params, result);
    if (fault.kind == Fault::Kind::ArrayAnswer) {
      if (result) result = faultArray(rec.progId);  // a Sub has no result to replace
      out.fault = Fault{};
    }
    out.body = rds::encodeResponseBody(params, result);
    const std::string* text = result ? result->get<std::string>() : nullptr;
    if (!result) rec.outcome = "ok";
    else if (text && spec->returnsToken && !text->empty()) rec.outcome = std::string("ok: ") + kMaskedSecret;
    else if (text && text->size() > 60) rec.outcome = "ok: " + std::to_string(text->size()) + " characters";
    else rec.outcome = "ok: " + result->debugText();
  } catch (const RaisedError& e) {
    out.body = rds::encodeErrorBody(errorValue(kScodeException, e.scode2, rec.progId, e.description));
    rec.outcome = "error " + hex(e.scode2) + ": " + e.description;
  } catch (const MemberError& e) {
    out.body = rds::encodeErrorBody(errorValue(kScodeException, kScodeFail, rec.progId, e.what()));
    rec.outcome = "error " + hex(kScodeFail) + ": " + e.what();
  }
  if (fault.active()) rec.outcome += " (fault: " + describeFault(fault) + ")";
  log_.addCall(rec);
  return out;
}

void BusinessObjects::invoke(const std::string& listener, const MemberSpec& spec,
                             const std::vector<Value>& args, std::vector<Value>& params,
                             std::optional<Value>& result) {
  if (args.size() != spec.byRef.size())
    throw RaisedError{kScodeBadParamCount, std::string("Wrong number of arguments to ") + spec.name + ": expected " +
                                               std::to_string(spec.byRef.size()) + ", got " +
                                               std::to_string(args.size())};
  const std::string member = spec.name;
  if (member == "GetLoginServersXML") {
    result = Value(state_.loginServersXml(textArg(args[0], "filer code"), textArg(args[1], "login")));
  } else if (member == "GetDeploymentsXML") {
    result = Value(state_.deploymentsXml(textArg(args[0], "filer code"), textArg(args[1], "login")));
  } else if (member == "isValidLogin") {
    result = Value(state_.isValidLogin(listener, textArg(args[0], "filer code"), textArg(args[1], "login"),
                                       textArg(args[2], "password"), boolArg(args[3], "client flag")));
  } else if (member == "LoginUser" || member == "LoginUserHex") {
    result = Value(state_.loginUser(listener, textArg(args[0], "filer code"), textArg(args[1], "login"),
                                    textArg(args[2], "password")));
  } else if (member == "GetUpdateInfoLastUpdate") {
    result = Value(state_.lastUpdate(textArg(args[0], "login token"), textArg(args[1], "group key")));
  } else if (member == "GetInstallFilesByIDXML") {
    result = Value(state_.installFilesXml(textArg(args[0], "login token"), args[1], args[2]));
  } else if (member == "WriteLoginNotes") {
    const TokenOwner owner = state_.ownerOf(textArg(args[0], "login token"));
    log_.addNote(NoteRecord{std::chrono::system_clock::now(), owner.filerCode, owner.login,
                            textArg(args[1], "notes")});
  }
  // Every parameter goes back; in-only ones as Empty, in/out ones with their value after
  // the call (these members leave them unchanged).
  params.clear();
  for (std::size_t i = 0; i < args.size(); ++i) params.push_back(spec.byRef[i] ? args[i] : Value());
}

}  // namespace zentro::refservice
