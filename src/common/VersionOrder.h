#pragma once
// Server versions such as "1.10.4", ordered part by part as numbers, so that
// 1.9 < 1.10.3 < 1.10.4 < 1.10.10 < 1.11. A missing part counts as 0.
#include <QString>

namespace davu {

// True when `version` is at least `minimum`. An empty version, or one with a
// part that is not a whole number, counts as lower than every minimum.
bool VersionAtLeast(const QString& version, const QString& minimum);

}  // namespace davu
