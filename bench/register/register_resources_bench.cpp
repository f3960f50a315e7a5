// A RETALLCALLABLES reply of N and 2N resources routed into the register's
// "Resurser" tab: decoding, filling lbResurser and the clients tab's
// "Alla resurser", and one full paint of the visible lines. Prints the
// times (CPU time of the UI thread), the 2N/N ratio (linear filling gives about 2; at most 2.3 is the
// bar) and the time of one repaint after scrolling to the middle.
//
//   register_resources_bench [resources]     (default 10000)
#include <QApplication>
#include <QListView>
#include <QScrollBar>

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/SharedState.h"
#include "register/USystReg.h"

namespace {

// This thread's CPU time: the machine may be shared, and time spent waiting
// for a core is not the program's.
double Now() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// "¤RETALLCALLABLES:" + seven fields per resource + ":" as the dispatcher cuts it.
std::string MakeReply(int n) {
  std::string p = "\xA4RETALLCALLABLES:";
  p.reserve(static_cast<std::size_t>(n) * 70 + 32);
  for (int i = 0; i < n; ++i) {
    const std::string k = std::to_string(i + 1);
    p += "Rum " + k + ":" + k + ":Mottagning " + k + " v\xE5ning " + std::to_string(i % 7) + ":";
    p += std::to_string((i * 2654435761u) & 0xFFFFFF) + ":";
    p += (i % 5 == 0) ? "-1:070" + k + ":" : "0::";
    p += (i % 9 == 0) ? "F:" : "T:";
  }
  return p;
}

// Routes the reply into the register and paints what the list shows. The
// lists are emptied first, untimed, so that a run pays only for its own size.
double RouteAndPaint(TfrmSystreg& w, const std::string& reply) {
  w.HandleRetAllCallables("\xA4RETALLCALLABLES:");
  QApplication::processEvents();
  const double t0 = Now();
  w.HandleRetAllCallables(reply);
  w.tsResurser->lbResurser->viewport()->repaint();
  return Now() - t0;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int n = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;

  TfrmSystreg w;
  w.setFixedWidth(800);
  w.show();
  w.PageControl1->setCurrentWidget(w.tsResurser);
  QApplication::processEvents();

  const std::string small = MakeReply(n);
  const std::string large = MakeReply(2 * n);
  // Best of several runs, the two sizes taking turns so that both meet the
  // same state of the allocator and the machine.
  double tn = 1e9, t2n = 1e9;
  for (int run = 0; run < 15; ++run) {
    tn = std::min(tn, RouteAndPaint(w, small));
    t2n = std::min(t2n, RouteAndPaint(w, large));
  }
  std::printf("RETALLCALLABLES into Resurser and Alla resurser, one paint of the visible lines\n");
  std::printf("  %6d resources: %8.2f ms (%zu bytes)\n", n, tn * 1e3, small.size());
  std::printf("  %6d resources: %8.2f ms (%zu bytes)\n", 2 * n, t2n * 1e3, large.size());
  std::printf("  ratio %d/%d: %.2f (linear: about 2, bar 2.3)\n", 2 * n, n, t2n / tn);
  std::printf("  lines: Resurser %d, Alla resurser %d\n", w.tsResurser->lbResurserItems->rowCount(),
              w.tsStations->ListBox3Items->rowCount());

  QListView* list = w.tsResurser->lbResurser;
  QScrollBar* bar = list->verticalScrollBar();
  bar->setValue(bar->maximum() / 2);
  QApplication::processEvents();
  double repaint = 1e9;
  for (int run = 0; run < 5; ++run) {
    const double t0 = Now();
    list->viewport()->repaint();
    repaint = std::min(repaint, Now() - t0);
  }
  std::printf("  one repaint at the middle of %d lines: %.3f ms\n", 2 * n, repaint * 1e3);
  return 0;
}
