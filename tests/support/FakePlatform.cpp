#include "FakePlatform.h"

#include <stdexcept>

bool FakeHostIdentity::citrixClientName(QString& name) {
  calls << QStringLiteral("citrix");
  if (!citrixThrows.isEmpty()) throw std::runtime_error(citrixThrows.toStdString());
  name = citrixName;
  return citrixOk;
}

QString FakeHostIdentity::terminalServicesClientName() {
  calls << QStringLiteral("ts");
  if (!tsThrows.isEmpty()) throw std::runtime_error(tsThrows.toStdString());
  return tsName;
}

template <typename T>
static T* installFake() {
  auto p = std::make_unique<T>();
  T* raw = p.get();
  davu::platform::install(std::move(p));
  return raw;
}

FakePlatform::FakePlatform()
    : clock(installFake<FakeClock>()),
      random(installFake<FakeRandom>()),
      sleeper(installFake<FakeSleeper>()),
      dialogs(installFake<FakeDialogs>()),
      starter(installFake<FakeProcessStarter>()),
      host(installFake<FakeHostIdentity>()) {}

FakePlatform::~FakePlatform() { davu::platform::restoreDefaults(); }
