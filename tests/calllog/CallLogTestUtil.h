#pragma once
// Helpers shared by the call-log tests: wire bytes written as readable text
// ("¤" stands for the byte 0xA4), and a client socket connected to the
// scripted in-process server.
#include <QString>
#include <QtTest>
#include <memory>
#include <string>

#include "FakePlatform.h"
#include "FakeServer.h"
#include "SettingsSandbox.h"
#include "WireLiteral.h"
#include "common/ClientSocket.h"
#include "common/SharedState.h"

// A RETSQL payload as the dispatcher cuts it: "¤RETSQL:" + pieces + ":".
inline std::string SqlPayload(const QStringList& rows) {
  QString p = QStringLiteral("¤RETSQL:");
  for (const QString& r : rows) p += QStringLiteral("¤%") + r + QStringLiteral("%¤:");
  if (rows.isEmpty()) p += u':';
  return W(p);
}

struct Connected {
  FakeServer server;
  davu::ClientSocket socket;

  bool open() { return server.connectClient(socket); }
  // Everything sent so far, in order.
  std::string sent() { return server.takeSent(socket); }
};

// One test case's world for a call-log window: fresh shared state and
// settings, the platform faked, and a socket connected to the scripted server that the
// window sends through.
template <typename Window>
struct WindowCase {
  std::unique_ptr<SettingsSandbox> settings;
  std::unique_ptr<FakePlatform> fake;
  std::unique_ptr<Connected> net;

  bool start() {
    davu::ResetSharedState();
    settings = std::make_unique<SettingsSandbox>();
    fake = std::make_unique<FakePlatform>();
    net = std::make_unique<Connected>();
    return net->open();
  }
  void stop() {
    net.reset();
    fake.reset();
    settings.reset();
    davu::ResetSharedState();
  }
  std::unique_ptr<Window> openWindow() {
    auto w = std::make_unique<Window>();
    w->ClientSocket1 = &net->socket;
    return w;
  }
};
