#include "server/StopSignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace davu::server {

namespace {

int g_fds[2] = {-1, -1};

void OnSignal(int number) {
  const unsigned char byte = static_cast<unsigned char>(number);
  // Nothing to do if the pipe is full: a stop is already on its way.
  [[maybe_unused]] ssize_t n = ::write(g_fds[0], &byte, 1);
}

}  // namespace

StopSignals::StopSignals(QObject* parent) : QObject(parent) {
  if (g_fds[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_fds) != 0) return;
  ::fcntl(g_fds[0], F_SETFL, O_NONBLOCK);
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  if (::sigaction(SIGTERM, &sa, nullptr) != 0 || ::sigaction(SIGINT, &sa, nullptr) != 0) return;
  notifier_ = new QSocketNotifier(g_fds[1], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &StopSignals::onReadable);
}

StopSignals::~StopSignals() {
  ::signal(SIGTERM, SIG_DFL);
  ::signal(SIGINT, SIG_DFL);
}

void StopSignals::onReadable() {
  unsigned char byte = 0;
  if (::read(g_fds[1], &byte, 1) != 1) return;
  emit stopRequested(byte == SIGINT ? QStringLiteral("SIGINT") : QStringLiteral("SIGTERM"));
}

}  // namespace davu::server
