#include "register/USystRegKlienter.h"

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

#include "common/ClientIdentity.h"
#include "common/SharedState.h"
#include "common/VersionOrder.h"
#include "common/WireText.h"
#include "protocol/Catalogue.h"
#include "register/CallableMoves.h"
#include "register/UfrmAddEditKlient.h"
#include "widgets/Dialogs.h"
#include "widgets/KeyboardAccess.h"

namespace proto = davu::proto;

namespace davu {

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
  auto* b = new AccessKeyButton(text);
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

// A caption above a control, as one column; the caption names the control.
QWidget* Column(const QString& caption, QWidget* control) {
  auto* column = new QWidget;
  auto* layout = new QVBoxLayout(column);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* label = new QLabel(caption);
  label->setBuddy(control);
  control->setAccessibleName(caption);
  layout->addWidget(label);
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

StationsTab::StationsTab(QWidget* parent) : RegisterTab(parent) {
  setObjectName(QStringLiteral("tsStations"));
  FMachines = new MachineListModel(this);
  allResourcesModel = new CallableListModel(false, this);
  chosenResourcesModel = new CallableListModel(false, this);
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
  Splitter1->setAccessibleName(QStringLiteral("Klienter och resurser"));
  Splitter1->handle(1)->setAccessibleName(QStringLiteral("Gräns mellan klienter och resurser"));
  gbResurserAttVisa->installEventFilter(this);
  connect(Splitter1, &QSplitter::splitterMoved, this, [this](int, int) { Splitter1Moved(); });

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(Splitter1);
}

void StationsTab::BuildClientsPane() {
  btnAddClient = Button(QStringLiteral("BitBtn11"), QStringLiteral("Lägg till"));
  btnEditClient = Button(QStringLiteral("BitBtn12"), QStringLiteral("Ändra"));
  btnDeleteClient = Button(QStringLiteral("BitBtn13"), QStringLiteral("Radera"));
  lbmachines = new QListView;
  lbmachines->setObjectName(QStringLiteral("lbmachines"));
  lbmachines->setModel(FMachines);
  lbmachines->setItemDelegate(new MachineItemDelegate(lbmachines));
  lbmachines->setUniformItemSizes(true);
  lbmachines->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lbmachines->setAccessibleName(gbKlienter->title());
  davu::keys::SetAccessKey(btnAddClient, u'l');
  davu::keys::SetAccessKey(btnEditClient, u'd');
  davu::keys::SetAccessKey(btnDeleteClient, u'r');

  // The three buttons share the pane's 249 pixels.
  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(4);
  for (QPushButton* b : {btnAddClient, btnEditClient, btnDeleteClient}) {
    b->setMinimumWidth(50);
    buttons->addWidget(b);
  }
  auto* layout = new QVBoxLayout(gbKlienter);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->addLayout(buttons);
  layout->addWidget(lbmachines, 1);

  connect(btnAddClient, &QPushButton::clicked, this, &StationsTab::BitBtn11Click);
  connect(btnEditClient, &QPushButton::clicked, this, &StationsTab::BitBtn12Click);
  connect(btnDeleteClient, &QPushButton::clicked, this, &StationsTab::BitBtn13Click);
  // Whatever makes a client current (a click, the arrow keys, a drag, code)
  // loads its lists; a click on the client that already was current loads
  // it again.
  connect(lbmachines->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex&, const QModelIndex&) {
            FollowCurrentClient();
            lbmachinesClick();
          });
  connect(FMachines, &QAbstractItemModel::modelReset, this, &StationsTab::FollowCurrentClient);
  connect(FMachines, &QAbstractItemModel::rowsRemoved, this, &StationsTab::FollowCurrentClient);
  FollowCurrentClient();
  lbmachines->viewport()->installEventFilter(this);
  connect(lbmachines, &QListView::clicked, this, [this](const QModelIndex&) {
    if (FCurrentAtPress && FCurrentAtPress == currentMachine()) lbmachinesClick();
  });
}

void StationsTab::BuildResourcesPane() {
  lbAllResources = ResourceList(QStringLiteral("ListBox3"), allResourcesModel);
  lbChosenResources = ResourceList(QStringLiteral("ListBox4"), chosenResourcesModel);
  btnMoveToChosen = Button(QStringLiteral("BitBtn9"), {}, QStyle::SP_ArrowRight);
  btnMoveBack = Button(QStringLiteral("BitBtn10"), {}, QStyle::SP_ArrowLeft);
  btnMoveUp = Button(QStringLiteral("BitBtn7"), {}, QStyle::SP_ArrowUp);
  btnMoveDown = Button(QStringLiteral("BitBtn8"), {}, QStyle::SP_ArrowDown);
  btnMoveToChosen->setToolTip(QStringLiteral("Lägg till i valda resurser"));
  btnMoveBack->setToolTip(QStringLiteral("Ta bort från valda resurser"));
  btnMoveUp->setToolTip(QStringLiteral("Flytta upp"));
  btnMoveDown->setToolTip(QStringLiteral("Flytta ned"));
  // The arrows are named by what they do, as their hints say.
  for (QPushButton* b : {btnMoveToChosen, btnMoveBack, btnMoveUp, btnMoveDown}) b->setAccessibleName(b->toolTip());

  FAllResourcesColumn = Column(QStringLiteral("Alla resurser"), lbAllResources);
  auto* layout = new QHBoxLayout(gbResurserAttVisa);
  layout->setSpacing(2);
  layout->addWidget(FAllResourcesColumn);
  layout->addLayout(ButtonColumn({btnMoveToChosen, btnMoveBack}));
  layout->addWidget(Column(QStringLiteral("Valda resurser"), lbChosenResources), 1);
  layout->addLayout(ButtonColumn({btnMoveUp, btnMoveDown}));

  connect(btnMoveToChosen, &QPushButton::clicked, this, &StationsTab::BitBtn9Click);
  connect(btnMoveBack, &QPushButton::clicked, this, &StationsTab::BitBtn10Click);
  connect(btnMoveUp, &QPushButton::clicked, this, &StationsTab::BitBtn7Click);
  connect(btnMoveDown, &QPushButton::clicked, this, &StationsTab::BitBtn8Click);
  connect(lbAllResources, &QListView::doubleClicked, this, [this](const QModelIndex&) { BitBtn9Click(); });
  connect(lbChosenResources, &QListView::doubleClicked, this, [this](const QModelIndex&) { BitBtn10Click(); });
}

// "Ändra" and "Radera" act on the current client: without one they are off.
void StationsTab::FollowCurrentClient() {
  const bool chosen = currentMachine() != nullptr;
  btnEditClient->setEnabled(chosen);
  btnDeleteClient->setEnabled(chosen);
}

MachinePtr StationsTab::currentMachine() const {
  const QModelIndex current = lbmachines->currentIndex();
  if (!current.isValid() || current.row() >= FMachines->rowCount()) return nullptr;
  return FMachines->item(current.row()).record;
}

void StationsTab::Load() {
  FHeldChosenNumbers.reset();
  FAwaiting = {};
  // The lists are asked for anew: no client is current until they are here,
  // so nothing can be saved under a client whose resources are not shown.
  lbmachines->setCurrentIndex(QModelIndex());
  chosenResourcesModel->clear();
  allResourcesModel->clear();
  SetEdited(false);
  FAwaiting.machines = true;
  Fetch(proto::GetAllMachines(ToWire(GetClientName())));
}

void StationsTab::Arrived(bool Awaiting::*which) {
  if (!(FAwaiting.*which)) return;
  FAwaiting.*which = false;
  if (!FAwaiting.machines && !FAwaiting.allResources && !FAwaiting.chosen) ContentsArrived();
}

void StationsTab::Save() {
  const MachinePtr m = currentMachine();
  if (!m) return;
  std::vector<int> chosen;
  chosen.reserve(chosenResourcesModel->items().size());
  for (const CallableItem& i : chosenResourcesModel->items())
    chosen.push_back(i.record ? i.record->CallableLopnr : 0);
  if (Store(proto::PostCallablesList(ToWire(GetClientName()), OwnClientType, m->Lopnr, chosen)))
    SetEdited(false);
}

// No client is current after a new list.
void StationsTab::HandleRetAllMachines(std::string_view payload) {
  FMachines->setMachines(DecodeMachineList(payload));
  Arrived(&Awaiting::machines);
}

void StationsTab::HandleRetCallList(std::string_view payload, const CallableItemList& resources) {
  allResourcesModel->assign(resources);
  chosenResourcesModel->clear();
  MoveByNumbers(*allResourcesModel, *chosenResourcesModel, DecodeCallListNumbers(payload));
  // Both lists of the client are here at once.
  Arrived(&Awaiting::allResources);
  Arrived(&Awaiting::chosen);
}

void StationsTab::HandleRetStationCallables(std::string_view payload, bool allResourcesPending) {
  chosenResourcesModel->clear();
  FHeldChosenNumbers.reset();
  std::vector<std::int32_t> numbers = DecodeStationCallableNumbers(payload);
  if (allResourcesPending) {
    FHeldChosenNumbers = std::move(numbers);
    return;
  }
  MoveByNumbers(*allResourcesModel, *chosenResourcesModel, numbers);
  Arrived(&Awaiting::chosen);
}

void StationsTab::AppendAllResources(const CallableItemList& items) {
  allResourcesModel->append(items);
  if (FHeldChosenNumbers) {
    MoveByNumbers(*allResourcesModel, *chosenResourcesModel, *FHeldChosenNumbers);
    FHeldChosenNumbers.reset();
    Arrived(&Awaiting::chosen);
  }
  Arrived(&Awaiting::allResources);
}

void StationsTab::CopyAllResources(const CallableItemList& resources) {
  allResourcesModel->assign(resources);
}

void StationsTab::lbmachinesClick() {
  const MachinePtr m = currentMachine();
  if (!m) return;
  const std::string name = ToWire(m->Name);
  // The lists shown belong to the client until another is made current:
  // the previous client's choice must not stand under this one's name.
  FHeldChosenNumbers.reset();
  chosenResourcesModel->clear();
  SetEdited(false);
  FAwaiting.allResources = FAwaiting.chosen = true;
  if (!VersionAtLeast(ServerVersion, kStationCallablesVersion)) {
    Fetch(proto::GetCallList(name, "0"));
    return;
  }
  emit AllResourcesRequested();
  allResourcesModel->clear();
  Fetch(proto::GetAllCallables(name));
  if (Channel) Channel(proto::GetStationCallables(name));
}

void StationsTab::BitBtn11Click() {
  auto record = std::make_shared<TMachine>();
  record->Lopnr = -1;
  FMachines->append({QStringLiteral("-= Ny =-"), record});
  if (EditMachine(record)) return;
  // A list that arrived while the dialog was open no longer holds the item.
  const int last = FMachines->rowCount() - 1;
  if (last >= 0 && FMachines->item(last).record == record) FMachines->removeLast();
}

void StationsTab::BitBtn12Click() {
  if (const MachinePtr m = currentMachine()) EditMachine(m);
}

void StationsTab::BitBtn13Click() {
  const MachinePtr m = currentMachine();
  if (!m) return;
  if (AskYesNo(QStringLiteral("Radera klienten ") + m->FriendlyName + QStringLiteral("?")) != mrYes)
    return;
  if (!Store(proto::RegisterDeleteMachine(ToWire(m->Name), m->MachineType, m->Color))) return;
  emit ReloadRequested();
}

// The dialog edits a copy: the list keeps what the server holds, and what
// could not be sent comes back in the dialog until it is sent or dropped.
bool StationsTab::EditMachine(const MachinePtr& record) {
  const auto edited = std::make_shared<TMachine>(*record);
  do {
    TfrmAddEditKlient dialog(window());
    dialog.mc = edited;
    if (ShowModal(&dialog) != QDialog::Accepted) return false;
  } while (!Store(proto::RegisterUpdateMachine(UpdateRecord(*edited))));
  *record = *edited;
  emit ReloadRequested();
  return true;
}

void StationsTab::BitBtn9Click() {
  bool any = false;
  const std::vector<bool> selected = SelectedRows(lbAllResources, allResourcesModel->rowCount(), any);
  if (!any) {
    // Nothing selected: the current item is copied and stays.
    if (const CallableItem* current = allResourcesModel->item(lbAllResources->currentIndex().row())) {
      chosenResourcesModel->append({*current});
      SetEdited(true);
    }
    return;
  }
  chosenResourcesModel->append(MarkedLines(*allResourcesModel, selected));
  RemoveMarked(*allResourcesModel, selected);
  SetEdited(true);
}

void StationsTab::BitBtn10Click() {
  bool any = false;
  const std::vector<bool> selected = SelectedRows(lbChosenResources, chosenResourcesModel->rowCount(), any);
  if (!any) return;
  // Resource 1 is not put back a second time.
  bool holdsOne = HoldsNumber(*allResourcesModel, 1);
  CallableItemList back;
  for (const CallableItem& item : MarkedLines(*chosenResourcesModel, selected)) {
    const bool isOne = item.record && item.record->CallableLopnr == 1;
    if (isOne && holdsOne) continue;
    holdsOne = holdsOne || isOne;
    back.push_back(item);
  }
  allResourcesModel->append(back);
  RemoveMarked(*chosenResourcesModel, selected);
  SetEdited(true);
}

void StationsTab::BitBtn7Click() { MoveChosenCurrent(-1); }
void StationsTab::BitBtn8Click() { MoveChosenCurrent(1); }

// The current item of "Valda resurser" changes place with its neighbour and
// stays current.
void StationsTab::MoveChosenCurrent(int step) {
  const int row = lbChosenResources->currentIndex().row();
  const int target = row + step;
  if (row < 0 || target < 0 || target >= chosenResourcesModel->rowCount()) return;
  SwapWithNext(*chosenResourcesModel, qMin(row, target));
  lbChosenResources->selectionModel()->setCurrentIndex(chosenResourcesModel->index(target),
                                              QItemSelectionModel::ClearAndSelect);
  SetEdited(true);
}

void StationsTab::Splitter1Moved() {
  if (QLayout* l = window()->layout()) l->activate();
  if (QLayout* l = layout()) l->activate();
  const QList<int> sizes = Splitter1->sizes();
  const int left = sizes.value(0) > 0 ? sizes.value(0) : kClientsPaneWidth;
  const int right = qMax(0, Splitter1->width() - left - Splitter1->handleWidth());
  Splitter1->setSizes({left, right});
  UpdateColumnWidth();
}

// "Alla resurser" takes half the group less the column of move buttons.
void StationsTab::UpdateColumnWidth() {
  FAllResourcesColumnWidth = gbResurserAttVisa->contentsRect().width() / 2 - kMoveButtonColumnWidth;
  FAllResourcesColumn->setFixedWidth(qMax(0, FAllResourcesColumnWidth));
}

bool StationsTab::eventFilter(QObject* watched, QEvent* event) {
  if (watched == lbmachines->viewport() && event->type() == QEvent::MouseButtonPress)
    FCurrentAtPress = currentMachine();
  // A window that was hidden while its width changed gets its real geometry
  // only when shown; follow every size the group gets.
  if (watched == gbResurserAttVisa && event->type() == QEvent::Resize) UpdateColumnWidth();
  return RegisterTab::eventFilter(watched, event);
}

}  // namespace davu
