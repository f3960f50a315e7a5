#pragma once
// The server tab "Serverinställningar/utseende": where the server and the
// update server are found, the versions they reported, and the theme.
// Everything it shows lives in the settings store; nothing is asked of the
// server except the update server's settings.
#include "RegisterTab.h"

class QComboBox;
class QLabel;
class QLineEdit;

class TServerSettingsTab : public TRegisterTab {
  Q_OBJECT

 public:
  explicit TServerSettingsTab(QWidget* parent = nullptr);

  QLineEdit* edServername = nullptr;
  QLineEdit* edServerport = nullptr;
  QLineEdit* edServerver = nullptr;
  QLineEdit* edUpdateServername = nullptr;
  QLineEdit* edUpdateServerport = nullptr;
  QLineEdit* edUpdateServerver = nullptr;
  // Shown while the update check found no trusted release key.
  QLabel* lblSelfUpdateOff = nullptr;
  QComboBox* ComboBox1 = nullptr;

  // Set by any choice in the theme list; never reset.
  bool FThemeChanged = false;

  // Reads the settings into the fields.
  void Load() override;
  // Fills the two version fields and nothing else: what the administrator
  // is typing stays.
  void ShowVersions();
  // Writes the fields, then asks for a new connection with them. A blank
  // server name or a port outside 1-65535 is refused with a balloon at its
  // field, and nothing is written.
  void Save() override;
  void ComboBox1Change();

 signals:
  // The settings are written and the old connection's versions forgotten:
  // the window closes the connection, shows this tab again and reconnects.
  void ServerChanged();

 private:
  void FillThemeList();
  bool Validate();
  // The update port as stored: empty when none is given.
  QString UpdatePortText() const;
};
