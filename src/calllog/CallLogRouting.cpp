#include "CallLogRouting.h"

#include "ReplyTarget.h"
#include "SharedState.h"
#include "TSVVirtualTable.h"
#include "UfrmActiveCalls.h"
#include "UfrmDAVUStatistik.h"

void RouteSqlReply(std::string_view payload) {
  if (ReplyTarget == rtStatistics) {
    if (TfrmDAVUStatistik* w = TfrmDAVUStatistik::current()) w->LoadSqlReply(payload);
  } else if (ReplyTarget == rtActiveCalls) {
    if (TfrmDAVUActiveCalls* w = TfrmDAVUActiveCalls::current()) w->LoadSqlReply(payload);
  }
}

void RouteSqlReplyArriving(std::uint64_t reply, std::string_view soFar) {
  TCallLogWindow* w = nullptr;
  if (ReplyTarget == rtStatistics) w = TfrmDAVUStatistik::current();
  else if (ReplyTarget == rtActiveCalls) w = TfrmDAVUActiveCalls::current();
  if (w) w->SVVirtualTable1->StreamSqlReply(reply, soFar);
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
