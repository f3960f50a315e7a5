#include "common/platform/SleepWatcher.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace davu {

namespace {
const QString kPath = QStringLiteral("/org/freedesktop/login1");
const QString kInterface = QStringLiteral("org.freedesktop.login1.Manager");
}  // namespace

SleepWatcher::SleepWatcher(const QDBusConnection& bus, const QString& service, QObject* parent)
    : QObject(parent), bus_(bus), service_(service) {
  setObjectName(QStringLiteral("SleepWatcher"));
  if (!bus_.isConnected()) return;
  listening_ = bus_.connect(service_, kPath, kInterface, QStringLiteral("PrepareForSleep"), this,
                            SLOT(PrepareForSleep(bool)));
  if (listening_) takeDelayLock();
}

SleepWatcher::~SleepWatcher() {
  if (listening_)
    bus_.disconnect(service_, kPath, kInterface, QStringLiteral("PrepareForSleep"), this,
                    SLOT(PrepareForSleep(bool)));
}

// Asked for without waiting; a missing logind only means no lock is held.
void SleepWatcher::takeDelayLock() {
  if (service_.isEmpty() || delayLock_.isValid()) return;
  QDBusMessage call = QDBusMessage::createMethodCall(service_, kPath, kInterface, QStringLiteral("Inhibit"));
  call << QStringLiteral("sleep") << QStringLiteral("DAVU Admin")
       << QStringLiteral("Kopplar ner serveranslutningen") << QStringLiteral("delay");
  auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
    QDBusPendingReply<QDBusUnixFileDescriptor> reply = *w;
    if (!reply.isError()) delayLock_ = reply.value();
    w->deleteLater();
  });
}

void SleepWatcher::PrepareForSleep(bool start) {
  if (start) {
    emit suspending();
    delayLock_ = QDBusUnixFileDescriptor();  // closing the descriptor lets the computer sleep
  } else {
    takeDelayLock();
    emit resumed();
  }
}

}  // namespace davu
