#include "calllog/StatistikReports.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPaintEngine>
#include <QPrintPreviewDialog>
#include <QToolBar>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <utility>

#include "calllog/CsvWriter.h"
#include "calllog/ReportFigures.h"
#include "calllog/ReportPages.h"
#include "calllog/ReportPrinter.h"
#include "calllog/ReportText.h"
#include "calllog/TSVVirtualTable.h"
#include "calllog/UfrmDAVUStatistik.h"
#include "calllog/XlsxWriter.h"
#include "widgets/Dialogs.h"

namespace davu {

namespace {

// The clinic's name from the main window's title, "DAVU Admin - " + name +
// "  version: " + version; empty before the server has named it.
QString ClinicFromTitle(const QWidget* window) {
  const QWidget* main = window->parentWidget() ? window->parentWidget()->window() : nullptr;
  if (!main) return {};
  const QString title = main->windowTitle();
  const QString head = QStringLiteral("DAVU Admin - ");
  if (!title.startsWith(head)) return {};
  const qsizetype end = title.indexOf(QStringLiteral("  version:"));
  return title.mid(head.size(), end < 0 ? -1 : end - head.size()).trimmed();
}

QPushButton* BottomButton(const QString& text, const char* name, QWidget* parent) {
  auto* b = new QPushButton(text, parent);
  b->setObjectName(QLatin1String(name));
  b->setAutoDefault(false);
  b->setEnabled(false);  // until a report has arrived
  return b;
}

}  // namespace

QString StatistikReports::excelFilter() { return QStringLiteral("Excel-arbetsbok (*.xlsx)"); }
QString StatistikReports::csvFilter() { return QStringLiteral("CSV, semikolonavgränsad (*.csv)"); }

StatistikReports::StatistikReports(TfrmDAVUStatistik* window) : QObject(window), window_(window) {
  setObjectName(QStringLiteral("StatistikReports"));
  tsSummary = new SummaryPage;
  tsSummary->setObjectName(QStringLiteral("TabSheet2"));
  window->PageControl1->addTab(tsSummary, QStringLiteral("Sammanfattning"));
  tsCharts = new ChartsPage;
  tsCharts->setObjectName(QStringLiteral("TabSheet3"));
  window->PageControl1->addTab(tsCharts, QStringLiteral("Diagram"));

  // The bottom row: progress after the record count, the two new buttons
  // before "Återgå".
  auto* row = qobject_cast<QHBoxLayout*>(window->Panel2->layout());
  pbRapport = new QProgressBar(window->Panel2);
  pbRapport->setObjectName(QStringLiteral("pbRapport"));
  pbRapport->setFixedWidth(140);
  pbRapport->setTextVisible(false);
  pbRapport->hide();
  btnExportera = BottomButton(QStringLiteral("Exportera..."), "btnExportera", window->Panel2);
  btnSkrivUt = BottomButton(QStringLiteral("Skriv ut..."), "btnSkrivUt", window->Panel2);
  auto* menu = new QMenu(btnSkrivUt);
  menu->setObjectName(QStringLiteral("mnuSkrivUt"));
  actForhandsgranska = menu->addAction(QStringLiteral("Förhandsgranska och skriv ut..."));
  actForhandsgranska->setObjectName(QStringLiteral("actForhandsgranska"));
  actSparaPdf = menu->addAction(QStringLiteral("Spara som PDF..."));
  actSparaPdf->setObjectName(QStringLiteral("actSparaPdf"));
  btnSkrivUt->setMenu(menu);
  const int back = row->indexOf(window->Avbryt);
  row->insertWidget(back, btnSkrivUt);
  row->insertWidget(back, btnExportera);
  row->insertWidget(row->indexOf(window->Label3) + 1, pbRapport);

  AskSavePath = [this](const QString& proposed, const QString& filters, QString* filter) {
    return QFileDialog::getSaveFileName(window_, QStringLiteral("Spara rapporten"), proposed, filters, filter);
  };
  ShowPreview = [](QPrintPreviewDialog* d) { d->exec(); };

  connect(window->BitBtn1, &QPushButton::clicked, this, &StatistikReports::takeChoices);
  connect(window->SVVirtualTable1, &QAbstractItemModel::modelReset, this, &StatistikReports::reportArrived);
  connect(window->SVVirtualTable1, &TSVVirtualTable::rowsArriving, this, &StatistikReports::rowsArriving);
  connect(btnExportera, &QPushButton::clicked, this, &StatistikReports::btnExporteraClick);
  connect(actForhandsgranska, &QAction::triggered, this, &StatistikReports::actForhandsgranskaTriggered);
  connect(actSparaPdf, &QAction::triggered, this, &StatistikReports::actSparaPdfTriggered);
}

StatistikReports::~StatistikReports() = default;

// A reply carries no choices; the report shows those of the last request.
void StatistikReports::takeChoices() {
  ReportChoices c;
  c.from = window_->DateTimePicker1->date();
  c.to = window_->DateTimePicker2->date();
  for (int i = 0; i < window_->CheckListBox2->count() && i < int(window_->machines().size()); ++i)
    if (window_->CheckListBox2->item(i)->checkState() == Qt::Checked)
      c.clients << window_->machines()[std::size_t(i)]->FriendlyName;
  for (int i = 0; i < window_->CheckListBox1->count() && i < int(window_->callables().size()); ++i)
    if (window_->CheckListBox1->item(i)->checkState() == Qt::Checked)
      c.resources << window_->callables()[std::size_t(i)]->CallableFriendlyname;
  c.confirmedOnly = window_->CheckBox1->isChecked();
  c.clinic = ClinicFromTitle(window_);
  choices_ = c;
}

void StatistikReports::rowsArriving() {
  const TSVVirtualTable& table = *window_->SVVirtualTable1;
  if (!arriving_ || arrivingSerial_ != table.arrivingSerial() ||
      std::size_t(arriving_->size()) > table.arrivingRows()) {
    if (!choices_.from.isValid()) takeChoices();
    arriving_ = emptyRows();
    arrivingSerial_ = table.arrivingSerial();
  }
  arriving_->appendTableRows(table, int(table.arrivingRows()), ReportRows::TableRows::Arriving);
}

std::shared_ptr<ReportRows> StatistikReports::emptyRows() {
  if (!spare_ || spare_.use_count() > 1) return std::make_shared<ReportRows>(choices_);
  spare_->clear(choices_);
  return std::move(spare_);
}

void StatistikReports::reportArrived() {
  // Before any "Skapa rapport" the window's range stands for the choices.
  if (!choices_.from.isValid()) takeChoices();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  // The rows built while the reply arrived stand first in the table when the
  // table kept them; the rest are added now.
  const TSVVirtualTable& table = *window_->SVVirtualTable1;
  std::shared_ptr<ReportRows> rows = std::move(arriving_);
  arriving_.reset();
  if (!rows || arrivingSerial_ != table.aheadSerial() || std::size_t(rows->size()) > table.rowsDecodedAhead())
    rows = emptyRows();
  rows->appendTableRows(table, table.RecordCount(), ReportRows::TableRows::Shown);
  spare_ = std::exchange(rows_, std::move(rows));
  figures_ = std::make_shared<const ReportFigures>(ReportFigures::compute(*rows_));
  tsSummary->setReport(*rows_, figures_);
  tsCharts->setFigures(figures_);
  QApplication::restoreOverrideCursor();
  btnExportera->setEnabled(!working_);
  btnSkrivUt->setEnabled(!working_);
}

bool StatistikReports::busy(const std::function<bool(const davu::reportfile::Progress&, QString*)>& work) {
  const auto enable = [this](bool on) {
    for (QWidget* w : std::initializer_list<QWidget*>{window_->BitBtn1, btnExportera, btnSkrivUt, window_->Avbryt})
      w->setEnabled(on);
  };
  working_ = true;
  enable(false);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  pbRapport->setRange(0, 0);
  pbRapport->show();
  QElapsedTimer sinceRepaint;
  sinceRepaint.start();
  // Keeps the window painted and the connection read while the work runs;
  // the user's clicks wait until it is done.
  const davu::reportfile::Progress progress = [&](int done, int total) {
    if (sinceRepaint.elapsed() < 50) return;
    sinceRepaint.restart();
    pbRapport->setRange(0, total);
    pbRapport->setValue(done);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  };
  QString error;
  const bool ok = work(progress, &error);
  pbRapport->hide();
  QApplication::restoreOverrideCursor();
  enable(true);
  working_ = false;
  if (!ok && !error.isEmpty()) ShowInfoMessage(error);
  return ok;
}

void StatistikReports::saved(const QString& path) {
  lastFolder_ = QFileInfo(path).absolutePath();
  ShowInfoHint(QStringLiteral("Rapporten sparades som ") + QFileInfo(path).fileName(), btnExportera);
}

void StatistikReports::btnExporteraClick() {
  if (!rows_ || working_) return;
  if (lastFolder_.isEmpty()) lastFolder_ = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  QString filter = excelFilter();
  QString path = AskSavePath(QDir(lastFolder_).filePath(davu::reporttext::FileName(rows_->choices(), QStringLiteral("xlsx"))),
                             excelFilter() + QStringLiteral(";;") + csvFilter(), &filter);
  if (path.isEmpty()) return;
  // The file's own suffix decides; without one, the chosen type.
  QString suffix = QFileInfo(path).suffix().toLower();
  if (suffix != QLatin1String("xlsx") && suffix != QLatin1String("csv")) {
    suffix = filter == csvFilter() ? QStringLiteral("csv") : QStringLiteral("xlsx");
    path += u'.' + suffix;
  }
  const auto rows = rows_;
  const auto figures = figures_;  // kept alive if a new reply arrives meanwhile
  const bool ok = busy([&](const davu::reportfile::Progress& progress, QString* error) {
    return suffix == QLatin1String("csv") ? CsvWriter::write(*rows, path, error, progress)
                                          : XlsxWriter::write(*rows, *figures, path, error, progress);
  });
  if (ok) saved(path);
}

void StatistikReports::actSparaPdfTriggered() {
  if (!rows_ || working_) return;
  if (lastFolder_.isEmpty()) lastFolder_ = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  QString filter = QStringLiteral("PDF (*.pdf)");
  QString path = AskSavePath(QDir(lastFolder_).filePath(davu::reporttext::FileName(rows_->choices(), QStringLiteral("pdf"))),
                             filter, &filter);
  if (path.isEmpty()) return;
  if (QFileInfo(path).suffix().toLower() != QLatin1String("pdf")) path += QStringLiteral(".pdf");
  const auto rows = rows_;
  const auto figures = figures_;
  const bool ok = busy([&](const davu::reportfile::Progress& progress, QString* error) {
    return ReportPrinter::writePdf(*rows, *figures, path, error, progress);
  });
  if (ok) saved(path);
}

void StatistikReports::actForhandsgranskaTriggered() {
  if (!rows_ || working_) return;
  const auto rows = rows_;
  const auto figures = figures_;
  QPrinter printer(QPrinter::HighResolution);
  ReportPrinter::preparePage(printer);
  printer.setDocName(davu::reporttext::FileName(rows->choices(), QStringLiteral("pdf")).chopped(4));
  const int pages = ReportPrinter(*rows, *figures).pageCount(printer);
  QPrintPreviewDialog preview(&printer, window_);
  preview.setObjectName(QStringLiteral("frmForhandsgranska"));
  QString title = QStringLiteral("Förhandsgranska rapporten");
  if (pages > PreviewPages) {
    title += QStringLiteral(" (de första %1 av %2 sidorna)").arg(PreviewPages).arg(pages);
    if (auto* bar = preview.findChild<QToolBar*>()) {
      bar->addSeparator();
      QAction* save = bar->addAction(QStringLiteral("Spara som PDF..."));
      save->setObjectName(QStringLiteral("actSparaPdfHela"));
      save->setToolTip(QStringLiteral("Sparar rapportens alla %1 sidor som PDF").arg(pages));
      connect(save, &QAction::triggered, this, &StatistikReports::actSparaPdfTriggered);
    }
  }
  preview.setWindowTitle(title);
  const int limit = PreviewPages;
  connect(&preview, &QPrintPreviewDialog::paintRequested, this, [&, limit](QPrinter* p) {
    // The preview records pages as pictures; paper and files get them all.
    const bool onScreen = p->paintEngine() && p->paintEngine()->type() == QPaintEngine::Picture;
    busy([&](const davu::reportfile::Progress& progress, QString*) {
      ReportPrinter report(*rows, *figures);
      if (onScreen) report.setPageLimit(limit);
      report.paint(*p, progress);
      return true;
    });
  });
  ShowPreview(&preview);
}

}  // namespace davu
