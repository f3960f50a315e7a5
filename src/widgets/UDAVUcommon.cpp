#include "widgets/UDAVUcommon.h"

#include <QPainter>
#include <QPainterPath>
#include <functional>
#include <QTimer>

#include "common/ClientSocket.h"
#include "common/SettingsStore.h"
#include "common/SharedState.h"
#include "common/platform/Platform.h"
#include "common/platform/SleepWatcher.h"
#include "widgets/platform/BalloonHint.h"

using namespace davu;

namespace davu {

TfrmDAVUcommon* frmDAVUcommon = nullptr;

TfrmDAVUcommon& EnsureDAVUcommon() {
  if (!frmDAVUcommon) new TfrmDAVUcommon(false);
  return *frmDAVUcommon;
}

namespace {

QPixmap drawPicture(const QColor& disc, const std::function<void(QPainter&)>& sign) {
  QPixmap pm(32, 32);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(disc.darker(140), 1));
  p.setBrush(disc);
  p.drawEllipse(QRectF(1.5, 1.5, 29, 29));
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  sign(p);
  return pm;
}

}  // namespace

QList<QPixmap> DrawBalloonPictures() {
  const QColor blue(0, 84, 196), red(204, 24, 24);
  QPixmap info = drawPicture(blue, [](QPainter& p) {
    p.drawEllipse(QRectF(13.5, 6.5, 5, 5));
    p.drawRoundedRect(QRectF(13.5, 13, 5, 13), 1.5, 1.5);
  });
  QPixmap question = drawPicture(blue, [](QPainter& p) {
    QPen pen(Qt::white, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    QPainterPath hook;
    hook.moveTo(10.5, 11.5);
    hook.cubicTo(10.5, 5.5, 21.5, 5.5, 21.5, 11.5);
    hook.cubicTo(21.5, 15.5, 16, 15.5, 16, 20);
    p.drawPath(hook);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(13.5, 22.5, 5, 5));
  });
  QPixmap error = drawPicture(red, [](QPainter& p) {
    p.setPen(QPen(Qt::white, 4.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(10, 10), QPointF(22, 22));
    p.drawLine(QPointF(22, 10), QPointF(10, 22));
  });
  return {info, question, error};
}

}  // namespace davu

TfrmDAVUcommon::TfrmDAVUcommon(bool listenForPower, QWidget* parent)
    : QWidget(parent),
      SocketTimer(new QTimer(this)),
      UpdateSocket(new ClientSocket(this)),
      UpdateTimer(new QTimer(this)),
      ImageList1(DrawBalloonPictures()) {
  setObjectName(QStringLiteral("frmDAVUcommon"));
  SocketTimer->setObjectName(QStringLiteral("SocketTimer"));
  SocketTimer->setInterval(5000);
  SocketTimer->setSingleShot(true);
  connect(SocketTimer, &QTimer::timeout, this, &TfrmDAVUcommon::SocketTimerTimer);
  UpdateSocket->setObjectName(QStringLiteral("UpdateSocket"));
  UpdateSocket->setPort(0);
  UpdateTimer->setObjectName(QStringLiteral("UpdateTimer"));
  UpdateTimer->setInterval(5000);
  if (!frmDAVUcommon) {
    frmDAVUcommon = this;
    UseSettingReplyTimer(SocketTimer);
  }
  if (listenForPower) {
    sleepWatcher_ = new SleepWatcher(QDBusConnection::systemBus(),
                                     QStringLiteral("org.freedesktop.login1"), this);
    connect(sleepWatcher_, &SleepWatcher::suspending, this, [this] { PowerBroadcast(PBT_APMSUSPEND); });
    connect(sleepWatcher_, &SleepWatcher::resumed, this, [this] { PowerBroadcast(PBT_APMRESUMESUSPEND); });
  }
}

TfrmDAVUcommon::~TfrmDAVUcommon() {
  if (frmDAVUcommon == this) {
    frmDAVUcommon = nullptr;
    UseSettingReplyTimer(nullptr);
  }
}

void TfrmDAVUcommon::SocketTimerTimer() {
  SettingReplyTimedOut = true;
  SocketTimer->stop();
}

int TfrmDAVUcommon::BalloonPictureIndex(int kind) {
  switch (kind) {
    case 1: return 2;
    case 3: return 1;
    default: return 0;
  }
}

void TfrmDAVUcommon::PrepareBalloonHint(const QString& title, const QString& text, int kind,
                                        int displayMs) {
  if (!balloon_) {
    balloon_ = new TBalloonHint(this);
    balloon_->setObjectName(QStringLiteral("BalloonHint"));
  }
  balloon_->setDisplayTime(displayMs);
  const int index = BalloonPictureIndex(kind);
  balloon_->setPicture(ImageList1.value(index), index);
  balloon_->setTitle(title);
  balloon_->setText(text + QChar(u'\r'));
}

void TfrmDAVUcommon::PowerBroadcast(int eventCode) {
  if (eventCode == PBT_APMSUSPEND) {
    if (ServerSocket && ServerSocket->active()) ServerSocket->close();
  } else if (eventCode == PBT_APMRESUMESUSPEND) {
    // The network is rarely back at once after waking.
    davu::platform::sleeper().blockingSleep(10000);
    if (ServerSocket) {
      if (ServerSocket->active()) ServerSocket->close();
      ServerSocket->open();
    }
  }
}
