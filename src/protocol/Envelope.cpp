#include "protocol/Envelope.h"

namespace davu::proto {
namespace {

// The markers' bytes, each one added to a key read through a volatile, so
// that no optimiser can fold them back into a literal.
volatile unsigned char maskKey = 0x5A;
constexpr unsigned char kMask = 0x5A;

template <std::size_t N>
struct Masked {
  unsigned char bytes[N - 1];
  constexpr explicit Masked(const char (&text)[N]) : bytes{} {
    for (std::size_t i = 0; i + 1 < N; ++i) bytes[i] = static_cast<unsigned char>(text[i] ^ kMask);
  }
  std::string unmask() const {
    std::string out(N - 1, '\0');
    for (std::size_t i = 0; i + 1 < N; ++i) out[i] = static_cast<char>(bytes[i] ^ maskKey);
    return out;
  }
};

}  // namespace

std::string_view FrameStartMarker() {
  static constexpr Masked masked("#DATA" "START#");
  static const std::string text = masked.unmask();
  return text;
}

std::string_view FrameEndMarker() {
  static constexpr Masked masked("#DATA" "END#");
  static const std::string text = masked.unmask();
  return text;
}

namespace {

template <class Fields>
std::string Build(std::string_view tag, char sep, const Fields& fields) {
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

}  // namespace

std::string BuildMessage(std::string_view tag, char sep,
                         std::initializer_list<std::string_view> fields) {
  return Build(tag, sep, fields);
}

std::string BuildMessage(std::string_view tag, char sep, const std::vector<std::string>& fields) {
  return Build(tag, sep, fields);
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
