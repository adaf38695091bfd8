#include "tests/support/loopback_http.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <list>
#include <mutex>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <thread>

#include "platform/ascii_text.h"

namespace zentro::testing {
namespace {

// The differences between Winsock and BSD sockets, kept to this block.
#ifdef _WIN32
using Socket = SOCKET;
constexpr Socket kNoSocket = INVALID_SOCKET;
void closeSocket(Socket s) { closesocket(s); }
void stopSocket(Socket s) { shutdown(s, SD_BOTH); }
constexpr int kSendFlags = 0;
void setNonBlocking(Socket s) {
  u_long on = 1;
  ioctlsocket(s, FIONBIO, &on);
}
bool wouldBlock() { return WSAGetLastError() == WSAEWOULDBLOCK; }
using AddressLength = int;
struct SocketLibrary {
  SocketLibrary() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  }
};
void useSockets() { static SocketLibrary library; }
#else
using Socket = int;
constexpr Socket kNoSocket = -1;
void closeSocket(Socket s) { ::close(s); }
void stopSocket(Socket s) { ::shutdown(s, SHUT_RDWR); }
constexpr int kSendFlags = MSG_NOSIGNAL;  // a client that hung up is no reason to die
void setNonBlocking(Socket s) { ::fcntl(s, F_SETFL, ::fcntl(s, F_GETFL) | O_NONBLOCK); }
bool wouldBlock() { return errno == EAGAIN || errno == EWOULDBLOCK; }
using AddressLength = socklen_t;
void useSockets() {}
#endif

// How long a kept-alive connection may stay silent, and the bound on any one read or write.
constexpr std::chrono::seconds kIdleLimit{30};
// How often a waiting connection looks whether the server stops (closing or shutting down a
// socket does not wake a read or write blocked on it everywhere).
constexpr long kStopCheckMicroseconds = 50000;

sockaddr_in loopback(int port, const char* host = "127.0.0.1") {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  inet_pton(AF_INET, host, &addr.sin_addr);
  addr.sin_port = htons(static_cast<unsigned short>(port));
  return addr;
}

int localPort(Socket s) {
  sockaddr_in addr{};
  AddressLength len = sizeof addr;
  getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
  return ntohs(addr.sin_port);
}

// One connected socket (non-blocking), read and written with every wait bounded by `limit` and
// given up early once `stop` is set.
class Channel {
 public:
  Channel(Socket s, std::chrono::seconds limit, const std::atomic<bool>* stop)
      : s_(s), limit_(limit), stop_(stop) {
    setNonBlocking(s);
  }

  bool send(std::string_view data) {
    while (!data.empty()) {
      const auto piece = static_cast<int>(std::min<std::size_t>(data.size(), 1 << 16));
      const int n = ::send(s_, data.data(), piece, kSendFlags);
      if (n > 0) {
        data.remove_prefix(static_cast<std::size_t>(n));
      } else if (n < 0 && wouldBlock()) {
        if (!wait(true)) return false;
      } else {
        return false;
      }
    }
    return true;
  }

  // Appends what one read brings to `buffer`; false when nothing more comes.
  bool receive(std::string& buffer) {
    char chunk[16384];
    for (;;) {
      const int n = static_cast<int>(::recv(s_, chunk, sizeof chunk, 0));
      if (n > 0) buffer.append(chunk, static_cast<std::size_t>(n));
      if (n >= 0 || !wouldBlock()) return n > 0;
      if (!wait(false)) return false;
    }
  }

  bool stopped() const { return stop_ && *stop_; }

 private:
  // Waits until the socket can be written (or read); false on stop or when `limit` passed.
  bool wait(bool forWrite) {
    const auto deadline = std::chrono::steady_clock::now() + limit_;
    for (;;) {
      if (stopped()) return false;
      fd_set set;
      FD_ZERO(&set);
      FD_SET(s_, &set);
      timeval tick{0, kStopCheckMicroseconds};
      const int ready = ::select(static_cast<int>(s_) + 1, forWrite ? nullptr : &set,
                                 forWrite ? &set : nullptr, nullptr, &tick);
      if (ready < 0) return false;
      if (ready > 0) return true;
      if (std::chrono::steady_clock::now() > deadline) return false;
    }
  }

  Socket s_;
  std::chrono::seconds limit_;
  const std::atomic<bool>* stop_;
};

// Header lines ("Name: value") after the first line of a head.
HttpHeaders parseHeaders(const std::string& head, std::string& firstLine) {
  static const std::regex kHeader("\r\n([^:\r\n]+): *([^\r\n]*)");
  HttpHeaders headers;
  firstLine = head.substr(0, head.find("\r\n"));
  for (std::sregex_iterator it(head.begin(), head.end(), kHeader), end; it != end; ++it) {
    headers.emplace((*it)[1], (*it)[2]);
  }
  return headers;
}

std::string headerOf(const HttpHeaders& headers, const std::string& name) {
  auto it = headers.find(name);
  return it == headers.end() ? std::string() : it->second;
}

// Takes one message (a head, then a body of its Content-Length) off the front of `buffer`,
// reading more from `c` as needed; false when the peer stopped first (`firstLine` stays empty
// when not even the head came, `body` holds what came of it).
bool receiveMessage(Channel& c, std::string& buffer, std::string& firstLine, HttpHeaders& headers,
                    std::string& body) {
  std::size_t headSize;
  while ((headSize = buffer.find("\r\n\r\n")) == std::string::npos) {
    if (buffer.size() > (1 << 20) || !c.receive(buffer)) return false;
  }
  headSize += 4;
  headers = parseHeaders(buffer.substr(0, headSize), firstLine);
  const std::size_t length = std::strtoul(headerOf(headers, "Content-Length").c_str(), nullptr, 10);
  bool whole = true;
  while (whole && buffer.size() < headSize + length) whole = c.receive(buffer);
  body = buffer.substr(headSize, length);
  buffer.erase(0, headSize + length);
  return whole;
}

const char* reason(int status) {
  static const std::map<int, const char*> kReasons = {
      {200, "OK"}, {400, "Bad Request"}, {404, "Not Found"}, {500, "Internal Server Error"},
      {503, "Service Unavailable"}};
  const auto it = kReasons.find(status);
  return it == kReasons.end() ? "Status" : it->second;
}

// Sends `reply`; false when the connection must close afterwards.
bool answer(Channel& c, const HttpReply& reply) {
  if (reply.hangUp) return false;
  const std::uint64_t size = reply.stream ? reply.streamSize : reply.body.size();
  std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " " + reason(reply.status) +
                     "\r\nContent-Type: " + reply.contentType + "\r\n";
  head += reply.chunked ? "Transfer-Encoding: chunked\r\n\r\n"
                        : "Content-Length: " + std::to_string(size) + "\r\n\r\n";
  if (!c.send(head)) return false;
  for (std::uint64_t at = 0; at < size;) {
    std::string piece;
    if (reply.stream) {
      piece = reply.stream(at);
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(reply.trickleMs));
      piece = reply.body.substr(at, reply.trickleMs > 0 ? 16 : reply.chunked ? 1000 : size - at);
    }
    piece.resize(std::min<std::uint64_t>(piece.size(), size - at));
    if (piece.empty() || c.stopped()) return false;
    at += piece.size();
    if (reply.chunked) {
      char chunkSize[16];
      std::snprintf(chunkSize, sizeof chunkSize, "%zx\r\n", piece.size());
      piece = chunkSize + piece + "\r\n";
    }
    if (!c.send(piece)) return false;
  }
  return !reply.chunked || c.send("0\r\n\r\n");
}

}  // namespace

bool NoCaseLess::operator()(const std::string& a, const std::string& b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
  });
}

std::string HttpRequest::header(const std::string& name) const { return headerOf(headers, name); }

class LoopbackHttp::Impl {
 public:
  explicit Impl(Handler handler) : handler_(std::move(handler)) {
    useSockets();
    listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr = loopback(0);
    if (listener_ == kNoSocket ||
        ::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listener_, 16) != 0) {
      if (listener_ != kNoSocket) closeSocket(listener_);
      throw std::runtime_error("the loopback server cannot listen");
    }
    port_ = localPort(listener_);
    acceptor_ = std::thread([this] { acceptLoop(); });
  }

  ~Impl() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
      for (Socket s : open_) stopSocket(s);
    }
    stopSocket(listener_);
    closeSocket(listener_);
    acceptor_.join();
    for (auto& t : workers_) t.join();
  }

  int port() const { return port_; }

 private:
  void acceptLoop() {
    for (;;) {
      sockaddr_in peer{};
      AddressLength len = sizeof peer;
      const Socket s = ::accept(listener_, reinterpret_cast<sockaddr*>(&peer), &len);
      if (s == kNoSocket) return;
      std::lock_guard lock(mutex_);
      if (stopping_) {
        closeSocket(s);
        return;
      }
      open_.push_back(s);
      workers_.emplace_back([this, s, remote = int(ntohs(peer.sin_port))] {
        serve(s, remote);
        std::lock_guard inner(mutex_);
        open_.remove(s);
        closeSocket(s);
      });
    }
  }

  void serve(Socket s, int remotePort) {
    Channel c(s, kIdleLimit, &stopping_);
    std::string buffer;
    for (;;) {
      HttpRequest request;
      std::string firstLine;
      if (!receiveMessage(c, buffer, firstLine, request.headers, request.body)) return;
      request.remotePort = remotePort;
      std::istringstream(firstLine) >> request.method >> request.target;
      if (!answer(c, handler_(request))) return;
      if (platform::equalsNoCaseAscii(request.header("Connection"), "close")) return;
    }
  }

  Handler handler_;
  Socket listener_ = kNoSocket;
  int port_ = 0;
  std::thread acceptor_;
  std::mutex mutex_;
  std::atomic<bool> stopping_{false};
  std::list<Socket> open_;
  std::list<std::thread> workers_;
};

LoopbackHttp::LoopbackHttp(Handler handler) : impl_(std::make_unique<Impl>(std::move(handler))) {}
LoopbackHttp::~LoopbackHttp() = default;
int LoopbackHttp::port() const { return impl_->port(); }
std::string LoopbackHttp::url() const { return "http://127.0.0.1:" + std::to_string(port()); }

HttpAnswer httpRequest(int port, const std::string& method, const std::string& target,
                       const std::string& body, std::chrono::seconds timeout,
                       const std::string& host, const HttpHeaders& headers) {
  useSockets();
  HttpAnswer result;
  const Socket s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == kNoSocket) return result;
  sockaddr_in addr = loopback(port, host.c_str());
  std::string request = method + " " + target + " HTTP/1.1\r\nHost: " + host +
                        "\r\nConnection: close\r\nContent-Length: " +
                        std::to_string(body.size()) + "\r\n";
  for (const auto& [name, value] : headers) request += name + ": " + value + "\r\n";
  std::string buffer;
  std::string statusLine;
  // Connected first (loopback answers at once), then waited on like the server's connections.
  const bool connected = ::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  Channel c(s, timeout, nullptr);
  if (connected && c.send(request + "\r\n" + body)) {
    result.complete = receiveMessage(c, buffer, statusLine, result.headers, result.body);
  }
  const std::size_t sp = statusLine.find(' ');
  result.status = sp == std::string::npos ? 0 : std::atoi(statusLine.c_str() + sp + 1);
  closeSocket(s);
  return result;
}

int unusedLoopbackPort() {
  useSockets();
  const Socket s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in addr = loopback(0);
  ::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  const int port = localPort(s);
  closeSocket(s);
  return port;
}

}  // namespace zentro::testing
