#include "installer/install_run.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <system_error>

#include "installer/count_format.h"
#include "installer/download_handler.h"
#include "installer/inet_transfer.h"
#include "installer/install_texts.h"
#include "installer/registry_values.h"
#include "installer/safe_names.h"
#include "installer/version_compare.h"
#include "platform/ascii_text.h"
#include "platform/file_io.h"
#include "platform/file_path.h"
#include "platform/paths.h"
#include "platform/run_log.h"
#include "remote/text_case.h"

namespace zentro {
namespace {

namespace texts = install_texts;

// How long the transfer wait sleeps between rounds of window messages when nothing arrives.
constexpr std::chrono::milliseconds kTransferPoll{10};

// A field of the install list, found by name once per walk rather than on every row.
struct ListField {
  std::string_view name;
  int index = -1;  // -1: the list has no such field

  const Value& of(const Table& list) const {
    // A missing field raises the table's own error, which names it.
    return index >= 0 ? list.field(index) : list.field(name);
  }
};

struct ListFields {
  ListField fileName{texts::kFieldFileName};
  ListField sequenceId{texts::kFieldSequenceId};
  ListField installType{texts::kFieldInstallType};
  ListField fileVersion{texts::kFieldFileVersion};
  ListField altCheck{texts::kFieldAltCheck};
  ListField altCheckRegValue{texts::kFieldAltCheckRegValue};
  ListField installLocation{texts::kFieldInstallLocation};
  ListField description{texts::kFieldDescription};
  ListField isCompressed{texts::kFieldIsCompressed};
  ListField downloadLocation{texts::kFieldDownloadLocation};
  ListField sha256{texts::kFieldSha256};

  void locate(const Table& list) {
    for (ListField* f : {&fileName, &sequenceId, &installType, &fileVersion, &altCheck,
                         &altCheckRegValue, &installLocation, &description, &isCompressed,
                         &downloadLocation, &sha256}) {
      f->index = list.fieldIndex(f->name);
    }
  }
};

// The field's text, read in place when the row holds it as text (as almost every field of the
// list does); any other value is turned into text in `other`. Valid until the row moves on or
// `other` changes.
std::string_view textIn(const Table& list, const ListField& field, std::string& other) {
  const Value& value = field.of(list);
  if (const std::string* s = value.get<std::string>()) return *s;
  other = value.toText().value_or(std::string());
  return other;
}

std::string text(const Table& list, const ListField& field) {
  std::string other;
  return std::string(textIn(list, field, other));
}

// The field's text without its leading and trailing spaces.
std::string trimmedText(const Table& list, const ListField& field) {
  std::string other;
  return std::string(platform::trim(textIn(list, field, other)));
}

// An optional field (SHA256); "" when the list has no such field or it is empty.
std::string optionalText(const Table& list, const ListField& field) {
  if (field.index < 0) return {};
  return trimmedText(list, field);
}

void replaceAll(std::string& s, std::string_view what, const std::string& with) {
  for (std::size_t at = s.find(what); at != std::string::npos;
       at = s.find(what, at + with.size())) {
    s.replace(at, what.size(), with);
  }
}

// An InstallLocation resolved to its working folder.
struct TargetFolder {
  const std::string* folder = nullptr;  // nullptr outside the placeholder table
  bool isFont = false;
};

// `key`: the location in upper case.
TargetFolder targetFolder(const WorkingFolders& f, std::string_view key) {
  if (key == texts::kLocProduct) return {&f.productFolder};
  if (key == texts::kLocTemp) return {&f.tempFolder};
  if (key == texts::kLocCommon) return {&f.commonFolder};
  if (key == texts::kLocBroker) return {&f.brokerFolder};
  if (key == texts::kLocClient) return {&f.clientFolder};
  if (key == texts::kLocCompany) return {&f.companyFolder};
  if (key == texts::kLocSystem) return {&f.systemFolder};
  if (key == texts::kLocWindows) return {&f.windowsFolder};
  if (key == texts::kLocFonts) return {&f.fontsFolder, true};
  return {};
}

}  // namespace

// The walk itself, with the transfer control and its state handling that live as long as the
// install run. Window thread only.
class InstallRun::Impl {
 public:
  Impl(View& view, const WorkingFolders& folders, InstallSession& session, InstallHost& host)
      : view_(view),
        folders_(folders),
        session_(session),
        host_(host),
        inet1_(view, folders.tempFolder),
        handler_(view, folders, session, inet1_) {
    inet1_.setStateHandler([this](int state) { handler_.Inet1_StateChanged(state); });
  }

  void walk();

 private:
  // False when the walk must end here (missing rights).
  bool ordinaryEntry(const std::string& fileName, const std::string& location,
                     const TargetFolder& target);
  std::string installedVersionOf(const TargetFolder& target, const std::string& fileName);
  // The working folder `path`, held open until the walk ends or a download runs (an installer
  // it runs may replace the folder itself).
  const platform::OpenFolder& openFolder(const std::string& path);
  void startDownload(const std::string& url);
  void showInstallationError();
  void endOfList();
  void launchRecord();

  View& view_;
  const WorkingFolders& folders_;
  InstallSession& session_;
  InstallHost& host_;
  InetTransfer inet1_;
  DownloadHandler handler_;
  ListFields fields_;  // of installList, located at the start of each walk
  using OpenFolders = std::map<std::string, platform::OpenFolder, std::less<>>;
  OpenFolders openFolders_;  // see openFolder()
};

InstallRun::InstallRun(View& view, const WorkingFolders& folders, InstallSession& session,
                       InstallHost& host)
    : view_(view),
      folders_(folders),
      session_(session),
      host_(host),
      impl_(std::make_unique<Impl>(view, folders, session, host)) {}

InstallRun::~InstallRun() = default;

void InstallRun::tick() {
  // Message processing inside the walk can deliver another tick; the walk in progress owns
  // installList and the current-entry values, so that tick does nothing.
  if (walking_) return;
  view_.setInstallTimerEnabled(false);
  walking_ = true;
  struct EndWalk {
    bool& flag;
    ~EndWalk() { flag = false; }
  } endWalk{walking_};
  impl_->walk();
}

namespace {

std::string checkOnlyCaption(long count) {
  std::string caption = formatCount(count) + std::string(texts::kCountUpdate);
  if (count != 1) caption += texts::kPluralS;
  return caption + std::string(texts::kCountFound);
}

// The server writes AltCheck paths with backslashes; other systems need their own separator.
std::string localPath(std::string path) {
  const char separator = platform::pathSeparator();
  if (separator != '\\') {
    for (char& c : path) {
      if (c == '\\') c = separator;
    }
  }
  return path;
}

}  // namespace

void InstallRun::Impl::walk() {
  Table& list = session_.installList;
  fields_.locate(list);
  struct CloseFolders {
    OpenFolders& open;
    ~CloseFolders() { open.clear(); }
  } closeFolders{openFolders_};
  // A list names a handful of locations, mostly in long runs of rows: the upper-cased form of
  // the last one is kept.
  std::string lastLocation;
  std::string locationKey;
  // Kept across rows, so that reading a row's name and location allocates nothing.
  std::string fileName;
  std::string location;
  std::string other;
  for (;;) {
    view_.setBarWidth(Bar::Current, 0);
    if (session_.updateBlocked) {
      showInstallationError();
      return;
    }
    if (list.eof()) {
      endOfList();
      return;
    }
    view_.setBarWidth(Bar::Total, kTotalBarWidth / static_cast<double>(list.recordCount()) *
                                      static_cast<double>(list.absolutePosition()));

    fileName.assign(textIn(list, fields_.fileName, other));
    location.assign(textIn(list, fields_.installLocation, other));
    if (locationKey.empty() || location != lastLocation) {
      lastLocation = location;
      locationKey = upperCase(location);
    }
    const TargetFolder target = targetFolder(folders_, locationKey);
    session_.currentIsFont = target.isFont;
    // Outside the table the folder is empty and the path lands in the root of the drive; an
    // ordinary entry is refused there before anything is written.
    session_.targetPath =
        platform::joinPath(target.folder ? *target.folder : std::string(), fileName);

    const std::optional<double> sequence = fields_.sequenceId.of(list).toDouble();
    if (sequence && *sequence >= texts::kLaunchSequenceId) {
      launchRecord();
      list.moveNext();
      continue;
    }
    if (!ordinaryEntry(fileName, location, target)) return;
    view_.repaint();
    list.moveNext();
  }
}

void InstallRun::Impl::showInstallationError() {
  const std::string_view body =
      session_.sharedEnvironment ? texts::kInstallErrorShared : texts::kInstallErrorSingle;
  view_.messageBox(std::string(body) + std::string(texts::kTwoCr) +
                       std::string(texts::kWillNowClose),
                   Buttons::Ok, Icon::None, std::string(texts::kInstallErrorTitle));
  view_.unload();
}

void InstallRun::Impl::endOfList() {
  view_.setLabel(Label::Message,
                 session_.deploymentCaption + std::string(texts::kInitializationComplete));
  view_.setLabel(Label::FrameStatus, "");
  view_.repaint();
  if (!session_.skipUpdates && !session_.checkOnly) {
    // A failed download leaves an entry out of date; without stamps the next start checks again.
    if (session_.downloadFailed) {
      logLine(LogLevel::Warning, "a download failed in this run; update stamps not written");
    } else {
      host_.writeUpdateStamps();
    }
  }
  view_.unload();
}

void InstallRun::Impl::launchRecord() {
  if (session_.updateCount > 0 && session_.isUpdateAdmin) {
    std::string summary = session_.deploymentCaption + std::string(texts::kTwoCr) +
                          formatCount(session_.updateCount);
    summary += session_.updateCount == 1 ? texts::kSummaryFileWas : texts::kSummaryFilesWere;
    summary += texts::kSummaryUpdated;
    view_.messageBox(summary, Buttons::Ok, Icon::None, std::string());
  }
  host_.launchApplication();
}

const platform::OpenFolder& InstallRun::Impl::openFolder(const std::string& path) {
  return openFolders_.try_emplace(path, path).first->second;
}

std::string InstallRun::Impl::installedVersionOf(const TargetFolder& target,
                                                 const std::string& fileName) {
  const Table& list = session_.installList;
  std::string otherCheck;
  std::string otherRegValue;
  const std::string_view altCheck = textIn(list, fields_.altCheck, otherCheck);
  const std::string_view altRegValue = textIn(list, fields_.altCheckRegValue, otherRegValue);
  std::string installed;
  if (!platform::trim(altRegValue).empty()) {
    installed = ReadRegistryValue(std::string(altCheck), std::string(altRegValue));
  } else if (!platform::trim(altCheck).empty()) {
    std::string path(altCheck);
    replaceAll(path, texts::kAltSystemDir, folders_.systemFolder);
    replaceAll(path, texts::kAltProgramFiles, folders_.rootFolder);
    replaceAll(path, texts::kAltWindowsDir, folders_.windowsFolder);
    installed = GetFileVersion(localPath(path));
  } else if (target.folder) {
    // Outside the known folders nothing is installed: a file that happens to lie at the root of
    // the drive must not make the entry look current and so escape its refusal.
    installed = GetFileVersion(openFolder(*target.folder), fileName);
  }

  if (target.isFont) {
    // Fonts are never replaced on a shared system, nor anywhere once present.
    std::error_code ec;
    // its length can be read
    (void)std::filesystem::file_size(platform::pathFromUtf8(session_.targetPath), ec);
    const bool present = !ec;
    if (session_.sharedEnvironment || present) installed = session_.serverVersion;
  }
  return installed;
}

bool InstallRun::Impl::ordinaryEntry(const std::string& fileName, const std::string& location,
                                     const TargetFolder& target) {
  const bool knownFolder = target.folder != nullptr;
  const Table& list = session_.installList;
  session_.currentFileName = fileName;
  session_.currentInstallType =
      static_cast<std::int16_t>(fields_.installType.of(list).toInt64().value_or(0));
  session_.serverVersion = trimmedText(list, fields_.fileVersion);
  session_.currentSha256 = optionalText(list, fields_.sha256);
  session_.installedVersion = installedVersionOf(target, fileName);

  if (!IsNewerVersion(session_.installedVersion, session_.serverVersion, session_.skipUpdates)) {
    if (!session_.checkOnly) view_.setLabel(Label::FrameStatus, std::string(texts::kProcessing));
    return true;
  }
  if (session_.checkOnly) {
    ++session_.updateCount;
    view_.setLabel(Label::FrameStatus, checkOnlyCaption(session_.updateCount));
    return true;
  }
  if (session_.isUpdateAdmin) ++session_.updateCount;
  if (!session_.hasAdminAccess) {
    view_.messageBox(std::string(texts::kMissingRights) + std::string(texts::kTwoCr) +
                         std::string(texts::kMissingRightsAdvice),
                     Buttons::Ok, Icon::Critical, std::string(texts::kCriticalErrorTitle));
    // Nothing more can be installed and the window offers no other way on: close it.
    view_.unload();
    return false;
  }
  if (!knownFolder || !isSafeFileName(fileName)) {
    session_.downloadFailed = true;
    logLine(LogLevel::Error, "entry \"" + fileName + "\" for \"" + location + "\" refused: " +
                                 (knownFolder ? "the file name is not a bare file name"
                                              : "the install location is not a known folder"));
    return true;
  }
  view_.setLabel(Label::FrameStatus, std::string(texts::kDownloadingAndInstalling) +
                                         text(list, fields_.description));
  view_.repaint();
  session_.currentIsCompressed = fields_.isCompressed.of(list).toBool().value_or(false);
  startDownload(session_.installFilesUrl + text(list, fields_.downloadLocation));
  return true;
}

void InstallRun::Impl::startDownload(const std::string& url) {
  inet1_.setSpoolFolder(folders_.tempFolder);
  if (!inet1_.execute(url, std::string(texts::kGet), std::string(texts::kRequestHeaders))) {
    session_.downloadFailed = true;
    logLine(LogLevel::Error, "download of \"" + loggableUrl(url) + "\" could not start");
    return;
  }
  while (inet1_.stillExecuting()) {
    view_.processEvents();
    if (inet1_.stillExecuting()) inet1_.waitForWorker(kTransferPoll);
  }
  // The state handling enables the timer again; this walk carries on by itself, and a tick
  // after it ended would walk an exhausted list a second time.
  view_.setInstallTimerEnabled(false);
  openFolders_.clear();
}

}  // namespace zentro
