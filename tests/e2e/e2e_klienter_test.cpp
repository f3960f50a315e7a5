// The "Klienter" tab of davu-admin against a real davu-server process: a
// client is added, given resources in an order, changed and deleted, and the
// server's database is read after every step.
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <memory>

#include "ConnectedAdmin.h"
#include "Controls.h"
#include "DatabaseRows.h"
#include "FakePlatform.h"
#include "ServerProcess.h"
#include "SettingsSandbox.h"
#include "app/UDavuAdminMain.h"
#include "common/ClientSocket.h"
#include "common/SettingsStore.h"
#include "common/SharedState.h"
#include "register/USystReg.h"
#include "register/UfrmAddEditKlient.h"

using namespace davu;

using davu::test::Control;

namespace {

// The rows of one query on the server's database, as "a|b;c|d".
QString Query(const QString& db, const char* sql) { return Rows(db, sql).join(u';'); }

int RowOf(const QAbstractItemModel* m, const QString& prefix) {
  for (int r = 0; r < m->rowCount(); ++r)
    if (m->index(r, 0).data().toString().startsWith(prefix)) return r;
  return -1;
}

QList<int> Numbers(const CallableListModel* m) {
  QList<int> out;
  for (const CallableItem& i : m->items()) out << i.record->CallableLopnr;
  return out;
}

}  // namespace

class E2eKlienterTest : public QObject {
  Q_OBJECT

 private slots:
  // The sequences that once overwrote what was stored: an arrow key onto
  // another client, "Spara" before the lists arrived, a save while the
  // server was away. After each, every row of the register is as it was,
  // except what the administrator changed.
  void nothingChangesThatWasNotChanged() {
    SettingsSandbox settings;
    ResetSharedState();
    QTemporaryDir serverDir;
    ServerProcess server(serverDir.path(), {"--demo", "--report-version", "1.10.10"});
    QVERIFY2(server.port() > 0, "davu-server did not start");
    const QString db = serverDir.path() + "/davu.sqlite";
    const char* chosenSql =
        "SELECT STATIONSLOPNR, CALLABLESLOPNR, POSITION FROM STATIONCALLABLES ORDER BY 1, 3";
    const char* smsSql = "SELECT * FROM SMSSETTINGS";
    const QStringList chosenBefore = Rows(db, chosenSql);
    const QStringList smsBefore = Rows(db, smsSql);
    QVERIFY(chosenBefore.size() > 3);

    FakePlatform fakes;
    TfrmDAVUAdmin main;
    main.ShowModal = [](QDialog* d) { d->show(); };
    QVERIFY(ConnectMainWindow(main, server.port()));
    main.btnSystemregisterClick();
    TfrmSystreg* reg = main.frmSystreg;
    StationsTab* tab = Control<StationsTab>(reg, "tsStations");
    Control<QTabWidget>(reg, "PageControl1")->setCurrentWidget(tab);
    QVERIFY(WaitUntil([&] { return tab->machines()->rowCount() > 1; }));

    // The first client, then a Down key onto the second; its lists arrive.
    Control<QListView>(tab, "lbmachines")->setCurrentIndex(tab->machines()->index(0));
    QVERIFY(WaitUntil([&] { return Control<QPushButton>(reg, "btnCancel")->isEnabled() || Control<QLabel>(reg, "lblStatus")->text().isEmpty(); }));
    Control<QListView>(tab, "lbmachines")->setFocus();
    QTest::keyClick(Control<QListView>(tab, "lbmachines"), Qt::Key_Down);
    // "Spara" cannot go out before the second client's lists are here.
    reg->btnSaveClick();
    QVERIFY(WaitUntil([&] { return Control<QLabel>(reg, "lblStatus")->text().isEmpty() && tab->allResourcesModel->rowCount() > 0; }));
    const int second = tab->currentMachine()->Lopnr;
    const QList<int> shown = Numbers(tab->chosenResourcesModel);
    // Move the last chosen resource to the top and save.
    QVERIFY(shown.size() > 1);
    Control<QListView>(tab, "ListBox4")->setCurrentIndex(tab->chosenResourcesModel->index(shown.size() - 1));
    for (int i = 1; i < shown.size(); ++i) Control<QPushButton>(tab, "BitBtn7")->click();
    Control<QPushButton>(reg, "btnSave")->click();
    QStringList expected;
    for (const QString& row : chosenBefore)
      if (row.section('|', 0, 0).toInt() != second) expected << row;
    QList<int> order = shown;
    order.move(order.size() - 1, 0);
    for (int p = 0; p < order.size(); ++p)
      expected << QStringLiteral("%1|%2|%3").arg(second).arg(order[p]).arg(p);
    std::sort(expected.begin(), expected.end(), [](const QString& a, const QString& b) {
      const int sa = a.section('|', 0, 0).toInt(), sb = b.section('|', 0, 0).toInt();
      return sa != sb ? sa < sb : a.section('|', 2, 2).toInt() < b.section('|', 2, 2).toInt();
    });
    QVERIFY(WaitUntil([&] { return Rows(db, chosenSql) == expected; }));

    // The SMS tab: "Spara" before the account arrives sends nothing.
    Control<QTabWidget>(reg, "PageControl1")->setCurrentWidget(Control<SmsSettingsTab>(reg, "tsSMS"));
    reg->btnSaveClick();
    QVERIFY(WaitUntil([&] { return Control<QPushButton>(reg, "btnSave")->isEnabled(); }));
    QCOMPARE(Rows(db, smsSql), smsBefore);

    // With the server gone, a save says so and keeps the edit.
    Control<QLineEdit>(Control<SmsSettingsTab>(reg, "tsSMS"), "edSMSusername")->setText("ny");
    main.ClientSocket1->close();
    Control<QPushButton>(reg, "btnSave")->click();
    QCOMPARE(fakes.dialogs->infoMessages.size(), 1);
    QCOMPARE(Control<QLineEdit>(Control<SmsSettingsTab>(reg, "tsSMS"), "edSMSusername")->text(), QStringLiteral("ny"));
    QCOMPARE(Rows(db, smsSql), smsBefore);
    QCOMPARE(Rows(db, chosenSql), expected);
  }

  void keepsAClientAndItsResources() {
    SettingsSandbox settings;
    ResetSharedState();
    QTemporaryDir serverDir;
    ServerProcess server(serverDir.path(), {"--demo", "--report-version", "1.10.10"});
    QVERIFY2(server.port() > 0, "davu-server did not start");
    const QString db = serverDir.path() + "/davu.sqlite";

    FakePlatform fakes;
    TfrmDAVUAdmin main;
    main.ShowModal = [](QDialog* d) { d->show(); };
    QVERIFY(ConnectMainWindow(main, server.port()));

    main.btnSystemregisterClick();
    TfrmSystreg* reg = main.frmSystreg;
    StationsTab* tab = Control<StationsTab>(reg, "tsStations");
    Control<QTabWidget>(reg, "PageControl1")->setCurrentWidget(tab);
    QVERIFY(WaitUntil([&] { return tab->machines()->rowCount() > 0; }));

    // Add "E2E-PC" at "Testrum".
    tab->ShowModal = [](QDialog* d) {
      auto* dlg = static_cast<TfrmAddEditKlient*>(d);
      dlg->show();
      Control<QLineEdit>(dlg, "Edit1")->setText("E2E-PC");
      Control<QLineEdit>(dlg, "Edit2")->setText("Testrum");
      Control<QPushButton>(dlg, "BitBtn1")->click();
      return dlg->result();
    };
    Control<QPushButton>(tab, "BitBtn11")->click();
    QVERIFY(WaitUntil([&] { return RowOf(tab->machines(), "E2E-PC, Testrum: Call") >= 0; }));
    const char* stationSql =
        "SELECT LOPNR, FRIENDLYNAME, COLOR, CLIENTTYPE FROM STATIONS WHERE NAME = 'E2E-PC' AND DELETED = 0";
    const QString lopnr = Query(db, stationSql).section('|', 0, 0);
    QCOMPARE(Query(db, stationSql), lopnr + "|Testrum|0|0");

    // Make it current; every resource of the server lands in "Alla resurser".
    const auto choose = [&] {
      const int row = RowOf(tab->machines(), "E2E-PC");
      // Making it current is enough: that loads its lists.
      Control<QListView>(tab, "lbmachines")->setCurrentIndex(tab->machines()->index(row));
    };
    const int resources = Query(db, "SELECT COUNT(*) FROM CALLABLES WHERE DELETED = 0").toInt();
    QVERIFY(resources >= 3);
    choose();
    QVERIFY(WaitUntil([&] { return tab->allResourcesModel->rowCount() == resources; }));

    // Three resources in the order third, first, second; then "Spara".
    const QList<int> all = Numbers(tab->allResourcesModel);
    const QList<int> order{all[2], all[0], all[1]};
    for (int n : order) {
      const QList<int> now = Numbers(tab->allResourcesModel);
      Control<QListView>(tab, "ListBox3")->selectionModel()->select(tab->allResourcesModel->index(now.indexOf(n)),
                                              QItemSelectionModel::ClearAndSelect);
      Control<QPushButton>(tab, "BitBtn9")->click();
    }
    QCOMPARE(Numbers(tab->chosenResourcesModel), order);
    Control<QPushButton>(reg, "btnSave")->click();
    const QString chosenSql = "SELECT group_concat(CALLABLESLOPNR, ',') FROM (SELECT CALLABLESLOPNR"
                              " FROM STATIONCALLABLES WHERE STATIONSLOPNR = " + lopnr +
                              " ORDER BY POSITION)";
    const QString expected = QStringLiteral("%1,%2,%3").arg(order[0]).arg(order[1]).arg(order[2]);
    QVERIFY(WaitUntil([&] { return Query(db, chosenSql.toUtf8().constData()) == expected; }));

    // Load the tab again and choose the client: the same order comes back.
    QSignalSpy reloaded(tab->machines(), &QAbstractItemModel::modelReset);
    // (Saved, nothing is changed: the button is off, its handler reloads.)
    QVERIFY(!Control<QPushButton>(reg, "btnCancel")->isEnabled());
    reg->btnCancelClick();
    QVERIFY(reloaded.wait());
    choose();
    QVERIFY(WaitUntil([&] { return tab->chosenResourcesModel->rowCount() == 3; }));
    QCOMPARE(Numbers(tab->chosenResourcesModel), order);
    QCOMPARE(tab->allResourcesModel->rowCount(), resources - 3);

    // Change its location and colour.
    fakes.dialogs->colourAnswers.push_back(QColor(0, 128, 255));
    tab->ShowModal = [](QDialog* d) {
      auto* dlg = static_cast<TfrmAddEditKlient*>(d);
      dlg->show();
      Control<QLineEdit>(dlg, "Edit2")->setText("Nytt rum");
      Control<QPushButton>(dlg, "BitBtn5")->click();
      Control<QPushButton>(dlg, "BitBtn1")->click();
      return dlg->result();
    };
    Control<QPushButton>(tab, "BitBtn12")->click();
    QVERIFY(WaitUntil([&] { return RowOf(tab->machines(), "E2E-PC, Nytt rum: Call") >= 0; }));
    QCOMPARE(Query(db, stationSql), lopnr + "|Nytt rum|" + QString::number(0xFF8000) + "|0");
    QCOMPARE(Query(db, chosenSql.toUtf8().constData()), expected);

    // Delete it.
    const int before = tab->machines()->rowCount();
    choose();
    fakes.dialogs->answers.push_back(6);
    Control<QPushButton>(tab, "BitBtn13")->click();
    QCOMPARE(fakes.dialogs->questions.last(), QStringLiteral("Radera klienten Nytt rum?"));
    QVERIFY(WaitUntil([&] { return tab->machines()->rowCount() == before - 1; }));
    QCOMPARE(RowOf(tab->machines(), "E2E-PC"), -1);
    QCOMPARE(Query(db, stationSql), QString());
    main.close();
  }
};

QTEST_MAIN(E2eKlienterTest)
#include "e2e_klienter_test.moc"
