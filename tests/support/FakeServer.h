#pragma once
// An in-process server on a free loopback port that a test scripts: it
// records every byte a client sends and sends what the test tells it, chunk
// by chunk, on the connection it accepted last.
#include <QByteArray>
#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <functional>
#include <string>
#include <string_view>

namespace davu {
class ClientSocket;
}  // namespace davu

class FakeServer : public QObject {
  Q_OBJECT

 public:
  explicit FakeServer(QObject* parent = nullptr);
  ~FakeServer() override;

  quint16 port() const;
  bool hasConnection() const { return peer_ != nullptr; }
  // Waits (event loop running) until a client has connected.
  bool waitForConnection(int timeoutMs = 5000);
  // Waits until everything received so far contains `needle`.
  bool waitForReceived(std::string_view needle, int timeoutMs = 5000);
  // Everything received on the current connection, as wire bytes.
  std::string received() const { return received_; }
  void clearReceived() { received_.clear(); }
  // Number of non-overlapping occurrences of `needle` in received().
  int countReceived(std::string_view needle) const;

  // Sends one chunk and flushes it, so that chunks arrive as separate reads
  // as far as the loopback allows.
  void send(std::string_view bytes);
  // Connects `socket` to this server; true when both ends see the connection.
  bool connectClient(davu::ClientSocket& socket);
  // Everything `socket` has sent since the last call, in order. A marker sent
  // behind it proves that nothing else is still on its way, so a missing
  // request shows as missing rather than as a time-out.
  std::string takeSent(davu::ClientSocket& socket);

  // Closes the current connection from the server side.
  void dropConnection();
  // Stops listening; later connects are refused.
  void stopListening();

  // Called for every chunk received; may answer with send().
  std::function<void(const std::string& chunk)> onReceive;

 signals:
  void clientConnected();

 private:
  QTcpServer server_;
  QTcpSocket* peer_ = nullptr;
  std::string received_;
};

// Runs the event loop until `done()` or the time runs out; true if done.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 5000);
