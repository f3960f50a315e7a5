#pragma once
// Puts the byte stream of one connection back into whole texts for the
// dispatcher, however TCP cut it into reads.
//
// Stream grammar:
//   stream  := { frame | message | other }
//   frame   := "#DATASTART#" bytes "#DATAEND#"   (ends at the first "#DATAEND#";
//                                                 markers are dropped)
//   message := "¤" TAG SEP ... SEP TAG "¤"        (TAG = [A-Z]+, SEP in ":~$";
//                                                 ends at the first SEP TAG "¤")
//   other   := any byte outside a frame or message: blanks, line breaks, an
//              "ERROR:" reply (which has no closing marker), stray "#DATAEND#"
//              markers (dropped)
//
// feed() hands back at most one text per read: everything complete so far, in
// stream order, with frame markers removed. Every message reaches exactly one
// text, whole. An unfinished frame or message stays pending until its end
// arrives; other text is handed out as it arrives, except a last few bytes
// that may be the start of "#DATASTART#", "ERROR:" or "¤TAG:", which wait for
// the next read. Complete messages that arrived in the same read in front of
// an unfinished frame wait and travel with that frame. Texts of blanks and
// line breaks only are not handed out.
//
// A frame or message longer than the limit is abandoned: what is pending of
// it is dropped, the rest of it is skipped as it arrives, and overflowed()
// tells the caller. So at most twice the limit and one read are held: an
// unfinished frame and a message that ended in the read that started it.
// Everything runs in time linear in the bytes fed.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace davu::proto {

class Reassembler {
 public:
  static constexpr std::size_t kDefaultLimit = 64u * 1024u * 1024u;

  explicit Reassembler(std::size_t limit = kDefaultLimit);

  // The text to dispatch after this read, if any.
  std::optional<std::string> feed(std::string_view chunk);

  // True when during the last feed() a frame or message passed the limit and
  // was abandoned.
  bool overflowed() const { return overflowed_; }
  std::size_t pendingSize() const;
  // A new connection starts with nothing pending.
  void reset();

 private:
  enum class Unit { None, Frame, Message };

  void scan();
  bool skipAbandoned();
  std::optional<std::string> takeUpTo(std::size_t end);

  std::size_t limit_;
  std::string pending_;
  std::size_t scanFrom_ = 0;  // where scanning, or the search for the open unit's end, resumes
  bool overflowed_ = false;

  Unit unit_ = Unit::None;      // the frame or message open at unitStart_
  std::size_t unitStart_ = 0;
  std::string closing_;         // what ends the open unit
  bool skipping_ = false;       // the open unit was abandoned; its rest is dropped
  std::size_t complete_ = 0;    // end of the complete part of pending_
  std::size_t lastFrameEnd_ = 0;  // end of the last complete frame in pending_, or 0
  // Byte ranges of pending_ left out of the handed-out text (frame markers,
  // abandoned units), in ascending order.
  std::vector<std::pair<std::size_t, std::size_t>> cuts_;
};

}  // namespace davu::proto
