#include "register/CallableMoves.h"

#include <unordered_map>

namespace davu {

bool HoldsNumber(const CallableListModel& list, std::int32_t lopnr) {
  for (const CallableItem& i : list.items())
    if (i.record && i.record->CallableLopnr == lopnr) return true;
  return false;
}

CallableItemList MarkedLines(const CallableListModel& list, const std::vector<bool>& marked) {
  CallableItemList out;
  const CallableItemList& items = list.items();
  for (std::size_t i = 0; i < items.size() && i < marked.size(); ++i)
    if (marked[i]) out.push_back(items[i]);
  return out;
}

void RemoveMarked(CallableListModel& list, const std::vector<bool>& marked) {
  CallableItemList kept;
  const CallableItemList& items = list.items();
  kept.reserve(items.size());
  for (std::size_t i = 0; i < items.size(); ++i)
    if (i >= marked.size() || !marked[i]) kept.push_back(items[i]);
  list.assign(std::move(kept));
}

void SwapWithNext(CallableListModel& list, int row) {
  CallableItemList items = list.items();
  if (row < 0 || row + 1 >= static_cast<int>(items.size())) return;
  std::swap(items[static_cast<std::size_t>(row)], items[static_cast<std::size_t>(row) + 1]);
  list.assign(std::move(items));
}

void MoveByNumbers(CallableListModel& from, CallableListModel& to,
                   const std::vector<std::int32_t>& numbers) {
  // The first row of each number, and for each row the next row with the
  // same number: the first line not yet taken is found without a scan.
  constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  const CallableItemList& items = from.items();
  std::unordered_map<std::int32_t, std::size_t> first;
  first.reserve(items.size());
  std::vector<std::size_t> next(items.size(), kNone);
  for (std::size_t i = items.size(); i-- > 0;) {
    if (!items[i].record) continue;
    auto [it, inserted] = first.try_emplace(items[i].record->CallableLopnr, i);
    if (!inserted) {
      next[i] = it->second;
      it->second = i;
    }
  }

  std::vector<bool> taken(items.size(), false);
  CallableItemList moved;
  moved.reserve(numbers.size());
  for (std::int32_t n : numbers) {
    auto it = first.find(n);
    if (it == first.end() || it->second == kNone) continue;
    const std::size_t row = it->second;
    it->second = next[row];
    taken[row] = true;
    moved.push_back(items[row]);
  }
  if (moved.empty()) return;
  to.append(moved);
  RemoveMarked(from, taken);
}

}  // namespace davu
