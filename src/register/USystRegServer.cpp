#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTimer>

#include "common/SettingsStore.h"
#include "common/SharedState.h"
#include "common/platform/Platform.h"
#include "register/Themes.h"
#include "register/USystRegServer.h"
#include "widgets/ChoiceListAccessible.h"
#include "widgets/Dialogs.h"
#include "widgets/KeyboardAccess.h"

namespace davu {

namespace {

const QString kServerSection = QStringLiteral("ServerSettings");

// A setting's whole-number value; `def` when the text is not one.
qint64 DecimalValue(const QString& text, qint64 def) {
  bool ok = false;
  const qint64 v = text.trimmed().toLongLong(&ok);
  return ok ? v : def;
}

QString PortText(const QLineEdit* field) {
  return QString::number(DecimalValue(field->text(), 0));
}

constexpr qint64 kLowestPort = 1;
constexpr qint64 kHighestPort = 65535;

bool IsPort(const QString& text) {
  const qint64 port = DecimalValue(text, 0);
  return port >= kLowestPort && port <= kHighestPort;
}

// Refuses the field's value with a balloon at the field, which gets the focus.
bool Refuse(QLineEdit* field, const QString& text) {
  field->setFocus(Qt::OtherFocusReason);
  field->selectAll();
  ShowInfoHint(text, field);
  return false;
}

QLineEdit* PortField(const char* name) {
  auto* e = new QLineEdit;
  e->setObjectName(QString::fromLatin1(name));
  // Whole numbers without bounds; 18 digits still fit the conversion.
  e->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,18}")), e));
  e->setMaximumWidth(90);
  return e;
}

QLineEdit* TextField(const char* name, bool readOnly = false) {
  auto* e = new QLineEdit;
  e->setObjectName(QString::fromLatin1(name));
  e->setReadOnly(readOnly);
  return e;
}

QLabel* Caption(const char* name, const QString& text, QWidget* buddy) {
  auto* l = new QLabel(text);
  l->setObjectName(QString::fromLatin1(name));
  l->setBuddy(buddy);
  return l;
}

}  // namespace

ServerSettingsTab::ServerSettingsTab(QWidget* parent) : RegisterTab(parent) {
  setObjectName(QStringLiteral("tsServersettings"));
  davu::a11y::NameChoiceListsByCaption();

  cbNamedServers = new QComboBox;
  cbNamedServers->setObjectName(QStringLiteral("cbNamedServers"));
  // Its caption stands beside the row it shares with its buttons, not beside
  // the list itself, so the list carries its name.
  cbNamedServers->setAccessibleName(QStringLiteral("Server:"));
  cbNamedServers->setMinimumWidth(200);
  connect(cbNamedServers, &QComboBox::activated, this, &ServerSettingsTab::cbNamedServersChange);
  btnAddServer = new AccessKeyButton(QStringLiteral("Lägg till"));
  btnAddServer->setObjectName(QStringLiteral("btnAddServer"));
  davu::keys::SetAccessKey(btnAddServer, u'l');
  btnRemoveServer = new AccessKeyButton(QStringLiteral("Ta bort"));
  btnRemoveServer->setObjectName(QStringLiteral("btnRemoveServer"));
  davu::keys::SetAccessKey(btnRemoveServer, u'b');
  for (QPushButton* b : {btnAddServer, btnRemoveServer}) b->setAutoDefault(false);
  connect(btnAddServer, &QPushButton::clicked, this, &ServerSettingsTab::btnAddServerClick);
  connect(btnRemoveServer, &QPushButton::clicked, this, &ServerSettingsTab::btnRemoveServerClick);
  auto* serverRow = new QWidget;
  serverRow->setObjectName(QStringLiteral("pnlNamedServers"));
  auto* serverRowLayout = new QHBoxLayout(serverRow);
  serverRowLayout->setContentsMargins(0, 0, 0, 0);
  serverRowLayout->addWidget(cbNamedServers);
  serverRowLayout->addWidget(btnAddServer);
  serverRowLayout->addWidget(btnRemoveServer);
  edServerNamn = TextField("edServerNamn");
  edServerNamn->setMaxLength(davu::kMaxServerNameLength);
  edServerNamn->setMinimumWidth(200);
  edServerNamn->setPlaceholderText(QStringLiteral("Ett namn för servern, t.ex. klinikens"));
  connect(edServerNamn, &QLineEdit::textEdited, this, [this](const QString& text) {
    if (FShown >= 0) cbNamedServers->setItemText(FShown, text.trimmed());
  });

  edServername = TextField("edServername");
  edServername->setPlaceholderText(
      QStringLiteral("Ange serverns namn eller IP-adress i formatet ###.###.###.###"));
  edServerport = PortField("edServerport");
  edServerver = TextField("edServerver", true);
  edServerver->setMaximumWidth(160);
  edUpdateServername = TextField("edUpdateServername");
  edUpdateServername->setPlaceholderText(
      QStringLiteral("Ange uppdateringsserverns namn eller IP-adress i formatet ###.###.###.###"));
  edUpdateServerport = PortField("edUpdateServerport");

  edUpdateServerver = TextField("edUpdateServerver", true);
  edUpdateServerver->setMaximumWidth(160);
  cbTheme = new QComboBox;
  cbTheme->setObjectName(QStringLiteral("ComboBox1"));
  cbTheme->setEditable(false);
  cbTheme->setMinimumWidth(200);
  connect(cbTheme, &QComboBox::activated, this, [this](int) { ComboBox1Change(); });

  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(16, 16, 16, 16);
  grid->setHorizontalSpacing(10);
  grid->setVerticalSpacing(6);
  int row = 0;
  auto add = [&](QLabel* label, QWidget* field) {
    grid->addWidget(label, row, 0, Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(field, row, 1, Qt::AlignLeft | Qt::AlignVCenter);
    ++row;
  };
  // The name fields' hints are long: their captions stand above them, so the
  // fields take the tab's whole width and show the hint uncut.
  auto addWide = [&](QLabel* label, QWidget* field) {
    grid->addWidget(label, row++, 0, 1, 2, Qt::AlignLeft | Qt::AlignBottom);
    grid->addWidget(field, row++, 0, 1, 2);
  };
  add(Caption("lblNamedServers", QStringLiteral("Server:"), cbNamedServers), serverRow);
  add(Caption("lblServerNamn", QStringLiteral("Namn:"), edServerNamn), edServerNamn);
  addWide(Caption("lblServername", QStringLiteral("Servernamn/IP-adress:"), edServername),
          edServername);
  add(Caption("lblServerport", QStringLiteral("Serverport:"), edServerport), edServerport);
  add(Caption("lblServerver", QStringLiteral("Serverversion:"), edServerver), edServerver);
  grid->setRowMinimumHeight(row++, 6);
  addWide(Caption("lblUpdateServername", QStringLiteral("Uppdatering Servernamn/IP-adress:"),
                  edUpdateServername),
          edUpdateServername);
  add(Caption("lblUpdateServerport", QStringLiteral("Serverport:"), edUpdateServerport),
      edUpdateServerport);
  add(Caption("lblUpdateServerver", QStringLiteral("Serverversion:"), edUpdateServerver),
      edUpdateServerver);
  lblSelfUpdateOff = new QLabel(QStringLiteral("Självuppdatering avstängd: ingen betrodd nyckel"));
  lblSelfUpdateOff->setObjectName(QStringLiteral("lblSelfUpdateOff"));
  lblSelfUpdateOff->setVisible(false);
  grid->addWidget(lblSelfUpdateOff, row++, 1, Qt::AlignLeft | Qt::AlignVCenter);
  grid->setRowMinimumHeight(row++, 6);
  add(Caption("lblUtseende", QStringLiteral("Utseende:"), cbTheme), cbTheme);
  grid->setRowStretch(row, 1);
  grid->setColumnStretch(1, 1);
  FillThemeList();
}

QString ServerSettingsTab::UpdatePortText() const {
  const qint64 port = DecimalValue(edUpdateServerport->text(), 0);
  return port == 0 ? QString() : QString::number(port);
}

void ServerSettingsTab::FillThemeList() {
  cbTheme->clear();
  cbTheme->addItems(ThemeNames());
  const int active = cbTheme->findText(ActiveThemeName());
  if (active >= 0) cbTheme->setCurrentIndex(active);
  FThemeChanged = false;
}

void ServerSettingsTab::ComboBox1Change() { FThemeChanged = true; }

void ServerSettingsTab::Load() {
  FServers = davu::NamedServerList::Load();
  // A first start: the one server typed here becomes the first of the list.
  if (FServers.servers.isEmpty()) {
    FServers.servers.append(davu::NamedServer{});
    FServers.current = 0;
  }
  FShown = FServers.current;
  FillServerList();
  edServerNamn->setText(FServers.servers[FShown].name);
  // On a first start nothing is stored and the field shows "ERROR".
  edServername->setText(ReadSetting(kServerSection, QStringLiteral("ServerName")));
  const qint64 port = DecimalValue(ReadSetting(kServerSection, QStringLiteral("ServerPort")), 0);
  edServerport->setText(QString::number(port));
  FUpdateName = {};
  FUpdatePort = {};
  LoadUpdateServerFields(false);
  ShowVersions();
}

void ServerSettingsTab::FillServerList() {
  cbNamedServers->clear();
  for (const davu::NamedServer& s : FServers.servers) cbNamedServers->addItem(s.name);
  cbNamedServers->setCurrentIndex(FShown);
  btnRemoveServer->setEnabled(FServers.servers.size() > 1);
}

// The fields of the shown server go back into the list as typed.
void ServerSettingsTab::KeepShownFields() {
  if (FShown < 0 || FShown >= FServers.servers.size()) return;
  davu::NamedServer& s = FServers.servers[FShown];
  s.name = edServerNamn->text().trimmed();
  s.host = edServername->text().trimmed();
  s.port = PortText(edServerport);
  s.updateHost = edUpdateServername->text().trimmed();
  s.updatePort = UpdatePortText();
}

void ServerSettingsTab::ShowServer(int index) {
  FShown = index;
  FillServerList();
  const davu::NamedServer& s = FServers.servers[index];
  edServerNamn->setText(s.name);
  edServername->setText(s.host);
  edServerport->setText(s.port);
  // The update server's fields of the current server keep their state (read
  // from the server, or typed over); another server's show what is stored
  // for it, or the server's own name and port.
  edUpdateServername->setText(s.updateHost.isEmpty() ? s.host : s.updateHost);
  edUpdateServerport->setText(s.updatePort.isEmpty() ? s.port : s.updatePort);
  ShowVersions();
}

void ServerSettingsTab::cbNamedServersChange(int index) {
  if (index < 0 || index >= FServers.servers.size() || index == FShown) return;
  KeepShownFields();
  ShowServer(index);
}

const davu::NamedServerList& ServerSettingsTab::NamedServers() {
  KeepShownFields();
  return FServers;
}

void ServerSettingsTab::btnAddServerClick() {
  KeepShownFields();
  davu::NamedServer s;
  s.name = FServers.unusedName(QStringLiteral("Ny server"));
  FServers.servers.append(s);
  ShowServer(FServers.servers.size() - 1);
  edServerNamn->setFocus(Qt::OtherFocusReason);
  edServerNamn->selectAll();
}

void ServerSettingsTab::btnRemoveServerClick() {
  if (FShown < 0 || FServers.servers.size() < 2) return;
  KeepShownFields();
  const bool current = ShowsCurrent();
  const int next = FShown == 0 ? 1 : FShown - 1;
  if (current) {
    const QString name = FServers.servers[FShown].name;
    if (AskYesNo(QStringLiteral("Ta bort ") + name + QStringLiteral(", den server som används nu?\r\r") +
                 QStringLiteral("Programmet ansluter då till ") + FServers.servers[next].name + u'.') != mrYes)
      return;
  }
  FServers.servers.removeAt(FShown);
  if (FServers.current > FShown) --FServers.current;
  const int shown = FShown < next ? next - 1 : next;
  if (current) FServers.current = -1;  // none until the save below makes the shown one current
  FShown = -1;
  ShowServer(shown);
  if (current) Save();
}

// The update server's settings live on the server; without a connection
// the fields show the server's own values, which are not the stored ones
// and are not written back unless the administrator types over them.
void ServerSettingsTab::LoadUpdateServerFields(bool keepTyped) {
  // Only the current server's update server is asked of the server.
  if (!ShowsCurrent()) return;
  const qint64 port = DecimalValue(edServerport->text(), 0);
  if (!FUpdateName.loaded && !(keepTyped && FUpdateName.editedIn(edUpdateServername))) {
    FUpdateName.shown = ReadServerSettingDef(kServerSection, QStringLiteral("UpdateServerName"),
                                             edServername->text());
    FUpdateName.loaded = SettingReplyArrived;
    edUpdateServername->setText(FUpdateName.shown);
  }
  if (!FUpdatePort.loaded && !(keepTyped && FUpdatePort.editedIn(edUpdateServerport))) {
    FUpdatePort.shown = QString::number(
        DecimalValue(ReadServerSetting(kServerSection, QStringLiteral("UpdateServerPort")), port));
    FUpdatePort.loaded = SettingReplyArrived;
    edUpdateServerport->setText(FUpdatePort.shown);
  }
}

void ServerSettingsTab::ConnectionReady() {
  ShowVersions();
  // Reading waits for the server: not inside the reply handler that called us.
  QTimer::singleShot(0, this, [this] {
    if (!SettingReadWaiting()) LoadUpdateServerFields(true);
  });
}

void ServerSettingsTab::ShowVersions() {
  // The versions are those of the server connected to, the current one.
  edServerver->setText(ShowsCurrent() ? ServerVersion : QString());
  edUpdateServerver->setText(ShowsCurrent() ? UpdateServerVersion : QString());
  lblSelfUpdateOff->setVisible(UpdateSigningOff);
}

// What keeps server `index` of the list from being saved: the field to
// refuse and why; no field when it can be saved.
ServerSettingsTab::Problem ServerSettingsTab::ProblemOf(int index) const {
  const davu::NamedServer& s = FServers.servers[index];
  if (s.host.isEmpty()) return {edServername, QStringLiteral("Servernamn får ej vara tomt!")};
  // The settings store's mark for "stored nowhere", shown on a first start.
  if (s.host == QLatin1String("ERROR"))
    return {edServername, QStringLiteral("Ange serverns namn eller IP-adress!")};
  if (!IsPort(s.port))
    return {edServerport, QStringLiteral("Serverporten måste vara ett tal mellan 1 och 65535!")};
  // An empty update port, or the 0 a first start shows, means the server's own port.
  if (!s.updatePort.isEmpty() && !IsPort(s.updatePort))
    return {edUpdateServerport,
            QStringLiteral("Uppdateringsserverns port måste vara ett tal mellan 1 och 65535!")};
  if (s.name.isEmpty()) return {edServerNamn, QStringLiteral("Ange ett namn för servern!")};
  for (int i = 0; i < FServers.servers.size(); ++i)
    if (i != index && FServers.servers[i].name.compare(s.name, Qt::CaseInsensitive) == 0)
      return {edServerNamn, QStringLiteral("Det finns redan en server med namnet ") + s.name + u'!'};
  return {};
}

bool ServerSettingsTab::ValidateList() {
  KeepShownFields();
  for (int i = 0; i < FServers.servers.size(); ++i) {
    davu::NamedServer& s = FServers.servers[i];
    // A server without a name is named after the server's name.
    if (s.name.isEmpty() && s.host != QLatin1String("ERROR")) s.name = s.host.left(davu::kMaxServerNameLength);
    const Problem problem = ProblemOf(i);
    if (!problem.field) continue;
    if (i != FShown) ShowServer(i);
    return Refuse(problem.field, problem.text);
  }
  return true;
}

void ServerSettingsTab::Save() {
  // Nothing is written until every server holds something to connect to.
  if (!ValidateList()) return;
  if (FThemeChanged) {
    WriteSetting(QStringLiteral("KlientSettings"), QStringLiteral("Style"), cbTheme->currentText());
    ShowInfoHint(QStringLiteral("Du måste starta om programmet för att temat skall ändras."), window());
  }
  // What means "the same as the server" is stored empty, so that the update
  // check falls back to the server's name and port instead of connecting to
  // a host "ERROR" or to port 0.
  davu::NamedServer& shown = FServers.servers[FShown];
  if (shown.updateHost == QLatin1String("ERROR")) shown.updateHost.clear();
  shown.port = PortText(edServerport);
  const bool sameServer = ShowsCurrent();
  FServers.current = FShown;
  FServers.Save();
  FillServerList();
  edServerNamn->setText(shown.name);

  if (sameServer) {
    WriteSetting(kServerSection, QStringLiteral("ServerName"), shown.host);
    WriteSetting(kServerSection, QStringLiteral("ServerPort"), shown.port);
    if (FUpdateName.loaded || FUpdateName.editedIn(edUpdateServername))
      WriteServerSetting(kServerSection, QStringLiteral("UpdateServerName"), shown.updateHost);
    if (FUpdatePort.loaded || FUpdatePort.editedIn(edUpdateServerport))
      WriteServerSetting(kServerSection, QStringLiteral("UpdateServerPort"), shown.updatePort);
    // The writes above went out on the still open connection: give them
    // time to reach the server before it is closed.
    davu::platform::sleeper().blockingSleep(1000);
  }
  // Another clinic's server is not told where this one is: the open
  // connection belongs to the server being left, and its settings are read
  // by every client of that clinic.

  ServerVersion.clear();
  UpdateServerVersion.clear();
  // A failure of the coming attempt is reported with the offer to edit the
  // settings, and the update check runs again on the new server.
  WasConnected = false;
  UpdateCheckPending = true;
  emit ServerChanged();
}

bool ServerSettingsTab::UpdateField::editedIn(const QLineEdit* field) const {
  return field->text() != shown;
}

}  // namespace davu
