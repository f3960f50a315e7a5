#pragma once
// The register window "Systemregister": the server and appearance settings
// (settings mode) or the register kept by the server (register mode, shown
// only while the connection is open), one tab each, with "Spara", "Ångra"
// and "Återgå" below. Created once by the main window and kept hidden between
// showings; every request goes out on ClientSocket1, the main connection.
//
// The window keeps the buttons and the choice of tab; each tab is its own
// class that loads and saves its contents. Replies are forwarded to the tab
// they fill, whichever tab is active.
#include <QDialog>
#include <string>
#include <string_view>

#include "register/USystRegKlienter.h"
#include "register/USystRegResurser.h"
#include "register/USystRegSMS.h"
#include "register/USystRegServer.h"

namespace davu {

class ClientSocket;

}  // namespace davu

class QLabel;
class QPushButton;
class QTabWidget;

class TfrmSystreg : public QDialog {
  Q_OBJECT

 public:
  // Which list the next RETALLCALLABLES reply fills.
  enum class TResourceListTarget { None, ListBox3 };

  explicit TfrmSystreg(QWidget* parent = nullptr);
  ~TfrmSystreg() override;

  // The main window's connection; not owned.
  davu::ClientSocket* ClientSocket1 = nullptr;

  QTabWidget* PageControl1 = nullptr;
  davu::ServerSettingsTab* tsServersettings = nullptr;
  davu::ResourcesTab* tsResurser = nullptr;
  davu::StationsTab* tsStations = nullptr;
  davu::SmsSettingsTab* tsSMS = nullptr;

  QPushButton* btnSave = nullptr;
  QPushButton* btnCancel = nullptr;
  QPushButton* btnReturn = nullptr;
  QLabel* lblStatus = nullptr;

  // Set by every "Spara"; never reset, so every later closing reconnects.
  bool FClickedSpara = false;
  TResourceListTarget ResourceListTarget = TResourceListTarget::None;

  // Shows the tabs the mode and the connection allow, makes `page` (or the
  // first shown tab) active and loads it.
  void SetTabs(QWidget* page);
  // The active tab; nullptr when no tab is shown.
  QWidget* activePage() const;
  // Loads the active tab: its settings, or its request to the server.
  void PageControl1Change();

  // Replies routed here by the dispatcher, as cut from the received text.
  void HandleRetAllCallables(std::string_view payload);
  void HandleRetAllMachines(std::string_view payload);
  void HandleRetCallList(std::string_view payload);
  void HandleRetStationCallables(std::string_view payload);
  void HandleRetSmsSettings(std::string_view payload);
  // A resource list went to another window: the choice of list it ends is
  // the register's own, so the register forgets it here.
  void AllCallablesTakenElsewhere();

  void btnSaveClick();
  void btnCancelClick();
  void btnReturnClick();

  // The active tab holds an edit that has not been saved.
  bool HasUnsavedEdit() const;

  // Every closing of the window (Återgå, close box) ends here.
  void done(int result) override;

 signals:
  // The server settings were saved: the connection starts anew with them.
  void reconnectRequested();

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void addTab(davu::RegisterTab* tab, const QString& caption);
  davu::RegisterTab* activeTab() const;
  bool SendRequest(const std::string& bytes);
  void ClientSocket1Disconnect();
  // "Spara", "Ångra" and the status line follow the active tab.
  void ShowTabState();
  void ServerChanged();
  void FormClose();

  bool FInSetTabs = false;
};
