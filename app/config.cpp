#include "app/config.h"

#include "platform/ascii_text.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "platform/run_log.h"
#include "platform/runtime_error.h"
#include "remote/ado_xml.h"

namespace zentro {

Table loadConfigTable(const std::string& rootFolder) {
  std::string path = platform::joinPath(rootFolder, kConfigFileName);
  // Only a regular file of bounded size is read: a FIFO would block the start for ever and a
  // link to a device would read without end. Anything else reads as a broken file.
  if (const std::optional<std::string> bytes = platform::readWholeFile(path)) {
    try {
      return readAdoXml(*bytes);
    } catch (const std::exception& e) {
      // A broken file means every property is empty; the user is not told.
      logLine(LogLevel::Info, "configuration not used (" + path + "): " + e.what());
    }
  } else {
    logLine(LogLevel::Info, "configuration not used (" + path +
                                "): missing, not a regular file, or larger than " +
                                std::to_string(platform::kMaxWholeFileBytes) + " bytes");
  }
  return Table({{"PropName", FieldType::String, 255, true},
                {"PropValue", FieldType::String, 4000, true}});
}

std::string GetConfigValue(Table& config, const std::string& name) {
  std::string result;
  if (name.empty()) return result;
  try {
    config.setFilter("PropName=" + criteriaLiteral(name));
    if (!config.eof()) {
      // A NULL value reads as empty.
      if (auto text = config.field("PropValue").toText()) result = platform::trim(*text);
    }
  } catch (const RuntimeError& e) {
    logLine(LogLevel::Warning, "configuration lookup of " + name + " failed: " + e.description());
  }
  config.setFilter("");  // removing a filter parses nothing and cannot fail
  return result;
}

bool IsUpdateAdminLogin(Table& config, const std::string& login) {
  if (platform::trim(login).empty()) return false;
  bool result = false;
  try {
    config.setFilter("PropName='UPDATEADMINLOGIN'");
    if (config.recordCount() > 0) {
      config.moveFirst();
      result = config.find("PropValue=" + criteriaLiteral(login), 0);
    }
  } catch (const RuntimeError& e) {
    logLine(LogLevel::Warning, "update-administrator lookup failed: " + e.description());
  }
  config.setFilter("");  // removing a filter parses nothing and cannot fail
  return result;
}

}  // namespace zentro
