#include "calllog/UfrmDAVUStatistik.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QFont>
#include <QGridLayout>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHideEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

#include "calllog/CallLogGrid.h"
#include "calllog/CallLogSql.h"
#include "calllog/StatistikReports.h"
#include "calllog/TSVVirtualTable.h"
#include "common/ClientIdentity.h"
#include "common/ClientSocket.h"
#include "common/SettingsStore.h"
#include "common/SharedState.h"
#include "common/TextFormats.h"
#include "common/WireText.h"
#include "common/platform/Platform.h"
#include "protocol/Catalogue.h"
#include "widgets/GridAccessible.h"
#include "widgets/KeyboardAccess.h"
#include "widgets/ScreenFit.h"
#include "widgets/ShownCellsGrid.h"
#include "widgets/ShownTabsAccessible.h"

using namespace davu;

namespace {
QGroupBox* Group(const QString& title, const char* name, QWidget* parent) {
  auto* g = new QGroupBox(title, parent);
  g->setObjectName(QLatin1String(name));
  return g;
}

// The left panel is narrow: little room around what a group holds.
QVBoxLayout* TightColumn(QWidget* parent) {
  auto* l = new QVBoxLayout(parent);
  l->setContentsMargins(3, 2, 3, 3);
  l->setSpacing(2);
  return l;
}

const QString kWindowSection = QStringLiteral("StatistikFonster");

QDateEdit* DatePicker(const char* name, QWidget* parent) {
  auto* d = new QDateEdit(parent);
  d->setObjectName(QLatin1String(name));
  d->setCalendarPopup(true);
  d->setDisplayFormat(QLatin1String(davu::textformats::kShortDateFormat));
  return d;
}

QListWidget* CheckList(const char* name, QWidget* parent) {
  auto* l = new QListWidget(parent);
  l->setObjectName(QLatin1String(name));
  // The narrow panel cannot show a long item whole: the list scrolls
  // sideways, so that " (inaktiv)" and " - SMS skickas till ..." can be
  // read; the whole text also shows as the item's tool tip.
  l->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  l->setTextElideMode(Qt::ElideNone);
  davu::a11y::TellTicksAsCheckBoxes(l);
  return l;
}

void AddCheckItem(QListWidget* list, const QString& text, bool ticked) {
  auto* item = new QListWidgetItem(text, list);
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
  item->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
  item->setToolTip(text);
}

// The server numbers of the ticked items; numbers(i) is item i's.
template <typename Number>
QList<int> Ticked(const QListWidget* list, std::size_t records, Number numbers) {
  QList<int> ticked;
  for (int i = 0; i < list->count() && i < static_cast<int>(records); ++i)
    if (list->item(i)->checkState() == Qt::Checked) ticked.push_back(numbers(i));
  return ticked;
}

}  // namespace

TfrmDAVUStatistik* TfrmDAVUStatistik::current() {
  return qobject_cast<TfrmDAVUStatistik*>(waiting(rtStatistics));
}

TfrmDAVUStatistik::TfrmDAVUStatistik(QWidget* parent) : CallLogWindow(rtStatistics, parent) {
  setObjectName(QStringLiteral("frmDAVUStatistik"));
  setWindowTitle(QStringLiteral("DAVU Statistik"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
  setFont(davu::calllog::WindowFont());
  // 807 x 495 (or what of it the screen holds) is the first and smallest
  // size; the administrator may enlarge it, and finds it as large again.
  QSize first(807, 495);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    first = first.boundedTo(screen->availableSize());
  setMinimumSize(first);
  resize(first);
  const QSize stored(ReadUserSetting(kWindowSection, QStringLiteral("Width")).toInt(),
                     ReadUserSetting(kWindowSection, QStringLiteral("Height")).toInt());
  if (stored.isValid()) resize(stored.expandedTo(first));

  SVVirtualTable1 = new TSVVirtualTable(this);
  SVVirtualTable1->setObjectName(QStringLiteral("SVVirtualTable1"));
  SVVirtualTable1->setSQL(QString::fromLatin1(davu::calllog::kStatisticsTableSql));

  buildLeftPanel();

  davu::a11y::ExposeShownTabsOnly();
  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName(QStringLiteral("PageControl1"));
  PageControl1->setAccessibleName(QStringLiteral("Flikar"));
  tsList = new QWidget;
  tsList->setObjectName(QStringLiteral("TabSheet1"));
  PageControl1->addTab(tsList, QStringLiteral("Text statistik"));
  DBGrid1 = new davu::ShownCellsGrid(tsList);
  DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
  davu::calllog::SetupGrid(DBGrid1, SVVirtualTable1,
                     {{"FRIENDLYNAME", 25, QStringLiteral("Klientnamn")},
                      {"FULLNAME", 25, QStringLiteral("Resursnamn")},
                      {"CALLTSTAMP", 18, QStringLiteral("Påkallad")},
                      {"CONFIRMTSTAMP", 18, QStringLiteral("Bekräftad")},
                      {"SMSSENT", 5, QStringLiteral("SMS skickat")}});
  DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
  DBGrid1->setAccessibleName(QStringLiteral("Kallelser"));
  DBGrid1->setTabKeyNavigation(false);
  auto* sheet = new QVBoxLayout(tsList);
  sheet->setContentsMargins(2, 2, 2, 2);
  sheet->addWidget(DBGrid1);

  const davu::calllog::BottomPanel bottom = davu::calllog::MakeBottomPanel(this, QStringLiteral("Panel2"),
                                                              QStringLiteral("Skapa rapport"));
  pnlButtons = bottom.panel;
  btnCreateReport = bottom.action;
  lblRecordCount = bottom.count;
  Avbryt = bottom.back;

  auto* top = new QHBoxLayout;
  top->setContentsMargins(0, 0, 0, 0);
  top->setSpacing(0);
  // An enlarged window widens the lists too, in the first size's proportion.
  top->addWidget(pnlChoices, 169);
  top->addWidget(PageControl1, 807 - 169);
  auto* layout = new QVBoxLayout(this);
  // The window's own smallest size rules, so that it fits a small screen:
  // the grid and the lists shrink.
  layout->setSizeConstraint(QLayout::SetNoConstraint);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addLayout(top, 1);
  layout->addWidget(pnlButtons);

  connect(btnCreateReport, &QPushButton::clicked, this, &TfrmDAVUStatistik::BitBtn1Click);
  connect(Avbryt, &QPushButton::clicked, this, &TfrmDAVUStatistik::AvbrytClick);

  FormCreate();
  Reports = new StatistikReports(this);
  davu::keys::PressFocusedButtonOnReturn(this);
  davu::keys::SwitchTabsFromAnywhere(this, PageControl1);
}

void TfrmDAVUStatistik::buildLeftPanel() {
  pnlChoices = new QWidget(this);
  pnlChoices->setObjectName(QStringLiteral("Panel1"));
  pnlChoices->setMinimumWidth(169);
  pnlChoices->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  gbSelection = Group(QStringLiteral("Urval"), "GroupBox1", pnlChoices);

  gbClients = Group(QStringLiteral("Klienter"), "GroupBox2", gbSelection);
  gbClients->setMinimumHeight(122);
  clbClients = CheckList("CheckListBox2", gbClients);
  clbClients->setAccessibleName(gbClients->title());
  TightColumn(gbClients)->addWidget(clbClients);

  gbResources = Group(QStringLiteral("Resurser"), "GroupBox3", gbSelection);
  clbResources = CheckList("CheckListBox1", gbResources);
  clbResources->setAccessibleName(gbResources->title());
  TightColumn(gbResources)->addWidget(clbResources);

  gbDateRange = Group(QStringLiteral("Datumintervall"), "GroupBox4", gbSelection);
  gbDateRange->setFixedHeight(76);
  lblFrom = new QLabel(QStringLiteral("&Fr.o.m.:"), gbDateRange);
  lblFrom->setObjectName(QStringLiteral("Label1"));
  dtFrom = DatePicker("DateTimePicker1", gbDateRange);
  lblTo = new QLabel(QStringLiteral("T.o.&m.:"), gbDateRange);
  lblTo->setObjectName(QStringLiteral("Label2"));
  dtTo = DatePicker("DateTimePicker2", gbDateRange);
  // Each date is named by its own caption, not by the group around both.
  lblFrom->setBuddy(dtFrom);
  lblTo->setBuddy(dtTo);
  dtFrom->setAccessibleName(QStringLiteral("Fr.o.m."));
  dtTo->setAccessibleName(QStringLiteral("T.o.m."));
  auto* dates = new QGridLayout(gbDateRange);
  dates->setContentsMargins(3, 2, 3, 3);
  dates->setHorizontalSpacing(3);
  dates->setColumnStretch(1, 1);
  dates->addWidget(lblFrom, 0, 0);
  dates->addWidget(dtFrom, 0, 1);
  dates->addWidget(lblTo, 1, 0);
  dates->addWidget(dtTo, 1, 1);

  gbOther = Group(QStringLiteral("Övrigt"), "GroupBox5", gbSelection);
  gbOther->setFixedHeight(62);
  cbConfirmedOnly = new QCheckBox(QStringLiteral("Visa endast bekräftade"), gbOther);
  cbConfirmedOnly->setObjectName(QStringLiteral("CheckBox1"));
  cbConfirmedOnly->setChecked(false);
  TightColumn(gbOther)->addWidget(cbConfirmedOnly);

  auto* urval = TightColumn(gbSelection);
  urval->addWidget(gbClients, 1);
  urval->addWidget(gbResources, 1);
  urval->addWidget(gbDateRange);
  urval->addWidget(gbOther);
  auto* left = new QVBoxLayout(pnlChoices);
  left->setContentsMargins(0, 0, 0, 0);
  left->addWidget(gbSelection);
}

TfrmDAVUStatistik::~TfrmDAVUStatistik() = default;

// The current month, first to last day; within one run of the program the
// range and the choice of the last report made.
void TfrmDAVUStatistik::FormCreate() {
  const QDate today = davu::platform::clock().now().date();
  const QDate first(today.year(), today.month(), 1);
  dtFrom->setDate(SessionChoice().from.isValid() ? SessionChoice().from : first);
  dtTo->setDate(SessionChoice().to.isValid() ? SessionChoice().to
                                                        : first.addMonths(1).addDays(-1));
  cbConfirmedOnly->setChecked(SessionChoice().confirmedOnly);
}

TfrmDAVUStatistik::Choice& TfrmDAVUStatistik::SessionChoice() {
  static Choice choice;
  return choice;
}

// A small screen gets all the room there is, frame included.
void TfrmDAVUStatistik::showEvent(QShowEvent* event) {
  if (const QScreen* s = screen()) {
    const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    const QSize room = s->availableGeometry().size().shrunkBy(frame);
    setMinimumSize(minimumSize().boundedTo(room));
    resize(size().boundedTo(room));
  }
  CallLogWindow::showEvent(event);
}

void TfrmDAVUStatistik::hideEvent(QHideEvent* event) {
  CallLogWindow::hideEvent(event);
  SessionChoice() = {dtFrom->date(), dtTo->date(), cbConfirmedOnly->isChecked(),
                     tickedMachines(), tickedCallables()};
  if (isMaximized() || isMinimized()) return;
  WriteUserSetting(kWindowSection, QStringLiteral("Width"), QString::number(width()));
  WriteUserSetting(kWindowSection, QStringLiteral("Height"), QString::number(height()));
}

void TfrmDAVUStatistik::firstActivation() {
  const std::string client = ToWire(GetClientName());
  // One balloon when the connection is not open, not one per list.
  if (sendRequest(davu::proto::GetAllCallables(client))) sendRequest(davu::proto::GetAllMachines(client));
}

void TfrmDAVUStatistik::connectionRestored() {
  const std::string client = ToWire(GetClientName());
  if (clbResources->count() == 0) sendRequest(davu::proto::GetAllCallables(client));
  if (clbClients->count() == 0) sendRequest(davu::proto::GetAllMachines(client));
}

QList<int> TfrmDAVUStatistik::tickedMachines() const {
  return Ticked(clbClients, machines_.size(), [this](int i) { return machines_[i]->Lopnr; });
}

QList<int> TfrmDAVUStatistik::tickedCallables() const {
  return Ticked(clbResources, callables_.size(), [this](int i) { return callables_[i]->CallableLopnr; });
}

void TfrmDAVUStatistik::BitBtn1Click() {
  const QList<int> stations = tickedMachines(), callables = tickedCallables();
  const QString sql = davu::calllog::StatisticsQuery({stations.begin(), stations.end()},
                                                     {callables.begin(), callables.end()}, dtFrom->date(),
                                               dtTo->date(), cbConfirmedOnly->isChecked());
  // Without a connection the grid keeps the last report and its count.
  sendQuery(davu::proto::OpenSql(ToWire(GetClientName()), ToWire(sql)));
}

void TfrmDAVUStatistik::LoadCallables(std::vector<CallablePtr> callables) {
  callables_ = std::move(callables);
  clbResources->clear();
  for (const CallablePtr& c : callables_)
    AddCheckItem(clbResources, CallableItemText(*c), SessionChoice().callables.contains(c->CallableLopnr));
}

void TfrmDAVUStatistik::LoadMachines(std::vector<MachinePtr> machines) {
  machines_ = std::move(machines);
  clbClients->clear();
  for (const MachinePtr& m : machines_)
    AddCheckItem(clbClients, MachineItemText(*m), SessionChoice().machines.contains(m->Lopnr));
}
