#include "UfrmActiveCalls.h"

#include <QEvent>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <vector>

#include "CallLogGrid.h"
#include "CallLogSql.h"
#include "ClientIdentity.h"
#include "ClientSocket.h"
#include "Dialogs.h"
#include "SharedState.h"
#include "TSVVirtualTable.h"
#include "WireText.h"
#include "platform/Platform.h"
#include "protocol/Catalogue.h"

namespace {
TfrmDAVUActiveCalls* gCurrent = nullptr;
constexpr int kReplyTarget = 2;
}  // namespace

TfrmDAVUActiveCalls* TfrmDAVUActiveCalls::current() { return gCurrent; }

TfrmDAVUActiveCalls::TfrmDAVUActiveCalls(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmDAVUActiveCalls"));
  setWindowTitle(QStringLiteral("DAVU Pågående kallelser"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  setFont(calllog::WindowFont());
  setFixedSize(671, 440);

  SVVirtualTable1 = new TSVVirtualTable(this);
  SVVirtualTable1->setObjectName(QStringLiteral("SVVirtualTable1"));
  SVVirtualTable1->setSQL(QString::fromLatin1(calllog::kActiveCallsTableSql));
  SVVirtualTable1->setCheckColumn(QStringLiteral("Radera"));

  DBGrid1 = new QTableView(this);
  DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
  calllog::SetupGrid(DBGrid1, SVVirtualTable1,
                     {{"Radera", 6, QStringLiteral("Radera")},
                      {"FRIENDLYNAME", 25, QStringLiteral("Klientnamn")},
                      {"FULLNAME", 25, QStringLiteral("Resursnamn")},
                      {"CALLTSTAMP", 18, QStringLiteral("Påkallad")},
                      {"COMINGTSTAMP", 18, QStringLiteral("På väg")},
                      {"SMSSENT", 5, QStringLiteral("SMS skickat")}});

  const calllog::BottomPanel bottom = calllog::MakeBottomPanel(this, QStringLiteral("Panel1"),
                                                              QStringLiteral("Radera markerade..."));
  Panel1 = bottom.panel;
  BitBtn1 = bottom.action;
  Label3 = bottom.count;
  Avbryt = bottom.back;

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(DBGrid1, 1);
  layout->addWidget(Panel1);

  connect(BitBtn1, &QPushButton::clicked, this, &TfrmDAVUActiveCalls::BitBtn1Click);
  connect(Avbryt, &QPushButton::clicked, this, &TfrmDAVUActiveCalls::AvbrytClick);
  connect(this, &QDialog::finished, this, &TfrmDAVUActiveCalls::FormClose);

  FormCreate();
}

TfrmDAVUActiveCalls::~TfrmDAVUActiveCalls() {
  // A reply that arrives after the window is gone must find nothing to fill.
  if (gCurrent == this) {
    gCurrent = nullptr;
    if (ReplyTarget == kReplyTarget) ReplyTarget = 0;
  }
}

void TfrmDAVUActiveCalls::FormCreate() {
  activated_ = false;
  gCurrent = this;
  ReplyTarget = kReplyTarget;
}

void TfrmDAVUActiveCalls::FormClose() { ReplyTarget = 0; }

void TfrmDAVUActiveCalls::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) FormActivate();
}

void TfrmDAVUActiveCalls::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!centred_) {
    centred_ = true;
    if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
  }
  // Some window systems never activate a window; the query must go out anyway.
  QTimer::singleShot(0, this, &TfrmDAVUActiveCalls::FormActivate);
}

void TfrmDAVUActiveCalls::FormActivate() {
  if (activated_) return;
  activated_ = true;
  SendQuery();
}

void TfrmDAVUActiveCalls::SendQuery() {
  if (!ClientSocket1) return;
  const QString sql = calllog::ActiveCallsQuery(platform::clock().now().date());
  ClientSocket1->sendBytes(davu::proto::OpenSql(ToWire(GetClientName()), ToWire(sql)));
}

void TfrmDAVUActiveCalls::LoadSqlReply(std::string_view payload) {
  try {
    SVVirtualTable1->LoadSqlReply(payload);
  } catch (...) {
    Label3->setText(calllog::RecordCountText(SVVirtualTable1->RecordCount()));
    throw;
  }
  Label3->setText(calllog::RecordCountText(SVVirtualTable1->RecordCount()));
}

// Confirms every ticked call with one UPDATE, waits a second for the server
// to store it and asks for the list again.
void TfrmDAVUActiveCalls::BitBtn1Click() {
  if (AskYesNo(QStringLiteral("Markera alla markerade kallelser som bekräftad?")) != mrYes) return;
  const QDateTime now = platform::clock().now();

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

  if (ClientSocket1) {
    const QString sql = calllog::ConfirmCallsStatement(now, ticked);
    ClientSocket1->sendBytes(davu::proto::ExecSql(ToWire(GetClientName()), ToWire(sql)));
  }
  platform::sleeper().blockingSleep(1000);
  activated_ = false;
  FormActivate();
}

void TfrmDAVUActiveCalls::AvbrytClick() { reject(); }
