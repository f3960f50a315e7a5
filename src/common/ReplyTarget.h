#pragma once
// Which window waits for the query and list replies on the main connection:
namespace davu {

// the value of the shared ReplyTarget. A call-log window sets it while it is
// open; with none open the replies belong to the register.
enum ReplyTargetWindow : int { rtNone = 0, rtStatistics = 1, rtActiveCalls = 2 };

}  // namespace davu
