#include "UfrmDAVUStatistik.h"

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

#include "CallLogGrid.h"
#include "CallLogSql.h"
#include "ClientIdentity.h"
#include "ClientSocket.h"
#include "KeyboardAccess.h"
#include "ScreenFit.h"
#include "ShownTabsAccessible.h"
#include "SettingsStore.h"
#include "SharedState.h"
#include "StatistikReports.h"
#include "TSVVirtualTable.h"
#include "TextFormats.h"
#include "WireText.h"
#include "platform/Platform.h"
#include "protocol/Catalogue.h"

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

TfrmDAVUStatistik::TfrmDAVUStatistik(QWidget* parent) : TCallLogWindow(rtStatistics, parent) {
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
  TabSheet1 = new QWidget;
  TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
  PageControl1->addTab(TabSheet1, QStringLiteral("Text statistik"));
  DBGrid1 = new QTableView(TabSheet1);
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
  auto* sheet = new QVBoxLayout(TabSheet1);
  sheet->setContentsMargins(2, 2, 2, 2);
  sheet->addWidget(DBGrid1);

  const davu::calllog::BottomPanel bottom = davu::calllog::MakeBottomPanel(this, QStringLiteral("Panel2"),
                                                              QStringLiteral("Skapa rapport"));
  Panel2 = bottom.panel;
  BitBtn1 = bottom.action;
  Label3 = bottom.count;
  Avbryt = bottom.back;

  auto* top = new QHBoxLayout;
  top->setContentsMargins(0, 0, 0, 0);
  top->setSpacing(0);
  // An enlarged window widens the lists too, in the first size's proportion.
  top->addWidget(Panel1, 169);
  top->addWidget(PageControl1, 807 - 169);
  auto* layout = new QVBoxLayout(this);
  // The window's own smallest size rules, so that it fits a small screen:
  // the grid and the lists shrink.
  layout->setSizeConstraint(QLayout::SetNoConstraint);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addLayout(top, 1);
  layout->addWidget(Panel2);

  connect(BitBtn1, &QPushButton::clicked, this, &TfrmDAVUStatistik::BitBtn1Click);
  connect(Avbryt, &QPushButton::clicked, this, &TfrmDAVUStatistik::AvbrytClick);

  FormCreate();
  Reports = new StatistikReports(this);
  davu::keys::PressFocusedButtonOnReturn(this);
  davu::keys::SwitchTabsFromAnywhere(this, PageControl1);
}

void TfrmDAVUStatistik::buildLeftPanel() {
  Panel1 = new QWidget(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setMinimumWidth(169);
  Panel1->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  GroupBox1 = Group(QStringLiteral("Urval"), "GroupBox1", Panel1);

  GroupBox2 = Group(QStringLiteral("Klienter"), "GroupBox2", GroupBox1);
  GroupBox2->setMinimumHeight(122);
  CheckListBox2 = CheckList("CheckListBox2", GroupBox2);
  CheckListBox2->setAccessibleName(GroupBox2->title());
  TightColumn(GroupBox2)->addWidget(CheckListBox2);

  GroupBox3 = Group(QStringLiteral("Resurser"), "GroupBox3", GroupBox1);
  CheckListBox1 = CheckList("CheckListBox1", GroupBox3);
  CheckListBox1->setAccessibleName(GroupBox3->title());
  TightColumn(GroupBox3)->addWidget(CheckListBox1);

  GroupBox4 = Group(QStringLiteral("Datumintervall"), "GroupBox4", GroupBox1);
  GroupBox4->setFixedHeight(76);
  Label1 = new QLabel(QStringLiteral("&Fr.o.m.:"), GroupBox4);
  Label1->setObjectName(QStringLiteral("Label1"));
  DateTimePicker1 = DatePicker("DateTimePicker1", GroupBox4);
  Label2 = new QLabel(QStringLiteral("T.o.&m.:"), GroupBox4);
  Label2->setObjectName(QStringLiteral("Label2"));
  DateTimePicker2 = DatePicker("DateTimePicker2", GroupBox4);
  // Each date is named by its own caption, not by the group around both.
  Label1->setBuddy(DateTimePicker1);
  Label2->setBuddy(DateTimePicker2);
  DateTimePicker1->setAccessibleName(QStringLiteral("Fr.o.m."));
  DateTimePicker2->setAccessibleName(QStringLiteral("T.o.m."));
  auto* dates = new QGridLayout(GroupBox4);
  dates->setContentsMargins(3, 2, 3, 3);
  dates->setHorizontalSpacing(3);
  dates->setColumnStretch(1, 1);
  dates->addWidget(Label1, 0, 0);
  dates->addWidget(DateTimePicker1, 0, 1);
  dates->addWidget(Label2, 1, 0);
  dates->addWidget(DateTimePicker2, 1, 1);

  GroupBox5 = Group(QStringLiteral("Övrigt"), "GroupBox5", GroupBox1);
  GroupBox5->setFixedHeight(62);
  CheckBox1 = new QCheckBox(QStringLiteral("Visa endast bekräftade"), GroupBox5);
  CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
  CheckBox1->setChecked(false);
  TightColumn(GroupBox5)->addWidget(CheckBox1);

  auto* urval = TightColumn(GroupBox1);
  urval->addWidget(GroupBox2, 1);
  urval->addWidget(GroupBox3, 1);
  urval->addWidget(GroupBox4);
  urval->addWidget(GroupBox5);
  auto* left = new QVBoxLayout(Panel1);
  left->setContentsMargins(0, 0, 0, 0);
  left->addWidget(GroupBox1);
}

TfrmDAVUStatistik::~TfrmDAVUStatistik() = default;

// The current month, first to last day; within one run of the program the
// range and the choice of the last report made.
void TfrmDAVUStatistik::FormCreate() {
  const QDate today = davu::platform::clock().now().date();
  const QDate first(today.year(), today.month(), 1);
  DateTimePicker1->setDate(SessionChoice().from.isValid() ? SessionChoice().from : first);
  DateTimePicker2->setDate(SessionChoice().to.isValid() ? SessionChoice().to
                                                        : first.addMonths(1).addDays(-1));
  CheckBox1->setChecked(SessionChoice().confirmedOnly);
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
  TCallLogWindow::showEvent(event);
}

void TfrmDAVUStatistik::hideEvent(QHideEvent* event) {
  TCallLogWindow::hideEvent(event);
  SessionChoice() = {DateTimePicker1->date(), DateTimePicker2->date(), CheckBox1->isChecked(),
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
  if (CheckListBox1->count() == 0) sendRequest(davu::proto::GetAllCallables(client));
  if (CheckListBox2->count() == 0) sendRequest(davu::proto::GetAllMachines(client));
}

QList<int> TfrmDAVUStatistik::tickedMachines() const {
  return Ticked(CheckListBox2, machines_.size(), [this](int i) { return machines_[i]->Lopnr; });
}

QList<int> TfrmDAVUStatistik::tickedCallables() const {
  return Ticked(CheckListBox1, callables_.size(), [this](int i) { return callables_[i]->CallableLopnr; });
}

void TfrmDAVUStatistik::BitBtn1Click() {
  const QList<int> stations = tickedMachines(), callables = tickedCallables();
  const QString sql = davu::calllog::StatisticsQuery({stations.begin(), stations.end()},
                                                     {callables.begin(), callables.end()}, DateTimePicker1->date(),
                                               DateTimePicker2->date(), CheckBox1->isChecked());
  // Without a connection the grid keeps the last report and its count.
  sendQuery(davu::proto::OpenSql(ToWire(GetClientName()), ToWire(sql)));
}

void TfrmDAVUStatistik::LoadCallables(std::vector<CallablePtr> callables) {
  callables_ = std::move(callables);
  CheckListBox1->clear();
  for (const CallablePtr& c : callables_)
    AddCheckItem(CheckListBox1, CallableItemText(*c), SessionChoice().callables.contains(c->CallableLopnr));
}

void TfrmDAVUStatistik::LoadMachines(std::vector<MachinePtr> machines) {
  machines_ = std::move(machines);
  CheckListBox2->clear();
  for (const MachinePtr& m : machines_)
    AddCheckItem(CheckListBox2, MachineItemText(*m), SessionChoice().machines.contains(m->Lopnr));
}
