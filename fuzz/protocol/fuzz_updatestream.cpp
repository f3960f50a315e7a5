// The update connection's stream is fed once whole and once cut into reads
// chosen by the first input bytes. Both must give the same program events
// (kinds and every byte of each file), the same reply bytes (blanks aside,
// and up to what is still held at the end), and what is held stays bounded.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "protocol/UpdateStream.h"

namespace {

using davu::proto::UpdateStream;

struct Outcome {
  std::string replies;
  std::vector<std::pair<UpdateStream::Event::Kind, std::string>> programs;
};

void Take(Outcome& o, std::vector<UpdateStream::Event> events) {
  for (auto& e : events) {
    if (e.kind == UpdateStream::Event::Kind::Reply) {
      bool blank = true;
      for (char c : e.bytes) {
        if (static_cast<unsigned char>(c) > 32) {
          o.replies += c;
          blank = false;
        }
      }
      if (blank) std::abort();  // texts of blanks only are never handed out
    } else {
      o.programs.emplace_back(e.kind, std::move(e.bytes));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  // Small limits, so that abandoning oversized frames and replies is reached.
  const std::size_t limit = 16 + std::size_t(data[0]) * 8;
  const std::size_t otherLimit = 8 + std::size_t(data[1] & 0x3f) * 8;
  std::uint32_t seed = data[0] | (data[1] << 8) | (data[2] << 16) | (std::uint32_t(data[3]) << 24);
  const std::string_view stream(reinterpret_cast<const char*>(data) + 4, size - 4);

  UpdateStream whole(limit, otherLimit);
  Outcome expected;
  Take(expected, whole.feed(stream));

  UpdateStream split(limit, otherLimit);
  Outcome got;
  for (std::size_t p = 0; p < stream.size();) {
    seed = seed * 1103515245u + 12345u;
    const std::size_t len = std::min<std::size_t>((seed >> 16) % 97, stream.size() - p);
    Take(got, split.feed(stream.substr(p, len)));
    // A frame up to the limit and a split marker, and what the reassembler
    // of the other text holds: twice its limit and one read.
    if (split.pendingSize() > limit + 32 + 2 * otherLimit + 97 + 64) std::abort();
    p += len;
  }
  if (got.programs != expected.programs) std::abort();
  const std::size_t common = std::min(got.replies.size(), expected.replies.size());
  if (got.replies.compare(0, common, expected.replies, 0, common) != 0) std::abort();
  if (whole.pendingSize() == 0 && got.replies != expected.replies) std::abort();
  split.reset();
  if (split.pendingSize() != 0) std::abort();
  return 0;
}
