#include "common/NamedServers.h"

#include "common/SettingsStore.h"

namespace davu {

namespace {

const QString kList = QStringLiteral("ServerList");
const QString kServerSettings = QStringLiteral("ServerSettings");

// Far more than anyone keeps; a damaged count cannot make the start read
// thousands of keys.
constexpr int kMaxServers = 200;

QString key(const char* name, int i) { return QLatin1String(name) + QString::number(i); }

QString userValue(const QString& section, const QString& k) {
  return ReadUserSetting(section, k).trimmed();
}

// The single server that was kept before the list, or nothing.
QList<NamedServer> oldSingleServer() {
  NamedServer s;
  s.host = ReadLocalSetting(kServerSettings, QStringLiteral("ServerName")).trimmed();
  if (s.host.isEmpty() || s.host == QLatin1String("ERROR")) return {};
  s.name = s.host.left(kMaxServerNameLength);
  s.port = ReadLocalSetting(kServerSettings, QStringLiteral("ServerPort")).trimmed();
  s.updateHost = ReadLocalSetting(kServerSettings, QStringLiteral("UpdateServerName")).trimmed();
  s.updatePort = ReadLocalSetting(kServerSettings, QStringLiteral("UpdateServerPort")).trimmed();
  return {s};
}

}  // namespace

NamedServerList NamedServerList::Load() {
  NamedServerList list;
  bool ok = false;
  const int count = qBound(0, userValue(kList, QStringLiteral("Count")).toInt(&ok), kMaxServers);
  for (int i = 1; ok && i <= count; ++i) {
    NamedServer s;
    s.name = userValue(kList, key("Name", i));
    // A damaged entry without a name, or a second one of a name, is left out.
    if (s.name.isEmpty() || list.indexOf(s.name) >= 0) continue;
    s.host = userValue(kList, key("ServerName", i));
    s.port = userValue(kList, key("ServerPort", i));
    s.updateHost = userValue(kList, key("UpdateName", i));
    s.updatePort = userValue(kList, key("UpdatePort", i));
    list.servers.append(s);
  }
  if (list.servers.isEmpty()) {
    list.servers = oldSingleServer();
    list.current = list.servers.isEmpty() ? -1 : 0;
    list.madeFromOldSettings = !list.servers.isEmpty();
    return list;
  }
  list.current = qMax(0, list.indexOf(userValue(kList, QStringLiteral("Current"))));
  // What the connection reads wins: a server changed in "ServerSettings"
  // (by an older version of this program, or by hand) is the current one's.
  NamedServer& cur = list.servers[list.current];
  const QString host = ReadLocalSetting(kServerSettings, QStringLiteral("ServerName")).trimmed();
  if (!host.isEmpty() && host != QLatin1String("ERROR") && host != cur.host) {
    cur.host = host;
    cur.port = ReadLocalSetting(kServerSettings, QStringLiteral("ServerPort")).trimmed();
  } else if (host == cur.host) {
    const QString port = ReadLocalSetting(kServerSettings, QStringLiteral("ServerPort")).trimmed();
    if (!port.isEmpty()) cur.port = port;
  }
  return list;
}

bool NamedServerList::Save() const {
  bool ok = true;
  const int oldCount = qBound(0, userValue(kList, QStringLiteral("Count")).toInt(), kMaxServers);
  for (int i = 1; i <= servers.size(); ++i) {
    const NamedServer& s = servers[i - 1];
    ok &= WriteUserSetting(kList, key("Name", i), s.name);
    ok &= WriteUserSetting(kList, key("ServerName", i), s.host);
    ok &= WriteUserSetting(kList, key("ServerPort", i), s.port);
    ok &= WriteUserSetting(kList, key("UpdateName", i), s.updateHost);
    ok &= WriteUserSetting(kList, key("UpdatePort", i), s.updatePort);
  }
  // Entries past the end are blanked: a blank value counts as missing.
  for (int i = servers.size() + 1; i <= oldCount; ++i)
    for (const char* k : {"Name", "ServerName", "ServerPort", "UpdateName", "UpdatePort"})
      ok &= WriteUserSetting(kList, key(k, i), QString());
  ok &= WriteUserSetting(kList, QStringLiteral("Count"), QString::number(servers.size()));
  const NamedServer* cur = currentServer();
  ok &= WriteUserSetting(kList, QStringLiteral("Current"), cur ? cur->name : QString());
  if (cur) {
    ok &= WriteUserSetting(kServerSettings, QStringLiteral("ServerName"), cur->host);
    ok &= WriteUserSetting(kServerSettings, QStringLiteral("ServerPort"), cur->port);
  }
  return ok;
}

const NamedServer* NamedServerList::currentServer() const {
  return current >= 0 && current < servers.size() ? &servers[current] : nullptr;
}

int NamedServerList::indexOf(const QString& name) const {
  for (int i = 0; i < servers.size(); ++i)
    if (servers[i].name.compare(name.trimmed(), Qt::CaseInsensitive) == 0) return i;
  return -1;
}

QString NamedServerList::unusedName(const QString& base) const {
  if (indexOf(base) < 0) return base;
  for (int n = 2;; ++n) {
    const QString name = base + u' ' + QString::number(n);
    if (indexOf(name) < 0) return name;
  }
}

}  // namespace davu
