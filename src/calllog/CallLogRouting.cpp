#include "calllog/CallLogRouting.h"

#include "calllog/UfrmActiveCalls.h"
#include "calllog/UfrmDAVUStatistik.h"
#include "common/ReplyTarget.h"
#include "common/SharedState.h"

void RouteSqlReply(std::string_view payload) {
  if (ReplyTarget == rtStatistics) {
    if (TfrmDAVUStatistik* w = TfrmDAVUStatistik::current()) w->LoadSqlReply(payload);
  } else if (ReplyTarget == rtActiveCalls) {
    if (TfrmDAVUActiveCalls* w = TfrmDAVUActiveCalls::current()) w->LoadSqlReply(payload);
  }
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
