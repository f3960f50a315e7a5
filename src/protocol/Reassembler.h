#pragma once
// Puts the byte stream of one connection back into whole texts for the
// dispatcher, however TCP cut it into reads.
//
// Stream grammar:
//   stream  := { frame | message | error | other }
//   frame   := "#DATASTART#" bytes "#DATAEND#"   (ends at the first "#DATAEND#";
//                                                 markers are dropped)
//   message := "¤" TAG SEP ... SEP TAG "¤"        (ends at the first SEP TAG "¤";
//                                                 TAG and SEP as the grammar says)
//   error   := "ERROR:" rest-of-read              (replies only: an error text
//                                                 has no closing marker and is
//                                                 not searched for starts)
//   other   := any byte outside these: blanks, line breaks, stray "#DATAEND#"
//              markers (dropped)
//
// feed() hands back at most one text per read: everything complete so far, in
// stream order, with frame markers removed. Every message reaches exactly one
// text, whole. An unfinished frame or message stays pending until its end
// arrives; other text is handed out as it arrives, except a last few bytes
// that may be the start of "#DATASTART#", "ERROR:" or an opening marker,
// which wait for the next read. Complete messages that arrived in the same
// read in front of an unfinished frame wait and travel with that frame. Texts
// of blanks and line breaks only are not handed out.
//
// What waits outside a frame (an unfinished message, a marker's first bytes)
// is held only until the caller's quiet time runs out: expire() then hands it
// out as it stands, and reassembly goes on with the bytes after it. So a
// server text that merely quotes an opening marker holds later replies for
// one quiet time at most.
//
// A frame or message longer than the limit is abandoned: what is pending of
// it is dropped, the rest of it is skipped as it arrives, and overflowed()
// tells the caller. So at most twice the limit and one read are held: an
// unfinished frame and a message that ended in the read that started it.
// Everything runs in time linear in the bytes fed.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "protocol/Replies.h"

namespace davu::proto {

// Which messages a stream carries.
struct StreamGrammar {
  // The opening markers that start a message; empty: any "¤" TAG SEP.
  std::span<const ReplyKind> kinds;
  // Replies: "ERROR:" runs to the end of the read it arrived in.
  bool errorReplies = false;
};

// The main connection's replies, as the administration client reads them.
inline constexpr StreamGrammar kMainReplyStream{kMainReplies, true};

class Reassembler {
 public:
  static constexpr std::size_t kDefaultLimit = 64u * 1024u * 1024u;

  explicit Reassembler(std::size_t limit = kDefaultLimit, StreamGrammar grammar = {});

  // The text to dispatch after this read, if any.
  std::optional<std::string> feed(std::string_view chunk);
  // The same for a read that lands straight in the reassembler's buffer:
  // `fill(to, most)` writes at most `most` bytes at `to` and returns how
  // many it wrote. No copy of the read stands between the socket and the
  // reply put together here.
  template <typename Fill>
  std::optional<std::string> feedFrom(std::size_t most, Fill&& fill) {
    const std::size_t at = room(most);
    size_ = at + std::min(most, static_cast<std::size_t>(fill(pending_.data() + at, most)));
    return afterRead();
  }

  // Where in the stream (bytes fed since the last reset) the bytes held
  // outside a frame begin; nullopt when nothing is held that way. The caller
  // times its quiet time from a change of this value.
  std::optional<std::uint64_t> heldFrom() const;
  // The quiet time has run out: all that is held outside a frame goes out as
  // it stands; the next read starts afresh.
  std::optional<std::string> expire();

  // The bytes of the frame still arriving, from the first byte behind its
  // opening marker; empty while no frame is open. Valid until the next call
  // that changes the reassembler. Those bytes stay as they are until the
  // frame ends: a later view of the same frame begins with them.
  std::string_view openFrame() const;
  // Where in the stream the bytes of openFrame() begin: the same value for
  // every read of one frame.
  std::uint64_t openFrameAt() const;

  // True when during the last feed() or expire() a frame or message passed
  // the limit and was abandoned.
  bool overflowed() const { return overflowed_; }
  // A text this reassembler handed out, once it has been handled: its buffer
  // is kept for the next reply, which then grows no fresh one, unless more
  // than a few bytes are already pending.
  void recycle(std::string&& text);
  std::size_t pendingSize() const;
  // A new connection starts with nothing pending.
  void reset();

 private:
  enum class Unit { None, Frame, Message };

  // Makes room for `most` bytes behind what is pending; returns where they go.
  std::size_t room(std::size_t most);
  // What is pending: the first size_ bytes of pending_.
  std::string_view held() const { return {pending_.data(), size_}; }
  std::optional<std::string> afterRead();
  void scan();
  // Outside a unit: true when a frame or message starts (p is then past its
  // opening); false when the scan waits for more bytes.
  bool startUnit(std::string_view buf, std::size_t& p);
  // Inside a unit: true when its end was found (p is then past it); false
  // when the scan waits for more bytes.
  bool endUnit(std::string_view buf, std::size_t& p);
  bool skipAbandoned();
  std::optional<std::string> settle();
  std::optional<std::string> takeUpTo(std::size_t end);
  void dropFront(std::size_t n);
  void reserveFor(std::size_t incoming);
  std::size_t unitSize(std::size_t end) const;
  std::size_t openFrameBegin() const;

  // A frame past this size is given room for its limit at once.
  static constexpr std::size_t kLargeFrame = 1024u * 1024u;
  // What recycle() moves into a handed-back buffer at most.
  static constexpr std::size_t kRecycleCopyLimit = 64u * 1024u;

  std::size_t limit_;
  StreamGrammar grammar_;
  // The bytes behind size_ are room for the next read, filled once when the
  // buffer grows: a std::string cannot grow without writing every new byte,
  // and the reads that land there write them anyway.
  std::string pending_;
  std::size_t size_ = 0;
  std::uint64_t dropped_ = 0;  // stream offset of pending_[0]
  std::size_t scanFrom_ = 0;  // where scanning, or the search for the open unit's end, resumes
  bool overflowed_ = false;

  Unit unit_ = Unit::None;      // the frame or message open at unitStart_
  std::size_t unitStart_ = 0;
  std::string closing_;         // what ends the open unit
  bool skipping_ = false;       // the open unit was abandoned; its rest is dropped
  std::uint64_t skipFrom_ = 0;  // stream offset where the abandoned unit began
  std::size_t complete_ = 0;    // end of the complete part of pending_
  std::size_t lastFrameEnd_ = 0;  // end of the last complete frame in pending_, or 0
  std::size_t headDropped_ = 0;   // bytes of the open frame's opening already dropped
  // Byte ranges of pending_ left out of the handed-out text (frame markers,
  // abandoned units), in ascending order.
  std::vector<std::pair<std::size_t, std::size_t>> cuts_;
};

}  // namespace davu::proto
