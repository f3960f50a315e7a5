#pragma once
// Puts the byte stream of the update connection back into replies, however
// TCP cut it into reads.
//
// Stream grammar:
//   stream  := { frame | other }
//   frame   := "#DATASTART#" content "#DATAEND#"   (ends at the first "#DATAEND#")
//   program := "¤RETNEWCLIENT:" file ":RETNEWCLIENT¤" (a frame's whole content)
//   other   := text outside frames: a version reply, an "ERROR:" text
//
// A frame whose content is a program reply gives the file: exactly the bytes
// between its opening marker and the closing marker in front of "#DATAEND#",
// kept as bytes. A frame that starts like a program reply but lacks that
// closing marker is a broken program reply. Any other frame is a reply as it
// stands. Text outside frames goes through the main connection's
// Reassembler, so an unframed message split between reads arrives whole.
//
// A frame longer than the limit is broken. Once it is surely past the limit
// its bytes are dropped as they come, up to its end marker. So at most the
// limit, the few bytes of a split marker and what the Reassembler holds
// (bounded by its own limit) are kept.
//
// With a program sink set, the next program reply's file is not collected
// here: its bytes go to the sink as they arrive, in pieces of about kSpillBytes, and
// only the last few bytes (where the closing markers may stand) are held. The
// Program event then carries no bytes and says `streamed`; a BrokenProgram
// event tells the sink's owner that what it was given is not a program.
// Everything runs in time linear in the bytes fed.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/Reassembler.h"

namespace davu::proto {

class UpdateStream {
 public:
  // As large a program file as davu-server sends.
  static constexpr std::size_t kDefaultLimit = 256u * 1024u * 1024u;
  // Replies outside frames are short: a version text or an error text.
  static constexpr std::size_t kDefaultOtherLimit = 1024u * 1024u;

  struct Event {
    enum class Kind { Reply, Program, BrokenProgram };
    Kind kind;
    std::string bytes;  // the reply, or the program file; empty when broken
    bool streamed = false;  // the program file went to the sink, not to bytes
  };
  using ProgramSink = std::function<void(std::string_view)>;
  // What a streamed program reply keeps in memory before handing it on.
  static constexpr std::size_t kSpillBytes = 256u * 1024u;

  explicit UpdateStream(std::size_t frameLimit = kDefaultLimit,
                        std::size_t otherLimit = kDefaultOtherLimit);

  // Everything completed by this read, in stream order.
  std::vector<Event> feed(std::string_view chunk);
  // Frames from now on are broken past `limit` (a frame already open keeps
  // the limit it has reached so far in mind too).
  void setFrameLimit(std::size_t limit) { limit_ = limit; }
  // The next program reply goes to `sink` (the ones after it are collected
  // in memory again, unless a sink is set anew). An empty sink drops the rest
  // of a reply that was going to the old one.
  void setProgramSink(ProgramSink sink);
  // True while a frame is being collected.
  bool inFrame() const { return inFrame_; }
  std::size_t pendingSize() const;
  // A new connection starts with nothing pending.
  void reset();
  std::size_t frameLimit() const { return limit_; }

 private:
  std::size_t feedFrame(std::string_view chunk, std::size_t p, std::vector<Event>& out);
  std::size_t feedOther(std::string_view chunk, std::size_t p, std::vector<Event>& out);
  void other(std::string_view text, std::vector<Event>& out);
  void finishFrame(std::vector<Event>& out);
  // Hands the open program frame's bytes to the sink once there are enough,
  // all but the last few.
  void spill();
  std::size_t frameSize() const { return spilled_ + frame_.size(); }

  std::size_t limit_;
  Reassembler others_;
  bool inFrame_ = false;
  bool abandoned_ = false;  // the open frame passed the limit; its rest is dropped
  std::string frame_;       // the open frame's content so far (its last bytes when abandoned)
  std::string held_;        // a proper start of "#DATASTART#" at the end of the last read
  ProgramSink sink_;
  bool streaming_ = false;  // the open frame is a program reply going to the sink
  std::size_t spilled_ = 0; // bytes of the open frame no longer in frame_
  const std::string programOpen_;
  const std::string programClose_;
};

}  // namespace davu::proto
