// The server tab of the register window: load, save and the theme list.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "Controls.h"
#include "FakePlatform.h"
#include "FakeServer.h"
#include "RegisterTestEnv.h"
#include "common/ClientSocket.h"
#include "common/SettingsStore.h"
#include "common/SharedState.h"
#include "common/WireText.h"
#include "protocol/Catalogue.h"
#include "register/Themes.h"
#include "register/USystReg.h"

using namespace davu;

using davu::test::Control;

namespace {

// Lets a test see the state of the program at the moment of the pause.
struct ProbeSleeper final : davu::platform::Sleeper {
  std::function<void(int)> onSleep;
  void blockingSleep(int ms) override { onSleep(ms); }
};

const std::string kMachine = "RECEPTION01";

std::string Writes(const char* section, const char* key, const std::string& value) {
  return davu::proto::SetIniTextForMachine(kMachine, section, key, value) +
         davu::proto::SetIniTextGlobal(section, key, value);
}

}  // namespace

class ServerTabTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { c_ = std::make_unique<RegisterCase>(); }
  void cleanup() {
    ApplyTheme(PlainThemeName());
    c_.reset();
  }

  void load_data() {
    QTest::addColumn<QString>("name");  // null: not stored
    QTest::addColumn<QString>("port");
    QTest::addColumn<QStringList>("fields");  // name, port, update name, update port
    QTest::newRow("first start") << QString() << QString()
                                 << QStringList{"ERROR", "0", "ERROR", "0"};
    QTest::newRow("stored") << "srv.example" << "4000"
                            << QStringList{"srv.example", "4000", "srv.example", "4000"};
    QTest::newRow("port not a number") << "10.0.0.5" << "abc"
                                       << QStringList{"10.0.0.5", "0", "10.0.0.5", "0"};
    QTest::newRow("port without bounds") << "srv" << "70000"
                                         << QStringList{"srv", "70000", "srv", "70000"};
  }
  void load() {
    QFETCH(QString, name);
    QFETCH(QString, port);
    QFETCH(QStringList, fields);
    if (!name.isNull()) WriteSetting("ServerSettings", "ServerName", name);
    if (!port.isNull()) WriteSetting("ServerSettings", "ServerPort", port);
    ServerVersion = "1.10.6";
    UpdateServerVersion = "1.0.2";

    TfrmSystreg w;
    w.SetTabs(Control<ServerSettingsTab>(&w, "tsServersettings"));
    QCOMPARE((QStringList{Control<QLineEdit>(Control<ServerSettingsTab>(&w, "tsServersettings"), "edServername")->text(), Control<QLineEdit>(Control<ServerSettingsTab>(&w, "tsServersettings"), "edServerport")->text(), Control<QLineEdit>(Control<ServerSettingsTab>(&w, "tsServersettings"), "edUpdateServername")->text(),
                          Control<QLineEdit>(Control<ServerSettingsTab>(&w, "tsServersettings"), "edUpdateServerport")->text()}),
             fields);
    QCOMPARE(Control<QLineEdit>(Control<ServerSettingsTab>(&w, "tsServersettings"), "edServerver")->text(), QStringLiteral("1.10.6"));
    QCOMPARE(Control<QLineEdit>(Control<ServerSettingsTab>(&w, "tsServersettings"), "edUpdateServerver")->text(), QStringLiteral("1.0.2"));
    QVERIFY(Control<QLineEdit>(Control<ServerSettingsTab>(&w, "tsServersettings"), "edServerver")->isReadOnly());
    QVERIFY(Control<QLineEdit>(Control<ServerSettingsTab>(&w, "tsServersettings"), "edUpdateServerver")->isReadOnly());
    QVERIFY(!Control<QLineEdit>(Control<ServerSettingsTab>(&w, "tsServersettings"), "edServername")->placeholderText().isEmpty());
  }

  // While connected the update server's settings come from the server.
  void loadAsksServerForUpdateServer() {
    WriteSetting("ServerSettings", "ServerName", "srv.example");
    WriteSetting("ServerSettings", "ServerPort", "4000");
    // Copies in the local files do not count for the update server.
    WriteSetting("ServerSettings", "UpdateServerName", "local.example");
    WriteSetting("ServerSettings", "UpdateServerPort", "1");
    QVERIFY(c_->connect());
    ServerSocket = c_->socket.get();
    c_->server->onReceive = [this](const std::string& chunk) {
      std::string value;
      if (chunk.find("UpdateServerName") != std::string::npos) value = "upd.example";
      if (chunk.find("UpdateServerPort") != std::string::npos) value = "8081";
      c_->server->send("\xA4RETINITEXT:" + value + ":RETINITEXT\xA4");
    };
    // The dispatcher's settings branch, reduced to what this test needs.
    connect(c_->socket.get(), &ClientSocket::readReady, this, [this] {
      const std::string bytes = c_->socket->takeBytes();
      const auto end = bytes.find(":RETINITEXT\xA4");
      if (end != std::string::npos) SettingReplyReceived(std::string_view(bytes).substr(0, end + 1));
    });

    TfrmSystreg w;
    w.ClientSocket1 = c_->socket.get();
    w.SetTabs(Control<ServerSettingsTab>(&w, "tsServersettings"));
    QCOMPARE(Control<QLineEdit>(Control<ServerSettingsTab>(&w, "tsServersettings"), "edUpdateServername")->text(), QStringLiteral("upd.example"));
    QCOMPARE(Control<QLineEdit>(Control<ServerSettingsTab>(&w, "tsServersettings"), "edUpdateServerport")->text(), QStringLiteral("8081"));
    QVERIFY(c_->server->received().find(davu::proto::GetIniTextForMachine(
                kMachine, "ServerSettings", "UpdateServerName")) != std::string::npos);
  }

  // Opened while disconnected, the update server's fields show the server's
  // own name and port, which are not the stored ones: a connection that comes
  // up reloads the fields nobody typed in, a typed one stays, and "Spara"
  // writes only what was loaded or typed.
  void updateServerFieldsAfterADisconnectedOpen_data() {
    QTest::addColumn<bool>("typeName");
    QTest::addColumn<bool>("connectBeforeSave");
    QTest::addColumn<std::string>("updateWrites");
    QTest::newRow("untouched, saved while disconnected") << false << false << std::string();
    QTest::newRow("untouched, connection came") << false << true
                                                << Writes("ServerSettings", "UpdateServerName", "upd.example") +
                                                       Writes("ServerSettings", "UpdateServerPort", "8081");
    QTest::newRow("name typed, connection came") << true << true
                                                 << Writes("ServerSettings", "UpdateServerName", "typed.example") +
                                                        Writes("ServerSettings", "UpdateServerPort", "8081");
  }
  void updateServerFieldsAfterADisconnectedOpen() {
    QFETCH(bool, typeName);
    QFETCH(bool, connectBeforeSave);
    QFETCH(std::string, updateWrites);
    WriteSetting("ServerSettings", "ServerName", "srv.example");
    WriteSetting("ServerSettings", "ServerPort", "4000");
    TfrmSystreg w;
    w.ClientSocket1 = c_->socket.get();
    w.SetTabs(Control<ServerSettingsTab>(&w, "tsServersettings"));
    ServerSettingsTab* tab = Control<ServerSettingsTab>(&w, "tsServersettings");
    QCOMPARE(Control<QLineEdit>(tab, "edUpdateServername")->text(), QStringLiteral("srv.example"));
    if (typeName) Control<QLineEdit>(tab, "edUpdateServername")->setText("typed.example");

    QVERIFY(c_->connect());
    ServerSocket = c_->socket.get();
    c_->server->onReceive = [this](const std::string& chunk) {
      std::string value;
      if (chunk.find("GETINITEXT") == std::string::npos) return;
      if (chunk.find("UpdateServerName") != std::string::npos) value = "upd.example";
      if (chunk.find("UpdateServerPort") != std::string::npos) value = "8081";
      c_->server->send("\xA4RETINITEXT:" + value + ":RETINITEXT\xA4");
    };
    connect(c_->socket.get(), &ClientSocket::readReady, this, [this] {
      const std::string bytes = c_->socket->takeBytes();
      const auto end = bytes.find(":RETINITEXT\xA4");
      if (end != std::string::npos) SettingReplyReceived(std::string_view(bytes).substr(0, end + 1));
    });
    if (connectBeforeSave) {
      tab->ConnectionReady();
      QTRY_COMPARE(Control<QLineEdit>(tab, "edUpdateServerport")->text(), QStringLiteral("8081"));
      QCOMPARE(Control<QLineEdit>(tab, "edUpdateServername")->text(),
               typeName ? QStringLiteral("typed.example") : QStringLiteral("upd.example"));
    }
    c_->server->onReceive = nullptr;
    c_->server->clearReceived();
    Control<QPushButton>(&w, "btnSave")->click();
    const std::string own = Writes("ServerSettings", "ServerName", "srv.example") +
                            Writes("ServerSettings", "ServerPort", "4000");
    QVERIFY(c_->server->waitForReceived(own + updateWrites));
    QCOMPARE(c_->server->received(), own + updateWrites);
  }

  void save_data() {
    QTest::addColumn<bool>("connected");
    QTest::addColumn<bool>("chooseTheme");
    QTest::newRow("connected, theme chosen") << true << true;
    QTest::newRow("connected, theme unchanged") << true << false;
    QTest::newRow("not connected, theme chosen") << false << true;
    QTest::newRow("not connected, theme unchanged") << false << false;
  }
  void save() {
    QFETCH(bool, connected);
    QFETCH(bool, chooseTheme);
    WriteSetting("ServerSettings", "ServerName", "old.example");
    WriteSetting("ServerSettings", "ServerPort", "4000");
    ServerVersion = "1.10.6";
    UpdateServerVersion = "1.0.2";
    WasConnected = true;
    UpdateCheckPending = false;

    TfrmSystreg w;
    w.ClientSocket1 = c_->socket.get();
    w.SetTabs(Control<ServerSettingsTab>(&w, "tsServersettings"));
    w.show();
    if (connected) {
      QVERIFY(c_->connect());
      ServerSocket = c_->socket.get();
    }
    Control<QLineEdit>(Control<ServerSettingsTab>(&w, "tsServersettings"), "edServername")->setText("new.example");
    Control<QLineEdit>(Control<ServerSettingsTab>(&w, "tsServersettings"), "edServerport")->clear();
    QTest::keyClicks(Control<QLineEdit>(Control<ServerSettingsTab>(&w, "tsServersettings"), "edServerport"), "65535");
    Control<QLineEdit>(Control<ServerSettingsTab>(&w, "tsServersettings"), "edUpdateServername")->setText("upd.example");
    Control<QLineEdit>(Control<ServerSettingsTab>(&w, "tsServersettings"), "edUpdateServerport")->clear();
    QTest::keyClicks(Control<QLineEdit>(Control<ServerSettingsTab>(&w, "tsServersettings"), "edUpdateServerport"), "80a81");  // the letter is refused
    if (chooseTheme) QTest::keyClick(Control<QComboBox>(Control<ServerSettingsTab>(&w, "tsServersettings"), "ComboBox1"), Qt::Key_Down);
    QCOMPARE(Control<ServerSettingsTab>(&w, "tsServersettings")->FThemeChanged, chooseTheme);
    const QString theme = Control<QComboBox>(Control<ServerSettingsTab>(&w, "tsServersettings"), "ComboBox1")->currentText();

    QStringList steps;
    auto* sleeper = new ProbeSleeper;
    sleeper->onSleep = [&](int ms) {
      steps << QStringLiteral("sleep %1").arg(ms);
      // The writes are out, the connection is still as it was.
      QCOMPARE(c_->socket->active(), connected);
      QCOMPARE(ServerVersion, QStringLiteral("1.10.6"));
      QVERIFY(WasConnected);
      QCOMPARE(int(c_->platform->dialogs->balloons.size()), chooseTheme ? 1 : 0);
    };
    davu::platform::install(std::unique_ptr<davu::platform::Sleeper>(sleeper));
    QObject::connect(&w, &TfrmSystreg::reconnectRequested, [&] {
      steps << QStringLiteral("connect");
      QVERIFY(!c_->socket->active());
      QVERIFY(ServerVersion.isEmpty());
      QVERIFY(UpdateServerVersion.isEmpty());
      QVERIFY(!WasConnected);
      QVERIFY(UpdateCheckPending);
      // The tab was applied again and shows what the new attempt will use.
      QCOMPARE(w.activePage(), Control<ServerSettingsTab>(&w, "tsServersettings"));
      QVERIFY(Control<QLineEdit>(Control<ServerSettingsTab>(&w, "tsServersettings"), "edServerver")->text().isEmpty());
      QCOMPARE(ReadSetting("ServerSettings", "ServerName"), QStringLiteral("new.example"));
      QCOMPARE(ReadSetting("ServerSettings", "ServerPort"), QStringLiteral("65535"));
    });
    c_->server->clearReceived();
    Control<QPushButton>(&w, "btnSave")->click();

    QCOMPARE(steps, (QStringList{"sleep 1000", "connect"}));
    QVERIFY(w.FClickedSpara);
    QCOMPARE(Control<QLineEdit>(Control<ServerSettingsTab>(&w, "tsServersettings"), "edServername")->text(), QStringLiteral("new.example"));
    QCOMPARE(Control<QLineEdit>(Control<ServerSettingsTab>(&w, "tsServersettings"), "edServerport")->text(), QStringLiteral("65535"));

    if (chooseTheme) {
      QCOMPARE(c_->platform->dialogs->balloons.size(), std::size_t(1));
      QVERIFY(c_->platform->dialogs->balloons[0].text.startsWith(
          QStringLiteral("Du måste starta om programmet för att temat skall ändras.")));
    } else {
      QVERIFY(c_->platform->dialogs->balloons.empty());
    }

    std::string expected;
    if (connected) {
      if (chooseTheme) expected += Writes("KlientSettings", "Style", ToWire(theme));
      expected += Writes("ServerSettings", "ServerName", "new.example") +
                  Writes("ServerSettings", "ServerPort", "65535") +
                  Writes("ServerSettings", "UpdateServerName", "upd.example") +
                  Writes("ServerSettings", "UpdateServerPort", "8081");
      QVERIFY(c_->server->waitForReceived(expected));
    }
    QCOMPARE(c_->server->received(), expected);

    // Both local files hold the server's name and port (and the theme);
    // the update server's settings live on the server only.
    for (const QString& file : {c_->settings.userFile(), c_->settings.machineFile()}) {
      const QByteArray text = SettingsSandbox::contents(file);
      QVERIFY(text.contains("ServerName=new.example"));
      QVERIFY(text.contains("ServerPort=65535"));
      QCOMPARE(text.contains(("Style=" + theme).toUtf8()), chooseTheme);
      QVERIFY(!text.contains("UpdateServer"));
    }
  }

  // Nothing is saved until the server can be named and reached on a port:
  // the refused field gets a balloon and the focus.
  void refusesWhatCannotBeConnectedTo_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("updateName");
    QTest::addColumn<QString>("updatePort");
    QTest::addColumn<QString>("field");    // empty: accepted
    QTest::addColumn<QString>("message");  // accepted: the update name and port as stored
    const QString noName = "Servernamn får ej vara tomt!";
    const QString badPort = "Serverporten måste vara ett tal mellan 1 och 65535!";
    const QString badUpdatePort = "Uppdateringsserverns port måste vara ett tal mellan 1 och 65535!";
    QTest::newRow("empty name") << "" << "4000" << "" << "" << "edServername" << noName;
    QTest::newRow("blank name") << "   " << "4000" << "" << "" << "edServername" << noName;
    QTest::newRow("name never stored") << "ERROR" << "4000" << "" << ""
                                       << "edServername" << "Ange serverns namn eller IP-adress!";
    QTest::newRow("empty port") << "srv" << "" << "" << "" << "edServerport" << badPort;
    QTest::newRow("port 0") << "srv" << "0" << "" << "" << "edServerport" << badPort;
    QTest::newRow("port 65536") << "srv" << "65536" << "" << "" << "edServerport" << badPort;
    QTest::newRow("port 70000") << "srv" << "70000" << "" << "" << "edServerport" << badPort;
    QTest::newRow("update port 99999") << "srv" << "4000" << "" << "99999" << "edUpdateServerport" << badUpdatePort;
    QTest::newRow("lowest port, no update server") << "srv" << "1" << "" << "" << "" << ":";
    QTest::newRow("first start's update fields") << "srv" << "4000" << "ERROR" << "0" << "" << ":";
    QTest::newRow("highest ports") << " srv " << "65535" << " upd " << "65535" << "" << "upd:65535";
  }
  void refusesWhatCannotBeConnectedTo() {
    QFETCH(QString, name);
    QFETCH(QString, port);
    QFETCH(QString, updateName);
    QFETCH(QString, updatePort);
    QFETCH(QString, field);
    QFETCH(QString, message);
    WriteSetting("ServerSettings", "ServerName", "old.example");
    WriteSetting("ServerSettings", "ServerPort", "4000");
    const QByteArray before = SettingsSandbox::contents(c_->settings.userFile());
    QVERIFY(c_->connect());
    WasConnected = true;
    int connects = 0;
    TfrmSystreg w;
    QObject::connect(&w, &TfrmSystreg::reconnectRequested, [&] { ++connects; });
    w.ClientSocket1 = c_->socket.get();
    w.SetTabs(Control<ServerSettingsTab>(&w, "tsServersettings"));
    ServerSocket = c_->socket.get();  // after loading: the fake server answers no settings reads
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    ServerSettingsTab* tab = Control<ServerSettingsTab>(&w, "tsServersettings");
    Control<QLineEdit>(tab, "edServername")->setText(name);
    Control<QLineEdit>(tab, "edServerport")->setText(port);
    Control<QLineEdit>(tab, "edUpdateServername")->setText(updateName);
    Control<QLineEdit>(tab, "edUpdateServerport")->setText(updatePort);
    QTest::keyClick(Control<QComboBox>(tab, "ComboBox1"), Qt::Key_Down);  // a theme change is held back too
    c_->server->clearReceived();

    if (field.isEmpty()) {
      Control<QPushButton>(&w, "btnSave")->click();
      QCOMPARE(connects, 1);
      QCOMPARE(ReadSetting("ServerSettings", "ServerName"), name.trimmed());
      // "The same as the server" is stored empty: the update check then
      // falls back to the server's name and port.
      QVERIFY(c_->server->waitForReceived(
          Writes("ServerSettings", "ServerName", ToWire(name.trimmed())) +
          Writes("ServerSettings", "ServerPort", ToWire(port)) +
          Writes("ServerSettings", "UpdateServerName", ToWire(message.section(':', 0, 0))) +
          Writes("ServerSettings", "UpdateServerPort", ToWire(message.section(':', 1)))));
      return;
    }
    const std::string sent = c_->sent([&] { Control<QPushButton>(&w, "btnSave")->click(); });
    auto* refused = tab->findChild<QLineEdit*>(field);
    QVERIFY(refused);
    QCOMPARE(c_->platform->dialogs->balloons.size(), std::size_t(1));
    const Balloon& b = c_->platform->dialogs->balloons[0];
    QCOMPARE(b.text, message);
    QCOMPARE(b.pos, refused->mapToGlobal(QPoint(refused->width() / 2, refused->height())));
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(refused));
    // Nothing written anywhere, nothing sent, no new connection, no pause.
    QCOMPARE(sent, std::string());
    QCOMPARE(SettingsSandbox::contents(c_->settings.userFile()), before);
    QCOMPARE(connects, 0);
    QVERIFY(c_->socket->active());
    QVERIFY(WasConnected);
    QVERIFY(c_->platform->sleeper->sleeps.empty());
    QCOMPARE(Control<QLineEdit>(tab, "edServername")->text(), name);  // what was typed stays for mending
  }

  // The hints inside the empty name fields are read whole, in every look.
  void nameHintsAreNotCut() {
    for (const QString& theme : ThemeNames()) {
      QVERIFY(ApplyTheme(theme));
      TfrmSystreg w;
      w.SetTabs(Control<ServerSettingsTab>(&w, "tsServersettings"));
      w.show();
      QVERIFY(QTest::qWaitForWindowExposed(&w));
      for (QLineEdit* field : {Control<QLineEdit>(Control<ServerSettingsTab>(&w, "tsServersettings"), "edServername"), Control<QLineEdit>(Control<ServerSettingsTab>(&w, "tsServersettings"), "edUpdateServername")}) {
        QVERIFY(field->text().isEmpty() || field->text() == "ERROR");
        const int needed = field->fontMetrics().horizontalAdvance(field->placeholderText());
        // A line edit keeps a few pixels of frame and margin on each side.
        QVERIFY2(field->width() - 12 >= needed,
                 qPrintable(QString("%1 in %2: %3 px for a hint of %4 px")
                                .arg(field->objectName(), theme)
                                .arg(field->width())
                                .arg(needed)));
      }
    }
  }

  void themeList() {
    QVERIFY(ApplyTheme(QStringLiteral("Mörk")));
    TfrmSystreg w;
    QStringList items;
    for (int i = 0; i < Control<QComboBox>(Control<ServerSettingsTab>(&w, "tsServersettings"), "ComboBox1")->count(); ++i) items << Control<QComboBox>(Control<ServerSettingsTab>(&w, "tsServersettings"), "ComboBox1")->itemText(i);
    QCOMPARE(items, ThemeNames());
    QCOMPARE(Control<QComboBox>(Control<ServerSettingsTab>(&w, "tsServersettings"), "ComboBox1")->currentText(), QStringLiteral("Mörk"));
    QVERIFY(!Control<ServerSettingsTab>(&w, "tsServersettings")->FThemeChanged);
    // Loading the tab leaves the choice alone.
    w.SetTabs(Control<ServerSettingsTab>(&w, "tsServersettings"));
    QVERIFY(!Control<ServerSettingsTab>(&w, "tsServersettings")->FThemeChanged);
    QTest::keyClick(Control<QComboBox>(Control<ServerSettingsTab>(&w, "tsServersettings"), "ComboBox1"), Qt::Key_Up);
    QVERIFY(Control<ServerSettingsTab>(&w, "tsServersettings")->FThemeChanged);
  }

 private:
  std::unique_ptr<RegisterCase> c_;
};

QTEST_MAIN(ServerTabTest)
#include "systregserver_test.moc"
