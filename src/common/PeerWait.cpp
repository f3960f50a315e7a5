#include "common/PeerWait.h"

#include <QCoreApplication>
#include <QEventLoop>

namespace davu {

namespace {

int running = 0;

}  // namespace

void PeerWait::until(const std::function<bool()>& over) {
  struct Depth {
    Depth() { ++running; }
    ~Depth() { --running; }
  } depth;
  while (!over()) QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

int PeerWait::depth() { return running; }

}  // namespace davu
