#pragma once
// Minisign signatures of released program files, read and checked without
// any UI. The cryptography is libsodium's; this module only takes the files
// apart and says why a signature does not hold.
//
//   key file (.pub):      "untrusted comment: ..." line,
//                         base64 of "Ed" + key id (8) + public key (32)
//   signature (.minisig): "untrusted comment: ..." line,
//                         base64 of "ED" + key id (8) + signature (64),
//                         "trusted comment: " + text line,
//                         base64 of the global signature (64) over
//                         signature + text
//
// Only the prehashed form "ED" (what `minisign -S` writes) is accepted: its
// signature covers the BLAKE2b-512 hash of the file, so the file is read in
// pieces and never held whole. The legacy form "Ed" is refused.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace davu::update {

// Anything larger is not a signature file.
inline constexpr std::size_t kMaxSignatureFileSize = 4096;

using KeyId = std::array<std::uint8_t, 8>;

struct PublicKey {
  KeyId id{};
  std::array<std::uint8_t, 32> key{};
};

struct Signature {
  KeyId keyId{};
  std::array<std::uint8_t, 64> signature{};
  std::string trustedComment;
  std::array<std::uint8_t, 64> globalSignature{};
};

std::optional<PublicKey> ParsePublicKey(std::string_view text);
std::optional<Signature> ParseSignature(std::string_view text);

enum class SignatureVerdict {
  Good,
  Malformed,      // no signature, or not one in the minisign form
  UntrustedKey,   // made by a key not among the trusted ones
  BadSignature,   // does not cover these bytes
  OtherRelease,   // its trusted comment names another file or version
};

// The BLAKE2b-512 hash the prehashed signature covers, fed in pieces.
class FileHash {
 public:
  FileHash();
  void add(std::string_view bytes);
  std::array<std::uint8_t, 64> finish();

 private:
  alignas(64) std::array<unsigned char, 384> state_{};
};

// Checks `signatureText` over a file whose hash is `fileHash`, against
// `trusted`, and that its trusted comment is exactly `expectedComment`.
SignatureVerdict VerifySignature(std::string_view signatureText, const std::array<std::uint8_t, 64>& fileHash,
                                 const std::vector<PublicKey>& trusted, std::string_view expectedComment);

}  // namespace davu::update
