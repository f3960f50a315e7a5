#include "calllog/CallLogWindow.h"

#include <QEvent>
#include <QLabel>
#include <QTimer>

#include "calllog/CallLogGrid.h"
#include "calllog/TSVVirtualTable.h"
#include "common/ClientSocket.h"
#include "common/SharedState.h"
#include "widgets/Dialogs.h"
#include "widgets/ScreenFit.h"

namespace {
const QString kNotConnected =
    QStringLiteral("Ej ansluten till servern. Försök igen när anslutningen är upprättad.");

// The windows waiting for replies, by ReplyTarget number.
TCallLogWindow* gWaiting[rtActiveCalls + 1] = {nullptr, nullptr, nullptr};
}  // namespace

TCallLogWindow* TCallLogWindow::waiting(TReplyTarget replyTarget) {
  return replyTarget > rtNone && replyTarget <= rtActiveCalls ? gWaiting[replyTarget] : nullptr;
}

TCallLogWindow::TCallLogWindow(TReplyTarget replyTarget, QWidget* parent)
    : QDialog(parent), replyTarget_(replyTarget) {
  gWaiting[replyTarget_] = this;
  ReplyTarget = replyTarget_;
  connect(this, &QDialog::finished, this, &TCallLogWindow::FormClose);
}

TCallLogWindow::~TCallLogWindow() {
  davu::calllog::Forget(this);
  // A reply that arrives after the window is gone must find nothing to fill.
  if (gWaiting[replyTarget_] == this) {
    gWaiting[replyTarget_] = nullptr;
    if (ReplyTarget == replyTarget_) ReplyTarget = rtNone;
  }
}

void TCallLogWindow::FormClose() {
  ReplyTarget = rtNone;
  // The replies to its queries still come; they are dropped in their turn.
  davu::calllog::Forget(this);
}

void TCallLogWindow::AvbrytClick() { reject(); }

void TCallLogWindow::FormActivate() {
  if (activated_) return;
  activated_ = true;
  // The main window's connect handler is connected first, so a window's
  // requests follow the introduction on the new connection.
  if (ClientSocket1)
    connect(ClientSocket1, &ClientSocket::connected, this, &TCallLogWindow::ClientSocket1Connect,
            Qt::UniqueConnection);
  firstActivation();
}

void TCallLogWindow::ClientSocket1Connect() { connectionRestored(); }

bool TCallLogWindow::sendRequest(const std::string& bytes) {
  if (!ClientSocket1 || !ClientSocket1->active()) {
    ShowInfoHint(kNotConnected, this);
    return false;
  }
  ClientSocket1->sendBytes(bytes);
  return true;
}

bool TCallLogWindow::sendQuery(const std::string& bytes) {
  if (!sendRequest(bytes)) return false;
  davu::calllog::Expect(ClientSocket1, this);
  return true;
}

void TCallLogWindow::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) FormActivate();
}

void TCallLogWindow::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!centred_) {
    centred_ = true;
    CentreOnScreen(this);
  }
  // Some window systems never activate a window; the first requests must go
  // out anyway.
  QTimer::singleShot(0, this, &TCallLogWindow::FormActivate);
}

void TCallLogWindow::LoadSqlReply(std::string_view payload) {
  loaded_ = true;
  try {
    SVVirtualTable1->LoadSqlReply(payload);
  } catch (...) {
    lblRecordCount->setText(davu::calllog::RecordCountText(SVVirtualTable1->RecordCount()));
    throw;
  }
  lblRecordCount->setText(davu::calllog::RecordCountText(SVVirtualTable1->RecordCount()));
}

void TCallLogWindow::SqlReplyArriving(std::uint64_t reply, std::string_view soFar) {
  SVVirtualTable1->StreamSqlReply(reply, soFar);
}
