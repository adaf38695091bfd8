#include "installer/download_handler.h"

#include <cctype>
#include <optional>

#include "installer/install_downloaded.h"
#include "installer/install_texts.h"
#include "installer/safe_names.h"
#include "platform/ascii_text.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "platform/run_log.h"
#include "platform/sha256.h"
#include "remote/value.h"

namespace zentro {
namespace {

namespace texts = install_texts;

constexpr int kNotFound = 404;
constexpr std::size_t kSaveBufferSize = 1 << 20;

// Nearest whole kilobyte, halves to the even neighbour, in exact integer arithmetic.
long long roundedKilobytes(long long bytes) {
  long long q = bytes / 1024;
  long long r = bytes % 1024;
  if (r > 512 || (r == 512 && (q % 2) != 0)) ++q;
  return q;
}

// The header's value as a whole number; nullopt when absent or not a whole number.
std::optional<long long> wholeNumber(const std::string& text) {
  const std::string_view t = platform::trim(text);
  if (t.empty() || t.size() > 18) return std::nullopt;
  long long n = 0;
  for (char c : t) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
    n = n * 10 + (c - '0');
  }
  return n;
}

}  // namespace

std::string formatByteProgress(long long received, long long expected) {
  return std::to_string(roundedKilobytes(received)) + std::string(texts::kBytesOf) +
         std::to_string(roundedKilobytes(expected)) + std::string(texts::kBytesK);
}

std::string downloadPath(const std::string& tempFolder, const std::string& fileName,
                         bool compressed) {
  std::string path = platform::joinPath(tempFolder, fileName);
  if (compressed) path += texts::kCompressedSuffix;
  return path;
}

DownloadHandler::DownloadHandler(View& view, const WorkingFolders& folders,
                                 InstallSession& session, InetTransfer& inet1)
    : view_(view), folders_(folders), session_(session), inet1_(inet1) {}

void DownloadHandler::CancelXfer() { inet1_.cancel(); }

void DownloadHandler::fail(const std::string& why) {
  session_.downloadFailed = true;
  logLine(LogLevel::Error, "download of " + session_.currentFileName + " from " +
                               loggableUrl(inet1_.url()) + " failed: " + why);
}

void DownloadHandler::Inet1_StateChanged(int state) {
  if (state == InetTransfer::kRequestFailed) {
    // A body that started and was then cut is a short download, dropped without a message like
    // any other short body; a request that got nothing back is reported.
    if (inet1_.bodyBytes() > 0) {
      fail("transfer cut after " + std::to_string(inet1_.bodyBytes()) + " bytes (" +
           inet1_.failureText() + ")");
      return;
    }
    fail(inet1_.failureText());
    view_.messageBox(std::string(texts::kDownloadError) + inet1_.url(), Buttons::Ok, Icon::None,
                     std::nullopt);
    return;
  }
  if (state != InetTransfer::kResponseCompleted) return;
  responseCompleted();
  view_.setInstallTimerEnabled(true);
}

void DownloadHandler::responseCompleted() {
  const int status = inet1_.responseCode();
  if (status == kNotFound) {
    fail("the server does not have the file (status 404)");
    view_.messageBox(std::string(texts::kDownloadError) + inet1_.url() + std::string(texts::kCr) +
                         std::string(texts::kNotFoundOthers) + std::string(texts::kCr) +
                         std::string(texts::kNotFoundContact),
                     Buttons::Ok, Icon::None, std::nullopt);
    return;
  }
  if (status < 200 || status > 299) {
    fail("status " + std::to_string(status));
    view_.messageBox(std::string(texts::kDownloadError) + inet1_.url(), Buttons::Ok, Icon::None,
                     std::nullopt);
    return;
  }
  if (!isSafeFileName(session_.currentFileName)) {
    fail("the file name is not a bare file name; nothing written");
    return;
  }
  const std::string path =
      downloadPath(folders_.tempFolder, session_.currentFileName, session_.currentIsCompressed);
  if (saveBody(path)) InstallDownloadedFile(view_, folders_, session_);
}

bool DownloadHandler::saveBody(const std::string& downloadPath) {
  const std::string header = inet1_.getHeader(std::string(texts::kContentLength));
  std::optional<long long> expected;
  if (!header.empty()) {
    expected = wholeNumber(header);
    if (!expected) {
      fail("unusable Content-length \"" + header + "\"");
      return false;
    }
  }
  // Without a Content-length the transfer's own count stands in for the bar and the label.
  const long long shownTotal = expected ? *expected : inet1_.bodyBytes();

  const std::string partPath = downloadPath + std::string(texts::kPartSuffix);
  // The transfer has already written the body to a file in the temp folder. Taken over under
  // the part name, it needs no second copy: writing a large file twice costs as much as
  // receiving it. The chunk walk below then only reads it back (counting and hashing it).
  // Where it cannot be taken over, the walk writes the copy itself, into a file created
  // exclusively beside the download's name.
  const bool bodyInPlace = inet1_.keepBodyAs(partPath);
  std::optional<platform::StagedFile> copy;
  if (!bodyInPlace) {
    copy.emplace(downloadPath);
    if (!copy->ok()) {
      fail("cannot create a file beside " + downloadPath);
      return false;
    }
  }
  // Hashing costs time on large files; only entries that name a digest pay for it.
  const bool verifyDigest = !platform::trim(session_.currentSha256).empty();
  platform::Sha256 hash;
  std::string chunk = inet1_.getChunk(texts::kChunkSize);
  long long received = static_cast<long long>(chunk.size());
  std::string pending;  // 2048-byte chunks gathered into few large writes
  for (;;) {
    if (copy) {
      pending += chunk;
      if (pending.size() >= kSaveBufferSize || chunk.size() < 2) {
        copy->write(pending);
        pending.clear();
      }
    }
    if (verifyDigest) hash.update(chunk);
    if (chunk.size() < 2) break;
    if (shownTotal > 0) {
      view_.setBarWidth(Bar::Current, static_cast<double>(received) /
                                          static_cast<double>(shownTotal) * kCurrentBarWidth);
    }
    view_.setLabel(Label::Bytes, formatByteProgress(received, shownTotal));
    view_.processEvents();
    chunk = inet1_.getChunk(texts::kChunkSize);
    received += static_cast<long long>(chunk.size());
  }
  std::string why;
  if (copy && !copy->ok()) {
    why = "cannot write " + copy->path();
  } else if (received != inet1_.bodyBytes()) {
    why = "read " + std::to_string(received) + " of " + std::to_string(inet1_.bodyBytes()) +
          " received bytes back";
  } else if (expected && received != *expected) {
    why = "received " + std::to_string(received) + " bytes, Content-length " +
          std::to_string(*expected);
  } else if (!expected && !inet1_.endedCleanly()) {
    why = "no Content-length and the transfer did not end cleanly";
  } else if (verifyDigest && !platform::digestMatches(hash.finish(), session_.currentSha256)) {
    why = "SHA-256 does not match";
  }
  if (!why.empty()) {
    if (bodyInPlace) platform::removeEntry(partPath);
    fail(why);
    return false;
  }
  if (copy ? !copy->commit() : !platform::replaceFile(partPath, downloadPath)) {
    if (bodyInPlace) platform::removeEntry(partPath);
    fail("cannot rename the download into " + downloadPath);
    return false;
  }
  return true;
}

}  // namespace zentro
