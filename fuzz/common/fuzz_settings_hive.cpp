// The settings file parser and rewriter on arbitrary file contents: a value
// written into any file reads back, and every other value keeps reading the same.
#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "common/platform/SettingsHive.h"

using namespace davu::platform;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QByteArray file(reinterpret_cast<const char*>(data), qsizetype(size));
  const QString sub = QStringLiteral("SOFTWARE\\Solvarn\\X\\S");
  const QString other = QStringLiteral("SOFTWARE\\Solvarn\\X\\T");
  const auto before = FindHiveValue(file, other, QStringLiteral("K"));
  // The value written is the tail of the input, so it holds anything.
  const QString value = QString::fromUtf8(file.right(qMin<qsizetype>(file.size(), 40)));
  const QByteArray after = SetHiveValue(file, sub, QStringLiteral("K=1 "), value);
  if (FindHiveValue(after, sub, QStringLiteral("K=1 ")) != std::optional<QString>(value)) std::abort();
  if (FindHiveValue(after, other, QStringLiteral("K")) != before) std::abort();
  (void)UnescapeHiveText(file);
  return 0;
}
