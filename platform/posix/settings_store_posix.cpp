// The per-user settings store on Linux: an INI file per application,
// <roaming application data>/VMIZentro/<app>.ini, one INI group per section.
// That is the file QSettings(IniFormat, UserScope, "VMIZentro", app) uses; it is opened by
// name because QSettings resolves its UserScope folder once per process and would not
// follow a later change of $XDG_CONFIG_HOME.
#include "platform/settings_store.h"

#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>

#include "platform/paths.h"

namespace zentro::platform {
namespace {

constexpr char kOrganisation[] = "VMIZentro";
constexpr char kIniExtension[] = ".ini";

QString qs(const std::string& s) { return QString::fromStdString(s); }

// A fresh store object per call, so values written by another process are seen.
std::unique_ptr<QSettings> openStore(const std::string& app) {
  std::string config = roamingAppDataFolder();
  if (config.empty()) {
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                       QString::fromLatin1(kOrganisation), qs(app));
  }
  std::string file = joinPath(joinPath(config, kOrganisation), app + kIniExtension);
  return std::make_unique<QSettings>(qs(file), QSettings::IniFormat);
}

}  // namespace

void saveSetting(const std::string& app, const std::string& section, const std::string& key,
                 const std::string& value) {
  auto store = openStore(app);
  store->beginGroup(qs(section));
  store->setValue(qs(key), qs(value));
  store->endGroup();
  // Failures are not reported: the store is relied on to be writable by the user.
  store->sync();
}

std::string getSetting(const std::string& app, const std::string& section,
                       const std::string& key, const std::string& defaultValue) {
  auto store = openStore(app);
  store->beginGroup(qs(section));
  QVariant v = store->value(qs(key));
  store->endGroup();
  if (!v.isValid()) return defaultValue;
  // A hand-edited value with an unquoted comma reads as a list; give it back as written.
  if (v.typeId() == QMetaType::QStringList) {
    return v.toStringList().join(QStringLiteral(", ")).toStdString();
  }
  return v.toString().toStdString();
}

}  // namespace zentro::platform
