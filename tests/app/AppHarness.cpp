#include "AppHarness.h"

#include <QLabel>

#include "Controls.h"
#include "app/UDavuAdminMain.h"
#include "app/Widgets.h"
#include "common/SettingsStore.h"
#include "common/SharedState.h"
#include "register/USystReg.h"

using namespace davu;

using davu::test::Control;

std::string Reply(const std::string& tag, const std::string& value) {
  return "\xA4" + tag + ":" + value + ":" + tag + "\xA4";
}

std::string Introduction() {
  return "\xA4GETSERVERVERSION:RECEPTION01_Admin:2:GETSERVERVERSION\xA4";
}

AppHarness::AppHarness() {
  ResetSharedState();
  server.onReceive = [this](const std::string& chunk) { answerSettingsRequests(chunk); };
}

AppHarness::~AppHarness() {
  w.reset();
  ResetSharedState();
}

TfrmDAVUAdmin& AppHarness::create() {
  w = std::make_unique<TfrmDAVUAdmin>();
  w->ExitProcess = [this](int code) { exits.push_back(code); };
  w->ShowModal = [this](QDialog* d) {
    auto* reg = qobject_cast<TfrmSystreg*>(d);
    modals.push_back({d, reg ? reg->activePage() : nullptr, RegisterMode, ReplyTarget});
    if (duringModal) duringModal(d);
  };
  return *w;
}

void AppHarness::storeLocal(const QString& section, const QString& key, const QString& value) {
  WriteSetting(section, key, value);
}

void AppHarness::storeServer() {
  storeLocal(QStringLiteral("ServerSettings"), QStringLiteral("ServerName"), QStringLiteral("127.0.0.1"));
  storeLocal(QStringLiteral("ServerSettings"), QStringLiteral("ServerPort"), QString::number(server.port()));
  storeLocal(QStringLiteral("DAVU"), QStringLiteral("ClientNameUseDefault"), QStringLiteral("1"));
}

bool AppHarness::connectAndIntroduce() {
  w->FormActivate();
  return server.waitForConnection() && server.waitForReceived(Introduction());
}

bool AppHarness::acceptVersion(const std::string& version) {
  server.send(Reply("RETSERVERVERSION", version));
  return WaitUntil([this] {
    return status() == QString("Ansluten") && state() == ConnectionState::Connected;
  });
}

bool AppHarness::connectAndAccept() { return connectAndIntroduce() && acceptVersion(); }

QString AppHarness::status() const { return Control<QLabel>(w, "Label1")->text(); }
QString AppHarness::circle() const { return Control<StatusCircle>(w, "shServerConnected")->brushColor().name(); }
ConnectionState AppHarness::state() const { return w->connectionState(); }

// Requests may arrive several in one chunk or, in principle, split: scan
// whole requests only and keep the rest for the next chunk.
void AppHarness::answerSettingsRequests(const std::string& chunk) {
  pending_ += chunk;
  static const std::string open = "\xA4GETINITEXT:";
  static const std::string close = ":GETINITEXT\xA4";
  for (;;) {
    const auto from = pending_.find(open);
    if (from == std::string::npos) {
      pending_.clear();
      return;
    }
    const auto to = pending_.find(close, from);
    if (to == std::string::npos) {
      pending_.erase(0, from);
      return;
    }
    // "machine\section:key" or "\section:key"
    std::string address = pending_.substr(from + open.size(), to - from - open.size());
    pending_.erase(0, to + close.size());
    if (!answerSettings) continue;
    const bool global = !address.empty() && address.front() == '\\';
    const auto slash = address.find('\\');
    const std::string sectionKey = slash == std::string::npos ? address : address.substr(slash + 1);
    std::string value;
    if (!global) {
      const auto it = serverSettings.find(sectionKey);
      if (it != serverSettings.end()) value = it->second;
    }
    server.send(Reply("RETINITEXT", value));
  }
}
