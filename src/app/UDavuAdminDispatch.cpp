// Everything the server sends on the main connection arrives here: the read
// handler puts the byte stream back into whole texts, and the dispatcher
// hands every reply in a text to its owner.
//
// A received text holds any number of replies back to back:
//
//   text  := { reply | "ERROR:" rest-of-text | other }
//   reply := "¤" TAG SEP fields SEP TAG "¤"      (SEP ":"; "~" for RETCALLLIST)
//
// Replies are found by tag in a fixed order, not in the order of arrival, and
// only the first of each kind per pass; a nested pass takes the rest. Nothing
// matches a reply to a request: a reply is handled whenever it arrives.
#include <QLabel>
#include <QTimer>
#include <exception>

#include "CallLogRouting.h"
#include "ClientSocket.h"
#include "Dialogs.h"
#include "SettingsStore.h"
#include "SharedState.h"
#include "UDavuAdminMain.h"
#include "USystReg.h"
#include "WireText.h"
#include "Widgets.h"
#include "protocol/Catalogue.h"
#include "protocol/ReplyCutter.h"
#include "protocol/TextUtil.h"

namespace proto = davu::proto;

namespace {

// The oldest server version this program works with: "1.10.1" without dots.
constexpr int kMinimumServerVersion = 1101;

// The version without its dots, read as a whole number; 0 when it is not one.
int versionNumber(const QString& version) {
  bool ok = false;
  const int n = QString(version).remove(u'.').toInt(&ok);
  return ok ? n : 0;
}

QString errorText(const std::exception& e) {
  return QStringLiteral("Error in ClientSocket1Read!\r\r") + QString::fromUtf8(e.what());
}

}  // namespace

void TfrmDAVUAdmin::ClientSocket1Read() {
  std::optional<std::string> text;
  try {
    const std::string chunk = ClientSocket1->takeBytes();
    text = reassembler_.feed(chunk);
    if (reassembler_.overflowed()) {
      // A reply larger than anything the server sends legitimately: the
      // partial bytes are gone, the connection and the program carry on.
      ShowInfoHint(QStringLiteral("Ett svar från servern var för stort och kunde inte tas emot.\r"
                                  "Försök igen eller kontakta systemansvarig."),
                   this);
    }
  } catch (const std::exception& e) {
    ShowInfoMessage(errorText(e));
    return;
  }
  // The reassembly's own state is settled before dispatching, so a read
  // that arrives while the dispatcher waits is handled in full inside it.
  if (text) DispatchReply(std::move(*text), ClientSocket1);
}

void TfrmDAVUAdmin::DispatchReply(std::string text, ClientSocket* socket) {
  try {
    const std::string original = text;

    if (auto p = proto::CutTaggedReply(text, "RETSERVERVERSION")) {
      if (!handleServerVersion(*p)) return;
    }
    if (auto p = proto::CutTaggedReply(text, "RETINITEXT")) SettingReplyReceived(*p);
    if (auto p = proto::CutTaggedReply(text, "RETSQL")) RouteSqlReply(*p);
    if (auto p = proto::CutTaggedReply(text, "RETKLINIKNAMN")) handleClinicName(*p);
    if (auto p = proto::CutTaggedReply(text, "RETSMSSETTINGS")) {
      if (frmSystreg) frmSystreg->HandleRetSmsSettings(*p);
    }
    // Client data is sent to every client; this program has no use for it.
    proto::CutTaggedReply(text, "DAVUCLIENTDATA");
    routeListReplies(text);

    if (const auto at = text.find("ERROR:"); at != std::string::npos) {
      if (text.find("ERROR: 001") == std::string::npos) {
        // Everything behind "ERROR:" and the one character after it.
        const std::string message = at + 7 < text.size() ? text.substr(at + 7) : std::string();
        ShowInfoHint(QStringLiteral("Servern svarade med följande fel: ") + FromWire(message), this);
      }
      return;
    }

    // A second reply of a kind, or one behind it, is taken by a nested pass.
    // A text from which nothing was taken is not passed on again.
    if (!proto::TrimControl(text).empty() && text != original) DispatchReply(text, socket);
    rearmWatchdog();
  } catch (const std::exception& e) {
    ShowInfoMessage(errorText(e));
  }
}

void TfrmDAVUAdmin::routeListReplies(std::string& text) {
  // While the statistics window is open it takes the two lists; otherwise
  // they belong to the register.
  const bool toStatistics = ReplyTarget == 1 && StatisticsTakesLists();
  if (auto p = proto::CutTaggedReply(text, "RETALLMACHINES")) {
    if (toStatistics) {
      RouteStatisticsMachines(*p);
    } else if (frmSystreg) {
      frmSystreg->HandleRetAllMachines(*p);
    }
  }
  if (auto p = proto::CutTaggedReply(text, "RETCALLLIST", '~')) {
    if (frmSystreg) frmSystreg->HandleRetCallList(*p);
  }
  if (auto p = proto::CutTaggedReply(text, "RETSTATIONCALLABLES")) {
    if (frmSystreg) frmSystreg->HandleRetStationCallables(*p);
  }
  if (auto p = proto::CutTaggedReply(text, "RETALLCALLABLES")) {
    if (toStatistics) {
      RouteStatisticsCallables(*p);
      // The register's pending choice of list ends with every resource list.
      if (frmSystreg) frmSystreg->ResourceListTarget = TfrmSystreg::TResourceListTarget::None;
    } else if (frmSystreg) {
      frmSystreg->HandleRetAllCallables(*p);
    }
  }
}

bool TfrmDAVUAdmin::handleServerVersion(const std::string& payload) {
  const QString version = FromWire(proto::ExtractField(payload, 1, ':'));
  ServerVersion = version;
  // The register shows its register tabs as soon as a connection is there,
  // and reloads the shown tab over it.
  if (frmSystreg && frmSystreg->isVisible()) frmSystreg->SetTabs(frmSystreg->activePage());

  if (versionNumber(version) < kMinimumServerVersion) {
    ShowInfoHint(QStringLiteral("Fel serverversion!\r\rDAVU-Servern har version ") + version +
                     QStringLiteral("\rMinst version 1.10.1 krävs!"),
                 this);
    ClientSocket1->close();
    // No retry: the program stays unconnected until the settings are saved
    // or the computer resumes.
    ReconnectTimer->stop();
    Timer3->stop();
    Label1->setText(QStringLiteral("Fel serverversion ") + version + QStringLiteral(" INTE ansluten"));
    return false;
  }

  const std::string admin(proto::kAdminClientName);
  ClientSocket1->sendBytes(proto::GetCallList(admin, "2"));
  ClientSocket1->sendBytes(proto::GetKliniknamn(admin, "2"));
  setConnectedLook(true);
  btnStatistik->setEnabled(true);
  btnKallelser->setEnabled(true);
  Label1->setText(QStringLiteral("Ansluten"));
  return true;
}

void TfrmDAVUAdmin::handleClinicName(const std::string& payload) {
  setWindowTitle(QStringLiteral("DAVU Admin - ") + FromWire(proto::ExtractField(payload, 1, ':')) +
                 QStringLiteral("  version: ") + productVersion_);
}
