#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QTimer>

#include "common/SettingsStore.h"
#include "common/SharedState.h"
#include "common/platform/Platform.h"
#include "register/Themes.h"
#include "register/USystRegServer.h"
#include "widgets/ChoiceListAccessible.h"
#include "widgets/Dialogs.h"

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

TServerSettingsTab::TServerSettingsTab(QWidget* parent) : TRegisterTab(parent) {
  setObjectName(QStringLiteral("tsServersettings"));
  davu::a11y::NameChoiceListsByCaption();

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
  addWide(Caption("lblServername", QStringLiteral("Servernamn/IP-adress:"), edServername),
          edServername);
  add(Caption("lblServerport", QStringLiteral("Serverport:"), edServerport), edServerport);
  add(Caption("lblServerver", QStringLiteral("Serverversion:"), edServerver), edServerver);
  grid->setRowMinimumHeight(row++, 14);
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
  grid->setRowMinimumHeight(row++, 14);
  add(Caption("lblUtseende", QStringLiteral("Utseende:"), cbTheme), cbTheme);
  grid->setRowStretch(row, 1);
  grid->setColumnStretch(1, 1);
  FillThemeList();
}

QString TServerSettingsTab::UpdatePortText() const {
  const qint64 port = DecimalValue(edUpdateServerport->text(), 0);
  return port == 0 ? QString() : QString::number(port);
}

void TServerSettingsTab::FillThemeList() {
  cbTheme->clear();
  cbTheme->addItems(ThemeNames());
  const int active = cbTheme->findText(ActiveThemeName());
  if (active >= 0) cbTheme->setCurrentIndex(active);
  FThemeChanged = false;
}

void TServerSettingsTab::ComboBox1Change() { FThemeChanged = true; }

void TServerSettingsTab::Load() {
  // On a first start nothing is stored and the field shows "ERROR".
  edServername->setText(ReadSetting(kServerSection, QStringLiteral("ServerName")));
  const qint64 port = DecimalValue(ReadSetting(kServerSection, QStringLiteral("ServerPort")), 0);
  edServerport->setText(QString::number(port));
  FUpdateName = {};
  FUpdatePort = {};
  LoadUpdateServerFields(false);
  ShowVersions();
}

// The update server's settings live on the server; without a connection
// the fields show the server's own values, which are not the stored ones
// and are not written back unless the administrator types over them.
void TServerSettingsTab::LoadUpdateServerFields(bool keepTyped) {
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

void TServerSettingsTab::ConnectionReady() {
  ShowVersions();
  // Reading waits for the server: not inside the reply handler that called us.
  QTimer::singleShot(0, this, [this] {
    if (!SettingReadWaiting()) LoadUpdateServerFields(true);
  });
}

void TServerSettingsTab::ShowVersions() {
  edServerver->setText(ServerVersion);
  edUpdateServerver->setText(UpdateServerVersion);
  lblSelfUpdateOff->setVisible(UpdateSigningOff);
}

bool TServerSettingsTab::Validate() {
  const QString name = edServername->text().trimmed();
  if (name.isEmpty()) return Refuse(edServername, QStringLiteral("Servernamn får ej vara tomt!"));
  // The settings store's mark for "stored nowhere", shown on a first start.
  if (name == QLatin1String("ERROR"))
    return Refuse(edServername, QStringLiteral("Ange serverns namn eller IP-adress!"));
  if (!IsPort(edServerport->text()))
    return Refuse(edServerport, QStringLiteral("Serverporten måste vara ett tal mellan 1 och 65535!"));
  // An empty update port, or the 0 a first start shows, means the server's own port.
  if (!UpdatePortText().isEmpty() && !IsPort(edUpdateServerport->text()))
    return Refuse(edUpdateServerport,
                  QStringLiteral("Uppdateringsserverns port måste vara ett tal mellan 1 och 65535!"));
  return true;
}

void TServerSettingsTab::Save() {
  // Nothing is written until every field holds something to connect to.
  if (!Validate()) return;
  if (FThemeChanged) {
    WriteSetting(QStringLiteral("KlientSettings"), QStringLiteral("Style"), cbTheme->currentText());
    ShowInfoHint(QStringLiteral("Du måste starta om programmet för att temat skall ändras."), window());
  }
  WriteSetting(kServerSection, QStringLiteral("ServerName"), edServername->text().trimmed());
  WriteSetting(kServerSection, QStringLiteral("ServerPort"), PortText(edServerport));
  // What means "the same as the server" is stored empty, so that the update
  // check falls back to the server's name and port instead of connecting to
  // a host "ERROR" or to port 0.
  QString updateName = edUpdateServername->text().trimmed();
  if (updateName == QLatin1String("ERROR")) updateName.clear();
  if (FUpdateName.loaded || FUpdateName.editedIn(edUpdateServername))
    WriteServerSetting(kServerSection, QStringLiteral("UpdateServerName"), updateName);
  if (FUpdatePort.loaded || FUpdatePort.editedIn(edUpdateServerport))
    WriteServerSetting(kServerSection, QStringLiteral("UpdateServerPort"), UpdatePortText());

  // The writes above went out on the still open connection: give them time
  // to reach the server before it is closed.
  davu::platform::sleeper().blockingSleep(1000);

  ServerVersion.clear();
  UpdateServerVersion.clear();
  // A failure of the coming attempt is reported with the offer to edit the
  // settings, and the update check runs again on the new server.
  WasConnected = false;
  UpdateCheckPending = true;
  emit ServerChanged();
}

bool TServerSettingsTab::UpdateField::editedIn(const QLineEdit* field) const {
  return field->text() != shown;
}
