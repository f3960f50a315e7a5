#include "register/USystReg.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTabWidget>
#include <QVBoxLayout>

#include "common/ClientSocket.h"
#include "common/ReplyTarget.h"
#include "common/SharedState.h"
#include "widgets/KeyboardAccess.h"
#include "widgets/ScreenFit.h"
#include "widgets/ShownTabsAccessible.h"

using namespace davu;

TfrmSystreg::TfrmSystreg(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmSystreg"));
  setWindowTitle(QStringLiteral("Systemregister"));
  setModal(true);
  SetFixedSizeOnScreen(this, QSize(kRegisterDesignWidth, kRegisterDesignHeight));

  // Only the tabs of the window's mode are shown, and only they are told.
  davu::a11y::ExposeShownTabsOnly();
  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName(QStringLiteral("PageControl1"));
  PageControl1->setAccessibleName(QStringLiteral("Flikar"));

  tsServersettings = new ServerSettingsTab;
  tsResurser = new ResourcesTab;
  tsStations = new StationsTab;
  tsSMS = new SmsSettingsTab;
  addTab(tsServersettings, QStringLiteral("Serverinställningar/utseende"));
  addTab(tsResurser, QStringLiteral("Resurser"));
  addTab(tsStations, QStringLiteral("Klienter"));
  addTab(tsSMS, QStringLiteral("SMS-inställningar"));
  connect(tsServersettings, &ServerSettingsTab::ServerChanged, this, &TfrmSystreg::ServerChanged);
  connect(tsStations, &StationsTab::AllResourcesRequested, this,
          [this] { ResourceListTarget = TResourceListTarget::ListBox3; });

  btnSave = new AccessKeyButton(QStringLiteral("Spara"), this);
  btnSave->setObjectName(QStringLiteral("btnSave"));
  btnCancel = new AccessKeyButton(QStringLiteral("Ångra"), this);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  btnReturn = new AccessKeyButton(QStringLiteral("Återgå"), this);
  btnReturn->setObjectName(QStringLiteral("btnReturn"));
  davu::keys::SetAccessKey(btnSave, u's');
  davu::keys::SetAccessKey(btnCancel, u'g');
  davu::keys::SetAccessKey(btnReturn, u't');
  // No default button: Enter in a field must not save or leave the window.
  // Enter on a focused button presses that button (below).
  for (QPushButton* b : {btnSave, btnCancel, btnReturn}) {
    b->setAutoDefault(false);
    b->setDefault(false);
    b->setMinimumWidth(90);
  }

  // What the active tab waits for, or why it cannot be saved.
  lblStatus = new QLabel(this);
  lblStatus->setObjectName(QStringLiteral("lblStatus"));
  lblStatus->setWordWrap(true);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btnSave);
  buttons->addWidget(btnCancel);
  buttons->addWidget(lblStatus, 1);
  buttons->addWidget(btnReturn);

  auto* main = new QVBoxLayout(this);
  main->setContentsMargins(8, 8, 8, 8);
  main->addWidget(PageControl1, 1);
  main->addLayout(buttons);

  davu::keys::PressFocusedButtonOnReturn(this);
  davu::keys::SwitchTabsFromAnywhere(this, PageControl1);

  connect(btnSave, &QPushButton::clicked, this, &TfrmSystreg::btnSaveClick);
  connect(btnCancel, &QPushButton::clicked, this, &TfrmSystreg::btnCancelClick);
  connect(btnReturn, &QPushButton::clicked, this, &TfrmSystreg::btnReturnClick);
  connect(PageControl1, &QTabWidget::currentChanged, this, [this](int) {
    // SetTabs loads the tab it settles on once, after all its changes.
    if (!FInSetTabs) PageControl1Change();
  });
}

TfrmSystreg::~TfrmSystreg() = default;

void TfrmSystreg::addTab(RegisterTab* tab, const QString& caption) {
  PageControl1->addTab(tab, caption);
  tab->Channel = [this](const std::string& bytes) { return SendRequest(bytes); };
  connect(tab, &RegisterTab::ReloadRequested, this, &TfrmSystreg::PageControl1Change);
  connect(tab, &RegisterTab::StateChanged, this, [this, tab] {
    if (tab == activeTab()) ShowTabState();
  });
}

void TfrmSystreg::ShowTabState() {
  const RegisterTab* tab = activeTab();
  btnSave->setEnabled(!tab || tab->CanSave());
  btnCancel->setEnabled(!tab || tab->CanUndo());
  lblStatus->setText(tab ? tab->StatusText() : QString());
}

QWidget* TfrmSystreg::activePage() const {
  const int index = PageControl1->currentIndex();
  if (index < 0 || !PageControl1->isTabVisible(index)) return nullptr;
  return PageControl1->widget(index);
}

RegisterTab* TfrmSystreg::activeTab() const { return qobject_cast<RegisterTab*>(activePage()); }

bool TfrmSystreg::HasUnsavedEdit() const {
  const RegisterTab* tab = activeTab();
  return tab && tab->HasUnsavedEdit();
}

void TfrmSystreg::SetTabs(QWidget* page) {
  {
    QScopedValueRollback<bool> guard(FInSetTabs, true);
    const bool connected = ClientSocket1 && ClientSocket1->active();
    if (ClientSocket1)
      connect(ClientSocket1, &ClientSocket::disconnected, this, &TfrmSystreg::ClientSocket1Disconnect,
              Qt::UniqueConnection);
    for (int i = 0; i < PageControl1->count(); ++i) PageControl1->setTabVisible(i, false);
    if (RegisterMode) {
      for (QWidget* w : {static_cast<QWidget*>(tsResurser), static_cast<QWidget*>(tsStations),
                         static_cast<QWidget*>(tsSMS)})
        PageControl1->setTabVisible(PageControl1->indexOf(w), connected);
    } else {
      PageControl1->setTabVisible(PageControl1->indexOf(tsServersettings), true);
    }

    // `page` if it is shown, else the first shown tab. This also covers a
    // request for the tab that was active while it was hidden (the register
    // tabs of a window opened before the connection came up): the tabs that
    // appear must get an active one.
    int target = page ? PageControl1->indexOf(page) : -1;
    if (target < 0 || !PageControl1->isTabVisible(target)) {
      target = -1;
      for (int i = 0; i < PageControl1->count() && target < 0; ++i)
        if (PageControl1->isTabVisible(i)) target = i;
    }
    if (target >= 0) PageControl1->setCurrentIndex(target);
  }
  PageControl1Change();
}

void TfrmSystreg::PageControl1Change() {
  if (RegisterTab* tab = activeTab()) tab->Load();
  ShowTabState();
}

// A request on a connection that dropped after the tabs were shown cannot
// arrive: the tab is told, and keeps what it was about to send. The next
// SetTabs, on the version reply of the new connection, shows the tabs again.
bool TfrmSystreg::SendRequest(const std::string& bytes) {
  if (!ClientSocket1 || !ClientSocket1->active()) return false;
  ClientSocket1->sendBytes(bytes);
  return true;
}

void TfrmSystreg::ClientSocket1Disconnect() {
  for (RegisterTab* tab : {static_cast<RegisterTab*>(tsServersettings),
                            static_cast<RegisterTab*>(tsResurser), static_cast<RegisterTab*>(tsStations),
                            static_cast<RegisterTab*>(tsSMS)})
    tab->ConnectionLost();
}

void TfrmSystreg::btnSaveClick() {
  FClickedSpara = true;
  // What has not been loaded is never saved over what the server holds.
  if (RegisterTab* tab = activeTab(); tab && tab->ContentsComplete()) tab->Save();
}

void TfrmSystreg::btnCancelClick() { PageControl1Change(); }

void TfrmSystreg::btnReturnClick() { reject(); }

// The server tab's settings are written: drop the old connection, show the
// tab with what the new attempt will use, and start that attempt.
void TfrmSystreg::ServerChanged() {
  if (ClientSocket1) ClientSocket1->close();
  SetTabs(tsServersettings);
  emit reconnectRequested();
}

void TfrmSystreg::done(int result) {
  FormClose();
  QDialog::done(result);
}

void TfrmSystreg::FormClose() {
  ResourceListTarget = TResourceListTarget::None;
  // Once "Spara" has been used, every closing reconnects with the settings
  // as they are now.
  if (FClickedSpara) emit reconnectRequested();
}

void TfrmSystreg::keyPressEvent(QKeyEvent* event) {
  // Escape is "Ångra", which reloads the tab; it does not close the window.
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    if (btnCancel->isEnabled()) btnCancel->click();
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

// The resources reply fills the list the window chose: "Alla resurser" of
// the clients tab when that tab asked for it, else "Resurser", whose lines
// the clients tab then shares. Either way the choice ends here.
void TfrmSystreg::HandleRetAllCallables(std::string_view payload) {
  const bool forClients = ResourceListTarget == TResourceListTarget::ListBox3;
  ResourceListTarget = TResourceListTarget::None;
  CallableItemList items = CallableItems(DecodeCallableList(payload));
  if (forClients) {
    tsResurser->Fill({});
    tsStations->AppendAllResources(items);
    return;
  }
  tsResurser->Fill(std::move(items));
  if (ReplyTarget == rtNone) tsStations->CopyAllResources(tsResurser->lbResurserItems->items());
}
void TfrmSystreg::AllCallablesTakenElsewhere() { ResourceListTarget = TResourceListTarget::None; }
void TfrmSystreg::HandleRetAllMachines(std::string_view p) { tsStations->HandleRetAllMachines(p); }
void TfrmSystreg::HandleRetCallList(std::string_view p) {
  tsStations->HandleRetCallList(p, tsResurser->lbResurserItems->items());
}
// The client's numbers may come before the resource list asked for with
// them; the tab keeps them until that list is there.
void TfrmSystreg::HandleRetStationCallables(std::string_view p) {
  tsStations->HandleRetStationCallables(p, ResourceListTarget == TResourceListTarget::ListBox3);
}
void TfrmSystreg::HandleRetSmsSettings(std::string_view p) { tsSMS->HandleRetSmsSettings(p); }
