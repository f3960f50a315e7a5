#pragma once
// The report's rows as CSV for spreadsheet programs: UTF-8 with a byte-order
// mark, ';' between fields (a Swedish spreadsheet reads ',' as the decimal
// comma), CR LF between records and RFC 4180 quoting, so that a name holding
// ';', '"' or a line break comes back as it was. Values are written as the
// server sent them, like the grid shows them.
#include <QString>
#include <string>

#include "calllog/ReportFile.h"

namespace davu {

class ReportRows;

class CsvWriter {
 public:
  // The whole file.
  static std::string text(const ReportRows& rows, const davu::reportfile::Progress& progress = {});
  // Writes `path` (see davu::reportfile::Save).
  static bool write(const ReportRows& rows, const QString& path, QString* error,
                    const davu::reportfile::Progress& progress = {});

  // Appends one field, quoted when it needs to be.
  static void appendField(std::string& out, std::string_view utf8);
};

}  // namespace davu
