#pragma once
// The non-blocking TCP client that the main connection and the update
// connection use. It reports its progress as events on the UI thread:
//
//   open()         returns at once; later connected() or errorOccurred()
//   close()        disconnected() is emitted before close() returns (if a
//                  connection or attempt existed)
//   active()       true from connected() until disconnected()
//   readReady()    bytes have arrived; the handler takes them with takeBytes()
//                  or readInto(), straight off the Qt socket, before it does
//                  anything that may wait. The notice is delivered from the
//                  event loop, outside Qt's own readyRead, so a handler that
//                  waits in a nested event loop is entered again for bytes
//                  that arrive meanwhile.
//   errorOccurred(code)  the operating system's error code (111 refused, ...)
//
// A read handler is never entered again from inside a modal message that it
// opened (ModalMessageScope): bytes that arrive meanwhile stay with the
// socket, at most kHeldReadLimit of them in memory (the peer is then held
// back by TCP), and are handled in order once the message is closed; a
// disconnect waits behind them. Nested waits that are not messages (a
// settings read inside a handler) still see every reply.
//
// A failed name lookup gives errorOccurred then disconnected; a refused,
// unreachable or timed-out connection gives errorOccurred only. A peer that
// closes or resets an established connection gives disconnected.
#include <QAbstractSocket>
#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <string>
#include <string_view>
#include <vector>

class QTcpSocket;

namespace davu {

class ClientSocket : public QObject {
  Q_OBJECT

 public:
  explicit ClientSocket(QObject* parent = nullptr);
  ~ClientSocket() override;

  // When a host name is set it is resolved and takes precedence; with an
  // empty host name the address is used.
  void setHost(const QString& host);
  QString host() const;
  void setAddress(const QString& address);
  QString address() const;
  void setPort(int port);
  int port() const;

  void open();
  void close();
  bool active() const;
  // Changes at every open() and close(): a wait that began on one
  // connection can tell that it has gone, even when another is up by now.
  quint64 connectionNumber() const { return generation_; }

  // Hands the whole byte string to the socket; the result is not looked at.
  void sendBytes(std::string_view bytes);
  // Encodes to Windows-1252 and sends.
  void sendText(const QString& text);

  // All bytes that have arrived and not been taken yet.
  std::string takeBytes();
  // Moves up to `most` of them into `to`, the receiver's own buffer, with no
  // copy in between; returns how many.
  std::size_t readInto(char* to, std::size_t most);
  // How many have arrived and not been taken yet (at most kHeldReadLimit:
  // beyond that the peer is held back by TCP).
  std::size_t bytesWaiting() const;

  // The operating system's error code shown to users for a Qt socket error.
  // Qt reports several system errors as NetworkError; its error text tells
  // them apart.
  static int osErrorCode(int qtSocketError, const QString& qtErrorText = {});

  // What the Qt socket may hold while reads are held.
  static constexpr qint64 kHeldReadLimit = 4 * 1024 * 1024;

  // Holds the reads of every socket whose read handler is running, for as
  // long as the scope lives: made around every modal message.
  class ModalMessageScope {
   public:
    ModalMessageScope();
    ~ModalMessageScope();
    ModalMessageScope(const ModalMessageScope&) = delete;
    ModalMessageScope& operator=(const ModalMessageScope&) = delete;

   private:
    std::vector<QPointer<ClientSocket>> held_;
  };

 signals:
  void connected();
  void disconnected();
  void readReady();
  void errorOccurred(int code);

 private:
  // Where the current attempt stands; the drawing is at the top of the .cpp.
  enum class State { Idle, Opening, Active };

  // The Qt socket's signals, as they arrive.
  void socketConnected();
  void socketReadyRead();
  void socketError(QAbstractSocket::SocketError error);
  void socketDisconnected();
  // The events they turn into, one turn of the event loop later.
  void connectEvent();
  void readEvent();
  void errorEvent(QAbstractSocket::SocketError error, int code, quint64 attempt);
  void disconnectEvent();

  // Runs `event` from the event loop unless a new generation began meanwhile.
  template <typename Event>
  void queue(Event event);
  // Lets go of the Qt socket; nothing it does later reaches this object.
  void retireSocket();
  void hold();
  void release();

  QString host_;
  QString address_;
  int port_ = 0;
  QTcpSocket* socket_ = nullptr;
  State state_ = State::Idle;
  quint64 generation_ = 0;
  bool readPosted_ = false;  // a read event is queued
  int handlerDepth_ = 0;     // read handlers running, nested waits included
  int holds_ = 0;            // modal messages that hold the reads
  bool disconnectHeld_ = false;
};

}  // namespace davu
