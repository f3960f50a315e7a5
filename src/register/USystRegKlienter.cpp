#include "USystRegKlienter.h"

#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QListView>
#include <QPainter>
#include <QPushButton>
#include <QSplitter>
#include <QStyle>
#include <QVBoxLayout>

#include "CallableMoves.h"
#include "ClientIdentity.h"
#include "Dialogs.h"
#include "SharedState.h"
#include "UfrmAddEditKlient.h"
#include "VersionOrder.h"
#include "WireText.h"
#include "protocol/Catalogue.h"

namespace proto = davu::proto;

namespace {
// "Befintliga klienter" at design, and the narrow column of move buttons
// between "Alla resurser" and "Valda resurser".
constexpr int kClientsPaneWidth = 249;
constexpr int kMoveButtonColumnWidth = 30;
// Servers from this version on send a client's resources as numbers
// (GETSTATIONCALLABLES); older ones only as a call list.
const QString kStationCallablesVersion = QStringLiteral("1.10.4");

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

QPushButton* Button(const QString& name, const QString& text, QStyle::StandardPixmap icon = {}) {
  auto* b = new QPushButton(text);
  b->setObjectName(name);
  b->setAutoDefault(false);
  if (text.isEmpty()) {
    b->setIcon(b->style()->standardIcon(icon));
    b->setFixedWidth(kMoveButtonColumnWidth - 2);
  }
  return b;
}

QListView* ResourceList(const QString& name, QAbstractItemModel* model) {
  auto* view = new QListView;
  view->setObjectName(name);
  view->setModel(model);
  view->setSelectionMode(QAbstractItemView::ExtendedSelection);
  view->setUniformItemSizes(true);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  return view;
}

// A caption above a control, as one column.
QWidget* Column(const QString& caption, QWidget* control) {
  auto* column = new QWidget;
  auto* layout = new QVBoxLayout(column);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(new QLabel(caption));
  layout->addWidget(control, 1);
  return column;
}

QVBoxLayout* ButtonColumn(std::initializer_list<QPushButton*> buttons) {
  auto* layout = new QVBoxLayout;
  layout->addStretch(1);
  for (QPushButton* b : buttons) layout->addWidget(b);
  layout->addStretch(1);
  return layout;
}

// Rows of `view` that are selected, marked in one pass over the selection.
std::vector<bool> SelectedRows(const QListView* view, int rows, bool& any) {
  std::vector<bool> marked(static_cast<std::size_t>(rows), false);
  any = false;
  for (const QItemSelectionRange& range : view->selectionModel()->selection()) {
    for (int r = range.top(); r <= range.bottom() && r < rows; ++r) {
      marked[static_cast<std::size_t>(r)] = true;
      any = true;
    }
  }
  return marked;
}

proto::MachineUpdate UpdateRecord(const TMachine& m) {
  return {ToWire(m.Name),       m.MachineType,         ToWire(m.FriendlyName), m.Color,
          ToWire(m.IMEINumber), ToWire(m.ExtraText), m.Lopnr};
}

}  // namespace

TStationsTab::TStationsTab(QWidget* parent) : TRegisterTab(parent) {
  setObjectName(QStringLiteral("tsStations"));
  FMachines = new TMachineListModel(this);
  ListBox3Items = new TCallableListModel(false, this);
  ListBox4Items = new TCallableListModel(false, this);
  ShowModal = [](QDialog* dialog) { return dialog->exec(); };

  gbKlienter = new QGroupBox(QStringLiteral("Befintliga klienter"));
  gbKlienter->setObjectName(QStringLiteral("gbKlienter"));
  gbResurserAttVisa = new QGroupBox(QStringLiteral("Resurser att visa/kalla"));
  gbResurserAttVisa->setObjectName(QStringLiteral("gbResurserAttVisa"));
  BuildClientsPane();
  BuildResourcesPane();

  Splitter1 = new RedSplitter(Qt::Horizontal);
  Splitter1->setObjectName(QStringLiteral("Splitter1"));
  Splitter1->setChildrenCollapsible(false);
  Splitter1->setHandleWidth(4);
  Splitter1->addWidget(gbKlienter);
  Splitter1->addWidget(gbResurserAttVisa);
  // A wider window widens the resources, not the client list.
  Splitter1->setStretchFactor(0, 0);
  Splitter1->setStretchFactor(1, 1);
  Splitter1->setSizes({kClientsPaneWidth, kRegisterDesignWidth - kClientsPaneWidth});
  gbResurserAttVisa->installEventFilter(this);
  connect(Splitter1, &QSplitter::splitterMoved, this, [this](int, int) { Splitter1Moved(); });

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(Splitter1);
}

void TStationsTab::BuildClientsPane() {
  BitBtn11 = Button(QStringLiteral("BitBtn11"), QStringLiteral("Lägg till"));
  BitBtn12 = Button(QStringLiteral("BitBtn12"), QStringLiteral("Ändra"));
  BitBtn13 = Button(QStringLiteral("BitBtn13"), QStringLiteral("Radera"));
  lbmachines = new QListView;
  lbmachines->setObjectName(QStringLiteral("lbmachines"));
  lbmachines->setModel(FMachines);
  lbmachines->setItemDelegate(new TMachineItemDelegate(lbmachines));
  lbmachines->setUniformItemSizes(true);
  lbmachines->setEditTriggers(QAbstractItemView::NoEditTriggers);

  // The three buttons share the pane's 249 pixels.
  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(4);
  for (QPushButton* b : {BitBtn11, BitBtn12, BitBtn13}) {
    b->setMinimumWidth(50);
    buttons->addWidget(b);
  }
  auto* layout = new QVBoxLayout(gbKlienter);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->addLayout(buttons);
  layout->addWidget(lbmachines, 1);

  connect(BitBtn11, &QPushButton::clicked, this, &TStationsTab::BitBtn11Click);
  connect(BitBtn12, &QPushButton::clicked, this, &TStationsTab::BitBtn12Click);
  connect(BitBtn13, &QPushButton::clicked, this, &TStationsTab::BitBtn13Click);
  connect(lbmachines, &QListView::clicked, this, [this](const QModelIndex&) { lbmachinesClick(); });
}

void TStationsTab::BuildResourcesPane() {
  ListBox3 = ResourceList(QStringLiteral("ListBox3"), ListBox3Items);
  ListBox4 = ResourceList(QStringLiteral("ListBox4"), ListBox4Items);
  BitBtn9 = Button(QStringLiteral("BitBtn9"), {}, QStyle::SP_ArrowRight);
  BitBtn10 = Button(QStringLiteral("BitBtn10"), {}, QStyle::SP_ArrowLeft);
  BitBtn7 = Button(QStringLiteral("BitBtn7"), {}, QStyle::SP_ArrowUp);
  BitBtn8 = Button(QStringLiteral("BitBtn8"), {}, QStyle::SP_ArrowDown);
  BitBtn9->setToolTip(QStringLiteral("Lägg till i valda resurser"));
  BitBtn10->setToolTip(QStringLiteral("Ta bort från valda resurser"));
  BitBtn7->setToolTip(QStringLiteral("Flytta upp"));
  BitBtn8->setToolTip(QStringLiteral("Flytta ned"));

  FAllResourcesColumn = Column(QStringLiteral("Alla resurser"), ListBox3);
  auto* layout = new QHBoxLayout(gbResurserAttVisa);
  layout->setSpacing(2);
  layout->addWidget(FAllResourcesColumn);
  layout->addLayout(ButtonColumn({BitBtn9, BitBtn10}));
  layout->addWidget(Column(QStringLiteral("Valda resurser"), ListBox4), 1);
  layout->addLayout(ButtonColumn({BitBtn7, BitBtn8}));

  connect(BitBtn9, &QPushButton::clicked, this, &TStationsTab::BitBtn9Click);
  connect(BitBtn10, &QPushButton::clicked, this, &TStationsTab::BitBtn10Click);
  connect(BitBtn7, &QPushButton::clicked, this, &TStationsTab::BitBtn7Click);
  connect(BitBtn8, &QPushButton::clicked, this, &TStationsTab::BitBtn8Click);
  connect(ListBox3, &QListView::doubleClicked, this, [this](const QModelIndex&) { BitBtn9Click(); });
  connect(ListBox4, &QListView::doubleClicked, this, [this](const QModelIndex&) { BitBtn10Click(); });
}

MachinePtr TStationsTab::currentMachine() const {
  const QModelIndex current = lbmachines->currentIndex();
  if (!current.isValid() || current.row() >= FMachines->rowCount()) return nullptr;
  return FMachines->item(current.row()).record;
}

void TStationsTab::Load() {
  FHeldChosenNumbers.reset();
  ListBox4Items->clear();
  ListBox3Items->clear();
  emit Request(proto::GetAllMachines(ToWire(GetClientName())));
}

void TStationsTab::Save() {
  const MachinePtr m = currentMachine();
  if (!m) return;
  std::vector<int> chosen;
  chosen.reserve(ListBox4Items->items().size());
  for (const TCallableItem& i : ListBox4Items->items())
    chosen.push_back(i.record ? i.record->CallableLopnr : 0);
  emit Request(proto::PostCallablesList(ToWire(GetClientName()), OwnClientType, m->Lopnr, chosen));
}

// No client is current after a new list.
void TStationsTab::HandleRetAllMachines(std::string_view payload) {
  FMachines->setMachines(DecodeMachineList(payload));
}

void TStationsTab::HandleRetCallList(std::string_view payload, const TCallableItems& resources) {
  ListBox3Items->assign(resources);
  ListBox4Items->clear();
  MoveByNumbers(*ListBox3Items, *ListBox4Items, DecodeCallListNumbers(payload));
}

void TStationsTab::HandleRetStationCallables(std::string_view payload, bool allResourcesPending) {
  ListBox4Items->clear();
  FHeldChosenNumbers.reset();
  std::vector<std::int32_t> numbers = DecodeStationCallableNumbers(payload);
  if (allResourcesPending) {
    FHeldChosenNumbers = std::move(numbers);
    return;
  }
  MoveByNumbers(*ListBox3Items, *ListBox4Items, numbers);
}

void TStationsTab::AppendAllResources(const TCallableItems& items) {
  ListBox3Items->append(items);
  if (FHeldChosenNumbers) {
    MoveByNumbers(*ListBox3Items, *ListBox4Items, *FHeldChosenNumbers);
    FHeldChosenNumbers.reset();
  }
}

void TStationsTab::CopyAllResources(const TCallableItems& resources) {
  ListBox3Items->assign(resources);
}

void TStationsTab::lbmachinesClick() {
  const MachinePtr m = currentMachine();
  if (!m) return;
  const std::string name = ToWire(m->Name);
  if (!VersionAtLeast(ServerVersion, kStationCallablesVersion)) {
    emit Request(proto::GetCallList(name, "0"));
    return;
  }
  emit AllResourcesRequested();
  FHeldChosenNumbers.reset();
  ListBox3Items->clear();
  emit Request(proto::GetAllCallables(name));
  emit Request(proto::GetStationCallables(name));
}

void TStationsTab::BitBtn11Click() {
  auto record = std::make_shared<TMachine>();
  record->Lopnr = -1;
  FMachines->append({QStringLiteral("-= Ny =-"), record});
  if (EditMachine(record)) return;
  // A list that arrived while the dialog was open no longer holds the item.
  const int last = FMachines->rowCount() - 1;
  if (last >= 0 && FMachines->item(last).record == record) FMachines->removeLast();
}

void TStationsTab::BitBtn12Click() {
  if (const MachinePtr m = currentMachine()) EditMachine(m);
}

void TStationsTab::BitBtn13Click() {
  const MachinePtr m = currentMachine();
  if (!m) return;
  if (AskYesNo(QStringLiteral("Radera klienten ") + m->FriendlyName + QStringLiteral("?")) != mrYes)
    return;
  emit Request(proto::RegisterDeleteMachine(ToWire(m->Name), m->MachineType, m->Color));
  emit ReloadRequested();
}

bool TStationsTab::EditMachine(const MachinePtr& record) {
  TfrmAddEditKlient dialog(window());
  dialog.mc = record;
  if (ShowModal(&dialog) != QDialog::Accepted) return false;
  emit Request(proto::RegisterUpdateMachine(UpdateRecord(*record)));
  emit ReloadRequested();
  return true;
}

void TStationsTab::BitBtn9Click() {
  bool any = false;
  const std::vector<bool> selected = SelectedRows(ListBox3, ListBox3Items->rowCount(), any);
  if (!any) {
    // Nothing selected: the current item is copied and stays.
    if (const TCallableItem* current = ListBox3Items->item(ListBox3->currentIndex().row()))
      ListBox4Items->append({*current});
    return;
  }
  ListBox4Items->append(MarkedLines(*ListBox3Items, selected));
  RemoveMarked(*ListBox3Items, selected);
}

void TStationsTab::BitBtn10Click() {
  bool any = false;
  const std::vector<bool> selected = SelectedRows(ListBox4, ListBox4Items->rowCount(), any);
  if (!any) return;
  // Resource 1 is not put back a second time.
  bool holdsOne = HoldsNumber(*ListBox3Items, 1);
  TCallableItems back;
  for (const TCallableItem& item : MarkedLines(*ListBox4Items, selected)) {
    const bool isOne = item.record && item.record->CallableLopnr == 1;
    if (isOne && holdsOne) continue;
    holdsOne = holdsOne || isOne;
    back.push_back(item);
  }
  ListBox3Items->append(back);
  RemoveMarked(*ListBox4Items, selected);
}

void TStationsTab::BitBtn7Click() { MoveChosenCurrent(-1); }
void TStationsTab::BitBtn8Click() { MoveChosenCurrent(1); }

// The current item of "Valda resurser" changes place with its neighbour and
// stays current.
void TStationsTab::MoveChosenCurrent(int step) {
  const int row = ListBox4->currentIndex().row();
  const int target = row + step;
  if (row < 0 || target < 0 || target >= ListBox4Items->rowCount()) return;
  SwapWithNext(*ListBox4Items, qMin(row, target));
  ListBox4->selectionModel()->setCurrentIndex(ListBox4Items->index(target),
                                              QItemSelectionModel::ClearAndSelect);
}

void TStationsTab::Splitter1Moved() {
  if (QLayout* l = window()->layout()) l->activate();
  if (QLayout* l = layout()) l->activate();
  const QList<int> sizes = Splitter1->sizes();
  const int left = sizes.value(0) > 0 ? sizes.value(0) : kClientsPaneWidth;
  const int right = qMax(0, Splitter1->width() - left - Splitter1->handleWidth());
  Splitter1->setSizes({left, right});
  UpdateColumnWidth();
}

// "Alla resurser" takes half the group less the column of move buttons.
void TStationsTab::UpdateColumnWidth() {
  FAllResourcesColumnWidth = gbResurserAttVisa->contentsRect().width() / 2 - kMoveButtonColumnWidth;
  FAllResourcesColumn->setFixedWidth(qMax(0, FAllResourcesColumnWidth));
}

bool TStationsTab::eventFilter(QObject* watched, QEvent* event) {
  // A window that was hidden while its width changed gets its real geometry
  // only when shown; follow every size the group gets.
  if (watched == gbResurserAttVisa && event->type() == QEvent::Resize) UpdateColumnWidth();
  return TRegisterTab::eventFilter(watched, event);
}
