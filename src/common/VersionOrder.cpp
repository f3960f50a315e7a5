#include "common/VersionOrder.h"

#include <QList>
#include <optional>

namespace davu {

namespace {

std::optional<QList<qulonglong>> VersionParts(const QString& version) {
  const QString trimmed = version.trimmed();
  if (trimmed.isEmpty()) return std::nullopt;
  QList<qulonglong> parts;
  for (const QStringView part : QStringView(trimmed).split(u'.')) {
    bool ok = false;
    // Digits only: no sign, no blanks inside.
    for (QChar c : part)
      if (c < u'0' || c > u'9') return std::nullopt;
    const qulonglong n = part.toULongLong(&ok);
    if (!ok) return std::nullopt;
    parts.append(n);
  }
  return parts;
}

}  // namespace

bool VersionAtLeast(const QString& version, const QString& minimum) {
  const auto have = VersionParts(version);
  const auto need = VersionParts(minimum);
  if (!have) return false;
  if (!need) return true;
  const qsizetype n = qMax(have->size(), need->size());
  for (qsizetype i = 0; i < n; ++i) {
    const qulonglong a = have->value(i, 0);
    const qulonglong b = need->value(i, 0);
    if (a != b) return a > b;
  }
  return true;
}

}  // namespace davu
