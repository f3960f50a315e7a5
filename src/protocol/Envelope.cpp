#include "Envelope.h"

namespace davu::proto {

std::string BuildMessage(std::string_view tag, char sep,
                         std::initializer_list<std::string_view> fields) {
  std::size_t size = 2 * tag.size() + 3 + fields.size();
  for (std::string_view f : fields) size += f.size();
  std::string out;
  out.reserve(size);
  out += kCurrency;
  out += tag;
  out += sep;
  for (std::string_view f : fields) {
    out += f;
    out += sep;
  }
  out += tag;
  out += kCurrency;
  return out;
}

std::string Frame(std::string_view message) {
  std::string out;
  out.reserve(kFrameStart.size() + message.size() + kFrameEnd.size());
  out += kFrameStart;
  out += message;
  out += kFrameEnd;
  return out;
}

std::string OpeningMarker(std::string_view tag, char sep) {
  std::string out;
  out.reserve(tag.size() + 2);
  out += kCurrency;
  out += tag;
  out += sep;
  return out;
}

std::string ClosingMarker(std::string_view tag, char sep) {
  std::string out;
  out.reserve(tag.size() + 2);
  out += sep;
  out += tag;
  out += kCurrency;
  return out;
}

}  // namespace davu::proto
