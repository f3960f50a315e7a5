// The "Klienter" tab with large registers, through the register window:
//  - a RETALLMACHINES reply of N and 2N clients into "Befintliga klienter"
//    (decode, fill, one paint of the visible lines);
//  - a RETSTATIONCALLABLES reply of M and 2M numbers against "Alla resurser"
//    of 10,000 resources (find each number, move it, one paint).
// Prints each time (best of 15) and the 2N/N ratio; linear work gives about 2.
//
//   register_klienter_bench [clients] [pairs]    (default 10000 5000)
#include <QApplication>
#include <QListView>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "register/USystReg.h"

using namespace davu;

namespace {

using Clock = std::chrono::steady_clock;

std::string Machines(int n) {
  std::string p = "\xA4RETALLMACHINES:";
  for (int i = 0; i < n; ++i) {
    const std::string k = std::to_string(i);
    p += "Klient" + k + ":" + k + ":V\xE4ntrum " + k + ":" + std::to_string(i * 7919 % 16777216) +
         ":" + std::to_string(i % 2) + ":" + (i % 3 ? "0" : "-1") + ":imei" + k + "::";
  }
  return p;
}

std::string Callables(int n) {
  std::string p = "\xA4RETALLCALLABLES:";
  for (int i = 1; i <= n; ++i) {
    const std::string k = std::to_string(i);
    p += "R" + k + ":" + k + ":Rum " + k + ":16777215:0::T:";
  }
  return p;
}

// `m` numbers spread over 1..10000, each once, in a scrambled order.
std::string StationCallables(int m) {
  std::string p = "\xA4RETSTATIONCALLABLES:";
  for (int i = 0; i < m; ++i)
    p += std::to_string(1 + (static_cast<long long>(i) * 7919) % 10000) + ":" + std::to_string(i) + ":";
  return p;
}

double BestMs(const std::function<void()>& prepare, const std::function<void()>& run) {
  double best = 1e300;
  for (int round = 0; round < 15; ++round) {
    prepare();
    const auto t0 = Clock::now();
    run();
    best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int clients = argc > 1 ? std::atoi(argv[1]) : 10000;
  const int pairs = argc > 2 ? std::atoi(argv[2]) : 5000;

  TfrmSystreg w;  // no connection: requests go nowhere
  w.setFixedWidth(800);
  w.PageControl1->setCurrentWidget(w.tsStations);
  w.show();
  StationsTab* t = w.tsStations;

  double machineMs[2] = {};
  for (int k = 0; k < 2; ++k) {
    const std::string payload = Machines(clients << k);
    machineMs[k] = BestMs([&] { t->HandleRetAllMachines("\xA4RETALLMACHINES:"); }, [&] {
      w.HandleRetAllMachines(payload);
      t->lbmachines->viewport()->grab();
    });
    std::printf("RETALLMACHINES %6d clients: %8.2f ms (%d lines)\n", clients << k, machineMs[k],
                t->machines()->rowCount());
  }
  std::printf("RETALLMACHINES ratio %d/%d: %.2f\n", clients * 2, clients, machineMs[1] / machineMs[0]);

  const CallableItemList all = CallableItems(DecodeCallableList(Callables(10000)));
  double stationMs[2] = {};
  for (int k = 0; k < 2; ++k) {
    const std::string payload = StationCallables(pairs << k);
    stationMs[k] = BestMs([&] { t->CopyAllResources({}), t->AppendAllResources(all); }, [&] {
      w.HandleRetStationCallables(payload);
      t->ListBox4->viewport()->grab();
    });
    std::printf("RETSTATIONCALLABLES %6d pairs against 10000: %8.2f ms (%d chosen, %d left)\n",
                pairs << k, stationMs[k], t->ListBox4Items->rowCount(),
                t->ListBox3Items->rowCount());
  }
  std::printf("RETSTATIONCALLABLES ratio %d/%d: %.2f\n", pairs * 2, pairs, stationMs[1] / stationMs[0]);
  return 0;
}
