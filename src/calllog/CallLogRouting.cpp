#include "calllog/CallLogRouting.h"

#include "calllog/SqlReplyQueue.h"
#include "calllog/TSVVirtualTable.h"
#include "calllog/UfrmActiveCalls.h"
#include "calllog/UfrmDAVUStatistik.h"
#include "common/ReplyTarget.h"
#include "common/SharedState.h"

namespace davu {

void RouteSqlReply(std::string_view payload) {
  // Replies come in the order the queries went out: the oldest waiting
  // query's asker takes this one, or nobody when it has closed.
  const davu::calllog::Oldest oldest = davu::calllog::TakeOldestQuery();
  if (oldest.waited) {
    if (oldest.asker) oldest.asker->SqlReplyArrived(payload);
    return;
  }
  // A reply nobody here asked for goes to the window ReplyTarget names.
  if (ReplyTarget == rtStatistics) {
    if (TfrmDAVUStatistik* w = TfrmDAVUStatistik::current()) w->LoadSqlReply(payload);
  } else if (ReplyTarget == rtActiveCalls) {
    if (TfrmDAVUActiveCalls* w = TfrmDAVUActiveCalls::current()) w->LoadSqlReply(payload);
  }
}

bool RouteErrorReply(const QString& shown) {
  const davu::calllog::Oldest oldest = davu::calllog::TakeOldest();
  return oldest.asker && oldest.asker->SqlReplyFailed(shown);
}

void RouteSqlReplyArriving(std::uint64_t reply, std::string_view soFar) {
  // The reply goes where RouteSqlReply will send it when it is finished: to
  // the oldest waiting query's asker, or, when no query waits, to the window
  // ReplyTarget names.
  const davu::calllog::Oldest oldest = davu::calllog::PeekOldestQuery();
  if (oldest.waited) {
    if (oldest.asker) oldest.asker->SqlReplyArriving(reply, soFar);
    return;
  }
  CallLogWindow* w = nullptr;
  if (ReplyTarget == rtStatistics) w = TfrmDAVUStatistik::current();
  else if (ReplyTarget == rtActiveCalls) w = TfrmDAVUActiveCalls::current();
  if (w) w->SqlReplyArriving(reply, soFar);
}

bool StatisticsTakesLists() { return ReplyTarget == rtStatistics && TfrmDAVUStatistik::current() != nullptr; }

void RouteStatisticsCallables(std::string_view payload) {
  if (!StatisticsTakesLists()) return;
  TfrmDAVUStatistik::current()->LoadCallables(DecodeCallableList(payload));
}

void RouteStatisticsMachines(std::string_view payload) {
  if (!StatisticsTakesLists()) return;
  TfrmDAVUStatistik::current()->LoadMachines(DecodeMachineList(payload));
}

}  // namespace davu
