#pragma once
// The two local settings layers, each a UTF-8 text file that stands in for a
// registry hive:
//
//   per user:     $XDG_CONFIG_HOME/Solvarn/registry.ini (default ~/.config)
//   per machine:  $DAVU_MACHINE_CONFIG_DIR/registry.ini (default /var/lib/Solvarn)
//
// File format (one hive per file):
//
//   [SOFTWARE\Solvarn\_opt_davu_admin\ServerSettings]
//   ServerName=server1
//   ; any other line is kept as it is when the file is rewritten
//
// A "[...]" line names a key (the registry sub-key path, matched without regard
// to letter case); the "name=value" lines below it are its string values (names
// also matched without regard to case; the first of two equal names counts).
// Blanks around a name and around a value are ignored; a value keeps its own
// outer blanks through escapes. Escapes in names and values:
//   \\  backslash      \n  line feed      \r  carriage return   \t  tab
//   \s  space          \=  "=" (names)    \xHH  any other character below 0x20
// Every write re-reads the file under an exclusive lock (registry.ini.lock next
// to it), then writes a temporary file and renames it over the old one, so a
// crash or a full disk leaves the old file intact and two programs writing
// different values lose neither.
#include <QByteArray>
#include <QString>
#include <optional>

namespace davu::platform {

enum class Hive { CurrentUser, LocalMachine };

// The per-user folders, from QStandardPaths: $XDG_CONFIG_HOME (or
// ~/.config) and $XDG_DATA_HOME (or ~/.local/share). A test that turns on
// QStandardPaths' test mode gets folders of its own instead.
QString UserConfigFolder();
QString UserDataFolder();

// The file that holds a hive; the environment is read on every call.
QString HiveFilePath(Hive hive);

// One registry-like file. Reads need no lock: a file is only ever replaced
// whole.
class SettingsHiveFile {
 public:
  // `shared`: folder and files are made writable by every local user, like
  // the open access list of the machine-wide registry keys.
  SettingsHiveFile(QString path, bool shared);

  // The stored value, or nothing when the file, key or value is missing.
  std::optional<QString> read(const QString& subKey, const QString& name) const;
  // Creates folder, file and key as needed. On failure returns false and puts
  // the system's error text into `error`.
  bool write(const QString& subKey, const QString& name, const QString& value,
             QString* error = nullptr) const;

  const QString& path() const { return path_; }

 private:
  QString path_;
  bool shared_;
};

SettingsHiveFile HiveFile(Hive hive);

// Escaping used by the file format (exposed for tests and fuzzing).
QByteArray EscapeHiveText(const QString& text, bool isName);
QString UnescapeHiveText(QByteArrayView text);
// Parses `fileBytes` and returns the value, as read() does.
std::optional<QString> FindHiveValue(const QByteArray& fileBytes, const QString& subKey,
                                     const QString& name);
// Returns the file contents with the value set; every other line kept.
QByteArray SetHiveValue(const QByteArray& fileBytes, const QString& subKey, const QString& name,
                        const QString& value);

}  // namespace davu::platform
