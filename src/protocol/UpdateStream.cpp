#include "protocol/UpdateStream.h"

#include <algorithm>

#include "protocol/Envelope.h"
#include "protocol/TextUtil.h"

namespace davu::proto {

UpdateStream::UpdateStream(std::size_t frameLimit, std::size_t otherLimit)
    : limit_(frameLimit),
      others_(otherLimit),
      programOpen_(OpeningMarker("RETNEWCLIENT")),
      programClose_(ClosingMarker("RETNEWCLIENT")) {}

std::size_t UpdateStream::pendingSize() const {
  return frame_.size() + held_.size() + others_.pendingSize();
}

void UpdateStream::reset() {
  others_.reset();
  inFrame_ = false;
  abandoned_ = false;
  streaming_ = false;
  spilled_ = 0;
  frame_ = std::string();
  held_.clear();
}

void UpdateStream::setProgramSink(ProgramSink sink) {
  sink_ = std::move(sink);
  if (streaming_ && !sink_) {
    streaming_ = false;
    abandoned_ = true;
    frame_.erase(0, frame_.size() - std::min(frame_.size(), kFrameEnd.size() - 1));
  }
}

void UpdateStream::spill() {
  if (!sink_ || abandoned_) return;
  if (!streaming_) {
    if (!std::string_view(frame_).starts_with(programOpen_)) return;
    streaming_ = true;
    spilled_ = programOpen_.size();
    frame_.erase(0, programOpen_.size());
  }
  // The closing program marker and a split end marker are looked for in the
  // bytes kept.
  const std::size_t keep = programClose_.size() + kFrameEnd.size();
  if (frame_.size() < kSpillBytes + keep) return;
  const std::size_t n = frame_.size() - keep;
  sink_(std::string_view(frame_).substr(0, n));
  frame_.erase(0, n);
  spilled_ += n;
}

std::vector<UpdateStream::Event> UpdateStream::feed(std::string_view chunk) {
  std::vector<Event> out;
  std::size_t p = 0;
  if (!held_.empty()) {
    // The last read ended in what may be the start of a frame.
    const std::size_t need = kFrameStart.size() - held_.size();
    const std::string_view head = chunk.substr(0, need);
    if (kFrameStart.substr(held_.size(), head.size()) == head) {
      if (head.size() < need) {
        held_.append(head);
        return out;
      }
      held_.clear();
      inFrame_ = true;
      p = need;
    } else {
      // Not a marker after all. Only its first byte is a "#", so no marker
      // can start inside it: scanning goes on at the start of this read.
      std::string text;
      text.swap(held_);
      other(text, out);
    }
  }
  while (p < chunk.size()) p = inFrame_ ? feedFrame(chunk, p, out) : feedOther(chunk, p, out);
  return out;
}

std::size_t UpdateStream::feedOther(std::string_view chunk, std::size_t p, std::vector<Event>& out) {
  const std::size_t start = chunk.find(kFrameStart, p);
  if (start != std::string_view::npos) {
    other(chunk.substr(p, start - p), out);
    inFrame_ = true;
    return start + kFrameStart.size();
  }
  // Keep a proper start of the marker at the end of the read for the next one.
  std::size_t keep = chunk.size();
  const std::size_t window = std::min(chunk.size() - p, kFrameStart.size() - 1);
  for (std::size_t h = chunk.find('#', chunk.size() - window); h != std::string_view::npos;
       h = chunk.find('#', h + 1)) {
    if (kFrameStart.starts_with(chunk.substr(h))) {
      keep = h;
      break;
    }
  }
  other(chunk.substr(p, keep - p), out);
  held_.assign(chunk.substr(keep));
  return chunk.size();
}

std::size_t UpdateStream::feedFrame(std::string_view chunk, std::size_t p, std::vector<Event>& out) {
  const std::string_view rest = chunk.substr(p);
  const std::size_t endLen = kFrameEnd.size();
  if (!frame_.empty()) {
    // An end marker split between the frame so far and this read: only the
    // last bytes of each can hold it.
    const std::size_t tail = std::min(frame_.size(), endLen - 1);
    std::string joint = frame_.substr(frame_.size() - tail);
    joint.append(rest.substr(0, endLen - 1));
    const std::size_t e = joint.find(kFrameEnd);
    if (e != std::string::npos && e < tail) {
      frame_.resize(frame_.size() - tail + e);
      finishFrame(out);
      return p + (e + endLen - tail);
    }
  }
  const std::size_t e = rest.find(kFrameEnd);
  const std::string_view content = rest.substr(0, e);
  if (abandoned_) {
    // Only the bytes that may start a split end marker are kept.
    if (content.size() >= endLen - 1) {
      frame_.assign(content.substr(content.size() - (endLen - 1)));
    } else {
      frame_.append(content);
      if (frame_.size() > endLen - 1) frame_.erase(0, frame_.size() - (endLen - 1));
    }
  } else {
    frame_.append(content);
    // Its last bytes may still turn out to start the end marker.
    if (frameSize() > limit_ + endLen - 1) {
      abandoned_ = true;
      if (streaming_) sink_ = nullptr;
      streaming_ = false;
      frame_.erase(0, frame_.size() - std::min(frame_.size(), endLen - 1));
      frame_.shrink_to_fit();
      out.push_back({Event::Kind::BrokenProgram, {}});
    } else if (e == std::string_view::npos) {
      spill();
    }
  }
  if (e == std::string_view::npos) return chunk.size();
  if (abandoned_) frame_.clear();
  finishFrame(out);
  return p + e + endLen;
}

void UpdateStream::finishFrame(std::vector<Event>& out) {
  inFrame_ = false;
  const std::size_t size = frameSize();
  spilled_ = 0;
  const bool wasAbandoned = abandoned_;
  abandoned_ = false;
  if (wasAbandoned) {
    frame_.clear();
    return;
  }
  if (size > limit_) {
    if (streaming_) sink_ = nullptr;
    streaming_ = false;
    frame_ = std::string();
    out.push_back({Event::Kind::BrokenProgram, {}});
    return;
  }
  if (sink_ && !streaming_) {
    // A program reply that ended before any of it was handed on.
    spill();
  }
  if (streaming_) {
    streaming_ = false;
    // One reply per sink: what follows it in this read is not its file.
    const ProgramSink sink = std::move(sink_);
    sink_ = nullptr;
    std::string tail;
    tail.swap(frame_);
    if (!std::string_view(tail).ends_with(programClose_)) {
      out.push_back({Event::Kind::BrokenProgram, {}});
      return;
    }
    tail.resize(tail.size() - programClose_.size());
    if (!tail.empty()) sink(tail);
    out.push_back({Event::Kind::Program, {}, true});
    return;
  }
  std::string content;
  content.swap(frame_);
  if (std::string_view(content).starts_with(programOpen_)) {
    if (content.size() < programOpen_.size() + programClose_.size() ||
        !std::string_view(content).ends_with(programClose_)) {
      out.push_back({Event::Kind::BrokenProgram, {}});
      return;
    }
    content.resize(content.size() - programClose_.size());
    content.erase(0, programOpen_.size());
    out.push_back({Event::Kind::Program, std::move(content)});
    return;
  }
  if (!TrimControl(content).empty()) out.push_back({Event::Kind::Reply, std::move(content)});
}

void UpdateStream::other(std::string_view text, std::vector<Event>& out) {
  if (text.empty()) return;
  if (std::optional<std::string> reply = others_.feed(text))
    out.push_back({Event::Kind::Reply, std::move(*reply)});
}

}  // namespace davu::proto
