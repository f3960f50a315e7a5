#pragma once
// What both call-log windows share. From creation to closing a window waits
// for query replies under its ReplyTarget number; it sends its first
// requests at its first activation only, so later activations (after a
// question box, say) send nothing; and it shows one result table with its
// record count. A request that cannot go out because the connection is not
// open is refused with a balloon, never shown as an empty result; when the
// connection comes up again the window asks for what it still lacks.
#include <QDialog>
#include <string>
#include <string_view>

#include "calllog/SqlReplyQueue.h"
#include "common/ReplyTarget.h"

namespace davu {

class ClientSocket;

}  // namespace davu

class QLabel;
class TSVVirtualTable;

namespace davu {

class CallLogWindow : public QDialog, public davu::calllog::SqlAsker {
  Q_OBJECT

 public:
  ~CallLogWindow() override;

  // The main window's connection, set before the window is shown.
  ClientSocket* ClientSocket1 = nullptr;

  // The window waiting under `replyTarget`, if any.
  static CallLogWindow* waiting(ReplyTargetWindow replyTarget);

  // Fills the table and the record count; rethrows decoding errors after the
  // count has been brought up to date.
  void LoadSqlReply(std::string_view payload);

  // The reply to a query of this window fills the table; a refused query is
  // shown by the main window's balloon.
  void SqlReplyArrived(std::string_view payload) override { LoadSqlReply(payload); }
  bool SqlReplyFailed(const QString&) override { return false; }
  // Its rows are decoded ahead into the table, not shown.
  void SqlReplyArriving(std::uint64_t reply, std::string_view soFar) override;

  TSVVirtualTable* SVVirtualTable1 = nullptr;
  QLabel* lblRecordCount = nullptr;  // "Antal poster: " + count
  // The same members under the names the program has always given them
  // (the controls' objectName), for code that knows them by those names.
  QLabel*& Label3 = lblRecordCount;

 public slots:
  void FormActivate();
  void AvbrytClick();

 protected:
  CallLogWindow(ReplyTargetWindow replyTarget, QWidget* parent);
  // The requests of the first activation.
  virtual void firstActivation() = 0;
  // The connection has come up again while the window is open: ask again
  // for what could not be fetched.
  virtual void connectionRestored() = 0;
  // Sends `bytes` on the open connection. Without one, says so in the
  // balloon at the window, sends nothing and returns false.
  bool sendRequest(const std::string& bytes);
  // sendRequest for an OPENSQL: its reply is this window's.
  bool sendQuery(const std::string& bytes);
  // True once a query reply has filled the table.
  bool loaded() const { return loaded_; }
  // True when the table came from another server than the one the
  // connection goes to now (the server was switched while the window was
  // open): its call numbers mean nothing there.
  bool loadedFromAnotherServer() const;
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;

  bool activated_ = false;  // the first-activation flag

 private slots:
  void FormClose();
  void ClientSocket1Connect();

 private:
  const ReplyTargetWindow replyTarget_;
  bool centred_ = false;
  bool loaded_ = false;
  QString loadedFrom_;  // the server of the table's rows
};

}  // namespace davu
