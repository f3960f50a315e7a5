#pragma once
// "DAVU Idag": today's calls as they happen. Per resource the calls so far,
// the confirmed and the not yet confirmed ones, the time of the last call and
// the median wait from call to confirmation, the total on top, and a chart of
// the calls per hour. The window refreshes itself on RefreshTimer (every
// 10 s unless the user sets 2-300 s; a per-user setting): the day is read
// once, then each refresh asks only for new calls and for confirmations of
// the open ones (TodayCalls). At most one query is on its way; a tick while
// one is waits for the next. A failed refresh shows why in the status line
// and the next tick tries again. When the clock passes midnight the window
// starts the new day.
//
// It is not modal: it stays open beside the other windows, and its replies
// reach it through the queue of SQL askers (SqlReplyQueue.h).
#include <QDateTime>
#include <QDialog>
#include <QString>
#include <string_view>

#include "calllog/SqlReplyQueue.h"
#include "calllog/TodayCalls.h"

namespace davu {

class ClientSocket;

}  // namespace davu

class QChartView;
class QLabel;
class QPushButton;
class QSpinBox;
class QStandardItemModel;
class QTableView;
class QTimer;

namespace davu {

class IdagWindow : public QDialog, public davu::calllog::SqlAsker {
  Q_OBJECT

 public:
  explicit IdagWindow(QWidget* parent = nullptr);
  ~IdagWindow() override;

  // The main window's connection, set before the window is shown.
  ClientSocket* ClientSocket1 = nullptr;

  QLabel* lblTotal;            // the total on top
  QTableView* grdResurser;     // one row per resource, "Totalt" first
  QStandardItemModel* resurserRows;
  QChartView* chTimmar;        // calls per hour
  QLabel* lblStatus;           // last refresh, or why it failed
  QSpinBox* seIntervall;       // seconds between refreshes
  QPushButton* btnPaus;        // "Pausa" / "Fortsätt"
  QPushButton* Avbryt;         // "Stäng"
  QTimer* RefreshTimer;

  const davu::calllog::TodayCalls& calls() const { return calls_; }
  bool queryInFlight() const { return inFlight_; }
  bool paused() const { return paused_; }

  // The per-user setting, in seconds.
  static constexpr int kDefaultSeconds = 10, kFewestSeconds = 2, kMostSeconds = 300;
  static int StoredIntervalSeconds();

  // The main connection now goes to another server (a switch, or saved
  // server settings): the old clinic's figures go at once, whatever the old
  // server still answers is dropped, and the day is read whole from the new
  // one (ConnectionReady, or the next tick).
  void ServerSwitched();
  // The connection is up (again): a day not yet read is read now.
  void ConnectionReady();

  void SqlReplyArrived(std::string_view payload) override;
  bool SqlReplyFailed(const QString& why) override;

 public slots:
  void RefreshTimerTimer();
  void btnPausClick();
  void seIntervallChange(int seconds);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // Sends the next query unless one is on its way.
  void refresh();
  void showFigures();
  void showStatus(const QString& text);
  void failed(const QString& why);

  davu::calllog::TodayCalls calls_;
  QString clientName_;        // read once: every read may ask the server
  bool inFlight_ = false;     // a query is on its way
  bool sending_ = false;      // inside refresh(), which may wait for a setting
  int switches_ = 0;          // servers switched to, so a read across a switch is known
  QDate inFlightDay_;
  bool paused_ = false;
  bool started_ = false;
  QDateTime lastRefresh_;
};

}  // namespace davu
