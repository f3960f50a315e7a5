#include "CsvWriter.h"

#include <QFile>

#include "ReportRows.h"
#include "protocol/WireCodec.h"

namespace {
constexpr int kProgressEvery = 8192;
}

void CsvWriter::appendField(std::string& out, std::string_view utf8) {
  if (utf8.find_first_of(";\"\r\n") == std::string_view::npos) {
    out.append(utf8);
    return;
  }
  out.push_back('"');
  for (const char c : utf8) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
}

std::string CsvWriter::text(const ReportRows& rows, const reportfile::Progress& progress) {
  std::string out = "\xEF\xBB\xBF";
  out.reserve(static_cast<std::size_t>(rows.size()) * 100 + 64);
  const QStringList titles = ReportRows::titles();
  for (int f = 0; f < titles.size(); ++f) {
    if (f) out.push_back(';');
    appendField(out, titles[f].toStdString());
  }
  out += "\r\n";
  std::string field;
  for (int r = 0; r < rows.size(); ++r) {
    for (int f = 0; f < ReportRows::FieldCount; ++f) {
      if (f) out.push_back(';');
      field.clear();
      davu::proto::AppendCp1252AsUtf8(field, rows.raw(r, ReportRows::Field(f)));
      appendField(out, field);
    }
    out += "\r\n";
    if (progress && r % kProgressEvery == kProgressEvery - 1) progress(r + 1, rows.size());
  }
  return out;
}

bool CsvWriter::write(const ReportRows& rows, const QString& path, QString* error,
                      const reportfile::Progress& progress) {
  return reportfile::Save(
      path,
      [&](const QString& temp, QString* reason) {
        const std::string bytes = text(rows, progress);
        QFile file(temp);
        errno = 0;
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size()) ||
            !file.flush()) {
          *reason = errno ? reportfile::Reason(errno) : file.errorString();
          return false;
        }
        file.close();
        return true;
      },
      error);
}
