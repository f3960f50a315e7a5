#include "calllog/ReportPrinter.h"

#include <QChart>
#include <QFontMetricsF>
#include <QGraphicsScene>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <memory>

#include "calllog/ReportCharts.h"
#include "calllog/ReportFigures.h"
#include "calllog/ReportRows.h"
#include "calllog/ReportText.h"
#include "calllog/SummaryModel.h"
#include "common/TextFormats.h"

namespace davu {

namespace {

constexpr double kPointSize = 8.5;

QFont PaperFont(bool bold = false, double scale = 1.0) {
  QFont f(QStringLiteral("DejaVu Sans"));
  f.setPointSizeF(kPointSize * scale);
  f.setBold(bold);
  return f;
}

// Paper is white whatever the theme on screen.
QPalette PaperPalette() {
  QPalette p;
  p.setColor(QPalette::Base, Qt::white);
  p.setColor(QPalette::Text, Qt::black);
  p.setColor(QPalette::Mid, Qt::gray);
  return p;
}

// `text` as it is printed in `width`: whole, or shortened with "…".
QString Fitted(const QFontMetricsF& metrics, const QString& text, double width) {
  if (metrics.horizontalAdvance(text) <= width) return text;
  return metrics.elidedText(text, Qt::ElideRight, width);
}

}  // namespace

ReportPrinter::ReportPrinter(const ReportRows& rows, const ReportFigures& figures)
    : rows_(rows), figures_(figures) {}

int ReportPrinter::pageCount(QPagedPaintDevice& device) { return run(device, nullptr, {}); }

int ReportPrinter::paint(QPagedPaintDevice& device, const davu::reportfile::Progress& progress) {
  pages_ = pageCount(device);
  QPainter painter;
  if (!painter.begin(&device)) return 0;
  const int n = run(device, &painter, progress);
  painter.end();
  return n;
}

int ReportPrinter::run(QPagedPaintDevice& device, QPainter* painter, const davu::reportfile::Progress& progress) {
  device_ = &device;
  painter_ = painter;
  // The painter's origin is the top left corner inside the margins.
  width_ = device.width();
  height_ = device.height();
  const QFontMetricsF fm(PaperFont(), &device);
  rowHeight_ = fm.height() * 1.35;
  footer_ = rowHeight_ * 1.5;
  page_ = 0;
  repeat_ = nullptr;
  fitted_.clear();
  startPage();

  const ReportChoices& c = rows_.choices();
  line(c.clinic.isEmpty() ? QStringLiteral("DAVU statistik") : c.clinic, true, 1.6);
  line(QStringLiteral("Statistik över kallelser"), true, 1.2);
  line(davu::reporttext::Choices(c), false);
  line(QStringLiteral("Antal poster: ") + QString::number(rows_.size()), false);
  y_ += rowHeight_ * 0.5;

  // The summary, as the "Sammanfattning" page shows it.
  std::vector<Column> summary;
  const double sw[] = {0.07, 0.27, 0.1, 0.12, 0.08, 0.06, 0.09, 0.11, 0.1};
  for (int col = 0; col < SummaryModel::ColumnCount; ++col)
    summary.push_back({SummaryModel::title(col), sw[col], col >= SummaryModel::Calls});
  const std::size_t nr = figures_.resources.size(), nc = figures_.clients.size();
  const auto group = [&](int r) -> const GroupFigures& {
    const auto i = static_cast<std::size_t>(r);
    return i < nr ? figures_.resources[i] : i < nr + nc ? figures_.clients[i - nr] : figures_.total;
  };
  table(summary, static_cast<int>(nr + nc + 1),
        [&](int r, int col) { return SummaryModel::text(group(r), col); },
        [&](int r) { return group(r).kind == GroupFigures::Total; }, {});
  line(SummaryModel::note(), false, 0.9);

  endPage();
  startPage();
  charts();

  endPage();
  startPage();
  std::vector<Column> grid;
  const QStringList titles = ReportRows::titles();
  const double gw[] = {0.23, 0.23, 0.2, 0.2, 0.14};
  for (int col = 0; col < titles.size(); ++col) grid.push_back({titles[col], gw[col], false});
  table(grid, rows_.size(), [&](int r, int col) { return rows_.text(r, ReportRows::Field(col)); },
        [](int) { return false; }, progress);
  endPage();
  return page_;
}

void ReportPrinter::startPage() {
  ++page_;
  y_ = 0;
  // Past the limit the pages are only counted.
  if (painter_ && pageLimit_ > 0 && page_ > pageLimit_) painter_ = nullptr;
  if (painter_ && page_ > 1) device_->newPage();
  if (repeat_) tableHeader(*repeat_);
}

// The foot of the page: the range at the left, the page number at the right.
void ReportPrinter::endPage() {
  if (!painter_) return;
  painter_->setFont(PaperFont(false, 0.9));
  painter_->setPen(Qt::black);
  const QRectF foot(0, height_ - rowHeight_, width_, rowHeight_);
  const ReportChoices& c = rows_.choices();
  painter_->drawText(foot, Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("DAVU statistik ") + davu::textformats::DateText(c.from) + QStringLiteral(" – ") +
                         davu::textformats::DateText(c.to));
  painter_->drawText(foot, Qt::AlignRight | Qt::AlignVCenter,
                     QStringLiteral("Sida %1 av %2").arg(page_).arg(pages_));
}

void ReportPrinter::ensureRoom(double height) {
  if (y_ + height <= height_ - footer_ || y_ == 0) return;
  endPage();
  startPage();
}

void ReportPrinter::line(const QString& text, bool bold, double scale) {
  const QFont font = PaperFont(bold, scale);
  const QFontMetricsF fm(font, device_);
  const QRectF box = fm.boundingRect(QRectF(0, 0, width_, height_), Qt::TextWordWrap, text);
  const double h = box.height() + fm.height() * 0.3;
  ensureRoom(h);
  if (painter_) {
    painter_->setFont(font);
    painter_->setPen(Qt::black);
    painter_->drawText(QRectF(0, y_, width_, h), Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, text);
  }
  y_ += h;
}

void ReportPrinter::tableHeader(const std::vector<Column>& columns) {
  if (painter_) {
    const QFont font = PaperFont(true);
    const QFontMetricsF metrics(font, device_);
    painter_->setFont(font);
    painter_->fillRect(QRectF(0, y_, width_, rowHeight_), QColor(225, 225, 225));
    painter_->setPen(Qt::black);
    double x = 0;
    const double pad = rowHeight_ * 0.2;
    for (const Column& c : columns) {
      const double w = c.width * width_;
      painter_->drawText(QRectF(x + pad, y_, w - 2 * pad, rowHeight_),
                         (c.right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter,
                         Fitted(metrics, c.title, w - 2 * pad));
      x += w;
    }
  }
  y_ += rowHeight_;
}

void ReportPrinter::table(const std::vector<Column>& columns, int rowCount, const CellText& text,
                          const std::function<bool(int)>& bold, const davu::reportfile::Progress& progress) {
  ensureRoom(rowHeight_ * 2);
  tableHeader(columns);
  repeat_ = &columns;
  for (int r = 0; r < rowCount;) {
    ensureRoom(rowHeight_);
    const int fit = std::max(1, static_cast<int>((height_ - footer_ - y_) / rowHeight_));
    const int end = std::min(rowCount, r + fit);
    if (painter_) {
      rows(columns, r, end, text, bold);
      if (progress) progress(end, rowCount);
    }
    y_ += (end - r) * rowHeight_;
    r = end;
  }
  repeat_ = nullptr;
}

// The rows `first` to `end` of a table, from y_ down. Column by column with
// plain text runs, so a page of rows costs no text layout. A text longer than
// its column ends in "…" instead of being cut where the column ends: a name
// cut off mid-word can read as another ("rum 12" as "rum 1"). The clip to the
// column, padding included, only guards the neighbour against rounding.
void ReportPrinter::rows(const std::vector<Column>& columns, int first, int end, const CellText& text,
                         const std::function<bool(int)>& bold) {
  for (int r = first; r < end; ++r)
    if (r % 2) painter_->fillRect(QRectF(0, y_ + (r - first) * rowHeight_, width_, rowHeight_), QColor(245, 245, 245));
  const QFont plain = PaperFont(), strong = PaperFont(true);
  const QFontMetricsF plainMetrics(plain, device_), strongMetrics(strong, device_);
  const double pad = rowHeight_ * 0.2;
  const double baseline = (rowHeight_ - plainMetrics.height()) / 2 + plainMetrics.ascent();
  painter_->setPen(Qt::black);
  double x = 0;
  for (std::size_t c = 0; c < columns.size(); ++c) {
    const double w = columns[c].width * width_;
    painter_->setClipRect(QRectF(x, y_, w, (end - first) * rowHeight_));
    bool isBold = false;
    painter_->setFont(plain);
    for (int r = first; r < end; ++r) {
      if (bold(r) != isBold) {
        isBold = !isBold;
        painter_->setFont(isBold ? strong : plain);
      }
      const QFontMetricsF& metrics = isBold ? strongMetrics : plainMetrics;
      const QString t = fitted(metrics, isBold, w - 2 * pad, text(r, static_cast<int>(c)));
      double left = x + pad;
      if (columns[c].right) left = x + w - pad - metrics.horizontalAdvance(t);
      painter_->drawText(QPointF(left, y_ + (r - first) * rowHeight_ + baseline), t);
    }
    x += w;
  }
  painter_->setClipping(false);
}

QString ReportPrinter::fitted(const QFontMetricsF& metrics, bool bold, double width, const QString& text) {
  QHash<QString, QString>& known = fitted_[{width, bold}];
  const auto found = known.constFind(text);
  if (found != known.constEnd()) return *found;
  if (known.size() >= 4096) known.clear();
  return *known.insert(text, Fitted(metrics, text, width));
}

// The three charts, one above the other, drawn as vectors.
void ReportPrinter::charts() {
  if (!painter_) return;
  const QPalette paper = PaperPalette();
  std::unique_ptr<QChart> made[] = {std::unique_ptr<QChart>(davu::reportcharts::CallsPerDay(figures_, paper)),
                                    std::unique_ptr<QChart>(davu::reportcharts::CallsPerHour(figures_, paper)),
                                    std::unique_ptr<QChart>(davu::reportcharts::TopResources(figures_, paper))};
  const double slot = (height_ - footer_ - y_) / 3;
  // Charts are laid out at a screen-like size and scaled onto the paper, so
  // their fonts keep the proportions they have on screen.
  const QSizeF logical(1200, 1200 * slot / width_);
  for (auto& chart : made) {
    QGraphicsScene scene;
    scene.addItem(chart.get());
    davu::reportcharts::SetFont(chart.get(), PaperFont(false, 1.0 / 0.75));
    chart->setGeometry(QRectF(QPointF(0, 0), logical));
    scene.render(painter_, QRectF(0, y_, width_, slot * 0.96), QRectF(QPointF(0, 0), logical));
    scene.removeItem(chart.get());
    y_ += slot;
  }
}

void ReportPrinter::preparePage(QPagedPaintDevice& device) {
  device.setPageSize(QPageSize(QPageSize::A4));
  device.setPageMargins(QMarginsF(15, 15, 15, 12), QPageLayout::Millimeter);
}

bool ReportPrinter::writePdf(const ReportRows& rows, const ReportFigures& figures, const QString& path,
                             QString* error, const davu::reportfile::Progress& progress) {
  return davu::reportfile::Save(
      path,
      [&](const QString& temp, QString* reason) {
        bool painted = false;
        {
          QPdfWriter pdf(temp);
          preparePage(pdf);
          pdf.setResolution(300);
          pdf.setTitle(QStringLiteral("DAVU statistik"));
          pdf.setCreator(QStringLiteral("DAVU Admin"));
          ReportPrinter printer(rows, figures);
          painted = printer.paint(pdf, progress) > 0;
        }
        if (!painted) *reason = QStringLiteral("PDF-filen kunde inte skrivas.");
        return painted;
      },
      error);
}

}  // namespace davu
