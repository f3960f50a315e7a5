#pragma once
// Moving resource lines between the two lists of the "Klienter" tab ("Alla
// resurser" and "Valda resurser") and within the chosen one. Every move is
// one pass over the lists, so thousands of resources stay quick.
#include <vector>

#include "register/CallableList.h"

namespace davu {

// True when a line of `list` shows resource number `lopnr`.
bool HoldsNumber(const CallableListModel& list, std::int32_t lopnr);
// The lines of `list` marked true, in list order.
CallableItemList MarkedLines(const CallableListModel& list, const std::vector<bool>& marked);
// Removes the lines marked true.
void RemoveMarked(CallableListModel& list, const std::vector<bool>& marked);
// Exchanges line `row` with the line below it.
void SwapWithNext(CallableListModel& list, int row);

// For each number in turn, the first line of `from` with that number moves to
// the end of `to`; numbers that match no line are skipped.
void MoveByNumbers(CallableListModel& from, CallableListModel& to,
                   const std::vector<std::int32_t>& numbers);

}  // namespace davu
