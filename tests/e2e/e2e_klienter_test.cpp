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
#include <memory>

#include "ConnectedAdmin.h"
#include "DatabaseRows.h"
#include "FakePlatform.h"
#include "ServerProcess.h"
#include "SettingsSandbox.h"
#include "SettingsStore.h"
#include "SharedState.h"
#include "UDavuAdminMain.h"
#include "USystReg.h"
#include "UfrmAddEditKlient.h"

namespace {

// The rows of one query on the server's database, as "a|b;c|d".
QString Query(const QString& db, const char* sql) { return Rows(db, sql).join(u';'); }

int RowOf(const QAbstractItemModel* m, const QString& prefix) {
  for (int r = 0; r < m->rowCount(); ++r)
    if (m->index(r, 0).data().toString().startsWith(prefix)) return r;
  return -1;
}

QList<int> Numbers(const TCallableListModel* m) {
  QList<int> out;
  for (const TCallableItem& i : m->items()) out << i.record->CallableLopnr;
  return out;
}

}  // namespace

class E2eKlienterTest : public QObject {
  Q_OBJECT

 private slots:
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
    TStationsTab* tab = reg->tsStations;
    reg->PageControl1->setCurrentWidget(tab);
    QVERIFY(WaitUntil([&] { return tab->machines()->rowCount() > 0; }));

    // Add "E2E-PC" at "Testrum".
    tab->ShowModal = [](QDialog* d) {
      auto* dlg = static_cast<TfrmAddEditKlient*>(d);
      dlg->show();
      dlg->Edit1->setText("E2E-PC");
      dlg->Edit2->setText("Testrum");
      dlg->BitBtn1->click();
      return dlg->result();
    };
    tab->BitBtn11->click();
    QVERIFY(WaitUntil([&] { return RowOf(tab->machines(), "E2E-PC, Testrum: Call") >= 0; }));
    const char* stationSql =
        "SELECT LOPNR, FRIENDLYNAME, COLOR, CLIENTTYPE FROM STATIONS WHERE NAME = 'E2E-PC' AND DELETED = 0";
    const QString lopnr = Query(db, stationSql).section('|', 0, 0);
    QCOMPARE(Query(db, stationSql), lopnr + "|Testrum|0|0");

    // Make it current; every resource of the server lands in "Alla resurser".
    const auto choose = [&] {
      const int row = RowOf(tab->machines(), "E2E-PC");
      tab->lbmachines->setCurrentIndex(tab->machines()->index(row));
      tab->lbmachinesClick();
    };
    const int resources = Query(db, "SELECT COUNT(*) FROM CALLABLES WHERE DELETED = 0").toInt();
    QVERIFY(resources >= 3);
    choose();
    QVERIFY(WaitUntil([&] { return tab->ListBox3Items->rowCount() == resources; }));

    // Three resources in the order third, first, second; then "Spara".
    const QList<int> all = Numbers(tab->ListBox3Items);
    const QList<int> order{all[2], all[0], all[1]};
    for (int n : order) {
      const QList<int> now = Numbers(tab->ListBox3Items);
      tab->ListBox3->selectionModel()->select(tab->ListBox3Items->index(now.indexOf(n)),
                                              QItemSelectionModel::ClearAndSelect);
      tab->BitBtn9->click();
    }
    QCOMPARE(Numbers(tab->ListBox4Items), order);
    reg->btnSave->click();
    const QString chosenSql = "SELECT group_concat(CALLABLESLOPNR, ',') FROM (SELECT CALLABLESLOPNR"
                              " FROM STATIONCALLABLES WHERE STATIONSLOPNR = " + lopnr +
                              " ORDER BY POSITION)";
    const QString expected = QStringLiteral("%1,%2,%3").arg(order[0]).arg(order[1]).arg(order[2]);
    QVERIFY(WaitUntil([&] { return Query(db, chosenSql.toUtf8().constData()) == expected; }));

    // Load the tab again and choose the client: the same order comes back.
    QSignalSpy reloaded(tab->machines(), &QAbstractItemModel::modelReset);
    reg->btnCancel->click();
    QVERIFY(reloaded.wait());
    choose();
    QVERIFY(WaitUntil([&] { return tab->ListBox4Items->rowCount() == 3; }));
    QCOMPARE(Numbers(tab->ListBox4Items), order);
    QCOMPARE(tab->ListBox3Items->rowCount(), resources - 3);

    // Change its location and colour.
    fakes.dialogs->colourAnswers.push_back(QColor(0, 128, 255));
    tab->ShowModal = [](QDialog* d) {
      auto* dlg = static_cast<TfrmAddEditKlient*>(d);
      dlg->show();
      dlg->Edit2->setText("Nytt rum");
      dlg->BitBtn5->click();
      dlg->BitBtn1->click();
      return dlg->result();
    };
    tab->BitBtn12->click();
    QVERIFY(WaitUntil([&] { return RowOf(tab->machines(), "E2E-PC, Nytt rum: Call") >= 0; }));
    QCOMPARE(Query(db, stationSql), lopnr + "|Nytt rum|" + QString::number(0xFF8000) + "|0");
    QCOMPARE(Query(db, chosenSql.toUtf8().constData()), expected);

    // Delete it.
    const int before = tab->machines()->rowCount();
    choose();
    fakes.dialogs->answers.push_back(6);
    tab->BitBtn13->click();
    QCOMPARE(fakes.dialogs->questions.last(), QStringLiteral("Radera klienten Nytt rum?"));
    QVERIFY(WaitUntil([&] { return tab->machines()->rowCount() == before - 1; }));
    QCOMPARE(RowOf(tab->machines(), "E2E-PC"), -1);
    QCOMPARE(Query(db, stationSql), QString());
    main.close();
  }
};

QTEST_MAIN(E2eKlienterTest)
#include "e2e_klienter_test.moc"
