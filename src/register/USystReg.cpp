#include "USystReg.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSplitter>
#include <QTabWidget>
#include <QVBoxLayout>

#include "ClientIdentity.h"
#include "ClientSocket.h"
#include "SharedState.h"
#include "WireText.h"
#include "protocol/Catalogue.h"

namespace {
// Client area as designed.
constexpr int kDesignWidth = 573;
constexpr int kDesignHeight = 391;
// "Befintliga klienter" at design, and the narrow column of move buttons
// between "Alla resurser" and "Valda resurser".
constexpr int kClientsPaneWidth = 249;
constexpr int kMoveButtonColumnWidth = 30;

// The split between the two panes is drawn in red.
class RedSplitterHandle final : public QSplitterHandle {
 public:
  using QSplitterHandle::QSplitterHandle;

 protected:
  void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), QColor(255, 0, 0)); }
};

class RedSplitter final : public QSplitter {
 public:
  using QSplitter::QSplitter;

 protected:
  QSplitterHandle* createHandle() override { return new RedSplitterHandle(orientation(), this); }
};
}  // namespace

TfrmSystreg::TfrmSystreg(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmSystreg"));
  setWindowTitle(QStringLiteral("Systemregister"));
  setModal(true);
  setFixedSize(kDesignWidth, kDesignHeight);

  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName(QStringLiteral("PageControl1"));

  tsServersettings = buildServerTab();
  tsResurser = new QWidget;
  tsResurser->setObjectName(QStringLiteral("tsResurser"));
  tsStations = buildStationsTab();
  tsSMS = new QWidget;
  tsSMS->setObjectName(QStringLiteral("tsSMS"));

  PageControl1->addTab(tsServersettings, QStringLiteral("Serverinställningar/utseende"));
  PageControl1->addTab(tsResurser, QStringLiteral("Resurser"));
  PageControl1->addTab(tsStations, QStringLiteral("Klienter"));
  PageControl1->addTab(tsSMS, QStringLiteral("SMS-inställningar"));

  btnSave = new QPushButton(QStringLiteral("Spara"), this);
  btnSave->setObjectName(QStringLiteral("btnSave"));
  btnCancel = new QPushButton(QStringLiteral("Ångra"), this);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  btnReturn = new QPushButton(QStringLiteral("Återgå"), this);
  btnReturn->setObjectName(QStringLiteral("btnReturn"));
  // No default button: Enter in a field must not save or leave the window.
  for (QPushButton* b : {btnSave, btnCancel, btnReturn}) {
    b->setAutoDefault(false);
    b->setDefault(false);
    b->setMinimumWidth(90);
  }

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btnSave);
  buttons->addWidget(btnCancel);
  buttons->addStretch(1);
  buttons->addWidget(btnReturn);

  auto* main = new QVBoxLayout(this);
  main->setContentsMargins(8, 8, 8, 8);
  main->addWidget(PageControl1, 1);
  main->addLayout(buttons);

  connect(btnSave, &QPushButton::clicked, this, &TfrmSystreg::btnSaveClick);
  connect(btnCancel, &QPushButton::clicked, this, &TfrmSystreg::btnCancelClick);
  connect(btnReturn, &QPushButton::clicked, this, &TfrmSystreg::btnReturnClick);
  connect(PageControl1, &QTabWidget::currentChanged, this, [this](int) {
    // SetTabs loads the tab it settles on once, after all its changes.
    if (!FInSetTabs) PageControl1Change();
  });
  connect(Splitter1, &QSplitter::splitterMoved, this, [this](int, int) { Splitter1Moved(); });

  FillThemeList();
}

TfrmSystreg::~TfrmSystreg() = default;

QWidget* TfrmSystreg::buildStationsTab() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("tsStations"));

  // The lists and buttons of both panes are filled in by the clients tab.
  gbKlienter = new QGroupBox(QStringLiteral("Befintliga klienter"));
  gbKlienter->setObjectName(QStringLiteral("gbKlienter"));
  gbResurserAttVisa = new QGroupBox(QStringLiteral("Resurser att visa/kalla"));
  gbResurserAttVisa->setObjectName(QStringLiteral("gbResurserAttVisa"));

  Splitter1 = new RedSplitter(Qt::Horizontal);
  Splitter1->setObjectName(QStringLiteral("Splitter1"));
  Splitter1->setChildrenCollapsible(false);
  Splitter1->setHandleWidth(4);
  Splitter1->addWidget(gbKlienter);
  Splitter1->addWidget(gbResurserAttVisa);
  // A wider window widens the resources, not the client list.
  Splitter1->setStretchFactor(0, 0);
  Splitter1->setStretchFactor(1, 1);
  Splitter1->setSizes({kClientsPaneWidth, kDesignWidth - kClientsPaneWidth});
  gbResurserAttVisa->installEventFilter(this);

  auto* layout = new QHBoxLayout(page);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(Splitter1);
  return page;
}

QWidget* TfrmSystreg::activePage() const {
  const int index = PageControl1->currentIndex();
  if (index < 0 || !PageControl1->isTabVisible(index)) return nullptr;
  return PageControl1->widget(index);
}

void TfrmSystreg::SetTabs(QWidget* page) {
  {
    QScopedValueRollback<bool> guard(FInSetTabs, true);
    const bool connected = ClientSocket1 && ClientSocket1->active();
    for (int i = 0; i < PageControl1->count(); ++i) PageControl1->setTabVisible(i, false);
    if (RegisterMode) {
      for (QWidget* w : {tsResurser, tsStations, tsSMS})
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
  btnSave->setEnabled(true);
  btnCancel->setEnabled(true);
  QWidget* page = activePage();
  if (!page) return;
  if (page == tsServersettings) {
    LoadServerSettings();
  } else if (page == tsResurser) {
    SendRequest(davu::proto::GetAllCallables(ToWire(GetClientName())));
    // Enabled again by a change of a resource's active mark.
    btnSave->setEnabled(false);
    btnCancel->setEnabled(false);
  } else if (page == tsStations) {
    SendRequest(davu::proto::GetAllMachines(ToWire(GetClientName())));
  } else if (page == tsSMS) {
    SendRequest(davu::proto::GetSmsSettings(ToWire(GetClientName())));
  }
}

// A request on a connection that dropped after the tabs were shown cannot
// arrive; the next SetTabs, on the version reply of the new connection,
// shows the tabs again and repeats it.
void TfrmSystreg::SendRequest(const std::string& bytes) {
  if (ClientSocket1 && ClientSocket1->active()) ClientSocket1->sendBytes(bytes);
}

void TfrmSystreg::Splitter1Moved() {
  if (layout()) layout()->activate();
  if (QLayout* l = tsStations->layout()) l->activate();
  const QList<int> sizes = Splitter1->sizes();
  const int left = sizes.value(0) > 0 ? sizes.value(0) : kClientsPaneWidth;
  const int right = qMax(0, Splitter1->width() - left - Splitter1->handleWidth());
  Splitter1->setSizes({left, right});
  UpdateColumnWidth();
}

// "Alla resurser" takes half the group less the column of move buttons.
void TfrmSystreg::UpdateColumnWidth() {
  FAllResourcesColumnWidth = gbResurserAttVisa->contentsRect().width() / 2 - kMoveButtonColumnWidth;
}

bool TfrmSystreg::eventFilter(QObject* watched, QEvent* event) {
  // A window that was hidden while its width changed gets its real geometry
  // only when shown; follow every size the group gets.
  if (watched == gbResurserAttVisa && event->type() == QEvent::Resize) UpdateColumnWidth();
  return QDialog::eventFilter(watched, event);
}

void TfrmSystreg::btnSaveClick() {
  FClickedSpara = true;
  if (activePage() == tsServersettings) SaveServerSettings();
  // The register tabs save their own contents.
}

void TfrmSystreg::btnCancelClick() { PageControl1Change(); }

void TfrmSystreg::btnReturnClick() { reject(); }

void TfrmSystreg::done(int result) {
  FormClose();
  QDialog::done(result);
}

void TfrmSystreg::FormClose() {
  ResourceListTarget = TResourceListTarget::None;
  // Once "Spara" has been used, every closing reconnects with the settings
  // as they are now.
  if (FClickedSpara && ConnectProc) ConnectProc();
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

// The contents of the resources, clients and SMS tabs arrive with those tabs.
void TfrmSystreg::HandleRetAllCallables(std::string_view) {}
void TfrmSystreg::HandleRetAllMachines(std::string_view) {}
void TfrmSystreg::HandleRetCallList(std::string_view) {}
void TfrmSystreg::HandleRetStationCallables(std::string_view) {}
void TfrmSystreg::HandleRetSmsSettings(std::string_view) {}
