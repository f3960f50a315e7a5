// Everything the server sends on the main connection arrives here: the read
// handler puts the byte stream back into whole texts, and the dispatcher
// hands every reply in a text to its owner.
//
// A received text holds any number of replies back to back:
//
//   text  := { reply | "ERROR:" rest-of-text | other }
//   reply := "¤" TAG SEP fields SEP TAG "¤"      (SEP ":"; "~" for RETCALLLIST)
//
// Replies are handed on in a fixed order of tags, not in the order of
// arrival: the first of each kind, then the second of each kind, and so on.
// Nothing matches a reply to a request: a reply is handled whenever it
// arrives. What may hold bytes back (an unfinished message, the first bytes
// of a marker) holds them at most for the quiet time.
#include <QTimer>
#include <exception>

#include "CallLogRouting.h"
#include "ClientSocket.h"
#include "Dialogs.h"
#include "ReplyTarget.h"
#include "SettingsStore.h"
#include "SharedState.h"
#include "UDavuAdminMain.h"
#include "USystReg.h"
#include "WireText.h"
#include "Widgets.h"
#include "protocol/Catalogue.h"
#include "protocol/ReplyDispatch.h"
#include "protocol/TextUtil.h"

namespace proto = davu::proto;

namespace {

// The main connection's replies, by their place in proto::kMainReplies.
enum MainReply : std::size_t {
  RetServerVersion,
  RetIniText,
  RetSql,
  RetKlinikNamn,
  RetSmsSettings,
  DavuClientData,
  RetAllMachines,
  RetCallList,
  RetStationCallables,
  RetAllCallables,
};
static_assert(proto::kMainReplies[RetServerVersion].tag == "RETSERVERVERSION");
static_assert(proto::kMainReplies[RetAllCallables].tag == "RETALLCALLABLES");
static_assert(proto::kMainReplies.size() == RetAllCallables + 1);

// The oldest server version this program works with: "1.10.1" without dots.
constexpr int kMinimumServerVersion = 1101;

QString errorText(const std::exception& e) {
  return QStringLiteral("Error in ClientSocket1Read!\r\r") + QString::fromUtf8(e.what());
}

}  // namespace

void TfrmDAVUAdmin::ClientSocket1Read() {
  reassemble([this] { return reassembler_.feed(ClientSocket1->takeBytes()); });
}

void TfrmDAVUAdmin::ReplyQuietTimerTimer() {
  ReplyQuietTimer->stop();
  reassemble([this] { return reassembler_.expire(); });
}

void TfrmDAVUAdmin::reassemble(const std::function<std::optional<std::string>()>& step) {
  std::optional<std::string> text;
  try {
    text = step();
    reportOverflow();
  } catch (const std::exception& e) {
    ShowInfoMessage(errorText(e));
    return;
  }
  armReplyQuietTimer();
  // The reassembly's own state is settled before dispatching, so a read
  // that arrives while the dispatcher waits is handled in full inside it.
  if (!text) return;
  dispatchText(*text);
  // The next large reply is put together in this one's buffer.
  reassembler_.recycle(std::move(*text));
}

void TfrmDAVUAdmin::reportOverflow() {
  if (!reassembler_.overflowed()) return;
  // A reply larger than anything the server sends legitimately: the partial
  // bytes are gone, the connection and the program carry on.
  ShowInfoHint(QStringLiteral("Ett svar från servern var för stort och kunde inte tas emot.\r"
                              "Försök igen eller kontakta systemansvarig."),
               this);
}

void TfrmDAVUAdmin::armReplyQuietTimer() {
  const std::optional<std::uint64_t> held = reassembler_.heldFrom();
  if (!held) {
    ReplyQuietTimer->stop();
    return;
  }
  // The quiet time runs from the moment these bytes began to wait; bytes
  // that arrive without completing them do not extend it.
  if (ReplyQuietTimer->isActive() && *held == quietHeldFrom_) return;
  quietHeldFrom_ = *held;
  ReplyQuietTimer->start();
}

void TfrmDAVUAdmin::DispatchReply(std::string text, ClientSocket* socket) {
  Q_UNUSED(socket);
  dispatchText(text);
}

void TfrmDAVUAdmin::dispatchText(std::string_view text) {
  // The replies' owners; a text may be dispatched again inside any of them
  // (a settings read waits with the event loop running), and this call keeps
  // its own text.
  struct Routes final : proto::ReplyRoutes {
    explicit Routes(TfrmDAVUAdmin& w) : w(w) {}
    bool reply(std::size_t kind, std::string_view payload) override { return w.routeReply(kind, payload); }
    void error(std::string_view message) override {
      ShowInfoHint(QStringLiteral("Servern svarade med följande fel: ") + ShownText(message), &w);
    }
    void settled() override { w.rearmWatchdog(); }
    TfrmDAVUAdmin& w;
  } routes(*this);
  try {
    proto::DispatchText(text, proto::kMainReplies, routes);
  } catch (const std::exception& e) {
    ShowInfoMessage(errorText(e));
  }
}

bool TfrmDAVUAdmin::routeReply(std::size_t kind, std::string_view payload) {
  // While the statistics window is open it takes the two lists; otherwise
  // they belong to the register.
  const auto toStatistics = [] { return ReplyTarget == rtStatistics && StatisticsTakesLists(); };
  switch (kind) {
    case RetServerVersion:
      return handleServerVersion(payload);
    case RetIniText:
      SettingReplyReceived(payload);
      break;
    case RetSql:
      RouteSqlReply(payload);
      break;
    case RetKlinikNamn:
      handleClinicName(payload);
      break;
    case RetSmsSettings:
      if (frmSystreg) frmSystreg->HandleRetSmsSettings(payload);
      break;
    case DavuClientData:
      break;  // sent to every client; this program has no use for it
    case RetAllMachines:
      if (toStatistics()) {
        RouteStatisticsMachines(payload);
      } else if (frmSystreg) {
        frmSystreg->HandleRetAllMachines(payload);
      }
      break;
    case RetCallList:
      if (frmSystreg) frmSystreg->HandleRetCallList(payload);
      break;
    case RetStationCallables:
      if (frmSystreg) frmSystreg->HandleRetStationCallables(payload);
      break;
    case RetAllCallables:
      if (toStatistics()) {
        RouteStatisticsCallables(payload);
        // The register's pending choice of list ends with every resource list.
        if (frmSystreg) frmSystreg->ResourceListTarget = TfrmSystreg::TResourceListTarget::None;
      } else if (frmSystreg) {
        frmSystreg->HandleRetAllCallables(payload);
      }
      break;
    default:
      break;
  }
  return true;
}

bool TfrmDAVUAdmin::handleServerVersion(std::string_view payload) {
  const QString version = FromWire(proto::ExtractField(payload, 1, ':'));
  ServerVersion = version;
  // The register shows its register tabs as soon as a connection is there,
  // and reloads the shown tab over it. The server tab holds what the
  // administrator is typing: there only the versions follow the connection.
  if (frmSystreg && frmSystreg->isVisible()) {
    if (frmSystreg->activePage() == frmSystreg->tsServersettings) {
      frmSystreg->tsServersettings->ConnectionReady();
    } else {
      frmSystreg->SetTabs(frmSystreg->activePage());
    }
  }

  if (proto::VersionNumber(ToWire(version)) < kMinimumServerVersion) {
    ShowInfoHint(QStringLiteral("Fel serverversion!\r\rDAVU-Servern har version ") + version +
                     QStringLiteral("\rMinst version 1.10.1 krävs!"),
                 this);
    ClientSocket1->close();
    // No retry: the program stays unconnected until the settings are saved
    // or the computer resumes.
    ReconnectTimer->stop();
    Timer3->stop();
    enterState(ConnectionState::Refused);
    return false;
  }

  const std::string admin(proto::kAdminClientName);
  ClientSocket1->sendBytes(proto::GetCallList(admin, "2"));
  ClientSocket1->sendBytes(proto::GetKliniknamn(admin, "2"));
  btnStatistik->setEnabled(true);
  btnKallelser->setEnabled(true);
  enterState(ConnectionState::Connected);
  return true;
}

void TfrmDAVUAdmin::handleClinicName(std::string_view payload) {
  setWindowTitle(QStringLiteral("DAVU Admin - ") + FromWire(proto::ExtractField(payload, 1, ':')) +
                 QStringLiteral("  version: ") + productVersion_);
}
