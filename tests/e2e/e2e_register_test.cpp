// The register's "Resurser" and "SMS-inställningar" tabs against a real
// davu-server process: every change made in the program lands in the
// server's database, is shown again after a reload, and nothing else moves.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "ConnectedAdmin.h"
#include "Controls.h"
#include "DatabaseRows.h"
#include "FakePlatform.h"
#include "FakeServer.h"
#include "ServerProcess.h"
#include "SettingsSandbox.h"
#include "app/UDavuAdminMain.h"
#include "app/Widgets.h"
#include "common/SettingsStore.h"
#include "common/SharedState.h"
#include "register/UCheckedGroupBox.h"
#include "register/USystReg.h"
#include "register/UfrmAddEditResurs.h"
#include "widgets/Dialogs.h"

using namespace davu;

using davu::test::Control;

namespace {

constexpr const char* kCallablesSql =
    "SELECT LOPNR, NAME, FULLNAME, COLOUR, SENDSMS, MOBILNUMMER, ACTIVE, DELETED"
    " FROM CALLABLES ORDER BY LOPNR";
constexpr const char* kSmsSql = "SELECT USERNAME, PASSWORD, KUNDNR FROM SMSSETTINGS";

// A resource as the program holds it, in the database's row form.
QString RowOf(const TCallable& c) {
  return QStringList{QString::number(c.CallableLopnr), c.CallableName, c.CallableFriendlyname,
                     QString::number(c.CallableColour), c.CallableSendSMS ? "1" : "0",
                     c.CallableMobilnummer, c.Aktiv ? "1" : "0", "0"}
      .join(u'|');
}

QStringList ListRows(const ResourcesTab* tab) {
  QStringList out;
  for (const CallableItem& it : tab->lbResurserItems->items()) out << RowOf(*it.record);
  return out;
}

// Field `i` of a database row replaced.
QString WithField(const QString& row, int i, const QString& value) {
  QStringList f = row.split(u'|');
  f[i] = value;
  return f.join(u'|');
}

}  // namespace

class E2eRegisterTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    ResetSharedState();
    settings_ = std::make_unique<SettingsSandbox>();
  }

  void keepsResourcesAndSmsAccount() {
    QTemporaryDir serverDir;
    ServerProcess server(serverDir.path(), {"--demo", "--report-version", "1.10.6"});
    QVERIFY2(server.port() > 0, "davu-server did not start");
    const QString db = serverDir.path() + "/davu.sqlite";

    FakePlatform fakes;
    TfrmDAVUAdmin w;
    w.ShowModal = [](QDialog*) {};
    QVERIFY(ConnectMainWindow(w, server.port()));

    const QStringList before = Rows(db, kCallablesSql);
    const QStringList smsBefore = Rows(db, kSmsSql);
    QVERIFY(before.size() >= 3);
    w.btnSystemregisterClick();
    TfrmSystreg* reg = w.frmSystreg;
    ResourcesTab* tab = Control<ResourcesTab>(reg, "tsResurser");
    auto shows = [&](const QStringList& rows) {
      return WaitUntil([&] { return ListRows(tab) == rows; }, 10000);
    };
    QVERIFY2(shows(before), qPrintable(ListRows(tab).join('\n')));

    // The three resources to change, delete and untick, by their rows.
    const QString changed = before[0];
    QString unticked, deleted;
    for (const QString& row : before.mid(1)) {
      if (unticked.isEmpty() && row.section(u'|', 6, 6) == "1") unticked = row;
      else if (deleted.isEmpty()) deleted = row;
    }
    QVERIFY(!unticked.isEmpty() && !deleted.isEmpty());
    auto select = [&](const QString& row) {
      const int i = ListRows(tab).indexOf(row);
      Control<QListView>(tab, "lbResurser")->setCurrentIndex(Control<QListView>(tab, "lbResurser")->model()->index(i, 0));
      return i;
    };

    // Add: active, SMS to a number.
    tab->ShowModal = [](QDialog* d) {
      auto* dlg = static_cast<TfrmAddEditResurs*>(d);
      dlg->show();
      Control<QCheckBox>(dlg, "CheckBox1")->setChecked(true);
      Control<QLineEdit>(dlg, "Edit1")->setText("E2E");
      Control<QLineEdit>(dlg, "Edit2")->setText("Rum från testet");
      Control<TCheckedGroupBox>(dlg, "CheckedGroupBox1")->SetChecked(true);
      Control<QLineEdit>(dlg, "Edit3")->setText("0701112233");
      Control<QPushButton>(dlg, "BitBtn1")->click();
      return dlg->result();
    };
    Control<QPushButton>(tab, "btnAddResurs")->click();
    QVERIFY(WaitUntil([&] { return tab->lbResurserItems->rowCount() == before.size() + 1; }, 10000));

    // Change the first one's colour and name.
    fakes.dialogs->colourAnswers = {QColor(10, 20, 30)};
    tab->ShowModal = [](QDialog* d) {
      auto* dlg = static_cast<TfrmAddEditResurs*>(d);
      dlg->show();
      Control<QPushButton>(dlg, "BitBtn5")->click();
      Control<QLineEdit>(dlg, "Edit1")->setText("Ändrad");
      Control<QPushButton>(dlg, "BitBtn1")->click();
      return dlg->result();
    };
    select(changed);
    Control<QPushButton>(tab, "btnEditResurs")->click();
    const QString changedAfter =
        WithField(WithField(changed, 1, "Ändrad"), 3, QString::number(10 | 20 << 8 | 30 << 16));
    QVERIFY(WaitUntil([&] { return ListRows(tab).contains(changedAfter); }, 10000));

    // Untick another and "Spara".
    const int row = select(unticked);
    QAbstractItemModel* m = Control<QListView>(tab, "lbResurser")->model();
    m->setData(m->index(row, 0), Qt::Unchecked, Qt::CheckStateRole);
    Control<QPushButton>(reg, "btnSave")->click();
    const QString untickedAfter = WithField(unticked, 6, "0");
    QVERIFY(WaitUntil([&] { return ListRows(tab).contains(untickedAfter); }, 10000));

    // Delete a third.
    fakes.dialogs->answers = {mrYes};
    select(deleted);
    Control<QPushButton>(tab, "btnDeleteResurs")->click();
    QVERIFY(WaitUntil([&] { return !ListRows(tab).contains(deleted); }, 10000));
    QCOMPARE(fakes.dialogs->questions.size(), 1);

    // The SMS account.
    Control<QTabWidget>(reg, "PageControl1")->setCurrentWidget(Control<SmsSettingsTab>(reg, "tsSMS"));
    SmsSettingsTab* sms = Control<SmsSettingsTab>(reg, "tsSMS");
    QVERIFY(WaitUntil([&] { return !Control<QLineEdit>(sms, "edSMSusername")->text().isEmpty(); }, 10000));
    Control<QLineEdit>(sms, "edSMSusername")->setText("nyanv");
    Control<QLineEdit>(sms, "edSMSpassword")->setText("hemligt");
    Control<QLineEdit>(sms, "edSMSkundnr")->setText("4711");
    Control<QPushButton>(reg, "btnSave")->click();
    Control<QLineEdit>(sms, "edSMSusername")->clear();
    Control<QPushButton>(reg, "btnCancel")->click();
    QVERIFY(WaitUntil([&] { return Control<QLineEdit>(sms, "edSMSusername")->text() == "nyanv"; }, 10000));
    QCOMPARE(Control<QLineEdit>(sms, "edSMSpassword")->text(), QStringLiteral("hemligt"));
    QCOMPARE(Control<QLineEdit>(sms, "edSMSkundnr")->text(), QStringLiteral("4711"));

    // The database: exactly these changes and one new row.
    QStringList expected = before;
    expected.replace(expected.indexOf(changed), changedAfter);
    expected.replace(expected.indexOf(unticked), untickedAfter);
    expected.replace(expected.indexOf(deleted), WithField(deleted, 7, "1"));
    const QStringList after = Rows(db, kCallablesSql);
    QCOMPARE(after.size(), before.size() + 1);
    QCOMPARE(after.mid(0, before.size()), expected);
    const QString added = after.last();
    QCOMPARE(added.section(u'|', 1), QStringLiteral("E2E|Rum från testet|0|1|0701112233|1|0"));
    QCOMPARE(Rows(db, kSmsSql), QStringList{"nyanv|hemligt|4711"});
    QVERIFY(smsBefore != Rows(db, kSmsSql));

    // The program's own view after a reload: every resource not deleted.
    Control<QTabWidget>(reg, "PageControl1")->setCurrentWidget(tab);
    QStringList shown;
    for (const QString& r : after)
      if (r.endsWith("|0")) shown << r;
    QVERIFY2(shows(shown), qPrintable(ListRows(tab).join('\n')));
    w.close();
  }

 private:
  std::unique_ptr<SettingsSandbox> settings_;
};

QTEST_MAIN(E2eRegisterTest)
#include "e2e_register_test.moc"
