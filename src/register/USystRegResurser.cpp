#include "register/USystRegResurser.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QListView>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/ClientIdentity.h"
#include "common/WireText.h"
#include "protocol/Catalogue.h"
#include "register/UfrmAddEditResurs.h"
#include "widgets/Dialogs.h"
#include "widgets/GridAccessible.h"
#include "widgets/KeyboardAccess.h"

TResourcesTab::TResourcesTab(QWidget* parent) : TRegisterTab(parent) {
  setObjectName(QStringLiteral("tsResurser"));
  ShowModal = [](QDialog* d) { return d->exec(); };

  gbResurser = new QGroupBox(QStringLiteral("Befintliga resurser"));
  gbResurser->setObjectName(QStringLiteral("gbResurser"));
  lbResurserItems = new TCallableListModel(true, this);
  lbResurser = new QListView;
  davu::a11y::TellTicksAsCheckBoxes(lbResurser);
  lbResurser->setObjectName(QStringLiteral("lbResurser"));
  lbResurser->setModel(lbResurserItems);
  lbResurser->setItemDelegate(new TResourceItemDelegate(lbResurser));
  // One line per item, all of one height: thousands of lines scroll freely.
  lbResurser->setUniformItemSizes(true);
  lbResurser->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lbResurser->setSelectionMode(QAbstractItemView::SingleSelection);
  lbResurser->setAccessibleName(QStringLiteral("Befintliga resurser"));

  auto button = [](const QString& text, const char* name, QChar key) {
    auto* b = new TAccessKeyButton(text);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    davu::keys::SetAccessKey(b, key);
    return b;
  };
  btnAddResurs = button(QStringLiteral("Lägg till"), "btnAddResurs", u'l');
  btnEditResurs = button(QStringLiteral("Ändra"), "btnEditResurs", u'd');
  btnDeleteResurs = button(QStringLiteral("Radera"), "btnDeleteResurs", u'r');
  auto* column = new QVBoxLayout;
  column->addWidget(btnAddResurs);
  column->addWidget(btnEditResurs);
  column->addStretch(1);
  column->addWidget(btnDeleteResurs);

  auto* group = new QHBoxLayout(gbResurser);
  group->addWidget(lbResurser, 1);
  group->addLayout(column);
  auto* page = new QVBoxLayout(this);
  page->setContentsMargins(4, 4, 4, 4);
  page->addWidget(gbResurser);

  connect(btnAddResurs, &QPushButton::clicked, this, &TResourcesTab::btnAddResursClick);
  connect(btnEditResurs, &QPushButton::clicked, this, &TResourcesTab::btnEditResursClick);
  connect(btnDeleteResurs, &QPushButton::clicked, this, &TResourcesTab::btnDeleteResursClick);
  connect(lbResurserItems, &TCallableListModel::ClickCheck, this, &TResourcesTab::lbResurserClickCheck);
  connect(lbResurser, &QListView::doubleClicked, this, [this] { lbResurserDblClick(); });
  // "Ändra" and "Radera" act on the current line: without one they are off.
  const auto followCurrent = [this] {
    const bool chosen = CurrentRecord() != nullptr;
    btnEditResurs->setEnabled(chosen);
    btnDeleteResurs->setEnabled(chosen);
  };
  connect(lbResurser->selectionModel(), &QItemSelectionModel::currentChanged, this, followCurrent);
  connect(lbResurserItems, &QAbstractItemModel::modelReset, this, followCurrent);
  connect(lbResurserItems, &QAbstractItemModel::rowsRemoved, this, followCurrent);
  followCurrent();
}

void TResourcesTab::Load() {
  // Enabled again by a change of a resource's active mark.
  SetEdited(false);
  Fetch(davu::proto::GetAllCallables(ToWire(GetClientName())));
}

void TResourcesTab::Fill(TCallableItems items) {
  lbResurserItems->assign(std::move(items));
  ContentsArrived();
}

void TResourcesTab::Save() {
  std::vector<davu::proto::CallableUpdate> changed;
  for (const TCallableItem& it : lbResurserItems->items())
    if (it.record->Updated) changed.push_back(ToCallableUpdate(*it.record));
  // Empty when no mark changed: nothing is sent, the list is loaded anyway.
  // The marks stay changed until the reloaded list replaces them, so that a
  // save the connection lost can be sent again.
  const std::string message = davu::proto::RegisterUpdateCallables(changed);
  if (!message.empty()) {
    if (!Store(message)) return;
    SaveSentAwaitingReload();
  }
  emit ReloadRequested();
}

CallablePtr TResourcesTab::CurrentRecord() const {
  const TCallableItem* it = lbResurserItems->item(lbResurser->currentIndex().row());
  return it ? it->record : nullptr;
}

void TResourcesTab::lbResurserClickCheck(int row) {
  const TCallableItem* it = lbResurserItems->item(row);
  if (!it) return;
  it->record->Aktiv = !it->record->Aktiv;
  it->record->Updated = true;
  lbResurserItems->recordChanged(row);
  SetEdited(true);
}

void TResourcesTab::lbResurserDblClick() { btnEditResursClick(); }

// The dialog edits a copy: the list keeps what the server holds, and what
// could not be sent comes back in the dialog until it is sent or dropped.
bool TResourcesTab::EditAndSend(const CallablePtr& record) {
  const auto edited = std::make_shared<TCallable>(*record);
  do {
    TfrmAddEditResurs dialog(window());
    dialog.cl = edited;
    if (ShowModal(&dialog) != QDialog::Accepted) return false;
  } while (!Store(davu::proto::RegisterUpdateCallable(ToCallableUpdate(*edited))));
  *record = *edited;
  emit ReloadRequested();
  return true;
}

void TResourcesTab::btnAddResursClick() {
  auto record = std::make_shared<TCallable>();
  record->CallableLopnr = -1;
  lbResurserItems->append({{QStringLiteral("-= Ny =-"), record}});
  // A reply that arrived meanwhile may have replaced the list already.
  if (!EditAndSend(record)) lbResurserItems->removeRecord(record);
}

void TResourcesTab::btnEditResursClick() {
  if (CallablePtr record = CurrentRecord()) EditAndSend(record);
}

void TResourcesTab::btnDeleteResursClick() {
  const CallablePtr record = CurrentRecord();
  if (!record) return;
  if (AskYesNo(QStringLiteral("Radera resursen ") + record->CallableFriendlyname + u'?') != mrYes)
    return;
  if (!Store(davu::proto::RegisterDeleteCallable(record->CallableLopnr,
                                                 ToWire(record->CallableFriendlyname),
                                                 record->CallableColour)))
    return;
  emit ReloadRequested();
}
