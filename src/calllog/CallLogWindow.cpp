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

namespace davu {

namespace {
const QString kNotConnected =
    QStringLiteral("Ej ansluten till servern. Försök igen när anslutningen är upprättad.");

// The windows waiting for replies, by ReplyTarget number.
CallLogWindow* gWaiting[rtActiveCalls + 1] = {nullptr, nullptr, nullptr};

// The server a connection goes to, as it was set before opening.
QString ServerOf(const ClientSocket* socket) {
  if (!socket) return {};
  return socket->host() + u'/' + socket->address() + u':' + QString::number(socket->port());
}
}  // namespace

CallLogWindow* CallLogWindow::waiting(ReplyTargetWindow replyTarget) {
  return replyTarget > rtNone && replyTarget <= rtActiveCalls ? gWaiting[replyTarget] : nullptr;
}

CallLogWindow::CallLogWindow(ReplyTargetWindow replyTarget, QWidget* parent)
    : QDialog(parent), replyTarget_(replyTarget) {
  gWaiting[replyTarget_] = this;
  ReplyTarget = replyTarget_;
  connect(this, &QDialog::finished, this, &CallLogWindow::FormClose);
}

CallLogWindow::~CallLogWindow() {
  davu::calllog::Forget(this);
  // A reply that arrives after the window is gone must find nothing to fill.
  if (gWaiting[replyTarget_] == this) {
    gWaiting[replyTarget_] = nullptr;
    if (ReplyTarget == replyTarget_) ReplyTarget = rtNone;
  }
}

void CallLogWindow::FormClose() {
  ReplyTarget = rtNone;
  // The replies to its queries still come; they are dropped in their turn.
  davu::calllog::Forget(this);
}

void CallLogWindow::AvbrytClick() { reject(); }

void CallLogWindow::FormActivate() {
  if (activated_) return;
  activated_ = true;
  // The main window's connect handler is connected first, so a window's
  // requests follow the introduction on the new connection.
  if (ClientSocket1)
    connect(ClientSocket1, &ClientSocket::connected, this, &CallLogWindow::ClientSocket1Connect,
            Qt::UniqueConnection);
  firstActivation();
}

void CallLogWindow::ClientSocket1Connect() { connectionRestored(); }

bool CallLogWindow::sendRequest(const std::string& bytes) {
  if (!ClientSocket1 || !ClientSocket1->active()) {
    ShowInfoHint(kNotConnected, this);
    return false;
  }
  ClientSocket1->sendBytes(bytes);
  return true;
}

bool CallLogWindow::sendQuery(const std::string& bytes) {
  if (!sendRequest(bytes)) return false;
  davu::calllog::Expect(ClientSocket1, this);
  return true;
}

void CallLogWindow::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) FormActivate();
}

void CallLogWindow::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!centred_) {
    centred_ = true;
    CentreOnScreen(this);
  }
  // Some window systems never activate a window; the first requests must go
  // out anyway.
  QTimer::singleShot(0, this, &CallLogWindow::FormActivate);
}

bool CallLogWindow::loadedFromAnotherServer() const {
  return loaded_ && ServerOf(ClientSocket1) != loadedFrom_;
}

void CallLogWindow::LoadSqlReply(std::string_view payload) {
  loaded_ = true;
  loadedFrom_ = ServerOf(ClientSocket1);
  try {
    SVVirtualTable1->LoadSqlReply(payload);
  } catch (...) {
    lblRecordCount->setText(davu::calllog::RecordCountText(SVVirtualTable1->RecordCount()));
    throw;
  }
  lblRecordCount->setText(davu::calllog::RecordCountText(SVVirtualTable1->RecordCount()));
}

void CallLogWindow::SqlReplyArriving(std::uint64_t reply, std::string_view soFar) {
  SVVirtualTable1->StreamSqlReply(reply, soFar);
}

}  // namespace davu
