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

namespace davu {

ResourcesTab::ResourcesTab(QWidget* parent) : RegisterTab(parent) {
  setObjectName(QStringLiteral("tsResurser"));
  ShowModal = [](QDialog* d) { return d->exec(); };

  gbResurser = new QGroupBox(QStringLiteral("Befintliga resurser"));
  gbResurser->setObjectName(QStringLiteral("gbResurser"));
  lbResurserItems = new CallableListModel(true, this);
  lbResurser = new QListView;
  davu::a11y::TellTicksAsCheckBoxes(lbResurser);
  lbResurser->setObjectName(QStringLiteral("lbResurser"));
  lbResurser->setModel(lbResurserItems);
  lbResurser->setItemDelegate(new ResourceItemDelegate(lbResurser));
  // One line per item, all of one height: thousands of lines scroll freely.
  lbResurser->setUniformItemSizes(true);
  lbResurser->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lbResurser->setSelectionMode(QAbstractItemView::SingleSelection);
  lbResurser->setAccessibleName(QStringLiteral("Befintliga resurser"));

  auto button = [](const QString& text, const char* name, QChar key) {
    auto* b = new AccessKeyButton(text);
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

  connect(btnAddResurs, &QPushButton::clicked, this, &ResourcesTab::btnAddResursClick);
  connect(btnEditResurs, &QPushButton::clicked, this, &ResourcesTab::btnEditResursClick);
  connect(btnDeleteResurs, &QPushButton::clicked, this, &ResourcesTab::btnDeleteResursClick);
  connect(lbResurserItems, &CallableListModel::ClickCheck, this, &ResourcesTab::lbResurserClickCheck);
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

void ResourcesTab::Load() {
  // Enabled again by a change of a resource's active mark.
  SetEdited(false);
  Fetch(davu::proto::GetAllCallables(ToWire(GetClientName())));
}

void ResourcesTab::Fill(CallableItemList items) {
  lbResurserItems->assign(std::move(items));
  ContentsArrived();
}

void ResourcesTab::Save() {
  std::vector<davu::proto::CallableUpdate> changed;
  for (const CallableItem& it : lbResurserItems->items())
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

CallablePtr ResourcesTab::CurrentRecord() const {
  const CallableItem* it = lbResurserItems->item(lbResurser->currentIndex().row());
  return it ? it->record : nullptr;
}

void ResourcesTab::lbResurserClickCheck(int row) {
  const CallableItem* it = lbResurserItems->item(row);
  if (!it) return;
  it->record->Aktiv = !it->record->Aktiv;
  it->record->Updated = true;
  lbResurserItems->recordChanged(row);
  SetEdited(true);
}

void ResourcesTab::lbResurserDblClick() { btnEditResursClick(); }

// The dialog edits a copy: the list keeps what the server holds, and what
// could not be sent comes back in the dialog until it is sent or dropped.
bool ResourcesTab::EditAndSend(const CallablePtr& record) {
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

void ResourcesTab::btnAddResursClick() {
  auto record = std::make_shared<TCallable>();
  record->CallableLopnr = -1;
  lbResurserItems->append({{QStringLiteral("-= Ny =-"), record}});
  // A reply that arrived meanwhile may have replaced the list already.
  if (!EditAndSend(record)) lbResurserItems->removeRecord(record);
}

void ResourcesTab::btnEditResursClick() {
  if (CallablePtr record = CurrentRecord()) EditAndSend(record);
}

void ResourcesTab::btnDeleteResursClick() {
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

}  // namespace davu
