#pragma once
// A davu-server running in the test's own event loop on a free loopback port,
// with its database in a temporary folder, and a plain socket client that
// sends wire bytes and collects what comes back.
#include <QTcpSocket>
#include <QTemporaryDir>

#include <memory>
#include <string>
#include <string_view>

#include "WireLiteral.h"
#include "server/DavuServer.h"

class ServerHarness {
 public:
  explicit ServerHarness(davu::server::ServerOptions options = {});
  davu::server::DavuServer& server() { return *server_; }
  davu::server::Database& db() { return server_->database(); }
  QString dir() const { return dir_.path(); }
  quint16 port() const { return server_->port(); }
  // Runs one SQL text directly on the server's database and returns its
  // rows as "a|b;c|d", for checks that do not go through the protocol.
  std::string query(const char* sql);

 private:
  QTemporaryDir dir_;
  std::unique_ptr<davu::server::DavuServer> server_;
};

// This process's resident memory (the in-process server's included), in KiB.
long ResidentKiB();

class WireClient {
 public:
  // `from`: the local address to connect from (127.0.0.2 and so on stand
  // for other machines); null for the system's choice.
  explicit WireClient(quint16 port, const QHostAddress& from = QHostAddress());
  bool connected() const;
  void send(std::string_view bytes);
  // Reads until everything received since the last take() contains
  // `marker`; returns that and starts afresh. Empty after the timeout.
  std::string waitFor(std::string_view marker, int timeoutMs = 5000);
  // send() then waitFor().
  std::string exchange(std::string_view request, std::string_view marker);
  // Sends a change that has no reply, then a version request as a barrier:
  // the server answers in order, so the change has been handled (and
  // committed) when the version reply arrives. Returns what came back
  // before the barrier's reply (empty when the change was accepted).
  std::string change(std::string_view request);
  // Waits until the server closes the connection.
  bool waitForClose(int timeoutMs = 5000);
  // Bytes received and not yet taken by waitFor().
  const std::string& unread() const { return buffer_; }
  QTcpSocket& socket() { return socket_; }

 private:
  QTcpSocket socket_;
  std::string buffer_;
};
