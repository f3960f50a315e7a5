#pragma once
// Saving a report file so that nothing already saved is lost: the file is
// written beside its target under a temporary name and renamed over the
// target only when it is complete. A failure leaves an earlier file of the
// same name as it was and says why in Swedish.
#include <QString>
#include <functional>

namespace davu::reportfile {

// Rows done of all; the writers call it now and then on long work.
using Progress = std::function<void(int done, int total)>;

// Writes through `write(tempPath, error)`, which returns false with a reason
// in `*error` when it fails. On failure `*error` holds the whole message.
bool Save(const QString& path, const std::function<bool(const QString& tempPath, QString* error)>& write,
          QString* error);

// A Swedish sentence for the C library's error number.
QString Reason(int errnoValue);

}  // namespace davu::reportfile
