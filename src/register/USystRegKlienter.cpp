#include "USystRegKlienter.h"

#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QListView>
#include <QVBoxLayout>
#include <QPainter>
#include <QSplitter>

#include "ClientIdentity.h"
#include "WireText.h"
#include "protocol/Catalogue.h"

namespace {
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

TStationsTab::TStationsTab(QWidget* parent) : TRegisterTab(parent) {
  setObjectName(QStringLiteral("tsStations"));

  // The lists and buttons of both panes are filled in by the clients tab.
  gbKlienter = new QGroupBox(QStringLiteral("Befintliga klienter"));
  gbKlienter->setObjectName(QStringLiteral("gbKlienter"));
  gbResurserAttVisa = new QGroupBox(QStringLiteral("Resurser att visa/kalla"));
  gbResurserAttVisa->setObjectName(QStringLiteral("gbResurserAttVisa"));
  ListBox3Items = new TCallableListModel(false, this);
  ListBox3 = new QListView;
  ListBox3->setObjectName(QStringLiteral("ListBox3"));
  ListBox3->setModel(ListBox3Items);
  ListBox3->setUniformItemSizes(true);
  ListBox3->setSelectionMode(QAbstractItemView::ExtendedSelection);
  auto* all = new QVBoxLayout;
  all->addWidget(new QLabel(QStringLiteral("Alla resurser")));
  all->addWidget(ListBox3, 1);
  auto* resources = new QHBoxLayout(gbResurserAttVisa);
  resources->addLayout(all, 1);
  resources->addStretch(1);

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

void TStationsTab::Load() {
  ListBox3Items->clear();
  emit Request(davu::proto::GetAllMachines(ToWire(GetClientName())));
}

// The clients and their chosen resources are saved with the clients tab.
void TStationsTab::Save() {}
void TStationsTab::HandleRetAllMachines(std::string_view) {}
void TStationsTab::HandleRetCallList(std::string_view) {}
void TStationsTab::HandleRetStationCallables(std::string_view) {}

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
}

bool TStationsTab::eventFilter(QObject* watched, QEvent* event) {
  // A window that was hidden while its width changed gets its real geometry
  // only when shown; follow every size the group gets.
  if (watched == gbResurserAttVisa && event->type() == QEvent::Resize) UpdateColumnWidth();
  return TRegisterTab::eventFilter(watched, event);
}
