#include "update/ReleaseSignature.h"

#include <sodium.h>

#include <algorithm>
#include <cstring>

namespace davu::update {
namespace {

constexpr std::string_view kUntrusted = "untrusted comment: ";
constexpr std::string_view kTrusted = "trusted comment: ";

bool sodiumReady() {
  static const bool ready = sodium_init() >= 0;
  return ready;
}

// Splits off the next line (without its "\n" or "\r\n"); nullopt at the end.
std::optional<std::string_view> nextLine(std::string_view& text) {
  if (text.empty()) return std::nullopt;
  const std::size_t nl = text.find('\n');
  std::string_view line = text.substr(0, nl);
  text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

// Exactly `size` bytes of standard base64, or nothing.
template <std::size_t N>
std::optional<std::array<std::uint8_t, N>> decode(std::string_view b64) {
  std::array<std::uint8_t, N> out{};
  std::size_t len = 0;
  const char* end = nullptr;
  if (b64.empty() ||
      sodium_base642bin(out.data(), out.size(), b64.data(), b64.size(), nullptr, &len, &end,
                        sodium_base64_VARIANT_ORIGINAL) != 0 ||
      len != N || end != b64.data() + b64.size())
    return std::nullopt;
  return out;
}

template <std::size_t N, std::size_t M>
void copyPart(const std::array<std::uint8_t, M>& from, std::size_t at, std::array<std::uint8_t, N>& to) {
  std::copy_n(from.begin() + at, N, to.begin());
}

}  // namespace

std::optional<PublicKey> ParsePublicKey(std::string_view text) {
  if (!sodiumReady() || text.size() > kMaxSignatureFileSize) return std::nullopt;
  const auto comment = nextLine(text);
  if (!comment || !comment->starts_with(kUntrusted)) return std::nullopt;
  const auto line = nextLine(text);
  if (!line) return std::nullopt;
  const auto raw = decode<42>(*line);
  if (!raw || (*raw)[0] != 'E' || (*raw)[1] != 'd') return std::nullopt;
  PublicKey key;
  copyPart(*raw, 2, key.id);
  copyPart(*raw, 10, key.key);
  return key;
}

std::optional<Signature> ParseSignature(std::string_view text) {
  if (!sodiumReady() || text.size() > kMaxSignatureFileSize) return std::nullopt;
  const auto comment = nextLine(text);
  if (!comment || !comment->starts_with(kUntrusted)) return std::nullopt;
  const auto sigLine = nextLine(text);
  const auto trustedLine = nextLine(text);
  const auto globalLine = nextLine(text);
  if (!sigLine || !trustedLine || !globalLine || !trustedLine->starts_with(kTrusted)) return std::nullopt;
  // Nothing but line ends may follow.
  if (text.find_first_not_of("\r\n") != std::string_view::npos) return std::nullopt;
  const auto raw = decode<74>(*sigLine);
  const auto global = decode<64>(*globalLine);
  // "ED": prehashed. The legacy "Ed" would need the whole file in memory.
  if (!raw || !global || (*raw)[0] != 'E' || (*raw)[1] != 'D') return std::nullopt;
  Signature s;
  copyPart(*raw, 2, s.keyId);
  copyPart(*raw, 10, s.signature);
  s.trustedComment = std::string(trustedLine->substr(kTrusted.size()));
  s.globalSignature = *global;
  return s;
}

FileHash::FileHash() {
  static_assert(sizeof(crypto_generichash_state) <= sizeof(state_));
  sodiumReady();
  crypto_generichash_init(reinterpret_cast<crypto_generichash_state*>(state_.data()), nullptr, 0, 64);
}

void FileHash::add(std::string_view bytes) {
  crypto_generichash_update(reinterpret_cast<crypto_generichash_state*>(state_.data()),
                            reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

std::array<std::uint8_t, 64> FileHash::finish() {
  std::array<std::uint8_t, 64> out{};
  crypto_generichash_final(reinterpret_cast<crypto_generichash_state*>(state_.data()), out.data(), out.size());
  return out;
}

SignatureVerdict VerifySignature(std::string_view signatureText, const std::array<std::uint8_t, 64>& fileHash,
                                 const std::vector<PublicKey>& trusted, std::string_view expectedComment) {
  const auto sig = ParseSignature(signatureText);
  if (!sig) return SignatureVerdict::Malformed;
  const auto key = std::find_if(trusted.begin(), trusted.end(), [&](const PublicKey& k) { return k.id == sig->keyId; });
  if (key == trusted.end()) return SignatureVerdict::UntrustedKey;
  if (crypto_sign_verify_detached(sig->signature.data(), fileHash.data(), fileHash.size(), key->key.data()) != 0)
    return SignatureVerdict::BadSignature;
  // The global signature binds the trusted comment to this signature.
  std::string signedComment(reinterpret_cast<const char*>(sig->signature.data()), sig->signature.size());
  signedComment += sig->trustedComment;
  if (crypto_sign_verify_detached(sig->globalSignature.data(),
                                  reinterpret_cast<const unsigned char*>(signedComment.data()),
                                  signedComment.size(), key->key.data()) != 0)
    return SignatureVerdict::BadSignature;
  return sig->trustedComment == expectedComment ? SignatureVerdict::Good : SignatureVerdict::OtherRelease;
}

}  // namespace davu::update
