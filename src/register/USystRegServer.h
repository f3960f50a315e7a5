#pragma once
// The server tab "Serverinställningar/utseende": where the server and the
// update server are found, the versions they reported, and the theme.
// Everything it shows lives in the settings store; nothing is asked of the
// server except the update server's settings.
#include "register/RegisterTab.h"

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
  QComboBox* cbTheme = nullptr;
  // The same members under the names the program has always given them
  // (the controls' objectName), for code that knows them by those names.
  QComboBox*& ComboBox1 = cbTheme;

  // Set by any choice in the theme list; never reset.
  bool FThemeChanged = false;

  // Reads the settings into the fields.
  void Load() override;
  // Fills the two version fields and nothing else: what the administrator
  // is typing stays.
  void ShowVersions();
  // A connection has come up: the versions, and the update server's fields
  // that neither came from the server nor were typed.
  void ConnectionReady();
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
  // Reads the update server's fields that were not loaded yet; with
  // `keepTyped`, a field the administrator changed stays as it is.
  void LoadUpdateServerFields(bool keepTyped);

  // An update-server field holds the server's stored value, or what the
  // administrator typed over what was shown; only then is it written back.
  struct UpdateField {
    bool loaded = false;
    QString shown;
    bool editedIn(const QLineEdit* field) const;
  };
  UpdateField FUpdateName;
  UpdateField FUpdatePort;
};
