#pragma once
// Puts the byte stream of one connection back into whole texts for the
// dispatcher, however TCP cut it into reads.
//
// Stream grammar:
//   stream  := { blank | frame | message | error | other }
//   frame   := "#DATASTART#" bytes "#DATAEND#"        (markers are dropped)
//   message := "¤" TAG SEP ... SEP TAG "¤"             (TAG = [A-Z]+, SEP in ":~$")
//   error   := "ERROR:" ... up to the end of the read (no closing marker)
//
// feed() hands back at most one text per read: everything complete so far, in
// stream order, with frame markers removed; an incomplete frame or message
// stays pending until its end arrives. Texts of blanks and line breaks only
// are not handed out. Pending bytes are bounded: past the limit they are
// dropped and overflowed() tells the caller.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace davu::proto {

class Reassembler {
 public:
  static constexpr std::size_t kDefaultLimit = 64u * 1024u * 1024u;

  explicit Reassembler(std::size_t limit = kDefaultLimit);

  // The text to dispatch after this read, if any.
  std::optional<std::string> feed(std::string_view chunk);

  // True when the last feed() dropped pending bytes because they passed the limit.
  bool overflowed() const { return overflowed_; }
  std::size_t pendingSize() const;
  // A new connection starts with nothing pending.
  void reset();

 private:
  std::size_t limit_;
  std::string pending_;
  std::size_t scanFrom_ = 0;  // where the search for the pending unit's end resumes
  bool overflowed_ = false;
};

}  // namespace davu::proto
