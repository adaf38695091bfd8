#include "tools/refservice/http_listener.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstring>
#include <stdexcept>

namespace zentro::refservice {
namespace {

thread_local ConnectionControl* tlsConnection = nullptr;

constexpr int kPollSliceMs = 100;     // how often an idle connection looks for stop()
constexpr int kIoTimeoutMs = 10000;   // a peer silent this long mid-request is dropped
constexpr std::string_view kPlain404 = "HTTP/1.1 404 Not Found\r\n";
constexpr std::string_view kObject404 = "HTTP/1.1 404 Object Not Found\r\n";

std::string openSslError() {
  const unsigned long e = ERR_get_error();
  if (e == 0) return "unknown TLS error";
  char buf[256];
  ERR_error_string_n(e, buf, sizeof buf);
  return buf;
}

void addressOf(int sock, bool peer, std::string& ip, int& port) {
  sockaddr_storage ss{};
  socklen_t len = sizeof ss;
  const int r = peer ? getpeername(sock, reinterpret_cast<sockaddr*>(&ss), &len)
                     : getsockname(sock, reinterpret_cast<sockaddr*>(&ss), &len);
  if (r != 0 || ss.ss_family != AF_INET) return;
  const auto* in = reinterpret_cast<const sockaddr_in*>(&ss);
  char buf[INET_ADDRSTRLEN];
  inet_ntop(AF_INET, &in->sin_addr, buf, sizeof buf);
  ip = buf;
  port = ntohs(in->sin_port);
}

// A connection as httplib's request processing sees it: plain socket or TLS session.
class ConnectionStream : public httplib::Stream {
 public:
  ConnectionStream(int sock, SSL* ssl, const ConnectionControl& control)
      : sock_(sock), ssl_(ssl), control_(control) {}

  bool is_readable() const override { return pending() || waitFor(POLLIN, kIoTimeoutMs); }
  bool is_writable() const override { return waitFor(POLLOUT, kIoTimeoutMs); }

  ssize_t read(char* ptr, size_t size) override {
    if (!is_readable()) return -1;
    if (!ssl_) return ::recv(sock_, ptr, size, 0);
    const int r = SSL_read(ssl_, ptr, static_cast<int>(std::min<size_t>(size, 1 << 30)));
    if (r > 0) return r;
    return SSL_get_error(ssl_, r) == SSL_ERROR_ZERO_RETURN ? 0 : -1;
  }

  ssize_t write(const char* ptr, size_t size) override {
    if (control_.refuse) return -1;
    const std::string_view data(ptr, size);
    // The reason phrase the launcher recognises for a missing install file.
    if (data.substr(0, kPlain404.size()) == kPlain404) {
      std::string rewritten(kObject404);
      rewritten.append(data.substr(kPlain404.size()));
      if (!writeAll(rewritten.data(), rewritten.size())) return -1;
      return static_cast<ssize_t>(size);
    }
    return writeAll(ptr, size) ? static_cast<ssize_t>(size) : -1;
  }

  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    addressOf(sock_, true, ip, port);
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    addressOf(sock_, false, ip, port);
  }
  socket_t socket() const override { return sock_; }

  bool pending() const { return ssl_ && SSL_pending(ssl_) > 0; }
  bool waitFor(short events, int timeoutMs) const {
    pollfd p{sock_, events, 0};
    return ::poll(&p, 1, timeoutMs) > 0;
  }

 private:
  bool writeAll(const char* ptr, size_t size) {
    while (size > 0) {
      ssize_t n;
      if (ssl_) {
        const int r = SSL_write(ssl_, ptr, static_cast<int>(std::min<size_t>(size, 1 << 30)));
        n = r > 0 ? r : -1;
      } else {
        n = ::send(sock_, ptr, size, MSG_NOSIGNAL);
      }
      if (n <= 0) return false;
      ptr += n;
      size -= static_cast<size_t>(n);
    }
    return true;
  }

  int sock_;
  SSL* ssl_;
  const ConnectionControl& control_;
};

}  // namespace

ConnectionControl* currentConnection() { return tlsConnection; }

class Listener::Server : public httplib::Server {
 public:
  explicit Server(const TlsFiles* tls) {
    // Connections held open by keep-alive clients each occupy a worker.
    new_task_queue = [] { return new httplib::ThreadPool(16); };
    set_keep_alive_max_count(100000);
    set_keep_alive_timeout(5);
    // Requests are a few hundred bytes; a runaway client must not exhaust memory.
    set_payload_max_length(16u << 20);
    if (!tls) return;
    ctx_ = SSL_CTX_new(TLS_server_method());
    if (!ctx_) throw std::runtime_error("TLS: " + openSslError());
    SSL_CTX_set_mode(ctx_, SSL_MODE_AUTO_RETRY);
    if (SSL_CTX_use_certificate_chain_file(ctx_, tls->certFile.c_str()) != 1)
      fail("cannot load the certificate " + tls->certFile);
    if (SSL_CTX_use_PrivateKey_file(ctx_, tls->keyFile.c_str(), SSL_FILETYPE_PEM) != 1)
      fail("cannot load the key " + tls->keyFile);
    if (SSL_CTX_check_private_key(ctx_) != 1) fail("the key does not match the certificate");
  }
  ~Server() override {
    if (ctx_) SSL_CTX_free(ctx_);
  }

  // Releases a socket that was bound but never served (stop() only acts on a running server).
  void closeBound() {
    const socket_t s = svr_sock_.exchange(INVALID_SOCKET);
    if (s != INVALID_SOCKET) ::close(s);
  }

 private:
  [[noreturn]] void fail(const std::string& what) {
    const std::string detail = openSslError();
    SSL_CTX_free(ctx_);
    ctx_ = nullptr;
    throw std::runtime_error("TLS: " + what + ": " + detail);
  }

  bool stopped() const { return svr_sock_ == INVALID_SOCKET; }

  // Waits for the next request on a kept-alive connection; false when the client stays
  // silent past the keep-alive time or the listener stops.
  bool awaitRequest(const ConnectionStream& strm) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(keep_alive_timeout_sec_);
    while (!stopped()) {
      if (strm.pending() || strm.waitFor(POLLIN, kPollSliceMs)) return true;
      if (std::chrono::steady_clock::now() >= deadline) return false;
    }
    return false;
  }

  bool process_and_close_socket(socket_t sock) override {
    timeval tv{kIoTimeoutMs / 1000, 0};
    setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    setsockopt(sock, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    // Headers and body leave in separate writes; Nagle would hold the body back for the
    // client's delayed acknowledgement.
    const int one = 1;
    setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    SSL* ssl = nullptr;
    if (ctx_) {
      ssl = SSL_new(ctx_);
      if (!ssl || SSL_set_fd(ssl, sock) != 1 || SSL_accept(ssl) != 1) {
        if (ssl) SSL_free(ssl);
        ::shutdown(sock, SHUT_RDWR);
        ::close(sock);
        return false;
      }
    }
    ConnectionControl control;
    ConnectionStream strm(sock, ssl, control);
    bool ok = false;
    for (size_t left = keep_alive_max_count_; left > 0; --left) {
      if (!awaitRequest(strm)) break;
      control = ConnectionControl{};
      tlsConnection = &control;
      bool closed = false;
      ok = process_request(strm, left == 1, closed, {});
      tlsConnection = nullptr;
      if (!ok || closed || control.refuse) break;
    }
    if (ssl) {
      if (!control.refuse) SSL_shutdown(ssl);
      SSL_free(ssl);
    }
    ::shutdown(sock, SHUT_RDWR);
    ::close(sock);
    return ok;
  }

  SSL_CTX* ctx_ = nullptr;
};

Listener::Listener(const TlsFiles* tls) : server_(std::make_unique<Server>(tls)) {}

Listener::~Listener() { stop(); }

httplib::Server& Listener::routes() { return *server_; }

int Listener::bind(const std::string& address, int port) {
  if (port == 0) {
    const int p = server_->bind_to_any_port(address);
    if (p <= 0) throw std::runtime_error("cannot listen on " + address + " (any port)");
    return p;
  }
  if (!server_->bind_to_port(address, port))
    throw std::runtime_error("cannot listen on " + address + ":" + std::to_string(port) + " (" +
                             std::strerror(errno) + ")");
  return port;
}

void Listener::start() {
  auto ended = std::make_shared<std::atomic<bool>>(false);
  thread_ = std::thread([this, ended] {
    server_->listen_after_bind();
    *ended = true;
  });
  // stop() only acts on a running server, so do not return before it runs.
  while (!server_->is_running() && !*ended) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void Listener::stop() {
  if (thread_.joinable()) {
    server_->stop();
    thread_.join();
  } else {
    server_->closeBound();
  }
}

}  // namespace zentro::refservice
