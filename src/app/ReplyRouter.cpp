#include "app/ReplyRouter.h"

#include "app/ServerConnection.h"
#include "calllog/CallLogRouting.h"
#include "common/SettingsStore.h"
#include "common/SharedState.h"
#include "register/USystReg.h"

namespace davu {

namespace {

// While the statistics window is open it takes the two lists; otherwise they
// belong to the register.
bool ToStatistics() { return ReplyTarget == rtStatistics && StatisticsTakesLists(); }

}  // namespace

ReplyRouter::ReplyRouter(ServerConnection& c, std::function<TfrmSystreg*()> registerWindow, QObject* parent)
    : QObject(parent), register_(std::move(registerWindow)) {
  using C = ServerConnection;
  using Payload = std::string_view;
  // To the register's handler `h`, when there is a register.
  const auto toRegister = [this](void (TfrmSystreg::*h)(Payload)) {
    return [this, h](Payload p) {
      if (TfrmSystreg* r = register_()) (r->*h)(p);
    };
  };
  connect(&c, &C::settingsReply, this, [](Payload p) { SettingReplyReceived(p); });
  connect(&c, &C::sqlReply, this, [](Payload p) { RouteSqlReply(p); });
  connect(&c, &C::errorReply, this, [this](const QString& shown) {
    if (!RouteErrorReply(shown)) emit errorForUser(shown);
  });
  connect(&c, &C::sqlReplyArriving, this, [](std::uint64_t n, Payload p) { RouteSqlReplyArriving(n, p); });
  connect(&c, &C::smsSettingsReply, this, toRegister(&TfrmSystreg::HandleRetSmsSettings));
  connect(&c, &C::callListReply, this, toRegister(&TfrmSystreg::HandleRetCallList));
  connect(&c, &C::stationCallablesReply, this, toRegister(&TfrmSystreg::HandleRetStationCallables));
  connect(&c, &C::allMachinesReply, this, [this](Payload p) {
    if (ToStatistics()) {
      RouteStatisticsMachines(p);
    } else if (TfrmSystreg* r = register_()) {
      r->HandleRetAllMachines(p);
    }
  });
  connect(&c, &C::allCallablesReply, this, [this](Payload p) {
    if (ToStatistics()) {
      RouteStatisticsCallables(p);
      // The register's pending choice of list ends with every resource list.
      if (TfrmSystreg* r = register_()) r->AllCallablesTakenElsewhere();
    } else if (TfrmSystreg* r = register_()) {
      r->HandleRetAllCallables(p);
    }
  });
}

}  // namespace davu
