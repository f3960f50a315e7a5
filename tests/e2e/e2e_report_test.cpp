// A month's report as a clinic manager reads and hands it on, through the
// real main window against a davu-server process with its demo clinic: the
// summary and charts in a light and a dark theme, an export to Excel and CSV
// and a PDF. With DAVU_SCREENSHOT_DIR set, the pages are saved there as PNG
// files and the exported files beside them.
#include <QAction>
#include <QChartView>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "Controls.h"
#include "FakePlatform.h"
#include "FakeServer.h"
#include "ServerProcess.h"
#include "SettingsSandbox.h"
#include "app/UDavuAdminMain.h"
#include "app/Widgets.h"
#include "calllog/ReportFigures.h"
#include "calllog/ReportPages.h"
#include "calllog/StatistikReports.h"
#include "calllog/TSVVirtualTable.h"
#include "calllog/UfrmDAVUStatistik.h"
#include "common/ClientSocket.h"
#include "common/SharedState.h"
#include "register/Themes.h"

using namespace davu;

using davu::test::Control;

namespace {

void Screenshot(QWidget* w, const QString& name) {
  const QString dir = qEnvironmentVariable("DAVU_SCREENSHOT_DIR");
  if (dir.isEmpty()) return;
  QDir().mkpath(dir);
  w->grab().save(dir + QLatin1Char('/') + name);
}

}  // namespace

class E2eReportTest : public QObject {
  Q_OBJECT

  QTemporaryDir tmp;

 private slots:
  void monthReportPagesAndFiles() {
    ResetSharedState();
    SettingsSandbox settings;
    FakePlatform fakePlatform;
    FakePlatform* fake = &fakePlatform;
    fake->clock->current = QDateTime::currentDateTime();  // the demo's calls are made up to now
    ServerProcess server(tmp.path(), {"--demo"});
    QVERIFY2(server.port() > 0, "davu-server did not start");
    auto main = std::make_unique<TfrmDAVUAdmin>();
    main->ExitProcess = [](int) {};
    main->ClientSocket1->setAddress(QStringLiteral("127.0.0.1"));
    main->ClientSocket1->setPort(server.port());
    main->ClientSocket1->open();
    QVERIFY(WaitUntil([&] { return Control<PictureButton>(main, "btnStatistik")->isEnabled(); }, 10000));

    // The files go to a temporary folder, or beside the screenshots to be looked at.
    QTemporaryDir temp;
    const QString shots = qEnvironmentVariable("DAVU_SCREENSHOT_DIR");
    QDir out(shots.isEmpty() ? temp.path() : shots + QStringLiteral("/files"));
    out.removeRecursively();
    QVERIFY(QDir().mkpath(out.path()));
    for (const QString& theme : {QStringLiteral("Ljus"), QStringLiteral("Mörk")}) {
      QVERIFY(ApplyTheme(theme));
      const QString suffix = theme == QStringLiteral("Ljus") ? QStringLiteral("ljus") : QStringLiteral("mork");
      bool ran = false;
      main->ShowModal = [&](QDialog* d) {
        auto* w = qobject_cast<TfrmDAVUStatistik*>(d);
        w->show();
        QSignalSpy reports(Control<TSVVirtualTable>(w, "SVVirtualTable1"), &QAbstractItemModel::modelReset);
        Control<QPushButton>(w, "BitBtn1")->click();
        QVERIFY(WaitUntil([&] { return reports.count() == 1; }, 10000));
        StatistikReports* r = w->Reports;
        const int calls = Control<TSVVirtualTable>(w, "SVVirtualTable1")->RecordCount();
        QVERIFY(calls > 0);
        QCOMPARE(r->figures()->total.calls, calls);
        QCOMPARE(int(r->figures()->days.size()), Control<QDateEdit>(w, "DateTimePicker1")->date().daysInMonth());
        QVERIFY(Control<QLabel>(Control<SummaryPage>(w, "TabSheet2"), "lblUrval")->text().startsWith(Control<QDateEdit>(w, "DateTimePicker1")->date().toString("yyyy-MM-dd")));
        QCOMPARE(r->rows()->choices().clinic, QStringLiteral("Vårdcentralen Björkdalen"));
        const int groups = int(r->figures()->resources.size() + r->figures()->clients.size());
        QCOMPARE(Control<QTableView>(Control<SummaryPage>(w, "TabSheet2"), "gridSammanfattning")->model()->rowCount(), groups + 1);
        QCOMPARE(Control<QTabWidget>(w, "PageControl1")->currentIndex(), 0);
        Control<QTabWidget>(w, "PageControl1")->setCurrentWidget(Control<SummaryPage>(w, "TabSheet2"));
        Screenshot(w, "statistik-sammanfattning-" + suffix + ".png");
        Control<QTabWidget>(w, "PageControl1")->setCurrentWidget(Control<ChartsPage>(w, "TabSheet3"));
        Screenshot(w, "statistik-diagram-" + suffix + ".png");
        QCOMPARE(Control<QChartView>(Control<ChartsPage>(w, "TabSheet3"), "chartPerDag")->chart()->backgroundBrush().color(),
                 Control<ChartsPage>(w, "TabSheet3")->palette().color(QPalette::Base));

        // Each kind of file, named as proposed, in the chosen folder.
        QStringList answers{suffix + ".xlsx", suffix, suffix + ".pdf"};
        r->AskSavePath = [&](const QString& proposed, const QString&, QString* filter) {
          if (!QFileInfo(proposed).fileName().startsWith("DAVU statistik ")) return QString();
          const QString a = answers.takeFirst();
          if (!a.contains(u'.')) *filter = StatistikReports::csvFilter();
          return out.filePath("rapport-" + a);
        };
        Control<QPushButton>(w, "btnExportera")->click();  // the workbook
        Control<QPushButton>(w, "btnExportera")->click();  // then CSV, the type chosen without a suffix
        r->actSparaPdf->trigger();
        w->reject();
        ran = true;
      };
      main->btnStatistikClick();
      QVERIFY(ran);
    }
    QVERIFY(ApplyTheme(PlainThemeName()));
    QCOMPARE(fake->dialogs->infoMessages, QStringList());
    const QStringList files = out.entryList(QDir::Files, QDir::Name);
    QCOMPARE(files.size(), 6);
    for (const QString& f : files) {
      QFile file(out.filePath(f));
      QVERIFY(file.open(QIODevice::ReadOnly));
      const QByteArray head = file.read(5);
      const QByteArray expected = f.endsWith(".pdf") ? "%PDF-" : f.endsWith(".xlsx") ? "PK\x03\x04" : "\xEF\xBB\xBFKl";
      QVERIFY2(head.startsWith(expected), qPrintable(f));
    }
    main.reset();
    ResetSharedState();
  }
};

QTEST_MAIN(E2eReportTest)
#include "e2e_report_test.moc"
