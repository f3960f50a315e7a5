// RETSQL payloads from the network: the row reader must stay inside the
// payload and hand out well-formed entries, its one-walk reading must give
// the same rows, entries and piece ends, and the table must load any
// payload or refuse it with SqlReplyError, staying consistent either way;
// the payload streamed in two cuts and then loaded ends as loaded whole.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <utility>
#include <vector>

#include "calllog/TSVVirtualTable.h"
#include "protocol/SqlRows.h"

using namespace davu;

namespace {
void Fail(int line) {
  std::fprintf(stderr, "check failed at line %d\n", line);
  std::abort();
}
#define Check(ok) ((ok) ? void() : Fail(__LINE__))
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view payload(reinterpret_cast<const char*>(data), size);

  davu::proto::SqlRowReader reader(payload);
  std::string_view name, value;
  std::size_t rows = 0;
  std::vector<std::pair<std::string_view, std::string_view>> entries;  // of every row, in order
  std::vector<std::size_t> ends;                                       // where each row's piece ends
  while (reader.nextRow()) {
    ++rows;
    while (reader.nextEntry(name, value)) {
      Check(name.data() >= payload.data() && value.data() + value.size() <= payload.data() + size);
      Check(name.find('|') == std::string_view::npos && name.find('~') == std::string_view::npos);
      Check(value.find('~') == std::string_view::npos);
      entries.emplace_back(name, value);
    }
    entries.emplace_back();  // between rows
    ends.push_back(reader.used());
  }
  Check(rows <= size / 3);

  // The one-walk reader reads the same rows, entries and piece ends; what
  // it hands out of a piece that never ends belongs to no row.
  davu::proto::SqlRowReader walk(payload);
  std::size_t at = 0, row = 0;
  std::vector<std::pair<std::string_view, std::string_view>> walked;
  for (;;) {
    walked.clear();
    const auto read = walk.readRow([&](std::string_view n, std::string_view v) {
      Check(n.data() >= payload.data() && v.data() + v.size() <= payload.data() + size);
      walked.emplace_back(n, v);
      return true;
    });
    if (read == davu::proto::SqlRowReader::Row::None) break;
    Check(read == davu::proto::SqlRowReader::Row::Read && row < rows && walk.used() == ends[row]);
    for (const auto& [n, v] : walked) {
      Check(entries[at].first.data() == n.data() && entries[at].first.size() == n.size() &&
            entries[at].second.data() == v.data() && entries[at].second.size() == v.size());
      ++at;
    }
    Check(entries[at].first.data() == nullptr);
    ++at;
    ++row;
  }
  Check(row == rows);

  static TSVVirtualTable* table = [] {
    auto* t = new TSVVirtualTable;
    t->setSQL(QStringLiteral("SELECT Radera, FRIENDLYNAME, LOPNR, FULLNAME, SOPInstanceUID FROM T"));
    return t;
  }();
  try {
    table->LoadSqlReply(payload);
    Check(static_cast<std::size_t>(table->RecordCount()) == rows);
  } catch (const SqlReplyError&) {
    Check(static_cast<std::size_t>(table->RecordCount()) < rows);
  }
  for (int r = 0; r < table->RecordCount(); ++r)
    for (int c = 0; c < table->columnCount(); ++c)
      Check(table->rawValue(r, c).size() <= static_cast<std::size_t>(table->fieldDefs()[c].size));

  static TSVVirtualTable* streamed = [] {
    auto* t = new TSVVirtualTable;
    t->setSQL(table->SQL());
    return t;
  }();
  static std::uint64_t reply = 0;
  ++reply;
  const std::size_t first = size > 0 ? data[0] % (size + 1) : 0;
  const std::size_t second = first + (size > 1 ? data[1] % (size - first + 1) : 0);
  streamed->StreamSqlReply(reply, payload.substr(0, first));
  streamed->StreamSqlReply(reply, payload.substr(0, second));
  bool refused = false;
  try {
    streamed->LoadSqlReply(payload);
  } catch (const SqlReplyError&) {
    refused = true;
  }
  Check(streamed->RecordCount() == table->RecordCount());
  for (int r = 0; r < table->RecordCount(); ++r)
    for (int c = 0; c < table->columnCount(); ++c) Check(streamed->rawValue(r, c) == table->rawValue(r, c));
  (void)refused;
  return 0;
}
