// The portable half of the file operations: staged files and the replacement that falls back
// to a staged copy across volumes. Compiled for both systems.
#include "platform/file_io.h"

#include <cstdio>
#include <mutex>
#include <random>

namespace zentro::platform {

namespace {

constexpr int kNameAttempts = 16;

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
  return target + "." + hex + ".zentro-new";
}

}  // namespace

StagedFile::StagedFile(const std::string& target) : target_(target), handle_(detail::kNoFile) {
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
  const bool closed = detail::closeFile(handle_);
  handle_ = detail::kNoFile;
  // Same folder, same volume: the move never copies onto the target.
  if (failed_ || !closed ||
      detail::moveWithinVolume(path_, target_) != detail::MoveOutcome::kMoved) {
    failed_ = true;
    return false;
  }
  path_.clear();
  return true;
}

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
