#include "calllog/CsvWriter.h"

#include <QFile>
#include <algorithm>
#include <array>
#include <cstring>
#include <cerrno>
#include <vector>

#include "calllog/ReportRows.h"
#include "protocol/WireCodec.h"

namespace davu {

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

namespace {

// Bytes that go out as they are: ASCII without the separator, quotes or
// line breaks. Time stamps and truth texts nearly always are.
constexpr std::array<bool, 256> kPlain = [] {
  std::array<bool, 256> t{};
  for (int c = 0; c < 0x80; ++c) t[std::size_t(c)] = c != ';' && c != '"' && c != '\r' && c != '\n';
  return t;
}();

bool Plain(std::string_view bytes) {
  bool plain = true;
  for (const char c : bytes) plain &= kPlain[static_cast<unsigned char>(c)];
  return plain;
}

// Each client and resource name as a finished field, made once: a report
// names the same few dozen of them on every row.
std::vector<std::string> Fields(const std::vector<QString>& names) {
  std::vector<std::string> fields;
  fields.reserve(names.size());
  for (const QString& name : names) {
    std::string f;
    CsvWriter::appendField(f, name.toStdString());
    fields.push_back(std::move(f));
  }
  return fields;
}

// Makes the file's bytes, handing them to `flush` a chunk at a time: the file
// is written from a buffer that stays in the processor's cache instead of
// from one of the file's whole size. Rows are copied with memcpy into the
// buffer; only a value that needs quoting or converting takes the slow way.
template <typename Flush>
void Produce(const ReportRows& rows, const davu::reportfile::Progress& progress, Flush flush) {
  constexpr std::size_t kChunk = 1 << 20;
  std::string head = "\xEF\xBB\xBF";
  const QStringList titles = ReportRows::titles();
  for (int f = 0; f < titles.size(); ++f) {
    if (f) head.push_back(';');
    CsvWriter::appendField(head, titles[f].toStdString());
  }
  head += "\r\n";
  if (!flush(std::string_view(head))) return;

  const std::vector<std::string> clients = Fields(rows.clientNames());
  const std::vector<std::string> resources = Fields(rows.resourceNames());
  std::vector<char> buffer;
  std::size_t used = 0;
  const auto put = [&](std::string_view bytes) {
    if (used + bytes.size() > buffer.size()) buffer.resize(std::max(2 * buffer.size(), used + bytes.size()));
    std::memcpy(buffer.data() + used, bytes.data(), bytes.size());
    used += bytes.size();
  };
  buffer.resize(kChunk + 64 * 1024);
  std::string field;
  for (int r = 0; r < rows.size(); ++r) {
    put(clients[rows.row(r).client]);
    put(";");
    put(resources[rows.row(r).resource]);
    for (int f = ReportRows::Called; f < ReportRows::FieldCount; ++f) {
      put(";");
      const std::string_view raw = rows.raw(r, ReportRows::Field(f));
      if (Plain(raw)) {
        put(raw);
        continue;
      }
      field.clear();
      std::string converted;
      davu::proto::AppendCp1252AsUtf8(converted, raw);
      CsvWriter::appendField(field, converted);
      put(field);
    }
    put("\r\n");
    if (used >= kChunk) {
      if (!flush(std::string_view(buffer.data(), used))) return;
      used = 0;
    }
    if (progress && r % kProgressEvery == kProgressEvery - 1) progress(r + 1, rows.size());
  }
  flush(std::string_view(buffer.data(), used));
}

}  // namespace

std::string CsvWriter::text(const ReportRows& rows, const davu::reportfile::Progress& progress) {
  std::string whole;
  Produce(rows, progress, [&](std::string_view bytes) {
    whole += bytes;
    return true;
  });
  return whole;
}

bool CsvWriter::write(const ReportRows& rows, const QString& path, QString* error,
                      const davu::reportfile::Progress& progress) {
  return davu::reportfile::Save(
      path,
      [&](const QString& temp, QString* reason) {
        QFile file(temp);
        errno = 0;
        bool ok = file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered);
        if (ok)
          Produce(rows, progress, [&](std::string_view bytes) {
            ok = file.write(bytes.data(), qint64(bytes.size())) == qint64(bytes.size());
            return ok;
          });
        if (ok) file.close();
        if (!ok || file.error() != QFileDevice::NoError) {
          *reason = errno ? davu::reportfile::Reason(errno) : file.errorString();
          return false;
        }
        return true;
      },
      error);
}

}  // namespace davu
