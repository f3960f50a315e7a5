#include "app/UpdateCheckHook.h"

#include <QLabel>
#include <QLineEdit>

#include "app/UDavuAdminMain.h"
#include "common/ClientSocket.h"
#include "common/SharedState.h"
#include "register/USystReg.h"
#include "update/UUpdateCheck.h"
#include "widgets/UDAVUcommon.h"

namespace davu {

UpdateCheck* InstallUpdateCheck(TfrmDAVUAdmin& w) {
  auto* check = new UpdateCheck(EnsureDAVUcommon(), &w);
  w.connection().CheckForUpdate = [check, &w] { return check->CheckForUpdate(*w.ClientSocket1); };
  QObject::connect(check, &UpdateCheck::updateServerVersionChanged, &w, [&w] {
    // The reply may come after the server tab was filled.
    if (!w.frmSystreg) return;
    if (auto* field = w.frmSystreg->findChild<QLineEdit*>(QStringLiteral("edUpdateServerver")))
      field->setText(UpdateServerVersion);
    if (auto* off = w.frmSystreg->findChild<QLabel*>(QStringLiteral("lblSelfUpdateOff")))
      off->setVisible(UpdateSigningOff);
  });
  return check;
}

}  // namespace davu
