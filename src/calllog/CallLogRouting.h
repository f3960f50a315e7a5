#pragma once
// Where the dispatcher hands the replies that the call-log windows wait for.
// SQL replies go to the askers of the queries in the order the queries were
// sent (SqlReplyQueue.h); a reply that no query waits for goes to the window
// ReplyTarget (a ReplyTargetWindow) names.
#include <QString>
#include <string_view>

namespace davu {

// A cut RETSQL payload ("¤RETSQL:" ... ":"), in wire bytes. With no window
// waiting the reply is dropped. A reply naming a column the table lacks
// throws SqlReplyError (a std::runtime_error; what() is the message in UTF-8)
// after the rows before it have been kept and the grid and count updated.
void RouteSqlReply(std::string_view payload);
// An error reply (the text shown after "Servern svarade med följande fel: ")
// answers the oldest waiting query, if any. True when its asker has shown
// the error itself.
bool RouteErrorReply(const QString& shown);
// The first bytes of RETSQL reply number `reply` while it still arrives: the
// waiting window decodes its rows ahead and shows nothing of them yet.
void RouteSqlReplyArriving(std::uint64_t reply, std::string_view soFar);

// True while the statistics window takes the resource and client lists.
bool StatisticsTakesLists();
// RETALLCALLABLES and RETALLMACHINES payloads into the statistics window's
// check lists; nothing happens when that window does not take lists.
void RouteStatisticsCallables(std::string_view payload);
void RouteStatisticsMachines(std::string_view payload);

}  // namespace davu
