#include "calllog/TSVVirtualTable.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

#include "common/WireText.h"
#include "protocol/SqlRows.h"

using namespace davu;

namespace davu {

namespace {

// The select list may name this column; it holds longer values.
constexpr auto kLongField = "SOPInstanceUID";
constexpr int kLongSize = 255;
constexpr int kDefaultSize = 64;
constexpr int kMaxSelectItems = 50;

// Letter-case folding of Windows-1252 bytes (ASCII, the Latin-1 letters and
// the few letters of 0x8A..0x9F), for matching column names as the table's
// field lookup does.
const std::array<unsigned char, 256>& FoldTable() {
  static const std::array<unsigned char, 256> table = [] {
    std::array<unsigned char, 256> t{};
    for (int i = 0; i < 256; ++i) t[i] = static_cast<unsigned char>(i);
    for (int c = 'a'; c <= 'z'; ++c) t[c] = static_cast<unsigned char>(c - 32);
    for (int c = 0xE0; c <= 0xFE; ++c)
      if (c != 0xF7) t[c] = static_cast<unsigned char>(c - 32);
    t[0x9A] = 0x8A;  // š
    t[0x9C] = 0x8C;  // œ
    t[0x9E] = 0x8E;  // ž
    t[0xFF] = 0x9F;  // ÿ
    return t;
  }();
  return table;
}

// The first and the last sizeof(Word) bytes of two texts of n bytes agree.
template <typename Word>
bool SameEnds(const char* a, const char* b, std::size_t n) {
  Word a0, a1, b0, b1;
  std::memcpy(&a0, a, sizeof(Word));
  std::memcpy(&b0, b, sizeof(Word));
  std::memcpy(&a1, a + n - sizeof(Word), sizeof(Word));
  std::memcpy(&b1, b + n - sizeof(Word), sizeof(Word));
  return ((a0 ^ b0) | (a1 ^ b1)) == 0;
}

// Byte equality without a library call for the short names of columns.
[[gnu::always_inline]] inline bool SameBytes(std::string_view a, std::string_view b) {
  const std::size_t n = a.size();
  if (n != b.size()) return false;
  if (n >= 4 && n < 8) return SameEnds<std::uint32_t>(a.data(), b.data(), n);
  if (n >= 8 && n <= 16) return SameEnds<std::uint64_t>(a.data(), b.data(), n);
  return a == b;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  const auto& fold = FoldTable();
  for (std::size_t i = 0; i < a.size(); ++i)
    if (fold[static_cast<unsigned char>(a[i])] != fold[static_cast<unsigned char>(b[i])])
      return false;
  return true;
}

}  // namespace

SqlReplyError::SqlReplyError(const QString& text)
    : std::runtime_error(text.toStdString()), text_(text) {}

}  // namespace davu

TSVVirtualTable::TSVVirtualTable(QObject* parent) : QAbstractTableModel(parent) {}

TSVVirtualTable::~TSVVirtualTable() = default;

void TSVVirtualTable::setSQL(const QStringList& lines) {
  sql_ = lines;
  SQLChanged();
}

// Column definitions from the select list: columns no longer listed go, new
// items are added in order, existing ones stay as they are.
void TSVVirtualTable::SQLChanged() {
  beginResetModel();
  open_ = false;
  clearRows();

  const QString text = sql_.join(u'\n');
  const qsizetype select = text.indexOf(QLatin1String("SELECT"), 0, Qt::CaseInsensitive);
  if (select >= 0) {
    // Skip "SELECT" and the one character after it.
    const QString kept = text.mid(select + 7);
    const qsizetype from = kept.indexOf(QLatin1String("FROM"), 0, Qt::CaseInsensitive);
    if (from >= 0) {
      const QString list = kept.left(from);
      for (std::size_t i = defs_.size(); i-- > 0;)
        if (!list.contains(defs_[i].name, Qt::CaseSensitive)) defs_.erase(defs_.begin() + i);

      const QStringList items = list.split(u',');
      for (qsizetype i = 0; i < items.size() && i < kMaxSelectItems; ++i) {
        const QString item = TrimControl(items.at(i));
        if (item.isEmpty()) break;
        bool known = false;
        for (const FieldDef& d : defs_) known = known || d.name == item;
        if (known) continue;
        defs_.push_back({item, item == QLatin1String(kLongField) ? kLongSize : kDefaultSize, false});
      }
    }
  }

  wireNames_.clear();
  for (const FieldDef& d : defs_) wireNames_.push_back(ToWire(d.name));
  checkColumn_ = checkField_.isEmpty() ? -1 : fieldIndex(checkField_);
  endResetModel();
}

int TSVVirtualTable::fieldIndex(const QString& name) const {
  for (std::size_t i = 0; i < defs_.size(); ++i)
    if (defs_[i].name.compare(name, Qt::CaseInsensitive) == 0) return static_cast<int>(i);
  return -1;
}

int TSVVirtualTable::findColumn(std::string_view wireName, int hint) const {
  const int n = static_cast<int>(wireNames_.size());
  // Servers send the entries in select-list order and in the declared case,
  // so the column after the previous one usually matches byte for byte.
  if (hint >= 0 && hint < n && (SameBytes(wireNames_[hint], wireName) || SameIgnoringCase(wireNames_[hint], wireName)))
    return hint;
  for (int i = 0; i < n; ++i)
    if (SameIgnoringCase(wireNames_[i], wireName)) return i;
  return -1;
}

void TSVVirtualTable::clearRows() {
  arena_.release();
  std::vector<Cell>().swap(cells_);
  rowCount_ = 0;
  spareArena_.release();
  std::vector<Cell>().swap(spareCells_);
  stream_.reset();
  aheadRows_ = 0;
}

void TSVVirtualTable::close() {
  beginResetModel();
  open_ = false;
  clearRows();
  endResetModel();
}

void TSVVirtualTable::putCell(std::size_t row, int column, std::string_view bytes) {
  static_assert(kLongSize <= kLongestValue && kDefaultSize <= kLongestValue, "a cell's length is one byte");
  const std::size_t size = static_cast<std::size_t>(defs_[column].size);
  if (bytes.size() > size) bytes = bytes.substr(0, size);
  Cell& cell = cells_[row * defs_.size() + static_cast<std::size_t>(column)];
  cell = {static_cast<std::uint32_t>(arena_.size()), bytes.size()};
  arena_.append(bytes);
}

namespace {

std::uint64_t HashOf(std::string_view s) {
  TSVVirtualTable::PrefixHash h;
  h.add(s);
  return h.value();
}

}  // namespace

// Decodes the row pieces of bytes[from, ...) into the spare buffers behind
// the `rows` already there. Returns where the last piece read ends; on an
// entry of no column, `missing` is its name and the half-read row is gone.
std::size_t TSVVirtualTable::decodeRows(std::string_view bytes, std::size_t from, std::size_t& rows,
                                        std::optional<std::string_view>& missing) {
  const std::size_t columns = defs_.size();
  davu::calllog::CellBytes& arena = spareArena_;
  std::vector<Cell>& cells = spareCells_;
  // Values are never longer than the bytes they come from.
  arena.reserveMore(bytes.size() - from);
  const char* const readable = bytes.data() + bytes.size();
  using davu::proto::SqlRowReader;
  SqlRowReader reader(bytes.substr(from));
  for (;;) {
    if (cells.size() + columns > cells.capacity()) cells.reserve(std::max<std::size_t>(64, 2 * cells.capacity()));
    cells.resize(cells.size() + columns);
    Cell* row = cells.data() + rows * columns;
    std::fill_n(row, columns, Cell(0, 0));  // a column the row lacks is empty
    const std::size_t arenaBefore = arena.size();
    int hint = 0;
    const SqlRowReader::Row read = reader.readRow([&](std::string_view name, std::string_view value) {
      // The column after the previous one, as servers send them, is tried here.
      const int column = hint < int(columns) && SameBytes(wireNames_[std::size_t(hint)], name) ? hint
                                                                                                : findColumn(name, hint);
      if (column < 0) {
        missing = name;
        return false;
      }
      const std::size_t size = static_cast<std::size_t>(defs_[static_cast<std::size_t>(column)].size);
      if (value.size() > size) value = value.substr(0, size);
      row[column] = {static_cast<std::uint32_t>(arena.size()), value.size()};
      arena.appendReserved(value, readable);
      hint = column + 1;
      return true;
    });
    if (read == SqlRowReader::Row::Read) {
      ++rows;
      continue;
    }
    // A refused row, or the start of one still arriving, is not kept.
    cells.resize(rows * columns);
    arena.truncate(arenaBefore);
    if (read == SqlRowReader::Row::None) missing.reset();
    return from + reader.used();
  }
}

void TSVVirtualTable::StreamSqlReply(std::uint64_t reply, std::string_view soFar) {
  if (!stream_ || stream_->reply != reply || soFar.size() < stream_->searched) {
    spareArena_.clear();
    spareCells_.clear();
    stream_.emplace(reply);
    ++streamSerial_;
  }
  Stream& s = *stream_;
  const std::size_t rowsBefore = s.rows;
  // Offsets are 32-bit: a reply that large is left to LoadSqlReply to refuse.
  if (s.broken || soFar.size() >= std::numeric_limits<std::uint32_t>::max()) {
    s.broken = true;
    return;
  }
  // A read that ends no row piece adds no row. Each byte is searched for a
  // piece's end once, so a piece that takes many reads (a server may send
  // one of any length) is walked when it ends, not again at every read.
  const bool ends = davu::proto::EndsSqlRowPiece(soFar, s.searched);
  s.searched = soFar.size();
  if (!ends) return;
  std::optional<std::string_view> missing;
  const std::size_t used = decodeRows(soFar, s.used, s.rows, missing);
  s.hash.add(soFar.substr(s.used, used - s.used));
  s.used = used;
  // The finished reply is decoded whole and refused there.
  s.broken = missing.has_value();
  if (s.rows > rowsBefore) emit rowsArriving();
}

std::string_view TSVVirtualTable::arrivingValue(std::size_t row, int column) const {
  if (!stream_ || row >= stream_->rows || column < 0 || static_cast<std::size_t>(column) >= defs_.size())
    return {};
  const Cell& cell = spareCells_[row * defs_.size() + static_cast<std::size_t>(column)];
  return spareArena_.view().substr(cell.offset, cell.length);
}

// The reply is decoded into the spare buffers, which then change places with
// the shown ones: the shown rows stay whole until the new ones are, and the
// next reply is decoded into pages that are already the table's. What a
// stream of the reply's first bytes decoded is kept when the reply begins
// with exactly those bytes.
void TSVVirtualTable::LoadSqlReply(std::string_view payload) {
  std::size_t rows = 0;
  std::size_t from = 0;
  if (stream_ && !stream_->broken && stream_->used <= payload.size() &&
      HashOf(payload.substr(0, stream_->used)) == stream_->hash.value()) {
    from = stream_->used;
    rows = stream_->rows;
  } else {
    spareArena_.clear();
    spareCells_.clear();
  }
  aheadRows_ = rows;
  aheadSerial_ = streamSerial_;
  stream_.reset();
  const auto publish = [&] {
    beginResetModel();
    open_ = true;
    std::swap(arena_, spareArena_);
    cells_.swap(spareCells_);
    rowCount_ = rows;
    endResetModel();
  };
  // Offsets are 32-bit; a value never grows beyond the reply's bytes.
  if (payload.size() >= std::numeric_limits<std::uint32_t>::max()) {
    spareCells_.clear();
    rows = 0;
    publish();
    throw SqlReplyError(QStringLiteral("Svaret från servern är för stort att visa."));
  }
  std::optional<std::string_view> missing;
  decodeRows(payload, from, rows, missing);
  publish();
  if (missing)
    throw SqlReplyError(QStringLiteral("Fältet '%1' finns inte i tabellen.").arg(FromWire(*missing)));
}

std::string_view TSVVirtualTable::rawValue(int row, int column) const {
  if (row < 0 || column < 0 || static_cast<std::size_t>(row) >= rowCount_ ||
      static_cast<std::size_t>(column) >= defs_.size())
    return {};
  const Cell& cell = cells_[static_cast<std::size_t>(row) * defs_.size() + static_cast<std::size_t>(column)];
  return arena_.view().substr(cell.offset, cell.length);
}

QString TSVVirtualTable::value(int row, int column) const { return FromWire(rawValue(row, column)); }

QString TSVVirtualTable::value(int row, const QString& fieldName) const {
  return value(row, fieldIndex(fieldName));
}

void TSVVirtualTable::setValue(int row, int column, const QString& text) {
  if (row < 0 || column < 0 || static_cast<std::size_t>(row) >= rowCount_ ||
      static_cast<std::size_t>(column) >= defs_.size())
    return;
  putCell(static_cast<std::size_t>(row), column, ToWire(text));
  const QModelIndex i = index(row, column);
  emit dataChanged(i, i);
}

void TSVVirtualTable::setColumnTitle(const QString& fieldName, const QString& title) {
  titles_.insert(fieldName.toUpper(), title);
  const int c = fieldIndex(fieldName);
  if (c >= 0) emit headerDataChanged(Qt::Horizontal, c, c);
}

void TSVVirtualTable::setCheckColumn(const QString& fieldName) {
  checkField_ = fieldName;
  checkColumn_ = fieldIndex(fieldName);
}

int TSVVirtualTable::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rowCount_);
}

int TSVVirtualTable::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(defs_.size());
}

QVariant TSVVirtualTable::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const int row = index.row(), column = index.column();
  if (column == checkColumn_) {
    if (role == Qt::CheckStateRole)
      return rawValue(row, column) == "T" ? Qt::Checked : Qt::Unchecked;
    if (role == Qt::EditRole) return value(row, column);
    // The tick shows no text; a screen reader names the cell by its column.
    if (role == Qt::AccessibleTextRole) return headerData(column, Qt::Horizontal, Qt::DisplayRole);
    return {};
  }
  if (role == Qt::DisplayRole || role == Qt::EditRole) return value(row, column);
  return {};
}

bool TSVVirtualTable::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || index.column() != checkColumn_) return false;
  if (role == Qt::CheckStateRole) {
    setValue(index.row(), index.column(),
             value.toInt() == Qt::Checked ? QStringLiteral("T") : QStringLiteral("F"));
    return true;
  }
  if (role == Qt::EditRole) {
    setValue(index.row(), index.column(), value.toString());
    return true;
  }
  return false;
}

Qt::ItemFlags TSVVirtualTable::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (index.column() == checkColumn_) f |= Qt::ItemIsUserCheckable;
  return f;
}

QVariant TSVVirtualTable::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal) {
    if (section < 0 || static_cast<std::size_t>(section) >= defs_.size()) return {};
    const QString& name = defs_[static_cast<std::size_t>(section)].name;
    if (role == Qt::DisplayRole) return titles_.value(name.toUpper(), name);
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
  }
  if (role == Qt::DisplayRole) return section + 1;
  return {};
}
