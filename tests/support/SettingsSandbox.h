#pragma once
// The local settings of one in-process test case. QStandardPaths' test mode
// gives the per-user folders (~/.qttest/config and ~/.qttest/share; CTest
// gives every test a home of its own, so tests running side by side do not
// meet there), a temporary folder the per-machine file. Ours are emptied
// when the sandbox is made and again when it goes, so no case sees what
// another stored. A child process does not inherit test mode: a test that
// starts davu-admin hands it XDG_CONFIG_HOME and XDG_DATA_HOME instead.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>

#include "common/platform/SettingsHive.h"

class SettingsSandbox {
 public:
  SettingsSandbox() {
    QStandardPaths::setTestModeEnabled(true);
    qputenv("DAVU_MACHINE_CONFIG_DIR", QFile::encodeName(machineFolder()));
    clear();
  }
  ~SettingsSandbox() { clear(); }
  SettingsSandbox(const SettingsSandbox&) = delete;
  SettingsSandbox& operator=(const SettingsSandbox&) = delete;

  void clear() {
    for (const QString& folder : {davu::platform::UserConfigFolder(), davu::platform::UserDataFolder()})
      remove(folder + QStringLiteral("/Solvarn"));
    remove(machineFolder());
  }
  bool isValid() const { return dir_.isValid(); }
  QString userFile() const { return davu::platform::HiveFilePath(davu::platform::Hive::CurrentUser); }
  QString machineFile() const { return machineFolder() + QStringLiteral("/registry.ini"); }
  QString machineFolder() const { return dir_.filePath(QStringLiteral("machine")); }
  // What InitLocalPaths makes LocalDataFolder.
  static QString dataFolder() { return davu::platform::UserDataFolder() + QStringLiteral("/Solvarn/DAVU/"); }
  static QByteArray contents(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
  }

 private:
  // A folder and all below it, or a file a test put in a folder's place.
  static void remove(const QString& path) {
    if (QFileInfo(path).isDir()) QDir(path).removeRecursively();
    else QFile::remove(path);
  }

  QTemporaryDir dir_;
};
