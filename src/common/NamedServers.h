#pragma once
// The named servers of an administrator who looks after several clinics,
// kept in the per-user settings. "ServerSettings" keeps holding the current
// server's name and port, so that everything that reads them (the
// connection, other programs) follows the choice. The update server's
// settings are read from the server connected to, the current one's; the
// list keeps a copy per server to show while another is connected.
//
// Per-user layout, section "ServerList": "Count", "Current" (a name), and
// for i = 1..Count the keys "Name<i>", "ServerName<i>", "ServerPort<i>",
// "UpdateName<i>", "UpdatePort<i>".
#include <QList>
#include <QString>

namespace davu {

struct NamedServer {
  QString name;        // what the administrator calls it; unique in the list
  QString host;        // the server's name or IPv4 address
  QString port;        // decimal
  QString updateHost;  // empty: the server's own
  QString updatePort;  // empty: the server's own
  bool operator==(const NamedServer&) const = default;
};

class NamedServerList {
 public:
  QList<NamedServer> servers;
  int current = -1;  // index into servers; -1 when there are none
  // Load found no list and made one of the old single server's settings.
  bool madeFromOldSettings = false;

  // Reads the list. A first start with only the old single server makes
  // that the first named server, named after the server's name; when
  // "ServerSettings" was changed behind the list's back, the current
  // server takes those values.
  static NamedServerList Load();
  // Writes the whole list and the current server's name and port into
  // "ServerSettings" (per-user). False when a write failed.
  bool Save() const;

  const NamedServer* currentServer() const;
  int indexOf(const QString& name) const;
  // `base`, or `base` + " 2", " 3", ... : a name no server has yet.
  QString unusedName(const QString& base) const;
};

// Longest name the list keeps; longer names are refused where typed.
inline constexpr int kMaxServerNameLength = 64;

}  // namespace davu
