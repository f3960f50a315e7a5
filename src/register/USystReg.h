#pragma once
// The register window "Systemregister": the server and appearance settings
// (settings mode) or the register kept by the server (register mode, shown
// only while the connection is open), one tab each, with "Spara", "Ångra"
// and "Återgå" below. Created once by the main window and kept hidden between
// showings; every request goes out on ClientSocket1, the main connection.
#include <QDialog>
#include <string_view>

class ClientSocket;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QSplitter;
class QTabWidget;

class TfrmSystreg : public QDialog {
  Q_OBJECT

 public:
  // Which list the next RETALLCALLABLES reply fills.
  enum class TResourceListTarget { None, ListBox3 };

  explicit TfrmSystreg(QWidget* parent = nullptr);
  ~TfrmSystreg() override;

  // The main window's connection; not owned.
  ClientSocket* ClientSocket1 = nullptr;

  QTabWidget* PageControl1 = nullptr;
  QWidget* tsServersettings = nullptr;
  QWidget* tsResurser = nullptr;
  QWidget* tsStations = nullptr;
  QWidget* tsSMS = nullptr;

  QPushButton* btnSave = nullptr;
  QPushButton* btnCancel = nullptr;
  QPushButton* btnReturn = nullptr;

  // Server tab.
  QLineEdit* edServername = nullptr;
  QLineEdit* edServerport = nullptr;
  QLineEdit* edServerver = nullptr;
  QLineEdit* edUpdateServername = nullptr;
  QLineEdit* edUpdateServerport = nullptr;
  QLineEdit* edUpdateServerver = nullptr;
  QComboBox* ComboBox1 = nullptr;

  // "Klienter" tab: the clients at the left, their resources at the right.
  QSplitter* Splitter1 = nullptr;
  QGroupBox* gbKlienter = nullptr;
  QGroupBox* gbResurserAttVisa = nullptr;

  // Set by every "Spara"; never reset, so every later closing reconnects.
  bool FClickedSpara = false;
  // Set by any choice in the theme list; never reset.
  bool FThemeChanged = false;
  TResourceListTarget ResourceListTarget = TResourceListTarget::None;

  // Shows the tabs the mode and the connection allow, makes `page` (or the
  // first shown tab) active and loads it.
  void SetTabs(QWidget* page);
  // The active tab; nullptr when no tab is shown.
  QWidget* activePage() const;
  // Loads the active tab: its settings, or its request to the server.
  void PageControl1Change();
  // Lays out the two panes of the "Klienter" tab for the window's width.
  void Splitter1Moved();
  // Width of the "Alla resurser" column that the last layout worked out.
  int allResourcesColumnWidth() const { return FAllResourcesColumnWidth; }

  // Replies routed here by the dispatcher, as cut from the received text.
  void HandleRetAllCallables(std::string_view payload);
  void HandleRetAllMachines(std::string_view payload);
  void HandleRetCallList(std::string_view payload);
  void HandleRetStationCallables(std::string_view payload);
  void HandleRetSmsSettings(std::string_view payload);

  void btnSaveClick();
  void btnCancelClick();
  void btnReturnClick();
  void ComboBox1Change();

  // Every closing of the window (Återgå, close box) ends here.
  void done(int result) override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* buildServerTab();
  QWidget* buildStationsTab();
  void FillThemeList();
  void LoadServerSettings();
  void SaveServerSettings();
  void SendRequest(const std::string& bytes);
  void FormClose();
  void UpdateColumnWidth();

  bool FInSetTabs = false;
  int FAllResourcesColumnWidth = 0;
};
