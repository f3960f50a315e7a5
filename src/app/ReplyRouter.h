#pragma once
// Who receives each reply of the main connection, decided in one place: the
// settings store takes the settings replies, the call-log windows the SQL
// replies, the register its lists, and the statistics window the resource
// and client lists while it is open and asking for them. An error reply
// may answer a waiting query: its asker hears of it first.
#include <QObject>
#include <functional>

class TfrmSystreg;

namespace davu {

class ServerConnection;

class ReplyRouter : public QObject {
  Q_OBJECT

 public:
  // `registerWindow` gives the register window, or null while there is none.
  ReplyRouter(ServerConnection& connection, std::function<TfrmSystreg*()> registerWindow,
              QObject* parent = nullptr);

 signals:
  // An error reply that no asker has shown itself: the main window's balloon.
  void errorForUser(const QString& shown);

 private:
  std::function<TfrmSystreg*()> register_;
};

}  // namespace davu
