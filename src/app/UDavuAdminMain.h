#pragma once
// The main window: five buttons that lead to the program's work and a status
// bar that shows the server connection. The connection itself is a
// davu::ServerConnection the window owns and draws; its replies reach their
// owners through the davu::ReplyRouter. The handlers the program has always
// named (ClientSocket1Connect, Timer3Timer, ...) forward to the connection.
#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "app/ServerConnection.h"

namespace davu {

class ClientSocket;

}  // namespace davu

class QComboBox;
class QDialog;
class QFrame;
class QLabel;
class QPushButton;
class QTimer;
class TCEVersionInfo;
namespace davu {

class IdagWindow;

}  // namespace davu

class TfrmSystreg;
namespace davu {

class PictureButton;
class StatusCircle;

}  // namespace davu

namespace davu {

class ReplyRouter;
}

class TfrmDAVUAdmin : public QWidget {
  Q_OBJECT

  // First, so that the members that name its parts can refer to it.
  davu::ServerConnection* const connection_;

 public:
  explicit TfrmDAVUAdmin(QWidget* parent = nullptr);
  ~TfrmDAVUAdmin() override;

  // Controls, under the names the whole program uses.
  davu::PictureButton* btnSystemregister;
  davu::PictureButton* btnStatistik;
  davu::PictureButton* btnKallelser;
  davu::PictureButton* btnIdag;  // "Idag...": today's calls as they happen
  davu::PictureButton* btnSettings;
  QFrame* pnlStatus;
  davu::StatusCircle* shServerConnected;
  QLabel* lblStatus;
  // The same members under the names the program has always given them
  // (the controls' objectName), for code that knows them by those names.
  QFrame*& Panel3 = pnlStatus;
  QLabel*& Label1 = lblStatus;
  // The current server's name; choosing another switches to it.
  QComboBox* cbServers;
  QPushButton* btnClose;

  // The connection, and its parts under the names the whole program uses.
  davu::ServerConnection& connection() { return *connection_; }
  davu::ClientSocket* ClientSocket1;
  QTimer* Timer3;
  int& Timer3Tag;  // milliseconds left of the retry countdown
  QTimer* ReconnectTimer;
  QTimer* ReplyQuietTimer;
  // The update check run at the next successful connect (see ServerConnection).
  std::function<bool()>& CheckForUpdate;
  TCEVersionInfo* CEVersionInfo1;  // the running program's version block

  // Created at the first activation, freed when the window closes.
  TfrmSystreg* frmSystreg = nullptr;

  // Ends the process with the given status. Tests replace it to see the status
  // without ending the test program.
  std::function<void(int)> ExitProcess;
  // Shows a window modally. Tests replace it to see what was opened.
  std::function<void(QDialog*)> ShowModal;

  // The program's product version as the title shows it.
  const QString& productVersion() const { return productVersion_; }

  using ConnectionState = davu::ServerConnection::State;
  ConnectionState connectionState() const { return connection_->state(); }

  // What the status bar shows in a state; an empty part is left as it is.
  struct StatusLook {
    std::optional<bool> connected;  // the circle: green "Ansluten", red "Ej ansluten"
    std::optional<QString> text;    // the status text
  };
  // `countdownMs` is the time left while waiting to retry, `version` the
  // server version a refusal names.
  static StatusLook lookOf(ConnectionState state, int countdownMs, const QString& version);

 public slots:
  void FormActivate();
  void btnSystemregisterClick();
  void btnStatistikClick();
  void btnKallelserClick();
  void btnIdagClick();
  void btnSettingsClick();
  void btnCloseClick();
  // Makes server `index` of the named servers the current one: closes the
  // connection and connects to it, as saving the server settings does. An
  // unsaved edit in the register is given up only after a question.
  void SwitchServer(int index);
  // Fills the server list from the stored named servers.
  void ShowServers();

  // The connection's handlers, under their given names.
  void ConnectToServer() { connection_->ConnectToServer(); }
  void ClientSocket1Connect() { connection_->ClientSocket1Connect(); }
  void ClientSocket1Disconnect() { connection_->ClientSocket1Disconnect(); }
  void ClientSocket1Error(int code) { connection_->ClientSocket1Error(code); }
  void ClientSocket1Read() { connection_->ClientSocket1Read(); }
  void Timer3Timer() { connection_->Timer3Timer(); }
  void ReconnectTimerTimer() { connection_->ReconnectTimerTimer(); }
  void ReplyQuietTimerTimer() { connection_->ReplyQuietTimerTimer(); }

 public:
  // Hands every reply in `text` (wire bytes, frame markers removed) to its
  // owner, in a fixed order of tags: the first of each kind, then the second
  // of each kind, and so on; then shows an error reply.
  void DispatchReply(std::string text, davu::ClientSocket* socket);

 protected:
  bool event(QEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  void buildControls();
  void FormClose();
  void createRegisterWindow();
  // Hooks the window up to what the connection reports.
  void followConnection();
  // Selects the server tab and shows the register unless it is visible.
  void openServerSettings();
  // Draws the circle, its hint and the status text of `state`.
  void drawState(ConnectionState state);
  // A version reply came: the register follows the connection.
  void serverVersionArrived();
  // The title without a clinic name, until the new server names its own.
  void showPlainTitle();

  davu::ReplyRouter* router_ = nullptr;
  QPointer<davu::IdagWindow> frmIdag_;  // one at a time, not modal
  QString productVersion_;
  bool activatedOnce_ = false;
};
