#include "installer/inet_transfer.h"

#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/ascii_text.h"
#include "platform/file_io.h"
#include "platform/file_lock.h"
#include "platform/file_path.h"
#include "platform/paths.h"
#include "platform/run_log.h"
#include "remote/text_case.h"
#include "remote/value.h"

namespace zentro {
namespace {

namespace fs = std::filesystem;

constexpr std::chrono::milliseconds kBackOff{250};  // doubled for the second retry
// The body arrives in the client's small pieces and is read back in 2048-byte chunks; a
// large stream buffer on each side turns those into few system calls.
constexpr std::size_t kSpoolBufferSize = 1 << 20;
constexpr std::string_view kSpoolPrefix = "~zentro-spool-";
constexpr std::string_view kSpoolSuffix = ".tmp";
// Beside each spool while it exists: its name + this, locked by the run that owns it.
constexpr std::string_view kLockSuffix = ".lock";

// "Name: value" lines (CR LF, or LF alone) into a header list; lines without a colon are
// dropped because no server could make sense of them.
platform::HeaderList parseRequestHeaders(const std::string& text) {
  platform::HeaderList headers;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::size_t colon = line.find(':');
    if (colon != std::string::npos && colon > 0) {
      std::string value = line.substr(colon + 1);
      headers.emplace_back(platform::trim(std::string_view(line).substr(0, colon)),
                           platform::trim(value));
    }
    start = end + 1;
  }
  return headers;
}

// Watches the bytes of one attempt: stalled once `limits.stallBytes` did not arrive within a
// whole `limits.stallWindow`. Samples are kept coarse (a 64th of the window) so a fast
// transfer does not pile them up.
class StallWatch {
 public:
  using Clock = std::chrono::steady_clock;
  explicit StallWatch(const TransferLimits& limits) : limits_(limits) {
    samples_.push_back({Clock::now(), 0});
  }
  // Adds `received` bytes (the attempt's total so far); false once the transfer has stalled.
  bool add(long long received) {
    const Clock::time_point now = Clock::now();
    const auto spacing = limits_.stallWindow / 64;
    if (samples_.size() < 2 || now - samples_.back().at >= spacing) {
      samples_.push_back({now, received});
    } else {
      samples_.back().bytes = received;
    }
    // The oldest sample kept is the last one at or before the window's start.
    while (samples_.size() > 2 && samples_[1].at <= now - limits_.stallWindow) {
      samples_.pop_front();
    }
    const Sample& start = samples_.front();
    return now - start.at < limits_.stallWindow || received - start.bytes >= limits_.stallBytes;
  }

 private:
  struct Sample {
    Clock::time_point at;
    long long bytes;
  };
  TransferLimits limits_;
  std::deque<Sample> samples_;
};

std::string stallText(const TransferLimits& limits) {
  const auto ms = limits.stallWindow.count();
  return "stalled: fewer than " + std::to_string(limits.stallBytes) + " bytes in " +
         (ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms");
}

std::string uniqueSpoolName() {
  static std::mt19937_64 generator{std::random_device{}()};
  static std::mutex generatorMutex;
  std::lock_guard lock(generatorMutex);
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(generator()));
  return std::string(kSpoolPrefix) + hex + std::string(kSpoolSuffix);
}

}  // namespace

struct InetTransfer::Shared {
  // Window thread only.
  bool alive = true;
  bool executing = false;
  unsigned long generation = 0;
  StateHandler handler;
  std::string spoolPath;  // the worker writes it until done; "" when there is none
  // Held from before the spool exists until it is removed: tells other runs it is alive.
  std::unique_ptr<platform::HeldFileLock> spoolLock;
  std::vector<char> readerBuffer;  // the reader's stream buffer (outlives it), made on first use
  std::ifstream reader;
  bool readerOpen = false;
  bool readerDone = false;  // the whole body has been read; the reader is closed again

  void removeSpool() {
    if (readerOpen) {
      reader.close();
      readerOpen = false;
    }
    readerDone = false;
    if (!spoolPath.empty()) {
      std::error_code ec;
      fs::remove(platform::pathFromUtf8(spoolPath), ec);
      spoolPath.clear();
    }
    spoolLock.reset();
  }

  // Between the worker and the window thread.
  std::mutex mutex;
  std::condition_variable delivered;  // the worker has finished (its outcome is about to post)
  std::condition_variable wake;       // cancels a retry back-off
  bool workerDone = false;
  std::atomic<bool> cancel{false};

  // The outcome, written by the worker before it posts and read by the window afterwards.
  platform::HttpResponse response;
  bool clean = false;
  std::string failure;
  long long bytes = 0;
};

std::string loggableUrl(const std::string& url) {
  std::size_t scheme = url.find("://");
  if (scheme == std::string::npos) return url;
  std::size_t hostStart = scheme + 3;
  std::size_t pathStart = url.find('/', hostStart);
  std::size_t at = url.rfind('@', pathStart == std::string::npos ? url.size() : pathStart);
  if (at == std::string::npos || at < hostStart) return url;
  return url.substr(0, hostStart) + "***" + url.substr(at);
}

InetTransfer::InetTransfer(View& view, std::string spoolFolder, ClientFactory makeClient,
                           TransferLimits limits)
    : view_(view),
      spoolFolder_(std::move(spoolFolder)),
      makeClient_(std::move(makeClient)),
      limits_(limits),
      shared_(std::make_shared<Shared>()) {}

InetTransfer::~InetTransfer() {
  shared_->alive = false;  // a state change still queued for the window is dropped
  cancel();
  finishWorker();
  shared_->removeSpool();
}

void InetTransfer::setStateHandler(StateHandler handler) { shared_->handler = std::move(handler); }

bool InetTransfer::stillExecuting() const { return shared_->executing; }

void InetTransfer::finishWorker() {
  if (worker_.joinable()) worker_.join();
}

bool InetTransfer::execute(const std::string& url, const std::string& operation,
                           const std::string& requestHeaders) {
  if (shared_->executing || url.empty()) return false;
  // A cancelled worker may still be unwinding; its spool goes with it.
  finishWorker();
  shared_->removeSpool();

  const unsigned long generation = ++shared_->generation;
  {
    std::lock_guard lock(shared_->mutex);
    shared_->workerDone = false;
    shared_->cancel = false;
    shared_->response = {};
    shared_->clean = false;
    shared_->failure.clear();
    shared_->bytes = 0;
  }
  url_ = url;
  request_ = {};
  request_.method = operation;
  request_.url = url;
  request_.headers = parseRequestHeaders(requestHeaders);
  // Large files over slow lines: no overall limit; the client applies a low-speed limit.
  request_.totalTimeoutMs = 0;

  const std::string folder = spoolFolder_.empty() ? platform::tempPath() : spoolFolder_;
  shared_->spoolPath = platform::joinPath(folder, uniqueSpoolName());
  // Without its lock the spool would look like one a killed run left; the download still runs.
  shared_->spoolLock =
      platform::holdNewFileLock(shared_->spoolPath + std::string(kLockSuffix));
  if (!shared_->spoolLock) {
    logLine(LogLevel::Warning, "no lock beside the spool file " + shared_->spoolPath);
  }

  shared_->executing = true;
  worker_ = std::thread(&InetTransfer::run, this, shared_, generation, shared_->spoolPath);
  return true;
}

// Worker thread. Reads only what execute prepared before starting it (request_, makeClient_,
// view_), which the window thread leaves alone until the worker is joined.
void InetTransfer::run(std::shared_ptr<Shared> shared, unsigned long generation,
                       std::string spoolPath) {
  platform::HttpResponse response;
  bool clean = false;
  std::string failure;
  long long bytes = 0;
  bool spoolFailed = false;

  std::vector<char> spoolBuffer(kSpoolBufferSize);
  std::ofstream spool;
  // Set before the first open; the stream keeps it across the reopenings of a retry.
  spool.rdbuf()->pubsetbuf(spoolBuffer.data(), static_cast<std::streamsize>(spoolBuffer.size()));
  std::unique_ptr<platform::HttpClient> client = makeClient_ ? makeClient_() : nullptr;
  if (!client) failure = "no HTTP client";

  std::optional<StallWatch> stall;
  bool stalled = false;
  auto sink = [&](const char* data, std::size_t size) {
    if (shared->cancel) return false;
    spool.write(data, static_cast<std::streamsize>(size));
    if (!spool) {
      spoolFailed = true;
      return false;
    }
    bytes += static_cast<long long>(size);
    // A server that trickles would hold the window on "downloading" for as long as it likes.
    if (!stall->add(bytes)) {
      stalled = true;
      return false;
    }
    return true;
  };

  // The spool is made new, never opened through a file or link someone placed at its name;
  // each attempt then starts it afresh.
  if (client && !platform::createNewFile(spoolPath)) {
    failure = "the spool file cannot be created in the temp folder";
    client.reset();
  }
  for (int attempt = 1; client && attempt <= kAttempts; ++attempt) {
    bytes = 0;
    stall.emplace(limits_);
    stalled = false;
    spool.close();
    // The first attempt writes into the new, empty spool as it is: truncating a file, even an
    // empty one, makes some file systems flush the whole download to disk when it is closed.
    // A retry starts the spool afresh.
    const auto mode = attempt == 1 ? std::ios::binary | std::ios::in | std::ios::out
                                   : std::ios::binary | std::ios::out | std::ios::trunc;
    spool.open(platform::pathFromUtf8(spoolPath), mode);
    if (!spool) {
      failure = "the spool file cannot be created in the temp folder";
      break;
    }
    try {
      response = client->sendToSink(request_, sink);
      clean = true;
      break;
    } catch (const platform::HttpError& e) {
      failure = spoolFailed ? "the spool file cannot be written"
                : stalled   ? stallText(limits_)
                            : e.what();
      // A connection closed or reset before the answer counts as transient like a refused one;
      // a stall (too few bytes, or none for the client's own limit) is retried even after
      // some bytes arrived.
      stalled = stalled || e.kind() == platform::HttpError::Kind::Timeout;
      const bool transient = e.transient() || e.kind() == platform::HttpError::Kind::Cut;
      if (shared->cancel || spoolFailed || !(transient || stalled) || (bytes > 0 && !stalled) ||
          attempt == kAttempts) {
        break;
      }
      logLine(LogLevel::Warning, "download of " + loggableUrl(request_.url) + " failed (" +
                                     failure + "), retry " + std::to_string(attempt));
      std::unique_lock lock(shared->mutex);
      if (shared->wake.wait_for(lock, kBackOff * attempt, [&] { return shared->cancel.load(); })) {
        break;
      }
    } catch (const std::exception& e) {
      failure = e.what();
      break;
    }
  }
  spool.close();
  if (clean && !spool) {
    clean = false;
    failure = "the spool file cannot be written";
  }

  {
    // Done before the state change is posted: the handler reads the body the moment it runs.
    std::lock_guard lock(shared->mutex);
    shared->response = std::move(response);
    shared->clean = clean;
    shared->failure = failure;
    shared->bytes = bytes;
    shared->workerDone = true;
  }
  shared->delivered.notify_all();
  if (shared->cancel) return;
  const int state = clean ? kResponseCompleted : kRequestFailed;
  view_.postToUi([shared, generation, state] {
    // Window thread. The transfer may be gone or cancelled meanwhile.
    if (!shared->alive || shared->generation != generation || !shared->executing) return;
    // The body was the handler's to take; its spool goes when the handler returns.
    struct EndExecuting {
      Shared& s;
      ~EndExecuting() {
        s.executing = false;
        s.removeSpool();
      }
    } endExecuting{*shared};
    if (shared->handler) shared->handler(state);
  });
}

void InetTransfer::waitForWorker(std::chrono::milliseconds timeout) {
  if (!shared_->executing) return;
  std::unique_lock lock(shared_->mutex);
  shared_->delivered.wait_for(lock, timeout, [&] { return shared_->workerDone; });
}

void InetTransfer::cancel() {
  if (!shared_->executing) return;
  shared_->executing = false;
  ++shared_->generation;  // drops a state change already queued
  {
    std::lock_guard lock(shared_->mutex);
    shared_->cancel = true;
  }
  shared_->wake.notify_all();
}

std::string InetTransfer::getHeader() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->response.headerText;
}

std::string InetTransfer::getHeader(const std::string& name) const {
  std::lock_guard lock(shared_->mutex);
  for (const auto& [key, value] : shared_->response.headers) {
    if (equalsNoCase(key, name)) return value;
  }
  return {};
}

std::string InetTransfer::getChunk(std::size_t size) {
  {
    std::lock_guard lock(shared_->mutex);
    // The spool belongs to the worker until it has finished.
    if (!shared_->workerDone || !shared_->clean) return {};
  }
  Shared& s = *shared_;
  if (s.readerDone) return {};
  if (!s.readerOpen) {
    if (s.spoolPath.empty()) return {};
    if (s.readerBuffer.empty()) s.readerBuffer.resize(kSpoolBufferSize);
    s.reader.rdbuf()->pubsetbuf(s.readerBuffer.data(),
                                static_cast<std::streamsize>(s.readerBuffer.size()));
    s.reader.open(platform::pathFromUtf8(s.spoolPath), std::ios::binary);
    if (!s.reader) return {};
    s.readerOpen = true;
  }
  std::string chunk(size, '\0');
  s.reader.read(chunk.data(), static_cast<std::streamsize>(size));
  chunk.resize(static_cast<std::size_t>(s.reader.gcount()));
  if (chunk.size() < size) {
    // Closed at the end, so the handler can move or replace the file it was read from (Windows
    // refuses that while a reader holds it open).
    s.reader.close();
    s.readerOpen = false;
    s.readerDone = true;
  }
  return chunk;
}

bool InetTransfer::keepBodyAs(const std::string& path) {
  {
    std::lock_guard lock(shared_->mutex);
    if (!shared_->workerDone || !shared_->clean) return false;
  }
  Shared& s = *shared_;
  // An open reader would keep the file from moving on Windows, and has a position to keep.
  if (s.readerOpen || s.readerDone || s.spoolPath.empty() || path.empty() || !s.executing) {
    return false;
  }
  std::error_code ec;
  fs::remove(platform::pathFromUtf8(path), ec);
  fs::rename(platform::pathFromUtf8(s.spoolPath), platform::pathFromUtf8(path), ec);
  if (ec) return false;
  s.spoolPath = path;
  return true;
}

int InetTransfer::responseCode() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->response.status;
}

long long InetTransfer::bodyBytes() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->bytes;
}

bool InetTransfer::endedCleanly() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->clean;
}

std::string InetTransfer::failureText() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->failure;
}

void removeStaleSpools(const std::string& folder) {
  std::error_code ec;
  fs::directory_iterator it(platform::pathFromUtf8(folder), ec);
  if (ec) return;
  std::vector<std::string> spools;
  std::vector<std::string> locks;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    const std::string name = platform::utf8FromPath(it->path().filename());
    if (!name.starts_with(kSpoolPrefix)) continue;
    const std::string path = platform::joinPath(folder, name);
    if (name.ends_with(kSpoolSuffix)) spools.push_back(path);
    if (name.ends_with(std::string(kSpoolSuffix) + std::string(kLockSuffix))) {
      locks.push_back(path);
    }
  }
  for (const std::string& spool : spools) {
    // The owner takes its lock before the spool exists and holds it until the spool is gone.
    if (platform::fileInUse(spool + std::string(kLockSuffix))) continue;
    if (fs::remove(platform::pathFromUtf8(spool), ec)) {
      logLine(LogLevel::Info, "removed the spool file of an ended run: " + spool);
    }
  }
  for (const std::string& lock : locks) platform::removeUnlessInUse(lock);
}

}  // namespace zentro
