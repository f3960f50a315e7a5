// The minisign signature and key file readers, and the check, on any bytes:
// refused or accepted, never a crash, and never accepted unless the bytes
// carry the one valid signature by the fuzzer's key over its file and name.
#include <sodium.h>

#include <array>
#include <cstdlib>
#include <string>
#include <string_view>

#include "update/ReleaseSignature.h"

using namespace davu::update;

namespace {

constexpr std::string_view kFile = "\x7f" "ELF the program file";
constexpr std::string_view kComment = "davu-admin 1.10.7";

struct Fixture {
  PublicKey key;
  std::array<std::uint8_t, 64> hash{};
  std::array<std::uint8_t, 64> signature{};  // Ed25519 is deterministic: the only valid one
  std::array<std::uint8_t, 64> global{};
  Fixture() {
    if (sodium_init() < 0) std::abort();
    std::array<std::uint8_t, 32> seed{};
    seed.fill(7);
    std::array<std::uint8_t, 64> sk{};
    crypto_sign_seed_keypair(key.key.data(), sk.data(), seed.data());
    key.id = {1, 2, 3, 4, 5, 6, 7, 8};
    FileHash h;
    h.add(kFile);
    hash = h.finish();
    crypto_sign_detached(signature.data(), nullptr, hash.data(), hash.size(), sk.data());
    std::string signedComment(reinterpret_cast<const char*>(signature.data()), signature.size());
    signedComment += kComment;
    crypto_sign_detached(global.data(), nullptr, reinterpret_cast<const unsigned char*>(signedComment.data()),
                         signedComment.size(), sk.data());
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const Fixture f;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  (void)ParsePublicKey(text);
  if (VerifySignature(text, f.hash, {f.key}, kComment) != SignatureVerdict::Good) return 0;
  const auto sig = ParseSignature(text);
  if (!sig || sig->keyId != f.key.id || sig->signature != f.signature || sig->globalSignature != f.global ||
      sig->trustedComment != kComment)
    std::abort();
  return 0;
}
