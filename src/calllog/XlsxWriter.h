#pragma once
// The report as an Excel workbook: the sheet "Sammanfattning" with the
// range, the choices and the summary (counts as numbers, shares as
// percentages, times as durations), and the sheet "Kallelser" with the rows
// as typed cells (call and confirmation times as dates, "SMS skickat" as a
// truth value), a frozen title row and column widths that fit.
#include <QString>

#include "calllog/ReportFile.h"

namespace davu {

class ReportRows;
struct ReportFigures;

class XlsxWriter {
 public:
  static bool write(const ReportRows& rows, const ReportFigures& figures, const QString& path,
                    QString* error, const davu::reportfile::Progress& progress = {});
};

}  // namespace davu
