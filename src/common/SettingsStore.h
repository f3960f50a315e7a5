#pragma once
// Layered settings: the per-user file, the per-machine file, then the server
// (first under this computer's address, then globally). A blank value counts
// as missing; absence reads as "ERROR".
#include <QString>
#include <string_view>

#include "common/platform/SettingsHive.h"

class QTimer;

QString ReadSetting(const QString& section, const QString& key);
QString ReadSettingDef(const QString& section, const QString& key, const QString& def);
QString ReadServerSetting(const QString& section, const QString& key);
QString ReadServerSettingDef(const QString& section, const QString& key, const QString& def);
void WriteSetting(const QString& section, const QString& key, const QString& value);
void WriteServerSetting(const QString& section, const QString& key, const QString& value);
namespace davu {

// The per-user layer alone, for what belongs to this user's desktop only (a
// window's size): never the machine file, never the server.
QString ReadUserSetting(const QString& section, const QString& key);
bool WriteUserSetting(const QString& section, const QString& key, const QString& value);
// The two local layers in their order (per-user, then per-machine), never the
// server; empty when neither holds a value that is not blank.
QString ReadLocalSetting(const QString& section, const QString& key);

}  // namespace davu

// Start-up: StartFolder, SettingsRootName, LocalDataFolder.
void InitLocalPaths();

// The value of the last settings reply, and whether one arrived since the
// current request was sent.
extern QString PendingSettingValue;
extern bool SettingReplyArrived;
extern bool SettingReplyTimedOut;

// The system's error text of the last failed write to the per-machine file.
extern QString LastRegistryError;

// One value of a local layer; empty when the file, key or value cannot be
// read or the value is longer than 1024 characters.
QString RegReadText(davu::platform::Hive hive, const QString& subKey, const QString& name);
// Sets one value of a local layer; false when it could not be written or when
// the sub-key path, name or value is longer than 1024 characters.
bool RegWriteText(davu::platform::Hive hive, const QString& subKey, const QString& name,
                  const QString& value);
namespace davu {

inline constexpr int kMaxRegistryText = 1024;

// The dispatcher's RETINITEXT branch: `payload` is the cut reply in wire
// bytes ("¤RETINITEXT:" value ":").
void SettingReplyReceived(std::string_view payload);

// True while a read waits for the server's answer, at any depth of nesting.
// Code that runs inside that wait (a reply handler) must not start a server
// read of its own: its request would clear the shared reply flags and take
// the waiting read's answer.
bool SettingReadWaiting();

// The watchdog of a server read, 5000 ms: the common window hands in its
// SocketTimer while it lives (nullptr hands it back); without one the store
// uses a timer of its own.
void UseSettingReplyTimer(QTimer* timer);

}  // namespace davu
