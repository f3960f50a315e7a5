#include "protocol/NeutralText.h"

#include "protocol/Envelope.h"

namespace davu::proto {

std::string NeutralText(std::string_view wire, std::string_view cutters, char standIn) {
  std::string out;
  out.reserve(wire.size());
  for (std::size_t i = 0; i < wire.size(); ++i) {
    const char c = wire[i];
    if (c == kCurrency) {
      out += '?';
    } else if (cutters.find(c) != std::string_view::npos) {
      out += standIn;
    } else if (c == '#' && (wire.compare(i, kFrameStart.size(), kFrameStart) == 0 ||
                            wire.compare(i, kFrameEnd.size(), kFrameEnd) == 0)) {
      out += "# ";
    } else {
      out += c;
    }
  }
  return out;
}

std::string ErrorReply(std::string_view wireText) { return "ERROR: " + NeutralText(wireText); }

std::string FieldText(std::string_view wire, char sep) {
  return NeutralText(wire, std::string_view(&sep, 1), sep == ':' ? ';' : '-');
}

}  // namespace davu::proto
