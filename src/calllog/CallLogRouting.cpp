#include "CallLogRouting.h"

#include "SharedState.h"
#include "UfrmActiveCalls.h"
#include "UfrmDAVUStatistik.h"

void RouteSqlReply(std::string_view payload) {
  if (ReplyTarget == 1) {
    if (TfrmDAVUStatistik* w = TfrmDAVUStatistik::current()) w->LoadSqlReply(payload);
  } else if (ReplyTarget == 2) {
    if (TfrmDAVUActiveCalls* w = TfrmDAVUActiveCalls::current()) w->LoadSqlReply(payload);
  }
}

bool StatisticsTakesLists() { return ReplyTarget == 1 && TfrmDAVUStatistik::current() != nullptr; }

void RouteStatisticsCallables(std::string_view payload) {
  if (!StatisticsTakesLists()) return;
  TfrmDAVUStatistik::current()->LoadCallables(DecodeCallableList(payload));
}

void RouteStatisticsMachines(std::string_view payload) {
  if (!StatisticsTakesLists()) return;
  TfrmDAVUStatistik::current()->LoadMachines(DecodeMachineList(payload));
}
