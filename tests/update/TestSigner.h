#pragma once
// A minisign key pair made by the tests with libsodium, writing key and
// signature files byte for byte as `minisign -G` and `minisign -S` do.
#include <sodium.h>

#include <array>
#include <string>
#include <string_view>

namespace davu::test {

class TestSigner {
 public:
  TestSigner() {
    if (sodium_init() < 0) std::abort();
    crypto_sign_keypair(pk_.data(), sk_.data());
    randombytes_buf(id_.data(), id_.size());
  }

  // The .pub file.
  std::string publicKeyFile() const {
    std::string raw = "Ed";
    raw.append(reinterpret_cast<const char*>(id_.data()), id_.size());
    raw.append(reinterpret_cast<const char*>(pk_.data()), pk_.size());
    return "untrusted comment: minisign public key\n" + base64(raw) + "\n";
  }

  // The .minisig file of `file` with the given trusted comment, prehashed.
  std::string sign(std::string_view file, std::string_view trustedComment) const {
    std::array<unsigned char, 64> hash{};
    crypto_generichash(hash.data(), hash.size(), reinterpret_cast<const unsigned char*>(file.data()), file.size(),
                       nullptr, 0);
    std::array<unsigned char, 64> sig{};
    crypto_sign_detached(sig.data(), nullptr, hash.data(), hash.size(), sk_.data());
    std::string raw = "ED";
    raw.append(reinterpret_cast<const char*>(id_.data()), id_.size());
    raw.append(reinterpret_cast<const char*>(sig.data()), sig.size());
    std::string global(reinterpret_cast<const char*>(sig.data()), sig.size());
    global += trustedComment;
    std::array<unsigned char, 64> gsig{};
    crypto_sign_detached(gsig.data(), nullptr, reinterpret_cast<const unsigned char*>(global.data()), global.size(),
                         sk_.data());
    return "untrusted comment: signature from minisign secret key\n" + base64(raw) + "\ntrusted comment: " +
           std::string(trustedComment) + "\n" +
           base64(std::string(reinterpret_cast<const char*>(gsig.data()), gsig.size())) + "\n";
  }

 private:
  static std::string base64(const std::string& raw) {
    std::string out(sodium_base64_ENCODED_LEN(raw.size(), sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(out.data(), out.size(), reinterpret_cast<const unsigned char*>(raw.data()), raw.size(),
                      sodium_base64_VARIANT_ORIGINAL);
    out.resize(out.size() - 1);  // the terminating zero
    return out;
  }

  std::array<unsigned char, crypto_sign_PUBLICKEYBYTES> pk_{};
  std::array<unsigned char, crypto_sign_SECRETKEYBYTES> sk_{};
  std::array<unsigned char, 8> id_{};
};

}  // namespace davu::test
