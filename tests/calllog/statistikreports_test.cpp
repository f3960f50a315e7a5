// The statistics window's summary and chart pages, export and print, against
// a scripted server and the hand-made report of ReportFixture.h.
#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QDateEdit>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QAbstractBarSeries>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QAction>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QValueAxis>
#include <QtTest>

#include "CallLogTestUtil.h"
#include "Controls.h"
#include "ReportFixture.h"
#include "calllog/CallLogRouting.h"
#include "calllog/CallLogSql.h"
#include "calllog/CsvWriter.h"
#include "calllog/ReportFigures.h"
#include "calllog/ReportPages.h"
#include "calllog/ReportText.h"
#include "calllog/StatistikReports.h"
#include "calllog/SummaryModel.h"
#include "calllog/UfrmDAVUStatistik.h"
#include "common/ClientIdentity.h"
#include "protocol/Catalogue.h"

using namespace davu;

using davu::test::Control;

namespace {

const QString kCallables = QStringLiteral("¤RETALLCALLABLES:R1:7:Rum 1:255:-1::F:R2:8:Rum 2:0:0::T:");
const QString kMachines = QStringLiteral("¤RETALLMACHINES:PC3:3:Lab:0:0:-1:::PC5:5:Reception:0:1:0:::");

QStringList Categories(QChartView* view) {
  for (QAbstractAxis* a : view->chart()->axes())
    if (auto* c = qobject_cast<QBarCategoryAxis*>(a)) return c->categories();
  return {};
}

QStringList AxisTitles(QChartView* view) {
  QStringList t;
  for (QAbstractAxis* a : view->chart()->axes()) t << a->titleText();
  return t;
}

QStringList SetNames(QChartView* view) {
  QStringList names;
  for (QAbstractSeries* s : view->chart()->series())
    for (QBarSet* set : static_cast<QAbstractBarSeries*>(s)->barSets()) names << set->label();
  return names;
}

QByteArray Head(const QString& path, int n) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.read(n) : QByteArray();
}

}  // namespace

class StatistikReportsTest : public QObject, WindowCase<TfrmDAVUStatistik> {
  Q_OBJECT

  std::unique_ptr<TfrmDAVUStatistik> w;
  StatistikReports* r = nullptr;

  // The window with its lists, Rum 1 and Lab ticked, the fixture's range,
  // and the report's reply handled.
  void makeReport() {
    w = openWindow();
    r = w->Reports;
    RouteStatisticsCallables(W(kCallables));
    RouteStatisticsMachines(W(kMachines));
    Control<QListWidget>(w, "CheckListBox1")->item(0)->setCheckState(Qt::Checked);
    Control<QListWidget>(w, "CheckListBox2")->item(0)->setCheckState(Qt::Checked);
    Control<QDateEdit>(w, "DateTimePicker1")->setDate(QDate(2024, 5, 30));
    Control<QDateEdit>(w, "DateTimePicker2")->setDate(QDate(2024, 6, 2));
    Control<QPushButton>(w, "BitBtn1")->click();
    RouteSqlReply(SqlPayload(fixture::Pieces()));
  }

 private slots:
  void init() { QVERIFY(start()); }
  void cleanup() {
    w.reset();
    stop();
  }

  void nothingToExportBeforeAReport() {
    w = openWindow();
    QVERIFY(!Control<QPushButton>(w, "btnExportera")->isEnabled());
    QVERIFY(!Control<QPushButton>(w, "btnSkrivUt")->isEnabled());
    QVERIFY(Control<QProgressBar>(w, "pbRapport")->isHidden());
    QCOMPARE(Control<QPushButton>(w, "btnExportera")->text(), QStringLiteral("Exportera..."));
    QCOMPARE(Control<QPushButton>(w, "btnSkrivUt")->text(), QStringLiteral("Skriv ut..."));
    QCOMPARE(Control<SummaryPage>(w, "TabSheet2")->model->rowCount(), 0);
  }

  // The report is built while its reply arrives, cut anywhere: the same rows
  // as from the whole reply. A stream of another reply leaves nothing behind.
  void reportBuiltWhileTheReplyArrives() {
    makeReport();
    const auto whole = r->rows();
    const std::string payload = SqlPayload(fixture::Pieces());
    const std::string other = SqlPayload(fixture::Pieces({fixture::Calls().back(), fixture::Calls().front()}));
    const auto same = [](const ReportRows& a, const ReportRows& b) {
      if (a.size() != b.size()) return false;
      for (int i = 0; i < a.size(); ++i) {
        const ReportRows::Row &x = a.row(i), &y = b.row(i);
        if (x.client != y.client || x.resource != y.resource || x.called != y.called || x.confirmed != y.confirmed ||
            x.isConfirmed != y.isConfirmed || x.smsSent != y.smsSent)
          return false;
        for (int f = 0; f < ReportRows::FieldCount; ++f)
          if (a.raw(i, ReportRows::Field(f)) != b.raw(i, ReportRows::Field(f))) return false;
      }
      return a.clientNames() == b.clientNames() && a.resourceNames() == b.resourceNames();
    };
    std::uint64_t reply = 100;
    // A prime step: the cuts fall at every kind of place in the row pieces.
    for (std::size_t i = 0; i <= payload.size(); i += 37) {
      for (bool otherFirst : {false, true}) {
        Control<QPushButton>(w, "BitBtn1")->click();
        if (otherFirst) RouteSqlReplyArriving(++reply, std::string_view(other).substr(0, std::min(i, other.size())));
        RouteSqlReplyArriving(++reply, std::string_view(payload).substr(0, i / 2));
        RouteSqlReplyArriving(reply, std::string_view(payload).substr(0, i));
        RouteSqlReply(payload);
        QVERIFY2(r->rows() != whole && same(*r->rows(), *whole), qPrintable(QString::number(i)));
        QCOMPARE(r->figures()->total.calls, whole->size());
      }
    }
  }

  // The query goes out byte for byte as before; the pages fill from its reply.
  void pagesShowTheReport() {
    makeReport();
    const QString sql = davu::calllog::StatisticsQuery({3}, {7}, QDate(2024, 5, 30), QDate(2024, 6, 2), false);
    QCOMPARE(net->sent(), davu::proto::OpenSql(W(GetClientName()), W(sql)));
    QCOMPARE(Control<QTabWidget>(w, "PageControl1")->currentIndex(), 0);
    QCOMPARE(Control<QLabel>(w, "Label3")->text(), QStringLiteral("Antal poster: 24"));
    QVERIFY(Control<QPushButton>(w, "btnExportera")->isEnabled() && Control<QPushButton>(w, "btnSkrivUt")->isEnabled());

    SummaryPage* page = Control<SummaryPage>(w, "TabSheet2");
    QCOMPARE(Control<QLabel>(page, "lblUrval")->text(),
             QStringLiteral("2024-05-30 – 2024-06-02 · Klienter: Lab · Resurser: Rum 1 · Alla kallelser"));
    QAbstractItemModel* m = Control<QTableView>(page, "gridSammanfattning")->model();
    QCOMPARE(m->rowCount(), 7);
    QCOMPARE(m->index(6, SummaryModel::Kind).data().toString(), QStringLiteral("Totalt"));
    QCOMPARE(m->index(6, SummaryModel::Share).data().toString(), QStringLiteral("79,2 %"));
    Control<QTableView>(page, "gridSammanfattning")->sortByColumn(SummaryModel::Calls, Qt::DescendingOrder);
    QCOMPARE(m->index(0, SummaryModel::Name).data().toString(), QStringLiteral("Rum 3"));
    QCOMPARE(m->index(6, SummaryModel::Kind).data().toString(), QStringLiteral("Totalt"));

    ChartsPage* charts = Control<ChartsPage>(w, "TabSheet3");
    QCOMPARE(Categories(Control<QChartView>(charts, "chartPerDag")), (QStringList{"30/5", "31/5", "1/6", "2/6"}));
    QCOMPARE(SetNames(Control<QChartView>(charts, "chartPerDag")), (QStringList{"Bekräftade", "Ej bekräftade"}));
    QCOMPARE(AxisTitles(Control<QChartView>(charts, "chartPerDag")), (QStringList{"Dag", "Antal kallelser"}));
    QCOMPARE(Categories(Control<QChartView>(charts, "chartPerTimme")).first(), QStringLiteral("08"));
    QCOMPARE(Categories(Control<QChartView>(charts, "chartPerTimme")).last(), QStringLiteral("23"));
    QCOMPARE(AxisTitles(Control<QChartView>(charts, "chartPerTimme")), (QStringList{"Timme", "Antal kallelser"}));
    QCOMPARE(Categories(Control<QChartView>(charts, "chartResurser")).last(), QStringLiteral("Rum 3"));  // at the top
    QCOMPARE(AxisTitles(Control<QChartView>(charts, "chartResurser")), (QStringList{"Resurs", "Antal kallelser"}));
    QVERIFY(Control<QChartView>(charts, "chartPerDag")->chart()->legend()->isVisible());

    // A new reply replaces the figures.
    RouteSqlReply(SqlPayload(fixture::Pieces({fixture::Calls().front()})));
    QCOMPARE(m->rowCount(), 3);
  }

  // A report made again over the same range keeps the charts whose shape
  // stays and changes their bars; a chart of another shape is made anew. Either
  // way the charts show the new figures.
  void chartsFollowANewReply() {
    makeReport();
    ChartsPage* charts = Control<ChartsPage>(w, "TabSheet3");
    QChart* perDay = Control<QChartView>(charts, "chartPerDag")->chart();
    const auto bars = [&](const char* view) {
      QList<qreal> values;
      for (QAbstractSeries* s : Control<QChartView>(charts, view)->chart()->series())
        for (QBarSet* set : static_cast<QAbstractBarSeries*>(s)->barSets())
          for (int i = 0; i < set->count(); ++i) values << set->at(i);
      return values;
    };
    const QList<qreal> before = bars("chartPerDag");
    RouteSqlReply(SqlPayload(fixture::Pieces({fixture::Calls().front()})));
    QCOMPARE(Control<QChartView>(charts, "chartPerDag")->chart(), perDay);  // the same days
    QList<qreal> expected;
    for (const DayCalls& d : r->figures()->days) expected << d.confirmed;
    for (const DayCalls& d : r->figures()->days) expected << d.unconfirmed;
    QCOMPARE(bars("chartPerDag"), expected);
    QVERIFY(bars("chartPerDag") != before);
    qreal calls = 0;
    for (qreal v : bars("chartPerTimme")) calls += v;
    QCOMPARE(calls, 1.0);
    QCOMPARE(bars("chartResurser"), QList<qreal>{1});
  }

  // The charts take the colours of the theme in use, light or dark.
  void chartsFollowThePalette() {
    makeReport();
    for (const QColor& base : {QColor(30, 30, 30), QColor(255, 255, 255)}) {
      QPalette p = w->palette();
      p.setColor(QPalette::Base, base);
      p.setColor(QPalette::Text, base.lightness() < 128 ? Qt::white : Qt::black);
      w->setPalette(p);
      QChart* chart = Control<QChartView>(Control<ChartsPage>(w, "TabSheet3"), "chartPerDag")->chart();
      QCOMPARE(chart->backgroundBrush().color(), base);
      QCOMPARE(chart->titleBrush().color(), p.color(QPalette::Text));
      QCOMPARE(chart->axes().first()->labelsBrush().color(), p.color(QPalette::Text));
      QCOMPARE(chart->legend()->labelColor(), p.color(QPalette::Text));
    }
  }

  void exportsEachKind() {
    makeReport();
    QTemporaryDir dir;
    QStringList proposed;
    QString answer, answerFilter;
    r->AskSavePath = [&](const QString& p, const QString&, QString* filter) {
      proposed << p;
      if (!answerFilter.isEmpty()) *filter = answerFilter;
      return answer;
    };
    answer = dir.filePath("maj.xlsx");
    Control<QPushButton>(w, "btnExportera")->click();
    QVERIFY(proposed.last().endsWith(QStringLiteral("/DAVU statistik 2024-05-30–2024-06-02.xlsx")));
    QCOMPARE(Head(answer, 2), QByteArray("PK"));

    // No suffix: the chosen type gives it.
    answer = dir.filePath("maj");
    answerFilter = StatistikReports::csvFilter();
    Control<QPushButton>(w, "btnExportera")->click();
    QFile csv(dir.filePath("maj.csv"));
    QVERIFY(csv.open(QIODevice::ReadOnly));
    QCOMPARE(csv.readAll(), QByteArray::fromStdString(CsvWriter::text(*r->rows())));

    answer = dir.filePath("maj.pdf");
    answerFilter.clear();
    r->actSparaPdf->trigger();
    QVERIFY(proposed.last().endsWith(QStringLiteral("/DAVU statistik 2024-05-30–2024-06-02.pdf")));
    QCOMPARE(Head(answer, 5), QByteArray("%PDF-"));
    QCOMPARE(fake->dialogs->balloons.size(), std::size_t(3));
    QVERIFY(fake->dialogs->infoMessages.isEmpty());

    // Cancelling writes nothing.
    answer.clear();
    Control<QPushButton>(w, "btnExportera")->click();
    QCOMPARE(fake->dialogs->balloons.size(), std::size_t(3));
    QVERIFY(Control<QProgressBar>(w, "pbRapport")->isHidden());
    QVERIFY(Control<QPushButton>(w, "BitBtn1")->isEnabled() && Control<QPushButton>(w, "btnExportera")->isEnabled() && Control<QPushButton>(w, "Avbryt")->isEnabled());
  }

  void failedExportSaysWhy() {
    makeReport();
    QTemporaryDir dir;
    const QString path = dir.filePath("saknas/rapport.xlsx");
    r->AskSavePath = [&](const QString&, const QString&, QString*) { return path; };
    Control<QPushButton>(w, "btnExportera")->click();
    QCOMPARE(fake->dialogs->infoMessages,
             QStringList{"Rapporten kunde inte sparas som\r" + path + "\r\rMappen finns inte."});
    QVERIFY(fake->dialogs->balloons.empty());
  }

  void printPreviewShowsTheReport() {
    makeReport();
    int pages = -1;
    r->ShowPreview = [&](QPrintPreviewDialog* d) {
      QCOMPARE(d->windowTitle(), QStringLiteral("Förhandsgranska rapporten"));
      d->show();
      auto* preview = d->findChild<QPrintPreviewWidget*>();
      QTRY_VERIFY(preview->pageCount() > 0);
      pages = preview->pageCount();
      d->close();
    };
    r->actForhandsgranska->trigger();
    QCOMPARE(pages, 3);
  }

  // A long report previews its first pages at once; "Spara som PDF..." in
  // the preview writes every page.
  void longReportPreviewsItsFirstPages() {
    makeReport();
    r->PreviewPages = 2;
    QTemporaryDir dir;
    const QString path = dir.filePath("rapport.pdf");
    r->AskSavePath = [&](const QString&, const QString&, QString*) { return path; };
    int shown = -1;
    r->ShowPreview = [&](QPrintPreviewDialog* d) {
      QCOMPARE(d->windowTitle(), QStringLiteral("Förhandsgranska rapporten (de första 2 av 3 sidorna)"));
      d->show();
      auto* preview = d->findChild<QPrintPreviewWidget*>();
      QTRY_VERIFY(preview->pageCount() > 0);
      shown = preview->pageCount();
      auto* save = d->findChild<QAction*>("actSparaPdfHela");
      QVERIFY(save);
      QCOMPARE(save->text(), QStringLiteral("Spara som PDF..."));
      save->trigger();
      d->close();
    };
    r->actForhandsgranska->trigger();
    QCOMPARE(shown, 2);
    QFile pdf(path);
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    const QByteArray bytes = pdf.readAll();
    QCOMPARE(bytes.count("/Type /Page\n"), 3);
  }
};

QTEST_MAIN(StatistikReportsTest)
#include "statistikreports_test.moc"
