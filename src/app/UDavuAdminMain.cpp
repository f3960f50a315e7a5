// The main window: controls, start, activation, the four buttons and the end.
// The connection handlers are in UDavuAdminConnection.cpp, the read handler
// and the dispatcher in UDavuAdminDispatch.cpp.
#include "UDavuAdminMain.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "ButtonPictures.h"
#include "CEVersionInfo.h"
#include "ClientSocket.h"
#include "Dialogs.h"
#include "KeyboardAccess.h"
#include "ProductVersion.h"
#include "ScreenFit.h"
#include "SettingsStore.h"
#include "SharedState.h"
#include "TextFormats.h"
#include "USystReg.h"
#include "UfrmActiveCalls.h"
#include "UfrmDAVUStatistik.h"
#include "Widgets.h"

namespace {

constexpr int kClientWidth = 471;
constexpr int kClientHeight = 165;
constexpr int kBigButtonWidth = 113;
constexpr int kBigButtonHeight = 136;
constexpr int kStatusBarHeight = 29;

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
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
  setObjectName(QStringLiteral("frmDAVUAdmin"));
  ExitProcess = [](int code) { QCoreApplication::exit(code); };
  ShowModal = [](QDialog* dialog) { dialog->exec(); };

  // FormCreate.
  OwnClientType = ctAdmin;
  CEVersionInfo1 = new TCEVersionInfo(this);
  productVersion_ = ShownProductVersion(CEVersionInfo1->ProductVersion());
  setWindowTitle(QStringLiteral("DAVU Admin  version: ") + productVersion_);
  InitLocalPaths();
  ConnectProc = [this] { ConnectToServer(); };
  davu::textformats::SetProcessTextFormats();

  buildControls();

  ClientSocket1 = new ClientSocket(this);
  ClientSocket1->setObjectName(QStringLiteral("ClientSocket1"));
  connect(ClientSocket1, &ClientSocket::connected, this, &TfrmDAVUAdmin::ClientSocket1Connect);
  connect(ClientSocket1, &ClientSocket::disconnected, this,
          &TfrmDAVUAdmin::ClientSocket1Disconnect);
  connect(ClientSocket1, &ClientSocket::errorOccurred, this, &TfrmDAVUAdmin::ClientSocket1Error);
  connect(ClientSocket1, &ClientSocket::readReady, this, &TfrmDAVUAdmin::ClientSocket1Read);

  Timer3 = new QTimer(this);
  Timer3->setObjectName(QStringLiteral("Timer3"));
  Timer3->setInterval(1000);
  connect(Timer3, &QTimer::timeout, this, &TfrmDAVUAdmin::Timer3Timer);

  ReconnectTimer = new QTimer(this);
  ReconnectTimer->setObjectName(QStringLiteral("ReconnectTimer"));
  ReconnectTimer->setInterval(60000);
  connect(ReconnectTimer, &QTimer::timeout, this, &TfrmDAVUAdmin::ReconnectTimerTimer);

  // An unfinished message or a marker's first bytes wait this long for the
  // bytes that complete them; then they are handled as they stand.
  ReplyQuietTimer = new QTimer(this);
  ReplyQuietTimer->setObjectName(QStringLiteral("ReplyQuietTimer"));
  ReplyQuietTimer->setSingleShot(true);
  ReplyQuietTimer->setInterval(10000);
  connect(ReplyQuietTimer, &QTimer::timeout, this, &TfrmDAVUAdmin::ReplyQuietTimerTimer);
}

TfrmDAVUAdmin::~TfrmDAVUAdmin() {
  // The register refers to the socket: it goes first. Nothing the socket
  // emits while it goes may reach the handlers of a half-destroyed window.
  delete frmSystreg;
  frmSystreg = nullptr;
  ClientSocket1->disconnect(this);
  if (ServerSocket == ClientSocket1) ServerSocket = nullptr;
  ConnectProc = nullptr;
}

void TfrmDAVUAdmin::buildControls() {
  setFont(QFont(QStringLiteral("Tahoma"), 8));
  SetFixedSizeOnScreen(this, QSize(kClientWidth, kClientHeight));

  auto bigButton = [this](const char* name, const QString& caption, const QIcon& picture, int x) {
    auto* b = new TPictureButton(caption, this);
    b->setObjectName(QString::fromLatin1(name));
    b->setIcon(picture);
    b->setGeometry(x, 0, kBigButtonWidth, kBigButtonHeight);
    return b;
  };
  // Four buttons across the width, the outer two against the edges.
  const int step = (kClientWidth - kBigButtonWidth) / 3;
  btnSystemregister = bigButton("btnSystemregister", QStringLiteral("Systemregister..."),
                                davu::buttonpictures::RegisterPicture(), 0);
  btnStatistik = bigButton("btnStatistik", QStringLiteral("Statistik..."),
                           davu::buttonpictures::StatisticsPicture(), step);
  btnKallelser = bigButton("btnKallelser", QStringLiteral("Kallelser..."),
                           davu::buttonpictures::CallsPicture(), 2 * step);
  btnSettings = bigButton("btnSettings", QStringLiteral("Inställningar..."),
                          davu::buttonpictures::SettingsPicture(), kClientWidth - kBigButtonWidth);
  btnStatistik->setEnabled(false);
  btnKallelser->setEnabled(false);

  Panel3 = new QFrame(this);
  Panel3->setObjectName(QStringLiteral("Panel3"));
  Panel3->setFrameShape(QFrame::StyledPanel);
  Panel3->setFrameShadow(QFrame::Raised);
  Panel3->setGeometry(0, kClientHeight - kStatusBarHeight, kClientWidth, kStatusBarHeight);

  shServerConnected = new TStatusCircle(Panel3);
  shServerConnected->setObjectName(QStringLiteral("shServerConnected"));
  shServerConnected->move(3, 2);

  Label1 = new QLabel(Panel3);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setGeometry(34, 2, kClientWidth - 34 - 73 - 8, 25);
  Label1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

  btnClose = new QPushButton(QStringLiteral("&Stäng"), Panel3);
  btnClose->setObjectName(QStringLiteral("btnClose"));
  btnClose->setGeometry(kClientWidth - 73 - 2, 1, 73, 27);

  enterState(ConnectionState::NotConnected);

  // Enter presses the focused button, as in the program's dialogs; outside a
  // dialog a push button answers only Space unless it is told to.
  for (QPushButton* b : {static_cast<QPushButton*>(btnSystemregister),
                         static_cast<QPushButton*>(btnStatistik),
                         static_cast<QPushButton*>(btnKallelser),
                         static_cast<QPushButton*>(btnSettings), btnClose})
    b->setAutoDefault(true);

  // Alt+letter for each button; "&Stäng" marks its own.
  davu::keys::SetAccessKey(btnSystemregister, u'r');
  davu::keys::SetAccessKey(btnStatistik, u't');
  davu::keys::SetAccessKey(btnKallelser, u'k');
  davu::keys::SetAccessKey(btnSettings, u'i');

  connect(btnSystemregister, &QPushButton::clicked, this, &TfrmDAVUAdmin::btnSystemregisterClick);
  connect(btnStatistik, &QPushButton::clicked, this, &TfrmDAVUAdmin::btnStatistikClick);
  connect(btnKallelser, &QPushButton::clicked, this, &TfrmDAVUAdmin::btnKallelserClick);
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
}

void TfrmDAVUAdmin::FormActivate() {
  if (!activatedOnce_) {
    activatedOnce_ = true;
    createRegisterWindow();
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

void TfrmDAVUAdmin::btnCloseClick() { close(); }

void TfrmDAVUAdmin::closeEvent(QCloseEvent* e) {
  e->accept();
  FormClose();
}

void TfrmDAVUAdmin::FormClose() {
  ReconnectTimer->stop();
  ReplyQuietTimer->stop();
  Timer3->stop();
  if (ClientSocket1->active()) ClientSocket1->close();
  // The disconnect handling of that close would start a retry countdown.
  Timer3->stop();
  if (frmSystreg) {
    // The register may be the window whose modal loop is running right now.
    frmSystreg->hide();
    frmSystreg->deleteLater();
    frmSystreg = nullptr;
  }
  ExitProcess(1);
}
