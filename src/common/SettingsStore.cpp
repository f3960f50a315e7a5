#include "common/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QTimer>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <vector>

#include "common/ClientSocket.h"
#include "common/MachineName.h"
#include "common/PeerWait.h"
#include "common/SharedState.h"
#include "common/WireText.h"
#include "protocol/Catalogue.h"
#include "protocol/TextUtil.h"

using namespace davu;

using davu::platform::Hive;

QString PendingSettingValue;
bool SettingReplyArrived = false;
bool SettingReplyTimedOut = false;
QString LastRegistryError;

namespace {

const QString kPrefix = QStringLiteral("SOFTWARE\\Solvarn\\");

bool isBlank(const QString& s) { return TrimControl(s).isEmpty(); }

QString subKeyFor(const QString& section) { return kPrefix + SettingsRootName + section; }

bool tooLong(const QString& subKey, const QString& name, const QString& value) {
  return subKey.size() > kMaxRegistryText || name.size() > kMaxRegistryText ||
         value.size() > kMaxRegistryText;
}

bool connected() { return ServerSocket && ServerSocket->active(); }

// The connection a read asks on. The read ends when that connection has gone
// (closed, lost, or replaced by a switch of server), even when another is up
// by the time it looks: no answer can come from the old one, and the new
// server was never asked.
struct AskedOn {
  const ClientSocket* socket = nullptr;
  quint64 number = 0;
};
AskedOn currentConnection() { return {ServerSocket, ServerSocket ? ServerSocket->connectionNumber() : 0}; }
bool stillOn(const AskedOn& on) {
  return connected() && ServerSocket == on.socket && ServerSocket->connectionNumber() == on.number;
}

int settingWaitDepth = 0;

QTimer* handedInReplyTimer = nullptr;

QTimer* settingReplyTimer() {
  if (handedInReplyTimer) return handedInReplyTimer;
  static QTimer* const own = [] {
    auto* timer = new QTimer;  // kept for the whole run, as the common window's is
    timer->setSingleShot(true);
    QObject::connect(timer, &QTimer::timeout, [timer] {
      SettingReplyTimedOut = true;
      timer->stop();
    });
    return timer;
  }();
  return own;
}

// Sends one request and lets the event loop run until a settings reply has
// arrived, the reply timer has fired, or the connection `on` has gone (then no
// reply can come). Without a reply on that connection the result stays
// `current`.
QString WaitForSettingReply(const std::string& message, const QString& current, const AskedOn& on) {
  QTimer* timer = settingReplyTimer();
  timer->stop();
  timer->start(5000);
  SettingReplyTimedOut = false;
  ServerSocket->sendBytes(message);
  struct Depth {
    Depth() { ++settingWaitDepth; }
    ~Depth() { --settingWaitDepth; }
  } depth;
  davu::PeerWait::until([&on] { return SettingReplyArrived || SettingReplyTimedOut || !stillOn(on); });
  timer->stop();
  return SettingReplyArrived && stillOn(on) ? PendingSettingValue : current;
}

// The two server steps of a read: this computer's address, then the global one.
QString askServer(const QString& section, const QString& key, QString result) {
  const std::string wSection = ToWire(section), wKey = ToWire(key);
  PendingSettingValue.clear();
  SettingReplyArrived = false;
  if (!connected()) return result;
  const std::string machine = ToWire(GetMachineName());
  // Both steps ask the server that was there when the read began.
  const AskedOn on = currentConnection();
  if (!stillOn(on)) return result;
  result = WaitForSettingReply(davu::proto::GetIniTextForMachine(machine, wSection, wKey), result, on);
  if (isBlank(result)) {
    PendingSettingValue.clear();
    SettingReplyArrived = false;
    if (stillOn(on)) result = WaitForSettingReply(davu::proto::GetIniTextGlobal(wSection, wKey), result, on);
  }
  return result;
}

void sendServerWrites(const QString& section, const QString& key, const QString& value) {
  if (!connected()) return;
  const std::string wSection = ToWire(section), wKey = ToWire(key), wValue = ToWire(value);
  const std::string machine = ToWire(GetMachineName());
  ServerSocket->sendBytes(davu::proto::SetIniTextForMachine(machine, wSection, wKey, wValue));
  // The machine-name lookup or the first send may have let a disconnect in.
  if (connected()) ServerSocket->sendBytes(davu::proto::SetIniTextGlobal(wSection, wKey, wValue));
}

}  // namespace

QString RegReadText(Hive hive, const QString& subKey, const QString& name) {
  if (subKey.size() > kMaxRegistryText || name.size() > kMaxRegistryText) return {};
  std::optional<QString> v = davu::platform::HiveFile(hive).read(subKey, name);
  if (!v) return {};
  const qsizetype nul = v->indexOf(QChar(u'\0'));
  if (nul >= 0) v->truncate(nul);
  // Longer than the registry's read buffer: not found here.
  if (v->size() > kMaxRegistryText) return {};
  return *v;
}

bool RegWriteText(Hive hive, const QString& subKey, const QString& name, const QString& value) {
  if (tooLong(subKey, name, value)) return false;
  QString error;
  if (davu::platform::HiveFile(hive).write(subKey, name, value, &error)) return true;
  LastRegistryError = error.left(kMaxRegistryText);  // so that the error record can hold it
  return false;
}

QString ReadSetting(const QString& section, const QString& key) {
  const QString subKey = subKeyFor(section);
  QString result = RegReadText(Hive::CurrentUser, subKey, key);
  if (isBlank(result)) result = RegReadText(Hive::LocalMachine, subKey, key);
  if (isBlank(result)) result = askServer(section, key, result);
  if (isBlank(result)) result = QStringLiteral("ERROR");
  return result;
}

namespace davu {

QString ReadUserSetting(const QString& section, const QString& key) {
  return RegReadText(Hive::CurrentUser, subKeyFor(section), key);
}

bool WriteUserSetting(const QString& section, const QString& key, const QString& value) {
  return RegWriteText(Hive::CurrentUser, subKeyFor(section), key, value);
}

QString ReadLocalSetting(const QString& section, const QString& key) {
  const QString subKey = subKeyFor(section);
  QString result = RegReadText(Hive::CurrentUser, subKey, key);
  if (isBlank(result)) result = RegReadText(Hive::LocalMachine, subKey, key);
  return isBlank(result) ? QString() : result;
}

}  // namespace davu

QString ReadServerSetting(const QString& section, const QString& key) {
  QString result = askServer(section, key, QString());
  if (isBlank(result)) result = QStringLiteral("ERROR");
  return result;
}

QString ReadSettingDef(const QString& section, const QString& key, const QString& def) {
  const QString r = ReadSetting(section, key);
  return TrimControl(r) == QLatin1String("ERROR") ? def : r;
}

QString ReadServerSettingDef(const QString& section, const QString& key, const QString& def) {
  const QString r = ReadServerSetting(section, key);
  return TrimControl(r) == QLatin1String("ERROR") ? def : r;
}

void WriteSetting(const QString& section, const QString& key, const QString& value) {
  const QString subKey = subKeyFor(section);
  // A value the local layers cannot hold is not written anywhere: otherwise an
  // older local value would keep hiding the new one on the server.
  if (tooLong(subKey, key, value)) return;
  const bool userOk = RegWriteText(Hive::CurrentUser, subKey, key, value);
  const bool machineOk = RegWriteText(Hive::LocalMachine, subKey, key, value);
  if (userOk && !machineOk)
    RegWriteText(Hive::CurrentUser, kPrefix + QStringLiteral("ERROR_WRITING_TO_LOCAL_MACHINE"),
                 QStringLiteral("ErrorMsg"), LastRegistryError);
  sendServerWrites(section, key, value);
}

void WriteServerSetting(const QString& section, const QString& key, const QString& value) {
  sendServerWrites(section, key, value);
}

namespace davu {

void SettingReplyReceived(std::string_view payload) {
  PendingSettingValue = FromWire(davu::proto::ExtractField(payload, 1, ':'));
  SettingReplyArrived = true;
}

}  // namespace davu

// The working directory names the installation: two installations in
// different folders keep separate local settings.
void InitLocalPaths() {
  std::vector<char> buf(4096);
  while (!::getcwd(buf.data(), buf.size())) {
    if (errno != ERANGE || buf.size() > (1u << 20)) throw std::runtime_error("Unable to get Current path");
    buf.resize(buf.size() * 2);
  }
  QString cwd = QFile::decodeName(buf.data());
  StartFolder = cwd.endsWith(u'/') ? cwd : cwd + u'/';

  QString root = StartFolder.chopped(1);
  root.replace(u' ', u'_').replace(u'/', u'_').replace(u'\\', u'_').remove(u':');
  SettingsRootName = root + u'\\';

  LocalDataFolder.clear();
  const QString folder = davu::platform::UserDataFolder() + QStringLiteral("/Solvarn/DAVU/");
  if (QDir().mkpath(folder)) LocalDataFolder = folder;
}

namespace davu {

bool SettingReadWaiting() { return settingWaitDepth > 0; }

void UseSettingReplyTimer(QTimer* timer) { handedInReplyTimer = timer; }

}  // namespace davu
