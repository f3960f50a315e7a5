// The main window: controls, start, activation, the four buttons, the
// status bar drawn from the connection, and the end.
#include "app/UDavuAdminMain.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>

#include "app/ButtonPictures.h"
#include "app/ProductVersion.h"
#include "app/ReplyRouter.h"
#include "app/Widgets.h"
#include "calllog/IdagWindow.h"
#include "calllog/UfrmActiveCalls.h"
#include "calllog/UfrmDAVUStatistik.h"
#include "common/ClientSocket.h"
#include "common/NamedServers.h"
#include "common/SettingsStore.h"
#include "common/SharedState.h"
#include "common/TextFormats.h"
#include "common/WireText.h"
#include "protocol/TextUtil.h"
#include "register/USystReg.h"
#include "update/CEVersionInfo.h"
#include "widgets/Dialogs.h"
#include "widgets/KeyboardAccess.h"
#include "widgets/ScreenFit.h"
#include "widgets/UDAVUcommon.h"

using namespace davu;

namespace {

// Four buttons of the first design, and "Idag..." beside "Kallelser...".
constexpr int kClientWidth = 590;
constexpr int kClientHeight = 165;
constexpr int kBigButtonWidth = 113;
constexpr int kBigButtonHeight = 136;
constexpr int kStatusBarHeight = 29;
constexpr int kServerListWidth = 150;

// Sets RegisterMode for as long as the register is shown through
// "Systemregister...", also when the showing ends by an exception.
struct RegisterModeScope {
  RegisterModeScope() { RegisterMode = true; }
  ~RegisterModeScope() { RegisterMode = false; }
};

}  // namespace

TfrmDAVUAdmin::TfrmDAVUAdmin(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      connection_(new davu::ServerConnection(this)),
      Timer3Tag(connection_->Timer3Tag),
      CheckForUpdate(connection_->CheckForUpdate) {
  setObjectName(QStringLiteral("frmDAVUAdmin"));
  ExitProcess = [](int code) { QCoreApplication::exit(code); };
  ShowModal = [](QDialog* dialog) { dialog->exec(); };

  // FormCreate.
  OwnClientType = ctAdmin;
  CEVersionInfo1 = new TCEVersionInfo(this);
  productVersion_ = ShownProductVersion(CEVersionInfo1->ProductVersion());
  showPlainTitle();
  InitLocalPaths();
  davu::textformats::SetProcessTextFormats();

  ClientSocket1 = connection_->ClientSocket1;
  Timer3 = connection_->Timer3;
  ReconnectTimer = connection_->ReconnectTimer;
  ReplyQuietTimer = connection_->ReplyQuietTimer;
  router_ = new davu::ReplyRouter(*connection_, [this] { return frmSystreg; }, this);
  // The process-wide way to ask for a new attempt, for code that knows no
  // window; the register asks through its own signal.
  ConnectProc = [this] { connection_->ConnectToServer(); };

  buildControls();
  followConnection();
}

TfrmDAVUAdmin::~TfrmDAVUAdmin() {
  // The register refers to the socket: it goes first. Nothing the connection
  // reports while it goes may reach a half-destroyed window.
  delete frmSystreg;
  frmSystreg = nullptr;
  connection_->disconnect(this);
  ConnectProc = nullptr;
  delete connection_;
}

void TfrmDAVUAdmin::showPlainTitle() {
  setWindowTitle(QStringLiteral("DAVU Admin  version: ") + productVersion_);
}

void TfrmDAVUAdmin::followConnection() {
  using C = davu::ServerConnection;
  connect(connection_, &C::stateChanged, this, &TfrmDAVUAdmin::drawState);
  connect(connection_, &C::serverVersionArrived, this, &TfrmDAVUAdmin::serverVersionArrived);
  connect(connection_, &C::versionAccepted, this, [this] {
    btnStatistik->setEnabled(true);
    btnKallelser->setEnabled(true);
    btnIdag->setEnabled(true);
    if (frmIdag_) frmIdag_->ConnectionReady();
  });
  connect(connection_, &C::versionRefused, this, [this](const QString& version) {
    ShowInfoHint(QStringLiteral("Fel serverversion!\r\rDAVU-Servern har version ") + version +
                     QStringLiteral("\rMinst version 1.10.1 krävs!"),
                 this);
  });
  connect(connection_, &C::clinicNameReply, this, [this](std::string_view payload) {
    setWindowTitle(QStringLiteral("DAVU Admin - ") + FromWire(davu::proto::ExtractField(payload, 1, ':')) +
                   QStringLiteral("  version: ") + productVersion_);
  });
  connect(router_, &davu::ReplyRouter::errorForUser, this, [this](const QString& shown) {
    ShowInfoHint(QStringLiteral("Servern svarade med följande fel: ") + shown, this);
  });
  connect(connection_, &C::replyTooLarge, this, [this] {
    ShowInfoHint(QStringLiteral("Ett svar från servern var för stort och kunde inte tas emot.\r"
                                "Försök igen eller kontakta systemansvarig."),
                 this);
  });
  connect(connection_, &C::editSettingsRequested, this, &TfrmDAVUAdmin::openServerSettings);
  connect(connection_, &C::newerProgramStarted, this, [this] {
    if (frmDAVUcommon) frmDAVUcommon->UpdateTimer->stop();
    close();
  });
}

TfrmDAVUAdmin::StatusLook TfrmDAVUAdmin::lookOf(ConnectionState state, int countdownMs, const QString& version) {
  switch (state) {
    case ConnectionState::NotConnected:
      return {false, QStringLiteral("Ej ansluten")};
    case ConnectionState::Connecting:
      return {std::nullopt, QStringLiteral("Ej ansluten - försöker ansluta...")};
    case ConnectionState::Introduced:
      // Still "försöker ansluta..." or the countdown of the attempt.
      return {};
    case ConnectionState::Connected:
      return {true, QStringLiteral("Ansluten")};
    case ConnectionState::Refused:
      return {false, QStringLiteral("Fel serverversion ") + version + QStringLiteral(" INTE ansluten")};
    case ConnectionState::WaitingToRetry:
      return {false, QStringLiteral("Ej ansluten - nästa försök om ") + QString::number(countdownMs / 1000) +
                         QStringLiteral(" sekunder")};
    case ConnectionState::NeedsSettings:
      return {false, QStringLiteral("Ej ansluten - kontrollera Serverinställningarna i Systemregistret")};
  }
  return {};
}

void TfrmDAVUAdmin::drawState(ConnectionState state) {
  const StatusLook look = lookOf(state, connection_->Timer3Tag, ServerVersion);
  if (look.connected) {
    shServerConnected->setBrushColor(*look.connected ? QColor(0, 128, 0) : QColor(255, 0, 0));
    shServerConnected->setToolTip(*look.connected ? QStringLiteral("Serveranslutning: Ansluten")
                                                  : QStringLiteral("Serveranslutning: Ej ansluten"));
  }
  if (look.text) lblStatus->setText(*look.text);
}

void TfrmDAVUAdmin::serverVersionArrived() {
  // The register shows its register tabs as soon as a connection is there,
  // and reloads the shown tab over it. The server tab holds what the
  // administrator is typing: there only the versions follow the connection.
  if (!frmSystreg || !frmSystreg->isVisible()) return;
  if (frmSystreg->activePage() == frmSystreg->tsServersettings) {
    frmSystreg->tsServersettings->ConnectionReady();
  } else {
    frmSystreg->SetTabs(frmSystreg->activePage());
  }
}

void TfrmDAVUAdmin::DispatchReply(std::string text, ClientSocket* socket) {
  Q_UNUSED(socket);
  connection_->DispatchReply(text);
}

void TfrmDAVUAdmin::buildControls() {
  setFont(QFont(QStringLiteral("Tahoma"), 8));
  SetFixedSizeOnScreen(this, QSize(kClientWidth, kClientHeight));

  auto bigButton = [this](const char* name, const QString& caption, const QIcon& picture, int x) {
    auto* b = new PictureButton(caption, this);
    b->setObjectName(QString::fromLatin1(name));
    b->setIcon(picture);
    b->setGeometry(x, 0, kBigButtonWidth, kBigButtonHeight);
    return b;
  };
  // Five buttons across the width, the outer two against the edges.
  const int step = (kClientWidth - kBigButtonWidth) / 4;
  btnSystemregister = bigButton("btnSystemregister", QStringLiteral("Systemregister..."),
                                davu::buttonpictures::RegisterPicture(), 0);
  btnStatistik = bigButton("btnStatistik", QStringLiteral("Statistik..."),
                           davu::buttonpictures::StatisticsPicture(), step);
  btnKallelser = bigButton("btnKallelser", QStringLiteral("Kallelser..."),
                           davu::buttonpictures::CallsPicture(), 2 * step);
  btnIdag = bigButton("btnIdag", QStringLiteral("Idag..."), davu::buttonpictures::TodayPicture(), 3 * step);
  btnSettings = bigButton("btnSettings", QStringLiteral("Inställningar..."),
                          davu::buttonpictures::SettingsPicture(), kClientWidth - kBigButtonWidth);
  btnStatistik->setEnabled(false);
  btnKallelser->setEnabled(false);
  btnIdag->setEnabled(false);

  pnlStatus = new QFrame(this);
  pnlStatus->setObjectName(QStringLiteral("Panel3"));
  pnlStatus->setFrameShape(QFrame::StyledPanel);
  pnlStatus->setFrameShadow(QFrame::Raised);
  pnlStatus->setGeometry(0, kClientHeight - kStatusBarHeight, kClientWidth, kStatusBarHeight);

  shServerConnected = new StatusCircle(pnlStatus);
  shServerConnected->setObjectName(QStringLiteral("shServerConnected"));
  shServerConnected->move(3, 2);

  lblStatus = new QLabel(pnlStatus);
  lblStatus->setObjectName(QStringLiteral("Label1"));
  lblStatus->setGeometry(34, 2, kClientWidth - 34 - 73 - 8, 25);
  lblStatus->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  // The longer states take two lines beside the server list.
  lblStatus->setWordWrap(true);

  cbServers = new QComboBox(pnlStatus);
  cbServers->setObjectName(QStringLiteral("cbServers"));
  cbServers->setAccessibleName(QStringLiteral("Server"));
  cbServers->setAccessibleDescription(QStringLiteral("Den server programmet är anslutet till; välj en annan för att byta"));
  cbServers->setToolTip(QStringLiteral("Byt server (Alt+V)"));
  cbServers->setGeometry(kClientWidth - 73 - 2 - 4 - kServerListWidth, 3, kServerListWidth, 23);
  cbServers->hide();
  connect(cbServers, &QComboBox::activated, this, &TfrmDAVUAdmin::SwitchServer);
  auto* toServers = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_V), this);
  toServers->setObjectName(QStringLiteral("scServers"));
  connect(toServers, &QShortcut::activated, this, [this] {
    if (!cbServers->isVisible()) return;
    cbServers->setFocus(Qt::ShortcutFocusReason);
    cbServers->showPopup();
  });

  btnClose = new QPushButton(QStringLiteral("&Stäng"), pnlStatus);
  btnClose->setObjectName(QStringLiteral("btnClose"));
  btnClose->setGeometry(kClientWidth - 73 - 2, 1, 73, 27);

  drawState(ConnectionState::NotConnected);

  // Enter presses the focused button, as in the program's dialogs; outside a
  // dialog a push button answers only Space unless it is told to.
  for (QPushButton* b : {static_cast<QPushButton*>(btnSystemregister),
                         static_cast<QPushButton*>(btnStatistik),
                         static_cast<QPushButton*>(btnKallelser), static_cast<QPushButton*>(btnIdag),
                         static_cast<QPushButton*>(btnSettings), btnClose})
    b->setAutoDefault(true);

  // Alt+letter for each button; "&Stäng" marks its own.
  davu::keys::SetAccessKey(btnSystemregister, u'r');
  davu::keys::SetAccessKey(btnStatistik, u't');
  davu::keys::SetAccessKey(btnKallelser, u'k');
  davu::keys::SetAccessKey(btnIdag, u'd');
  davu::keys::SetAccessKey(btnSettings, u'i');

  connect(btnSystemregister, &QPushButton::clicked, this, &TfrmDAVUAdmin::btnSystemregisterClick);
  connect(btnStatistik, &QPushButton::clicked, this, &TfrmDAVUAdmin::btnStatistikClick);
  connect(btnKallelser, &QPushButton::clicked, this, &TfrmDAVUAdmin::btnKallelserClick);
  connect(btnIdag, &QPushButton::clicked, this, &TfrmDAVUAdmin::btnIdagClick);
  connect(btnSettings, &QPushButton::clicked, this, &TfrmDAVUAdmin::btnSettingsClick);
  connect(btnClose, &QPushButton::clicked, this, &TfrmDAVUAdmin::btnCloseClick);
}

bool TfrmDAVUAdmin::event(QEvent* e) {
  switch (e->type()) {
    case QEvent::Show:
      if (!activatedOnce_) {
        // Placed in the centre of the screen it opens on.
        CentreOnScreen(this);
        // Platforms without window activation (offscreen) still get their
        // first activation.
        QMetaObject::invokeMethod(this, &TfrmDAVUAdmin::FormActivate, Qt::QueuedConnection);
      }
      break;
    case QEvent::WindowActivate:
      // Run after the activation has been handled, so that modal windows
      // opened from here do not nest inside the window system's event.
      QMetaObject::invokeMethod(this, &TfrmDAVUAdmin::FormActivate, Qt::QueuedConnection);
      break;
    default:
      break;
  }
  return QWidget::event(e);
}

void TfrmDAVUAdmin::createRegisterWindow() {
  frmSystreg = new TfrmSystreg(this);
  frmSystreg->setObjectName(QStringLiteral("frmSystreg"));
  frmSystreg->ClientSocket1 = ClientSocket1;
  connect(frmSystreg, &TfrmSystreg::reconnectRequested, this, [this] {
    // The saved server may be another clinic's.
    ShowServers();
    showPlainTitle();
    if (frmIdag_) frmIdag_->ServerSwitched();
    connection_->ConnectAfresh();
  });
}

void TfrmDAVUAdmin::ShowServers() {
  const davu::NamedServerList list = davu::NamedServerList::Load();
  const QSignalBlocker quiet(cbServers);
  cbServers->clear();
  for (const davu::NamedServer& s : list.servers) cbServers->addItem(s.name);
  cbServers->setCurrentIndex(list.current);
  const bool shown = !list.servers.isEmpty();
  cbServers->setVisible(shown);
  lblStatus->setFixedWidth(shown ? cbServers->x() - 34 - 4 : kClientWidth - 34 - 73 - 8);
}

void TfrmDAVUAdmin::SwitchServer(int index) {
  davu::NamedServerList list = davu::NamedServerList::Load();
  if (index < 0 || index >= list.servers.size() || index == list.current) {
    ShowServers();
    return;
  }
  if (frmSystreg && frmSystreg->isVisible() && frmSystreg->HasUnsavedEdit() &&
      AskYesNo(QStringLiteral("Ändringarna i Systemregistret har inte sparats och går förlorade om du byter "
                              "server.\r\rByta till ") +
               list.servers[index].name + QStringLiteral(" ändå?")) != mrYes) {
    ShowServers();
    return;
  }
  list.current = index;
  list.Save();
  ShowServers();
  // As after saving the server settings: the versions are the old server's,
  // a failure of the coming attempt offers to edit the settings, and the
  // update check runs on the new server.
  ServerVersion.clear();
  UpdateServerVersion.clear();
  WasConnected = false;
  UpdateCheckPending = true;
  showPlainTitle();
  ClientSocket1->close();
  // Idag starts the new server's day; the old clinic's figures go.
  if (frmIdag_) frmIdag_->ServerSwitched();
  // The register shows what belongs to the new server once it answers.
  if (frmSystreg && frmSystreg->isVisible()) frmSystreg->SetTabs(frmSystreg->activePage());
  connection_->ConnectAfresh();
}

void TfrmDAVUAdmin::FormActivate() {
  if (!activatedOnce_) {
    activatedOnce_ = true;
    createRegisterWindow();
    // A first start after the single server of older versions keeps it as
    // the first named server.
    if (const davu::NamedServerList list = davu::NamedServerList::Load(); list.madeFromOldSettings) list.Save();
    ShowServers();
    WasConnected = false;
    if (ReadSettingDef(QStringLiteral("ServerSettings"), QStringLiteral("ServerName"),
                       QStringLiteral("ERROR")) == QLatin1String("ERROR")) {
      ShowInfoHintAt(QStringLiteral("Gå till Systemregistret och ställ in servernamn och serverport."),
                     mapToGlobal(QPoint(0, 0)));
      openServerSettings();
    } else {
      ConnectToServer();
    }
  }
  update();
}

void TfrmDAVUAdmin::openServerSettings() {
  if (!frmSystreg) return;
  frmSystreg->SetTabs(frmSystreg->tsServersettings);
  if (!frmSystreg->isVisible()) ShowModal(frmSystreg);
}

void TfrmDAVUAdmin::btnSystemregisterClick() {
  if (!frmSystreg) return;
  RegisterModeScope mode;
  frmSystreg->SetTabs(frmSystreg->tsResurser);
  if (!frmSystreg->isVisible()) {
    frmSystreg->setFixedWidth(800);
    frmSystreg->tsStations->Splitter1Moved();
    ShowModal(frmSystreg);
  }
}

void TfrmDAVUAdmin::btnSettingsClick() { openServerSettings(); }

void TfrmDAVUAdmin::btnStatistikClick() {
  TfrmDAVUStatistik window(this);
  window.ClientSocket1 = ClientSocket1;
  ShowModal(&window);
}

void TfrmDAVUAdmin::btnKallelserClick() {
  TfrmDAVUActiveCalls window(this);
  window.ClientSocket1 = ClientSocket1;
  ShowModal(&window);
}

void TfrmDAVUAdmin::btnIdagClick() {
  // Not modal: it stays open beside the other windows. A second press
  // brings the open one forward.
  if (!frmIdag_) {
    frmIdag_ = new IdagWindow(this);
    frmIdag_->setAttribute(Qt::WA_DeleteOnClose);
    frmIdag_->ClientSocket1 = ClientSocket1;
  }
  frmIdag_->show();
  frmIdag_->raise();
  frmIdag_->activateWindow();
}

void TfrmDAVUAdmin::btnCloseClick() { close(); }

void TfrmDAVUAdmin::closeEvent(QCloseEvent* e) {
  e->accept();
  FormClose();
}

void TfrmDAVUAdmin::FormClose() {
  connection_->shutDown();
  if (frmSystreg) {
    // The register may be the window whose modal loop is running right now.
    frmSystreg->hide();
    frmSystreg->deleteLater();
    frmSystreg = nullptr;
  }
  ExitProcess(1);
}
