// The "SMS-inställningar" tab through the real register window: load, the
// reply at any time, save byte for byte, the typing limits and refusals.
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QtTest>

#include "Controls.h"
#include "FakePlatform.h"
#include "FakeServer.h"
#include "RegisterTestEnv.h"
#include "register/USystReg.h"

using namespace davu;

using davu::test::Control;

namespace {

const std::string kGet = "\xA4GETSMSSETTINGS:RECEPTION01_Admin:GETSMSSETTINGS\xA4";

std::string Post(const std::string& fields) {
  return "\xA4POSTSMSSETTINGS:" + fields + ":POSTSMSSETTINGS\xA4";
}

}  // namespace

class SmsTabTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    c_ = std::make_unique<RegisterWindowCase>();
    QVERIFY(c_->connected);
    tab_ = Control<SmsSettingsTab>(c_->w, "tsSMS");
    QCOMPARE(c_->sent([&] { c_->w->SetTabs(tab_); }), kGet);
  }
  void cleanup() {
    tab_ = nullptr;
    c_.reset();
  }

  QStringList Fields() const {
    return {Control<QLineEdit>(tab_, "edSMSusername")->text(), Control<QLineEdit>(tab_, "edSMSpassword")->text(), Control<QLineEdit>(tab_, "edSMSkundnr")->text()};
  }

  // Fields trimmed; missing ones empty; values longer than the limit or not
  // digits shown whole and sent back unchanged.
  void reply_data() {
    QTest::addColumn<std::string>("payload");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<std::string>("posted");
    QTest::newRow("three fields") << std::string("\xA4RETSMSSETTINGS: kalle :hemligt:12345:")
                                  << QStringList{"kalle", "hemligt", "12345"}
                                  << Post("kalle:hemligt:12345");
    QTest::newRow("one field") << std::string("\xA4RETSMSSETTINGS:kalle:")
                               << QStringList{"kalle", "", ""} << Post("kalle::");
    QTest::newRow("long and not digits")
        << std::string("\xA4RETSMSSETTINGS:anv\xE4ndarnamnet:l\xF6senordet12:KN-0012345678:")
        << QStringList{"användarnamnet", "lösenordet12", "KN-0012345678"}
        << Post("anv\xE4ndarnamnet:l\xF6senordet12:KN-0012345678");
  }
  void reply() {
    QFETCH(std::string, payload);
    QFETCH(QStringList, fields);
    QFETCH(std::string, posted);
    // Arrives while another tab is active: still fills this tab.
    c_->w->SetTabs(Control<ResourcesTab>(c_->w, "tsResurser"));
    c_->w->HandleRetSmsSettings(payload);
    QCOMPARE(Fields(), fields);
    Control<QTabWidget>(c_->w, "PageControl1")->setCurrentWidget(tab_);
    // The tab asked again on becoming active: "Spara" waits for that answer,
    // then sends the fields even when none was changed; no reload follows.
    QVERIFY(!Control<QPushButton>(c_->w, "btnSave")->isEnabled());
    c_->w->HandleRetSmsSettings(payload);
    QCOMPARE(c_->sent([&] { Control<QPushButton>(c_->w, "btnSave")->click(); }), posted);
    QVERIFY(c_->platform->dialogs->balloons.empty());
  }

  void cancelAsksAgain() {
    c_->w->HandleRetSmsSettings("\xA4RETSMSSETTINGS:a:b:1:");
    Control<QLineEdit>(tab_, "edSMSusername")->setText("x");
    QCOMPARE(c_->sent([&] { Control<QPushButton>(c_->w, "btnCancel")->click(); }), kGet);
    c_->w->HandleRetSmsSettings("\xA4RETSMSSETTINGS:a:b:1:");
    QCOMPARE(Fields(), (QStringList{"a", "b", "1"}));
  }

  // At most 10 characters typed, digits only for the customer number; a
  // longer value from the server can be shortened but not lengthened.
  void typingLimits() {
    QTest::keyClicks(Control<QLineEdit>(tab_, "edSMSusername"), "abcdefghijkl");
    QCOMPARE(Control<QLineEdit>(tab_, "edSMSusername")->text(), QStringLiteral("abcdefghij"));
    QTest::keyClicks(Control<QLineEdit>(tab_, "edSMSkundnr"), "12a3-4");
    QCOMPARE(Control<QLineEdit>(tab_, "edSMSkundnr")->text(), QStringLiteral("1234"));

    c_->w->HandleRetSmsSettings("\xA4RETSMSSETTINGS:abcdefghijklmn:x:KN12:");
    Control<QLineEdit>(tab_, "edSMSusername")->setFocus();
    Control<QLineEdit>(tab_, "edSMSusername")->end(false);
    QTest::keyClick(Control<QLineEdit>(tab_, "edSMSusername"), Qt::Key_Backspace);
    QCOMPARE(Control<QLineEdit>(tab_, "edSMSusername")->text(), QStringLiteral("abcdefghijklm"));
    QTest::keyClicks(Control<QLineEdit>(tab_, "edSMSusername"), "z");
    QCOMPARE(Control<QLineEdit>(tab_, "edSMSusername")->text(), QStringLiteral("abcdefghijklm"));
    Control<QLineEdit>(tab_, "edSMSkundnr")->end(false);
    QTest::keyClick(Control<QLineEdit>(tab_, "edSMSkundnr"), Qt::Key_Backspace);
    QTest::keyClicks(Control<QLineEdit>(tab_, "edSMSkundnr"), "7x");
    QCOMPARE(Control<QLineEdit>(tab_, "edSMSkundnr")->text(), QStringLiteral("KN17"));
  }

  void lookAndHint() {
    QCOMPARE(Control<QLineEdit>(tab_, "edSMSpassword")->echoMode(), QLineEdit::Password);
    QCOMPARE(Control<QLineEdit>(tab_, "edSMSpassword")->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr,
                                                     Control<QLineEdit>(tab_, "edSMSpassword")),
             int('*'));
    for (QLineEdit* e : {Control<QLineEdit>(tab_, "edSMSusername"), Control<QLineEdit>(tab_, "edSMSpassword"), Control<QLineEdit>(tab_, "edSMSkundnr")})
      QCOMPARE(e->toolTip(), QStringLiteral("Skriv det kundnummer som erhållits av Sol Varn"));
  }

  // A typed ':' (or '¤', or a character the code page lacks) is refused at
  // its field and nothing is sent; the server's own texts pass. A '~' breaks
  // nothing in this message and is sent.
  void typedSeparatorIsRefused_data() {
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::newRow("colon in user name") << 0 << "ka:le" << "Användarnamn får inte innehålla tecknet ':'";
    QTest::newRow("colon in password") << 1 << "a:b" << "Lösenord får inte innehålla tecknet ':'";
    QTest::newRow("outside the code page") << 1 << "p\u0141" << "Lösenord får inte innehålla tecknet '\u0141', som inte kan skickas till servern";
    QTest::newRow("tag marker in customer number")
        << 2 << "1\u00a4" << "DAVU-kundnr får inte innehålla tecknet '\u00a4'";
  }
  void typedSeparatorIsRefused() {
    QFETCH(int, field);
    QFETCH(QString, text);
    QFETCH(QString, message);
    c_->w->HandleRetSmsSettings("\xA4RETSMSSETTINGS:a~b:c:1:");
    QLineEdit* const fields[] = {Control<QLineEdit>(tab_, "edSMSusername"), Control<QLineEdit>(tab_, "edSMSpassword"), Control<QLineEdit>(tab_, "edSMSkundnr")};
    fields[field]->setText(text);
    QCOMPARE(c_->sent([&] { c_->w->btnSaveClick(); }), std::string());
    QCOMPARE(c_->platform->dialogs->balloons.size(), std::size_t(1));
    QCOMPARE(c_->platform->dialogs->balloons[0].text, message);
  }

  void typedTildeIsSent() {
    c_->w->HandleRetSmsSettings("\xA4RETSMSSETTINGS:a:c:1:");
    Control<QLineEdit>(tab_, "edSMSpassword")->setText("a~b");
    QCOMPARE(c_->sent([&] { Control<QPushButton>(c_->w, "btnSave")->click(); }), Post("a:a~b:1"));
    QVERIFY(c_->platform->dialogs->balloons.empty());
  }

 private:
  std::unique_ptr<RegisterWindowCase> c_;
  SmsSettingsTab* tab_ = nullptr;
};

QTEST_MAIN(SmsTabTest)
#include "systregsms_test.moc"
