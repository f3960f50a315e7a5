#pragma once
// The bytes a result table's cells point into. Room is taken without
// writing it, so reserving for a whole reply costs only the pages the values
// fill; and a short value is copied in a few 16-byte moves instead of a
// library call, which is most of the cost of storing one.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>

namespace davu::calllog {

class CellBytes {
 public:
  // Values are copied 16 bytes at a time: this much room stays free behind
  // the last one.
  static constexpr std::size_t kSlack = 16;

  std::size_t size() const { return size_; }
  std::string_view view() const { return {bytes_.get(), size_}; }

  // Room for `more` bytes of values behind the current ones.
  void reserveMore(std::size_t more) {
    const std::size_t need = size_ + more + kSlack;
    if (need <= capacity_) return;
    const std::size_t capacity = std::max(need, 2 * capacity_);
    auto bytes = std::make_unique_for_overwrite<char[]>(capacity);
    if (size_ > 0) std::memcpy(bytes.get(), bytes_.get(), size_);
    bytes_ = std::move(bytes);
    capacity_ = capacity;
  }

  void append(std::string_view s) {
    reserveMore(s.size());
    std::memcpy(bytes_.get() + size_, s.data(), s.size());
    size_ += s.size();
  }

  // Appends `s`, which may be read up to `readable` (its buffer's end), into
  // room reserveMore has made.
  [[gnu::always_inline]] void appendReserved(std::string_view s, const char* readable) {
    char* to = bytes_.get() + size_;
    const char* from = s.data();
    const std::size_t n = s.size();
    const std::size_t padded = (n + kSlack - 1) & ~(kSlack - 1);
    if (padded <= static_cast<std::size_t>(readable - from)) {
      for (std::size_t i = 0; i < n; i += kSlack) std::memcpy(to + i, from + i, kSlack);
    } else {
      std::memcpy(to, from, n);
    }
    size_ += n;
  }

  // Forgets the bytes behind the first `n`.
  void truncate(std::size_t n) { size_ = std::min(size_, n); }
  void clear() { size_ = 0; }
  // Gives the memory back.
  void release() {
    bytes_.reset();
    size_ = capacity_ = 0;
  }

 private:
  std::unique_ptr<char[]> bytes_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace davu::calllog
