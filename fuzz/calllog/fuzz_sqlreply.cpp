// RETSQL payloads from the network: the row reader must stay inside the
// payload and hand out well-formed entries, and the table must load any
// payload or refuse it with SqlReplyError, staying consistent either way.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "calllog/TSVVirtualTable.h"
#include "protocol/SqlRows.h"

namespace {
void Check(bool ok) {
  if (!ok) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view payload(reinterpret_cast<const char*>(data), size);

  davu::proto::SqlRowReader reader(payload);
  std::string_view name, value;
  std::size_t rows = 0;
  while (reader.nextRow()) {
    ++rows;
    while (reader.nextEntry(name, value)) {
      Check(name.data() >= payload.data() && value.data() + value.size() <= payload.data() + size);
      Check(name.find('|') == std::string_view::npos && name.find('~') == std::string_view::npos);
      Check(value.find('~') == std::string_view::npos);
    }
  }
  Check(rows <= size / 3);

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
  return 0;
}
