#pragma once
// Moving resource lines between the two lists of the "Klienter" tab ("Alla
// resurser" and "Valda resurser") and within the chosen one. Every move is
// one pass over the lists, so thousands of resources stay quick.
#include <vector>

#include "register/CallableList.h"

// True when a line of `list` shows resource number `lopnr`.
bool HoldsNumber(const TCallableListModel& list, std::int32_t lopnr);
// The lines of `list` marked true, in list order.
TCallableItems MarkedLines(const TCallableListModel& list, const std::vector<bool>& marked);
// Removes the lines marked true.
void RemoveMarked(TCallableListModel& list, const std::vector<bool>& marked);
// Exchanges line `row` with the line below it.
void SwapWithNext(TCallableListModel& list, int row);

// For each number in turn, the first line of `from` with that number moves to
// the end of `to`; numbers that match no line are skipped.
void MoveByNumbers(TCallableListModel& from, TCallableListModel& to,
                   const std::vector<std::int32_t>& numbers);
