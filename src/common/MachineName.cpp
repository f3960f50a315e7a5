#include "common/MachineName.h"

#include <exception>

#include "common/WireText.h"
#include "common/platform/Platform.h"

using namespace davu;

namespace {

bool isBlank(const QString& s) { return TrimControl(s).isEmpty(); }

QString messageOf(const std::exception_ptr& e) {
  try {
    std::rethrow_exception(e);
  } catch (const std::exception& ex) {
    return QString::fromLocal8Bit(ex.what());
  } catch (...) {
    return QStringLiteral("Okänt fel");
  }
}

}  // namespace

// In a remote session the user is known by the device at hand: the Citrix
// client name first, then the terminal-services one.
QString GetMachineName() {
  davu::platform::HostIdentity& host = davu::platform::hostIdentity();
  if (!host.isRemoteSession()) return host.computerName();
  QString result;
  std::exception_ptr failure;
  try {
    QString name;
    if (host.citrixClientName(name)) result = name;
    if (isBlank(result)) result = host.terminalServicesClientName();
  } catch (...) {
    failure = std::current_exception();
  }
  if (failure) {
    QString note = QStringLiteral("Citrix: ") + messageOf(failure) + u'\r';
    try {
      result = host.terminalServicesClientName();
    } catch (...) {
      note += QStringLiteral("TerminalServer: ") + messageOf(std::current_exception());
      davu::platform::dialogs().showInfoMessage(QStringLiteral("Det gick inte att hämta datornamnet i fjärrsessionen!") + u'\r' + u'\r' + note);
      result.clear();
    }
  }
  return result;
}
