#include "calllog/UfrmActiveCalls.h"

#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <vector>

#include "calllog/CallLogGrid.h"
#include "calllog/CallLogSql.h"
#include "calllog/SqlReplyQueue.h"
#include "calllog/TSVVirtualTable.h"
#include "common/ClientIdentity.h"
#include "common/ClientSocket.h"
#include "common/SharedState.h"
#include "common/WireText.h"
#include "common/platform/Platform.h"
#include "protocol/Catalogue.h"
#include "widgets/Dialogs.h"
#include "widgets/KeyboardAccess.h"
#include "widgets/ScreenFit.h"
#include "widgets/ShownCellsGrid.h"

using namespace davu;

TfrmDAVUActiveCalls* TfrmDAVUActiveCalls::current() {
  return qobject_cast<TfrmDAVUActiveCalls*>(waiting(rtActiveCalls));
}

TfrmDAVUActiveCalls::TfrmDAVUActiveCalls(QWidget* parent) : CallLogWindow(rtActiveCalls, parent) {
  setObjectName(QStringLiteral("frmDAVUActiveCalls"));
  setWindowTitle(QStringLiteral("DAVU Pågående kallelser"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  setFont(davu::calllog::WindowFont());
  SetFixedSizeOnScreen(this, QSize(671, 440));

  SVVirtualTable1 = new TSVVirtualTable(this);
  SVVirtualTable1->setObjectName(QStringLiteral("SVVirtualTable1"));
  SVVirtualTable1->setSQL(QString::fromLatin1(davu::calllog::kActiveCallsTableSql));
  SVVirtualTable1->setCheckColumn(QStringLiteral("Radera"));

  DBGrid1 = new davu::ShownCellsGrid(this);
  DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
  davu::calllog::SetupGrid(DBGrid1, SVVirtualTable1,
                     {{"Radera", 6, QStringLiteral("Radera")},
                      {"FRIENDLYNAME", 25, QStringLiteral("Klientnamn")},
                      {"FULLNAME", 25, QStringLiteral("Resursnamn")},
                      {"CALLTSTAMP", 18, QStringLiteral("Påkallad")},
                      {"COMINGTSTAMP", 18, QStringLiteral("På väg")},
                      {"SMSSENT", 5, QStringLiteral("SMS skickat")}});

  DBGrid1->setAccessibleName(QStringLiteral("Pågående kallelser"));
  // Tab leaves the grid; the arrows move in it and Space ticks "Radera".
  DBGrid1->setTabKeyNavigation(false);

  const davu::calllog::BottomPanel bottom = davu::calllog::MakeBottomPanel(this, QStringLiteral("Panel1"),
                                                              QStringLiteral("Radera markerade..."));
  pnlButtons = bottom.panel;
  btnDeleteMarked = bottom.action;
  lblRecordCount = bottom.count;
  Avbryt = bottom.back;

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(DBGrid1, 1);
  layout->addWidget(pnlButtons);

  davu::keys::PressFocusedButtonOnReturn(this);
  connect(btnDeleteMarked, &QPushButton::clicked, this, &TfrmDAVUActiveCalls::BitBtn1Click);
  connect(Avbryt, &QPushButton::clicked, this, &TfrmDAVUActiveCalls::AvbrytClick);
}

TfrmDAVUActiveCalls::~TfrmDAVUActiveCalls() = default;

void TfrmDAVUActiveCalls::firstActivation() {
  const QString sql = davu::calllog::ActiveCallsQuery(davu::platform::clock().now().date());
  sendQuery(davu::proto::OpenSql(ToWire(GetClientName()), ToWire(sql)));
}

void TfrmDAVUActiveCalls::connectionRestored() {
  // After a switch of server the list is the other clinic's: it is replaced.
  if (!loaded() || loadedFromAnotherServer()) firstActivation();
}

// Confirms every ticked call with one UPDATE, waits a second for the server
// to store it and asks for the list again.
void TfrmDAVUActiveCalls::BitBtn1Click() {
  // The ticks name calls of another clinic's log: confirming them here would
  // stamp unrelated calls of this one.
  if (loadedFromAnotherServer()) {
    ShowInfoHint(QStringLiteral("Servern har bytts sedan listan hämtades. Listan hämtas nu från den nya servern; "
                                "markera kallelserna på nytt."),
                 this);
    firstActivation();
    return;
  }
  if (AskYesNo(QStringLiteral("Markera alla markerade kallelser som bekräftad?")) != mrYes) return;
  const QDateTime now = davu::platform::clock().now();

  const int radera = SVVirtualTable1->fieldIndex(QStringLiteral("Radera"));
  const int lopnr = SVVirtualTable1->fieldIndex(QStringLiteral("LOPNR"));
  std::vector<int> ticked;
  for (int row = 0; row < SVVirtualTable1->RecordCount(); ++row) {
    if (SVVirtualTable1->rawValue(row, radera) != "T") continue;
    const QString text = SVVirtualTable1->value(row, lopnr);
    bool ok = false;
    const int n = text.toInt(&ok, 10);
    if (!ok) {
      ShowInfoMessage(QStringLiteral("'%1' är inte ett giltigt heltal.").arg(text));
      return;
    }
    ticked.push_back(n);
  }
  if (ticked.empty()) {
    ShowInfoHint(QStringLiteral("Inga kallelser markerade!"), this);
    return;
  }

  // Without a connection the ticks stay, to be confirmed once it is back.
  const QString sql = davu::calllog::ConfirmCallsStatement(now, ticked);
  if (!sendRequest(davu::proto::ExecSql(ToWire(GetClientName()), ToWire(sql)))) return;
  // A refused statement is answered by an error reply, which must not be
  // taken for the answer of a query sent after it.
  davu::calllog::ExpectStatement(ClientSocket1);
  davu::platform::sleeper().blockingSleep(1000);
  activated_ = false;
  FormActivate();
}
