#pragma once
// The update check's process-wide state, under the names the whole program
// uses. Tests call ResetUpdateState() between cases.
#include <QString>

// 0 no decision yet, 1 this program is current, 2 a newer version exists.
extern int UpdateState;
// A newer program has been started; this one must end.
extern bool UpdateStarted;
// The downloaded program was not installed (not stored, or not the
// announced version); the program goes on.
extern bool UpdateSaveFailed;
// UpdateTimer has fired.
extern bool UpdateTimedOut;

namespace davu {

void ResetUpdateState();

// A product version as a whole number: "1.10.6" gives 1106. Every "." is
// removed and the rest converted; a text that does not convert gives 1000.
int VersionNumber(const QString& productVersion);

}  // namespace davu
