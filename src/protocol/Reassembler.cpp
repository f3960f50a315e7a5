#include "protocol/Reassembler.h"

#include <algorithm>
#include <cstring>

#include "protocol/Envelope.h"
#include "protocol/TextUtil.h"

namespace davu::proto {
namespace {

// True when `rest` is a proper start of `marker`: the next read decides.
bool IsPartial(std::string_view rest, std::string_view marker) {
  return rest.size() < marker.size() && marker.substr(0, rest.size()) == rest;
}

}  // namespace

Reassembler::Reassembler(std::size_t limit, StreamGrammar grammar) : limit_(limit), grammar_(grammar) {}

std::size_t Reassembler::pendingSize() const { return size_; }

void Reassembler::recycle(std::string&& text) {
  // What is pending then is at most the start of a unit that arrived with
  // the handed-out text; it moves over only while that is a small copy.
  if (text.capacity() <= pending_.capacity() || size_ > kRecycleCopyLimit) return;
  // The handed-back text keeps its length: its bytes are room for the reads
  // of the next reply, already written once.
  if (text.size() < size_) text.resize(size_);
  std::memcpy(text.data(), pending_.data(), size_);
  pending_.swap(text);
}

void Reassembler::reset() {
  pending_.clear();
  pending_.shrink_to_fit();
  size_ = 0;
  dropped_ = 0;
  scanFrom_ = 0;
  overflowed_ = false;
  unit_ = Unit::None;
  unitStart_ = 0;
  closing_.clear();
  skipping_ = false;
  skipFrom_ = 0;
  complete_ = 0;
  lastFrameEnd_ = 0;
  headDropped_ = 0;
  cuts_.clear();
}

std::optional<std::string> Reassembler::feed(std::string_view chunk) {
  overflowed_ = false;
  reserveFor(chunk.size());
  if (pending_.size() - size_ >= chunk.size()) std::memcpy(pending_.data() + size_, chunk.data(), chunk.size());
  else pending_.replace(size_, std::string::npos, chunk);
  size_ += chunk.size();
  return afterRead();
}

std::size_t Reassembler::room(std::size_t most) {
  overflowed_ = false;
  reserveFor(most);
  if (pending_.size() < size_ + most) pending_.resize(size_ + most);
  return size_;
}

std::optional<std::string> Reassembler::afterRead() {
  if (skipping_ && !skipAbandoned()) return std::nullopt;
  scan();
  return settle();
}

std::optional<std::uint64_t> Reassembler::heldFrom() const {
  if (skipping_) return unit_ == Unit::Message ? std::optional(skipFrom_) : std::nullopt;
  if (unit_ == Unit::Message) return dropped_ + unitStart_;
  if (unit_ == Unit::None && size_ > 0) return dropped_;
  return std::nullopt;
}

std::size_t Reassembler::openFrameBegin() const {
  return unitStart_ + (headDropped_ > 0 ? 0 : kFrameStart.size());
}

std::string_view Reassembler::openFrame() const {
  if (unit_ != Unit::Frame || skipping_) return {};
  return held().substr(std::min(openFrameBegin(), size_));
}

std::uint64_t Reassembler::openFrameAt() const { return dropped_ + openFrameBegin(); }

std::optional<std::string> Reassembler::expire() {
  if (!heldFrom()) return std::nullopt;
  overflowed_ = false;
  // Everything held goes out as it stands, even openings that stand behind
  // the first one: each of them would otherwise wait its own quiet time.
  // The dispatcher still finds the complete replies among those bytes.
  skipping_ = false;
  unit_ = Unit::None;
  headDropped_ = 0;
  scanFrom_ = complete_ = size_;
  return takeUpTo(complete_);
}

// A frame that outgrows the buffer gets room for the most it may take, at
// once: growing step by step would copy it and touch fresh pages at every
// step. Pages of the reserve that no byte reaches are never touched.
void Reassembler::reserveFor(std::size_t incoming) {
  const std::size_t needed = size_ + incoming;
  if (needed <= pending_.capacity() || unit_ != Unit::Frame || skipping_ || needed < kLargeFrame) return;
  pending_.reserve(std::max(needed, unitStart_ + limit_ + 2 * incoming));
}

// Bytes of the open unit, its opening marker included.
std::size_t Reassembler::unitSize(std::size_t end) const { return end - unitStart_ + headDropped_; }

// After a scan: abandons an oversized unit, or hands out what is complete.
std::optional<std::string> Reassembler::settle() {
  if (unit_ != Unit::None && unitSize(size_) > limit_) {
    // Abandon the open unit: hand out what is complete in front of it and
    // keep only enough of its tail to find its end across the next read.
    overflowed_ = true;
    skipping_ = true;
    skipFrom_ = dropped_ + unitStart_;
    headDropped_ = 0;
    std::optional<std::string> text = takeUpTo(unitStart_);
    dropFront(std::min(scanFrom_, size_));
    scanFrom_ = 0;
    unitStart_ = 0;
    complete_ = 0;
    return text;
  }
  // Messages in front of an unfinished frame travel with it.
  return takeUpTo(unit_ == Unit::Frame ? lastFrameEnd_ : complete_);
}

void Reassembler::dropFront(std::size_t n) {
  // Only what is held moves; the room behind it stays.
  std::memmove(pending_.data(), pending_.data() + n, size_ - n);
  size_ -= n;
  dropped_ += n;
}

// Drops the rest of an abandoned unit. Returns false while its end has not
// arrived; then pending_ holds only the bytes that may start its end marker.
bool Reassembler::skipAbandoned() {
  const std::size_t end = held().find(closing_);
  if (end == std::string_view::npos) {
    const std::size_t keep = std::min(size_, closing_.size() - 1);
    dropFront(size_ - keep);
    return false;
  }
  dropFront(end + closing_.size());
  skipping_ = false;
  unit_ = Unit::None;
  scanFrom_ = 0;
  return true;
}

void Reassembler::scan() {
  std::size_t p = scanFrom_;
  // The view is taken afresh per step: a frame's opening may be dropped.
  while (unit_ == Unit::None ? startUnit(held(), p) : endUnit(held(), p)) {
  }
}

bool Reassembler::endUnit(std::string_view buf, std::size_t& p) {
  const std::size_t e = buf.find(closing_, p);
  if (e == std::string_view::npos) {
    // Resume where a split end marker could begin.
    const std::size_t back = closing_.size() - 1;
    scanFrom_ = std::max(p, buf.size() > back ? buf.size() - back : 0);
    return false;
  }
  const std::size_t end = e + closing_.size();
  if (unitSize(end) > limit_) {
    cuts_.emplace_back(unitStart_, end - unitStart_);
    overflowed_ = true;
  } else if (unit_ == Unit::Frame) {
    if (headDropped_ == 0) cuts_.emplace_back(unitStart_, kFrameStart.size());
    cuts_.emplace_back(e, kFrameEnd.size());
  }
  headDropped_ = 0;
  if (unit_ == Unit::Frame) lastFrameEnd_ = end;
  unit_ = Unit::None;
  p = complete_ = end;
  return true;
}

// Everything is other text until a frame or message starts.
bool Reassembler::startUnit(std::string_view buf, std::size_t& p) {
  while (p < buf.size()) {
    const char c = buf[p];
    const std::string_view rest = buf.substr(p);
    if (c == '#') {
      if (IsPartial(rest, kFrameStart) || IsPartial(rest, kFrameEnd)) break;
      if (rest.starts_with(kFrameStart)) {
        unit_ = Unit::Frame;
        unitStart_ = p;
        closing_ = kFrameEnd;
        p += kFrameStart.size();
        if (unitStart_ == 0) {
          // Nothing stands in front: the opening goes now, while only this
          // read's bytes stand behind it, so the finished frame is handed
          // out where it lies instead of being moved to close the gap.
          dropFront(kFrameStart.size());
          headDropped_ = kFrameStart.size();
          p = 0;
        }
        return true;
      }
      if (rest.starts_with(kFrameEnd)) {  // an end marker without a start
        cuts_.emplace_back(p, kFrameEnd.size());
        p += kFrameEnd.size();
        complete_ = p;
        continue;
      }
    } else if (c == kCurrency) {
      const OpeningMatch m = MatchOpening(buf, p, grammar_.kinds);
      if (m.state == OpeningMatch::Partial) break;
      if (m.state == OpeningMatch::Match) {
        unit_ = Unit::Message;
        unitStart_ = p;
        closing_.assign(1, m.sep);
        closing_.append(buf.substr(p + 1, m.tagLen));
        closing_ += kCurrency;
        p += 1 + m.tagLen;  // the closing marker may share this separator
        return true;
      }
    } else if (c == 'E' && grammar_.errorReplies) {
      if (IsPartial(rest, kErrorReply)) break;
      if (rest.starts_with(kErrorReply)) {
        // An error text quotes whatever it likes and has no end marker.
        p = complete_ = buf.size();
        break;
      }
    }
    complete_ = ++p;
  }
  scanFrom_ = p;
  return false;
}

// Hands out pending_[0, end) without its cut ranges, and drops it. The text
// is made in place and handed out as it is; only the bytes behind `end` (the
// start of what the next text completes, at most about one read) are copied
// to a buffer of their own. A large reply is never held twice here. The
// caller hands the buffer back (recycle) once the text is handled.
std::optional<std::string> Reassembler::takeUpTo(std::size_t end) {
  if (end == 0) return std::nullopt;
  std::size_t used = 0;
  while (used < cuts_.size() && cuts_[used].first < end) ++used;
  std::string text;
  std::string rest(held().substr(end));
  char* bytes = pending_.data();
  std::size_t to = 0;
  std::size_t from = 0;
  for (std::size_t i = 0; i < used; ++i) {
    const std::size_t n = cuts_[i].first - from;
    if (to != from) std::memmove(bytes + to, bytes + from, n);
    to += n;
    from = cuts_[i].first + cuts_[i].second;
  }
  if (to != from) std::memmove(bytes + to, bytes + from, end - from);
  pending_.resize(to + end - from);
  text.swap(pending_);
  pending_.swap(rest);
  size_ = pending_.size();
  dropped_ += end;
  cuts_.erase(cuts_.begin(), cuts_.begin() + static_cast<std::ptrdiff_t>(used));
  for (auto& cut : cuts_) cut.first -= end;

  scanFrom_ -= end;
  complete_ -= end;
  if (unit_ != Unit::None) unitStart_ -= end;
  lastFrameEnd_ = lastFrameEnd_ > end ? lastFrameEnd_ - end : 0;

  if (TrimControl(text).empty()) return std::nullopt;
  return text;
}

}  // namespace davu::proto
