#pragma once
// A believable clinic for demonstrations: resources, call and display clients
// with their resources in order, an SMS account, and calls over the last
// three months and today. Deterministic for a given day.
#include <QDateTime>

#include "server/ServerDatabase.h"

namespace davu::server {

// Fills an empty register; returns false (and changes nothing) when the
// database already holds resources, clients or calls.
bool FillDemoData(Database& db, const QDateTime& now);

}  // namespace davu::server
