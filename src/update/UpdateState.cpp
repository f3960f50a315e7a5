#include "update/UpdateState.h"

int UpdateState = 0;
bool UpdateStarted = false;
bool UpdateSaveFailed = false;
bool UpdateTimedOut = false;

namespace davu {

void ResetUpdateState() {
  UpdateState = 0;
  UpdateStarted = false;
  UpdateSaveFailed = false;
  UpdateTimedOut = false;
}

int VersionNumber(const QString& productVersion) {
  QString digits = productVersion;
  digits.remove(u'.');
  bool ok = false;
  const int n = digits.toInt(&ok);
  return ok ? n : 1000;
}

}  // namespace davu
