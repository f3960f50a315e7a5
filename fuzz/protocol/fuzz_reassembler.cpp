// The stream is fed once whole and once cut into reads chosen by the first
// input bytes. Both must hand out the same text (blanks aside, which may fall
// on either side of a read boundary), never a text of blanks only, and what
// is held stays bounded by twice the limit and one read.
#include <cstring>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "protocol/Reassembler.h"

namespace {

void AppendVisible(std::string& out, std::string_view text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) > 32) out += c;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  // A small limit, so that abandoning oversized frames and messages is reached.
  const std::size_t limit = 8 + std::size_t(data[0]) * 8;
  std::uint32_t seed = data[0] | (data[1] << 8) | (data[2] << 16) | (std::uint32_t(data[3]) << 24);
  const std::string_view stream(reinterpret_cast<const char*>(data) + 4, size - 4);

  davu::proto::Reassembler whole(limit);
  std::string expected;
  if (auto t = whole.feed(stream)) AppendVisible(expected, *t);

  davu::proto::Reassembler split(limit);
  std::string got;
  std::size_t largest = 0;
  for (std::size_t p = 0; p < stream.size();) {
    seed = seed * 1103515245u + 12345u;
    const std::size_t len = std::min<std::size_t>((seed >> 16) % 97, stream.size() - p);
    largest = std::max(largest, len);
    // Reads alternate between a copied chunk and one that lands straight in
    // the reassembler's buffer, in room larger than what arrives.
    const std::string_view chunk = stream.substr(p, len);
    std::optional<std::string> text;
    if (seed & 0x100u) {
      text = split.feed(chunk);
    } else {
      text = split.feedFrom(len + (seed >> 24) % 64, [&](char* to, std::size_t) {
        std::memcpy(to, chunk.data(), chunk.size());
        return chunk.size();
      });
    }
    if (auto& t = text) {
      bool blank = true;  // texts of blanks only are never handed out
      for (char c : *t) blank = blank && static_cast<unsigned char>(c) <= 32;
      if (blank) std::abort();
      AppendVisible(got, *t);
      // Handed back, its old bytes become room for the next reads: they
      // must never show in a text.
      split.recycle(std::move(*t));
    }
    // An unfinished frame (up to the limit) may hold in front of it a message
    // that ended in the frame's first read (up to the limit) and that read.
    if (split.pendingSize() > 2 * limit + largest + 64) std::abort();
    p += len;
  }
  // Complete messages in front of an unfinished frame wait for it, so the two
  // may differ by what is still held at the end; one is a prefix of the other,
  // and when the whole feed holds nothing they are equal.
  const std::size_t common = std::min(got.size(), expected.size());
  if (got.compare(0, common, expected, 0, common) != 0) std::abort();
  if (whole.pendingSize() == 0 && got != expected) std::abort();
  split.reset();
  if (split.pendingSize() != 0) std::abort();
  return 0;
}
