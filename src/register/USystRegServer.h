#pragma once
// The server tab "Serverinställningar/utseende": where the server and the
// update server are found, the versions they reported, and the theme.
// Everything it shows lives in the settings store; nothing is asked of the
// server except the update server's settings.
#include "common/NamedServers.h"
#include "register/RegisterTab.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace davu {

class ServerSettingsTab : public RegisterTab {
  Q_OBJECT

 public:
  explicit ServerSettingsTab(QWidget* parent = nullptr);

  // The named servers: the one shown is the one edited; "Spara" stores the
  // list and makes the shown one current.
  QComboBox* cbNamedServers = nullptr;
  QPushButton* btnAddServer = nullptr;
  QPushButton* btnRemoveServer = nullptr;
  QLineEdit* edServerNamn = nullptr;
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
  // "Lägg till": a new server with a name of its own and nothing else.
  void btnAddServerClick();
  // "Ta bort": another server goes at "Spara"; the current one goes at once,
  // after a question, and the program switches to the one shown next.
  void btnRemoveServerClick();
  // Shows server `index` of the list, keeping what was typed for the one
  // shown before.
  void cbNamedServersChange(int index);
  // The list as it stands in the tab, typing included.
  const davu::NamedServerList& NamedServers();

 signals:
  // The settings are written and the old connection's versions forgotten:
  // the window closes the connection, shows this tab again and reconnects.
  void ServerChanged();

 private:
  void FillThemeList();
  struct Problem {
    QLineEdit* field = nullptr;
    QString text;
  };
  Problem ProblemOf(int index) const;
  // Every server of the list holds something to connect to, under a name of
  // its own; the first that does not is shown with a balloon at its field.
  bool ValidateList();
  void FillServerList();
  void KeepShownFields();
  void ShowServer(int index);
  bool ShowsCurrent() const { return FShown == FServers.current; }
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

  davu::NamedServerList FServers;
  int FShown = -1;
};

}  // namespace davu
