#include "calllog/XlsxWriter.h"

#include <xlsxwriter.h>

#include <QDir>
#include <memory>
#include <string>
#include <vector>

#include "calllog/ReportFigures.h"
#include "calllog/ReportRows.h"
#include "calllog/ReportText.h"
#include "calllog/SummaryModel.h"
#include "protocol/WireCodec.h"

namespace davu {

namespace {

constexpr int kProgressEvery = 8192;
// Excel counts days from 1899-12-30; 1970-01-01 is day 25569.
constexpr double kExcel1970 = 25569.0;

std::string Utf8(const QString& s) { return s.toStdString(); }

std::string Utf8(std::string_view wire) {
  std::string out;
  davu::proto::AppendCp1252AsUtf8(out, wire);
  return out;
}

// Writes cells and remembers the first failure; libxlsxwriter reports
// errors per call and again when the workbook is closed.
struct Sheet {
  lxw_worksheet* ws;
  lxw_error failed = LXW_NO_ERROR;

  void check(lxw_error e) {
    if (e != LXW_NO_ERROR && failed == LXW_NO_ERROR) failed = e;
  }
  void text(int r, int c, const std::string& s, lxw_format* f = nullptr) {
    check(worksheet_write_string(ws, lxw_row_t(r), lxw_col_t(c), s.c_str(), f));
  }
  void number(int r, int c, double v, lxw_format* f = nullptr) {
    check(worksheet_write_number(ws, lxw_row_t(r), lxw_col_t(c), v, f));
  }
  // A time or share that may be missing: a blank cell then.
  void optionalNumber(int r, int c, double v, bool present, lxw_format* f) {
    if (present) number(r, c, v, f);
  }
};

struct Formats {
  lxw_format* bold;
  lxw_format* header;
  lxw_format* moment;
  lxw_format* share;
  lxw_format* duration;
  lxw_format* boldNumber;
};

void WriteSummary(const Formats& fmt, const ReportRows& rows, const ReportFigures& f,
                  Sheet& s) {
  const ReportChoices& c = rows.choices();
  int r = 0;
  if (!c.clinic.isEmpty()) s.text(r++, 0, Utf8(c.clinic), fmt.bold);
  s.text(r++, 0, Utf8(davu::reporttext::Choices(c)));
  ++r;
  for (int col = 0; col < SummaryModel::ColumnCount; ++col)
    s.text(r, col, Utf8(SummaryModel::title(col)), fmt.header);
  worksheet_freeze_panes(s.ws, lxw_row_t(r + 1), 0);
  ++r;
  const auto line = [&](const GroupFigures& g) {
    lxw_format* plain = g.kind == GroupFigures::Total ? fmt.boldNumber : nullptr;
    s.text(r, SummaryModel::Kind, Utf8(SummaryModel::text(g, SummaryModel::Kind)), plain);
    s.text(r, SummaryModel::Name, Utf8(SummaryModel::text(g, SummaryModel::Name)), plain);
    s.number(r, SummaryModel::Calls, g.calls, plain);
    s.number(r, SummaryModel::Confirmed, g.confirmed, plain);
    s.optionalNumber(r, SummaryModel::Share, g.confirmedShare(), g.calls > 0, fmt.share);
    s.number(r, SummaryModel::Sms, g.smsSent, plain);
    s.optionalNumber(r, SummaryModel::Median, g.medianSeconds / 86400, g.medianSeconds >= 0, fmt.duration);
    s.optionalNumber(r, SummaryModel::P90, g.p90Seconds / 86400.0, g.p90Seconds >= 0, fmt.duration);
    s.optionalNumber(r, SummaryModel::Longest, g.longestSeconds / 86400.0, g.longestSeconds >= 0, fmt.duration);
    ++r;
  };
  for (const GroupFigures& g : f.resources) line(g);
  for (const GroupFigures& g : f.clients) line(g);
  line(f.total);
  s.text(r + 1, 0, Utf8(SummaryModel::note()));
  worksheet_set_column(s.ws, 0, 0, 9, nullptr);
  worksheet_set_column(s.ws, 1, 1, 32, nullptr);
  worksheet_set_column(s.ws, 2, 8, 15, nullptr);
}

void WriteRows(const Formats& fmt, const ReportRows& rows, Sheet& s, const davu::reportfile::Progress& progress) {
  const QStringList titles = ReportRows::titles();
  for (int col = 0; col < titles.size(); ++col) s.text(0, col, Utf8(titles[col]), fmt.header);
  worksheet_freeze_panes(s.ws, 1, 0);
  const double widths[] = {30, 30, 19, 19, 12};
  for (int col = 0; col < 5; ++col) worksheet_set_column(s.ws, lxw_col_t(col), lxw_col_t(col), widths[col], nullptr);

  // Each name once in UTF-8.
  std::vector<std::string> clients, resources;
  for (const QString& n : rows.clientNames()) clients.push_back(Utf8(n));
  for (const QString& n : rows.resourceNames()) resources.push_back(Utf8(n));

  const auto moment = [&](int r, int col, std::int64_t m, ReportRows::Field field, int row) {
    if (m != kNoTime) {
      s.number(r, col, double(m) / 86400 + kExcel1970, fmt.moment);
    } else if (!rows.raw(row, field).empty()) {
      s.text(r, col, Utf8(rows.raw(row, field)));  // unreadable: as sent
    }
  };
  for (int i = 0; i < rows.size(); ++i) {
    const ReportRows::Row& row = rows.row(i);
    const int r = i + 1;
    s.text(r, 0, clients[row.client]);
    s.text(r, 1, resources[row.resource]);
    moment(r, 2, row.called, ReportRows::Called, i);
    moment(r, 3, row.confirmed, ReportRows::Confirmed, i);
    s.check(worksheet_write_boolean(s.ws, lxw_row_t(r), 4, row.smsSent, nullptr));
    if (progress && i % kProgressEvery == kProgressEvery - 1) progress(i + 1, rows.size());
  }
}

QString XlsxReason(lxw_error e) {
  switch (e) {
    case LXW_ERROR_CREATING_XLSX_FILE: return QStringLiteral("Filen kunde inte skapas.");
    case LXW_ERROR_CREATING_TMPFILE: return QStringLiteral("En tillfällig fil kunde inte skapas.");
    case LXW_ERROR_MEMORY_MALLOC_FAILED: return QStringLiteral("Minnet räckte inte.");
    case LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE:
      return QStringLiteral("Rapporten har fler rader än ett Excel-blad rymmer; spara den som CSV.");
    default:
      return QStringLiteral("Excel-filen kunde inte skrivas (") + QString::fromUtf8(lxw_strerror(e)) +
             QStringLiteral(").");
  }
}

}  // namespace

bool XlsxWriter::write(const ReportRows& rows, const ReportFigures& figures, const QString& path,
                       QString* error, const davu::reportfile::Progress& progress) {
  return davu::reportfile::Save(
      path,
      [&](const QString& temp, QString* reason) {
        // Constant memory: each row goes to disk as it is written, so a large
        // report does not hold the whole sheet in memory twice.
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;
        const QByteArray file = QFile::encodeName(temp);
        lxw_workbook* wb = workbook_new_opt(file.constData(), &options);
        if (!wb) {
          *reason = XlsxReason(LXW_ERROR_MEMORY_MALLOC_FAILED);
          return false;
        }
        Formats fmt;
        fmt.bold = workbook_add_format(wb);
        format_set_bold(fmt.bold);
        fmt.boldNumber = fmt.bold;
        fmt.header = workbook_add_format(wb);
        format_set_bold(fmt.header);
        format_set_bottom(fmt.header, LXW_BORDER_THIN);
        fmt.moment = workbook_add_format(wb);
        format_set_num_format(fmt.moment, "yyyy-mm-dd hh:mm:ss");
        fmt.share = workbook_add_format(wb);
        format_set_num_format(fmt.share, "0.0%");
        fmt.duration = workbook_add_format(wb);
        format_set_num_format(fmt.duration, "[h]:mm:ss");

        Sheet summary{workbook_add_worksheet(wb, "Sammanfattning")};
        Sheet calls{workbook_add_worksheet(wb, "Kallelser")};
        if (rows.size() + 1 > LXW_ROW_MAX) calls.failed = LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE;
        else {
          WriteSummary(fmt, rows, figures, summary);
          WriteRows(fmt, rows, calls, progress);
        }
        const lxw_error written = summary.failed ? summary.failed : calls.failed;
        const lxw_error closed = workbook_close(wb);
        const lxw_error e = written ? written : closed;
        if (e != LXW_NO_ERROR) *reason = XlsxReason(e);
        return e == LXW_NO_ERROR;
      },
      error);
}

}  // namespace davu
