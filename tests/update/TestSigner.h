#pragma once
// Release keys made by the tests, and signatures in minisign's own form
// (prehashed "ED"), so the checks run against what `minisign -S` writes.
#include <QTemporaryDir>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TestKey {
 public:
  // The same seed gives the same key.
  explicit TestKey(std::uint8_t seed);
  std::string publicKeyFile() const;
  // A signature file over `file` whose trusted comment is `trustedComment`.
  std::string sign(std::string_view file, std::string_view trustedComment) const;

 private:
  std::array<std::uint8_t, 32> pk_{};
  std::array<std::uint8_t, 64> sk_{};
  std::array<std::uint8_t, 8> id_{};
};

// A folder of trusted key files, only readable, named by
// $DAVU_UPDATE_KEYS_DIR while it lives.
class TrustedKeyFolder {
 public:
  explicit TrustedKeyFolder(const std::vector<const TestKey*>& keys);
  ~TrustedKeyFolder();
  QString path() const { return dir_.path(); }

 private:
  QTemporaryDir dir_;
};

// The program's file read whole.
std::string ReadWhole(const QString& path);
// Writes `bytes` as `path`.
bool WriteWhole(const QString& path, std::string_view bytes);
