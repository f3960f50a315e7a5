// The main connection's read path: the stream is fed to the reassembler of
// replies whole and cut into reads chosen by the first input bytes (with the
// quiet time running out between some reads), and every text goes through
// DispatchText with routes like the main window's: the version test stops a
// text, the error rule ends it. The routes record what they receive.
//
// Checked: every payload is a well-formed reply of its kind standing in the
// text; replies are handed on in rounds in the order of the kinds; nothing
// follows a refused version; an error or the settling ends a text, once
// (nothing does for "ERROR: 001");
// nothing is held outside a frame after the quiet time; the texts handed out
// are never more than the bytes fed; and a stream without "ERROR:" and
// frames (nor a message over the limit) hands the same replies whole or
// split.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "protocol/Envelope.h"
#include "protocol/Reassembler.h"
#include "protocol/ReplyDispatch.h"

namespace {

using davu::proto::kMainReplies;

constexpr std::size_t kVersion = 0;  // RETSERVERVERSION
constexpr int kMinimumServerVersion = 1101;

void Check(bool ok) {
  if (!ok) std::abort();
}

// Routes that record, and check one text's calls as they come.
class Recorder : public davu::proto::ReplyRoutes {
 public:
  std::vector<std::pair<std::size_t, std::string>> replies;  // all texts
  bool refused = false;

  void begin(std::string_view text) {
    text_ = text;
    ended_ = false;
    stopped_ = false;
    seen_.assign(kMainReplies.size(), 0);
    lastRound_ = 0;
    lastKind_ = 0;
    first_ = true;
  }
  // Only "ERROR: 001" ends a text silently.
  void end() { Check(ended_ || stopped_ || text_.find("ERROR: 001") != std::string_view::npos); }

  bool reply(std::size_t kind, std::string_view payload) override {
    Check(!ended_ && !stopped_ && kind < kMainReplies.size());
    const auto& k = kMainReplies[kind];
    // "¤" TAG SEP ... SEP, standing in the text and followed by TAG "¤".
    Check(payload.size() >= k.tag.size() + 2 && payload[0] == davu::proto::kCurrency);
    Check(payload.substr(1, k.tag.size()) == k.tag && payload[k.tag.size() + 1] == k.sep);
    Check(payload.back() == k.sep);
    Check(payload.data() >= text_.data() && payload.data() + payload.size() <= text_.data() + text_.size());
    const std::size_t after = static_cast<std::size_t>(payload.data() - text_.data()) + payload.size();
    Check(text_.substr(after, k.tag.size() + 1) == std::string(k.tag) + davu::proto::kCurrency);
    // Rounds: (round, kind) rises strictly.
    const std::size_t round = seen_[kind]++;
    Check(first_ || round > lastRound_ || (round == lastRound_ && kind > lastKind_));
    first_ = false;
    lastRound_ = round;
    lastKind_ = kind;
    replies.emplace_back(kind, std::string(payload));
    if (kind == kVersion) {
      const std::string_view fields = payload.substr(k.tag.size() + 2);
      const std::string_view version = fields.substr(0, fields.find(k.sep));
      if (davu::proto::VersionNumber(version) < kMinimumServerVersion) {
        stopped_ = refused = true;
        return false;
      }
    }
    return true;
  }
  void error(std::string_view message) override {
    Check(!ended_ && !stopped_);
    Check(text_.find("ERROR:") != std::string_view::npos && message.size() <= text_.size());
    ended_ = true;
  }
  void settled() override {
    Check(!ended_ && !stopped_);
    ended_ = true;
  }

 private:
  std::string_view text_;
  bool ended_ = false;
  bool stopped_ = false;
  std::vector<std::size_t> seen_;
  std::size_t lastRound_ = 0;
  std::size_t lastKind_ = 0;
  bool first_ = true;
};

bool overflowed = false;

// Dispatches what one step of `re` gave; returns its size.
std::size_t Dispatch(const davu::proto::Reassembler& re, const std::optional<std::string>& text, Recorder& r) {
  overflowed = overflowed || re.overflowed();
  if (!text) return 0;
  r.begin(*text);
  davu::proto::DispatchText(*text, kMainReplies, r);
  r.end();
  return text->size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4 || size > 64 * 1024) return 0;
  const std::size_t limit = 64 + std::size_t(data[0]) * 64;
  std::uint32_t seed = data[0] | (data[1] << 8) | (data[2] << 16) | (std::uint32_t(data[3]) << 24);
  const std::string_view stream(reinterpret_cast<const char*>(data) + 4, size - 4);

  overflowed = false;
  davu::proto::Reassembler whole(limit, davu::proto::kMainReplyStream);
  Recorder wholeRoutes;
  std::size_t out = Dispatch(whole, whole.feed(stream), wholeRoutes);
  out += Dispatch(whole, whole.expire(), wholeRoutes);
  Check(out <= stream.size());
  Check(!whole.heldFrom());

  davu::proto::Reassembler split(limit, davu::proto::kMainReplyStream);
  Recorder splitRoutes;
  const bool withQuietTimes = data[1] & 1;
  out = 0;
  for (std::size_t p = 0; p < stream.size();) {
    seed = seed * 1103515245u + 12345u;
    const std::size_t len = std::min<std::size_t>((seed >> 16) % 97, stream.size() - p);
    out += Dispatch(split, split.feed(stream.substr(p, len)), splitRoutes);
    if (withQuietTimes && (seed >> 8) % 5 == 0) {
      out += Dispatch(split, split.expire(), splitRoutes);
      Check(!split.heldFrom());
    }
    Check(split.pendingSize() <= 2 * limit + len + 64);
    p += len;
  }
  out += Dispatch(split, split.expire(), splitRoutes);
  Check(!split.heldFrom());
  Check(out <= stream.size());

  // Without error texts, frames, quiet times and oversized messages (whose
  // removal joins the bytes on either side), how the stream was cut changes
  // no reply.
  const bool comparable = !withQuietTimes && !overflowed && stream.find("ERROR:") == std::string_view::npos &&
                          stream.find('#') == std::string_view::npos && !wholeRoutes.refused &&
                          !splitRoutes.refused;
  if (comparable) {
    auto a = wholeRoutes.replies;
    auto b = splitRoutes.replies;
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    Check(a == b);
  }
  return 0;
}
