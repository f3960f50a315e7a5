#include "TestSigner.h"

#include <QDir>
#include <QFile>
#include <sodium.h>


namespace {

std::string base64(const std::uint8_t* data, std::size_t n) {
  std::string out(sodium_base64_encoded_len(n, sodium_base64_VARIANT_ORIGINAL), '\0');
  sodium_bin2base64(out.data(), out.size(), data, n, sodium_base64_VARIANT_ORIGINAL);
  out.resize(out.size() - 1);  // its terminating zero
  return out;
}

}  // namespace

TestKey::TestKey(std::uint8_t seed) {
  if (sodium_init() < 0) qFatal("libsodium");
  std::array<std::uint8_t, 32> s{};
  s.fill(seed);
  crypto_sign_seed_keypair(pk_.data(), sk_.data(), s.data());
  for (std::size_t i = 0; i < id_.size(); ++i) id_[i] = std::uint8_t(seed + i * 17 + 1);
}

std::string TestKey::publicKeyFile() const {
  std::string raw = "Ed";
  raw.append(reinterpret_cast<const char*>(id_.data()), id_.size());
  raw.append(reinterpret_cast<const char*>(pk_.data()), pk_.size());
  return "untrusted comment: minisign public key of a test\n" +
         base64(reinterpret_cast<const std::uint8_t*>(raw.data()), raw.size()) + "\n";
}

std::string TestKey::sign(std::string_view file, std::string_view trustedComment) const {
  std::array<std::uint8_t, 64> hash{};
  crypto_generichash(hash.data(), hash.size(), reinterpret_cast<const unsigned char*>(file.data()), file.size(),
                     nullptr, 0);
  std::array<std::uint8_t, 64> sig{};
  crypto_sign_detached(sig.data(), nullptr, hash.data(), hash.size(), sk_.data());
  std::string raw = "ED";
  raw.append(reinterpret_cast<const char*>(id_.data()), id_.size());
  raw.append(reinterpret_cast<const char*>(sig.data()), sig.size());
  std::string global(reinterpret_cast<const char*>(sig.data()), sig.size());
  global += trustedComment;
  std::array<std::uint8_t, 64> globalSig{};
  crypto_sign_detached(globalSig.data(), nullptr, reinterpret_cast<const unsigned char*>(global.data()),
                       global.size(), sk_.data());
  return "untrusted comment: signature from a test key\n" +
         base64(reinterpret_cast<const std::uint8_t*>(raw.data()), raw.size()) + "\ntrusted comment: " +
         std::string(trustedComment) + "\n" + base64(globalSig.data(), globalSig.size()) + "\n";
}

TrustedKeyFolder::TrustedKeyFolder(const std::vector<const TestKey*>& keys) {
  int n = 0;
  for (const TestKey* key : keys) {
    const QString file = dir_.filePath(QStringLiteral("key%1.pub").arg(++n));
    WriteWhole(file, key->publicKeyFile());
    QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
  }
  // Only readable: a folder its user could write would be ignored.
  QFile::setPermissions(dir_.path(), QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup |
                                         QFile::ReadOther | QFile::ExeOther);
  qputenv("DAVU_UPDATE_KEYS_DIR", QFile::encodeName(dir_.path()));
}

TrustedKeyFolder::~TrustedKeyFolder() {
  qunsetenv("DAVU_UPDATE_KEYS_DIR");
  QFile::setPermissions(dir_.path(), QFile::ReadOwner | QFile::ExeOwner | QFile::WriteOwner);
}

std::string ReadWhole(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string("<unreadable>");
}

bool WriteWhole(const QString& path, std::string_view bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes.data(), qint64(bytes.size())) == qint64(bytes.size());
}
