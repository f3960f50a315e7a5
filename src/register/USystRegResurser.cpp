#include "USystRegResurser.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QListView>
#include <QPushButton>
#include <QVBoxLayout>

#include "ClientIdentity.h"
#include "Dialogs.h"
#include "UfrmAddEditResurs.h"
#include "WireText.h"
#include "protocol/Catalogue.h"

TResourcesTab::TResourcesTab(QWidget* parent) : TRegisterTab(parent) {
  setObjectName(QStringLiteral("tsResurser"));
  ShowModal = [](QDialog* d) { return d->exec(); };

  gbResurser = new QGroupBox(QStringLiteral("Befintliga resurser"));
  gbResurser->setObjectName(QStringLiteral("gbResurser"));
  lbResurserItems = new TCallableListModel(true, this);
  lbResurser = new QListView;
  lbResurser->setObjectName(QStringLiteral("lbResurser"));
  lbResurser->setModel(lbResurserItems);
  lbResurser->setItemDelegate(new TResourceItemDelegate(lbResurser));
  // One line per item, all of one height: thousands of lines scroll freely.
  lbResurser->setUniformItemSizes(true);
  lbResurser->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lbResurser->setSelectionMode(QAbstractItemView::SingleSelection);

  auto button = [](const QString& text, const char* name) {
    auto* b = new QPushButton(text);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
  };
  btnAddResurs = button(QStringLiteral("Lägg till"), "btnAddResurs");
  btnEditResurs = button(QStringLiteral("Ändra"), "btnEditResurs");
  btnDeleteResurs = button(QStringLiteral("Radera"), "btnDeleteResurs");
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
}

void TResourcesTab::Load() {
  emit Request(davu::proto::GetAllCallables(ToWire(GetClientName())));
  // Enabled again by a change of a resource's active mark.
  emit SaveButtonsEnabled(false);
}

void TResourcesTab::Fill(TCallableItems items) { lbResurserItems->assign(std::move(items)); }

void TResourcesTab::Save() {
  std::vector<davu::proto::CallableUpdate> changed;
  for (const TCallableItem& it : lbResurserItems->items()) {
    if (!it.record->Updated) continue;
    it.record->Updated = false;
    changed.push_back(ToCallableUpdate(*it.record));
  }
  // Empty when no mark changed: nothing is sent, the list is loaded anyway.
  const std::string message = davu::proto::RegisterUpdateCallables(changed);
  if (!message.empty()) emit Request(message);
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
  emit SaveButtonsEnabled(true);
}

void TResourcesTab::lbResurserDblClick() { btnEditResursClick(); }

bool TResourcesTab::EditAndSend(const CallablePtr& record) {
  TfrmAddEditResurs dialog(window());
  dialog.cl = record;
  if (ShowModal(&dialog) != QDialog::Accepted) return false;
  emit Request(davu::proto::RegisterUpdateCallable(ToCallableUpdate(*record)));
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
  emit Request(davu::proto::RegisterDeleteCallable(
      record->CallableLopnr, ToWire(record->CallableFriendlyname), record->CallableColour));
  emit ReloadRequested();
}
