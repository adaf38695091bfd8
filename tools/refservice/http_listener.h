#pragma once
// One loopback HTTP or HTTPS listener of the reference service, on cpp-httplib's routing.
// The connection handling is the service's own, for three things httplib cannot do:
// the status line "HTTP/1.1 404 Object Not Found" that the launcher looks for, closing a
// connection without any answer (fault injection), and TLS from a certificate file pair
// while keeping those two. Handlers run on the listener's worker threads.

#include <httplib.h>

#include <memory>
#include <string>
#include <thread>

namespace zentro::refservice {

// Per-request controls a handler may set; valid only inside a handler, on its thread.
struct ConnectionControl {
  bool refuse = false;  // write nothing and close the connection
};
ConnectionControl* currentConnection();

// Server certificate and key (PEM files) for HTTPS listeners.
struct TlsFiles {
  std::string certFile;
  std::string keyFile;
};

class Listener {
 public:
  // `tls` nullptr = plain HTTP. Throws std::runtime_error when the certificate or key
  // cannot be loaded.
  explicit Listener(const TlsFiles* tls);
  ~Listener();
  Listener(const Listener&) = delete;
  Listener& operator=(const Listener&) = delete;

  // Routing table; fill before start().
  httplib::Server& routes();

  // Binds `address`:`port` (0 = any free port) and returns the port; throws on failure.
  int bind(const std::string& address, int port);
  // Starts accepting on a thread of its own.
  void start();
  // Stops accepting, ends idle keep-alive connections and joins the threads.
  void stop();

 private:
  class Server;
  std::unique_ptr<Server> server_;
  std::thread thread_;
};

}  // namespace zentro::refservice
