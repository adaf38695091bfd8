// The portable half of the file operations: whole-file reads, staged files and the replacement
// that falls back to a staged copy across volumes. Compiled for both systems.
#include "platform/file_io.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <random>

#include "platform/file_path.h"

namespace zentro::platform {

namespace {

constexpr int kNameAttempts = 16;
constexpr std::string_view kStagedSuffix = ".zentro-new";
constexpr std::size_t kStagedDigits = 16;

// A name stagedName() makes: anything, ".", 16 hex digits, ".zentro-new".
bool isStagedName(std::string_view name) {
  if (name.size() < kStagedDigits + kStagedSuffix.size() + 2 || !name.ends_with(kStagedSuffix)) {
    return false;
  }
  const std::string_view digits =
      name.substr(name.size() - kStagedSuffix.size() - kStagedDigits, kStagedDigits);
  for (char c : digits) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  }
  return name[name.size() - kStagedSuffix.size() - kStagedDigits - 1] == '.';
}

// The staged files of `target` that a killed run left beside it go before a new one is
// staged; those a live run holds stay.
void removeAbandonedBeside(const std::string& target) {
  const std::size_t cut = target.find_last_of("/\\");
  if (cut == std::string::npos || cut == 0) return;
  const std::string folder = target.substr(0, cut);
  const std::string prefix = target.substr(cut + 1) + ".";
  std::error_code ec;
  for (std::filesystem::directory_iterator it(pathFromUtf8(folder), ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string name = utf8FromPath(it->path().filename());
    if (name.size() == prefix.size() + kStagedDigits + kStagedSuffix.size() &&
        name.starts_with(prefix) && isStagedName(name)) {
      detail::removeAbandoned(folder + target[cut] + name);
    }
  }
}

// target + "." + 16 random hex digits + ".zentro-new": a fresh staged-file name.
std::string stagedName(const std::string& target) {
  static std::mt19937_64 generator{std::random_device{}()};
  static std::mutex generatorMutex;
  unsigned long long value = 0;
  {
    std::lock_guard lock(generatorMutex);
    value = generator();
  }
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", value);
  return target + "." + hex + std::string(kStagedSuffix);
}

}  // namespace

StagedFile::StagedFile(const std::string& target) : target_(target), handle_(detail::kNoFile) {
  removeAbandonedBeside(target);
  for (int i = 0; i < kNameAttempts && !target.empty(); ++i) {
    std::string candidate = stagedName(target);
    bool nameTaken = false;
    handle_ = detail::createExclusive(candidate, nameTaken);
    if (handle_ != detail::kNoFile) {
      path_ = std::move(candidate);
      return;
    }
    if (!nameTaken) break;
  }
  failed_ = true;
}

bool createNewFile(const std::string& path) {
  bool nameTaken = false;
  const std::intptr_t file = detail::createExclusive(path, nameTaken);
  return file != detail::kNoFile && detail::closeFile(file);
}

StagedFile::~StagedFile() {
  if (handle_ != detail::kNoFile) detail::closeFile(handle_);
  if (!path_.empty()) removeEntry(path_);
}

bool StagedFile::write(std::string_view bytes) {
  if (failed_) return false;
  if (!detail::writeAll(handle_, bytes.data(), bytes.size())) failed_ = true;
  return !failed_;
}

bool StagedFile::commit() {
  if (handle_ == detail::kNoFile) return false;
  if (failed_) return false;
  // Same folder, same volume: the move never copies onto the target.
  const bool moved = detail::commitStaged(handle_, path_, target_);
  handle_ = detail::kNoFile;
  if (!moved) {
    failed_ = true;
    return false;
  }
  path_.clear();
  return true;
}

std::optional<std::string> readWholeFile(const std::string& path, std::size_t maxBytes) {
  const ReadOnlyFile file(path, maxBytes);
  if (!file.isOpen()) return std::nullopt;
  // One byte more than expected shows a file that grew beyond the bound meanwhile; a short
  // read is the file's end.
  std::string bytes(static_cast<std::size_t>(file.size()) + 1, '\0');
  std::size_t have = 0;
  for (;;) {
    if (have == bytes.size()) {
      if (bytes.size() > maxBytes) return std::nullopt;
      bytes.resize(std::min(bytes.size() * 2, maxBytes + 1));
    }
    const std::size_t want = bytes.size() - have;
    const std::optional<std::size_t> got = file.readAt(have, bytes.data() + have, want);
    if (!got) return std::nullopt;
    have += *got;
    if (*got < want) break;
  }
  bytes.resize(have);
  return bytes;
}

ReadOnlyFile::~ReadOnlyFile() {
  if (isOpen()) detail::closeFile(handle_);
}

bool ReadOnlyFile::isOpen() const { return handle_ != detail::kNoFile; }

bool replaceFile(const std::string& source, const std::string& target) {
  switch (detail::moveWithinVolume(source, target)) {
    case detail::MoveOutcome::kMoved: return true;
    case detail::MoveOutcome::kFailed: return false;
    case detail::MoveOutcome::kOtherVolume: break;
  }
  StagedFile staged(target);
  if (!staged.copyFrom(source) || !staged.commit()) return false;
  removeEntry(source);
  return true;
}

}  // namespace zentro::platform
