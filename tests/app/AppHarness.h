#pragma once
// One main window against the scripted in-process server, with the platform
// faked and the local settings in a fresh temporary folder. Every test case
// makes its own harness, so nothing is shared between cases.
#include <QColor>
#include <QDialog>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "FakePlatform.h"
#include "FakeServer.h"
#include "SettingsSandbox.h"
#include "app/UDavuAdminMain.h"

class QWidget;

using ConnectionState = TfrmDAVUAdmin::ConnectionState;

// The connection circle's colours, as AppHarness::circle() gives them.
inline const QString kRed = QColor(255, 0, 0).name();
inline const QString kGreen = QColor(0, 128, 0).name();

// "¤TAG:" + fields + ":TAG¤" in wire bytes (fields are Latin-1 test texts).
std::string Reply(const std::string& tag, const std::string& value);
// "¤GETSERVERVERSION:" + the client name of the fake host + ":2:GETSERVERVERSION¤"
std::string Introduction();

class AppHarness {
  // First, so the settings are in place before anything reads them.
  SettingsSandbox sandbox_;

 public:
  AppHarness();
  ~AppHarness();

  FakePlatform fake;
  FakeServer server;
  std::unique_ptr<TfrmDAVUAdmin> w;

  // What the main window's hooks saw.
  std::vector<int> exits;
  struct Modal {
    QDialog* dialog;
    QWidget* page;        // the register's active tab when it was shown
    bool registerMode;    // RegisterMode while it was shown
    int replyTarget;      // ReplyTarget while it was shown
  };
  std::vector<Modal> modals;
  // Run inside the modal showing, e.g. to press buttons of the dialog.
  std::function<void(QDialog*)> duringModal;

  // Settings the scripted server answers GETINITEXT with, keyed
  // "section:key"; it answers the computer-specific request. Missing keys
  // are answered with an empty value.
  std::map<std::string, std::string> serverSettings;
  bool answerSettings = true;

  // Creates the main window (its constructor works out the local settings root).
  TfrmDAVUAdmin& create();
  // A local (per-user) setting; only before a connection exists.
  void storeLocal(const QString& section, const QString& key, const QString& value);
  // Server name 127.0.0.1 and the fake server's port, and a local client name
  // choice so that the introduction needs no settings request.
  void storeServer();

  // First activation: connects and waits until the introduction arrived.
  bool connectAndIntroduce();
  // Sends the version reply and waits until the window is connected.
  bool acceptVersion(const std::string& version = "1.10.6");
  // Both of the above: the window connected to the scripted server.
  bool connectAndAccept();

  // The status bar: its text, the circle's colour, and the connection state
  // they are drawn from.
  QString status() const;
  QString circle() const;
  ConnectionState state() const;

 private:
  std::string pending_;  // received bytes not yet scanned for settings requests
  void answerSettingsRequests(const std::string& chunk);
};
