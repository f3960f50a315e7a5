#include "RegisterTestEnv.h"

#include "Controls.h"
#include "FakePlatform.h"
#include "FakeServer.h"
#include "common/ClientSocket.h"
#include "common/SharedState.h"
#include "register/USystReg.h"

#include <QListView>
#include <QtTest>

using namespace davu;

using davu::test::Control;

RegisterCase::RegisterCase()
    : platform(std::make_unique<FakePlatform>()),
      server(std::make_unique<FakeServer>()),
      socket(std::make_unique<ClientSocket>()) {
  ResetSharedState();
}

RegisterCase::~RegisterCase() {
  socket.reset();
  server.reset();
  platform.reset();
  ResetSharedState();
}

bool RegisterCase::connect() { return server->connectClient(*socket); }

std::string RegisterCase::sent(const std::function<void()>& action) {
  // Whatever earlier steps sent must not count: let it arrive first.
  server->takeSent(*socket);
  action();
  return server->takeSent(*socket);
}

RegisterWindowCase::RegisterWindowCase() {
  connected = connect();
  w = std::make_unique<TfrmSystreg>();
  w->ClientSocket1 = socket.get();
  RegisterMode = true;
}

RegisterWindowCase::~RegisterWindowCase() { w.reset(); }

void ClickCheck(ResourcesTab* tab, int row) {
  QAbstractItemModel* m = Control<QListView>(tab, "lbResurser")->model();
  const QModelIndex i = m->index(row, 0);
  const auto now = m->data(i, Qt::CheckStateRole).value<Qt::CheckState>();
  QVERIFY(m->setData(i, now == Qt::Checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole));
}
