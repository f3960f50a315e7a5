#pragma once
// The in-memory result table of an SQL query. Its columns come from the
// select list of the SELECT text in `SQL`; its rows come from RETSQL replies.
// Every value is text, cut to its column's size (255 for SOPInstanceUID, 64
// otherwise), and is kept as the wire bytes it arrived as; the grid decodes
// only the cells it shows.
//
// Storage: one byte arena per reply plus an (offset, length) pair per cell,
// so a reply of N bytes costs well under N bytes of table, and a reply is
// loaded in one pass over it. The model is reset once per reply. The buffers
// of the reply before are kept for the next one: a report made again costs
// no fresh pages.
#include <QAbstractTableModel>
#include <QHash>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "calllog/CellBytes.h"

namespace davu {

// Raised when a reply names a column the table does not have. what() is the
// message in UTF-8; text() the same as QString.
class SqlReplyError : public std::runtime_error {
 public:
  explicit SqlReplyError(const QString& text);
  QString text() const { return text_; }

 private:
  QString text_;
};

}  // namespace davu

class TSVVirtualTable : public QAbstractTableModel {
  Q_OBJECT
  Q_PROPERTY(QStringList SQL READ SQL WRITE setSQL)

 public:
  struct FieldDef {
    QString name;
    int size = 64;
    bool required = false;
  };

  explicit TSVVirtualTable(QObject* parent = nullptr);
  ~TSVVirtualTable() override;

  QStringList SQL() const { return sql_; }
  // Every change rebuilds the column definitions (SQLChanged).
  void setSQL(const QStringList& lines);
  void setSQL(const QString& text) { setSQL(QStringList{text}); }

  const std::vector<FieldDef>& fieldDefs() const { return defs_; }
  // Column index by name, letter case ignored; -1 when absent.
  int fieldIndex(const QString& name) const;
  bool isOpen() const { return open_; }
  int RecordCount() const { return static_cast<int>(rowCount_); }

  // The stored value of a cell (wire bytes, or decoded).
  std::string_view rawValue(int row, int column) const;
  QString value(int row, int column) const;
  QString value(int row, const QString& fieldName) const;
  // Stores `text` cut to the column's size.
  void setValue(int row, int column, const QString& text);

  // Replaces all rows with those of a RETSQL payload ("¤RETSQL:" ... ":").
  // On a missing column it throws SqlReplyError; the rows decoded before
  // that entry stay, the half-decoded row is dropped, and the model has been
  // reset, so views are never left suspended.
  void LoadSqlReply(std::string_view payload);
  // The first bytes of reply number `reply` (as the connection numbers the
  // replies it receives), while the rest is still arriving: its complete rows
  // are decoded, not shown. LoadSqlReply of the finished reply goes on from
  // there if the reply begins with exactly these bytes, and starts afresh
  // otherwise. A reply that never finishes is never shown.
  void StreamSqlReply(std::uint64_t reply, std::string_view soFar);
  // The rows of the reply still arriving that are decoded so far: how many,
  // and one value (wire bytes, valid until the table changes). The serial
  // tells the streams apart: a stream that starts afresh takes a new one.
  std::size_t arrivingRows() const { return stream_ ? stream_->rows : 0; }
  std::string_view arrivingValue(std::size_t row, int column) const;
  std::uint64_t arrivingSerial() const { return streamSerial_; }
  // After LoadSqlReply: the first rows shown are these rows of that stream,
  // decoded while it arrived (0 when the reply was decoded afresh).
  std::size_t rowsDecodedAhead() const { return aheadRows_; }
  std::uint64_t aheadSerial() const { return aheadSerial_; }
  // Closes the table: no rows, definitions kept.
  void close();

  // Presentation: the grid titles and the check-box column.
  void setColumnTitle(const QString& fieldName, const QString& title);
  // The column shows a check box instead of its text: ticked when the value is
  // exactly "T"; ticking writes "T", unticking "F".
  void setCheckColumn(const QString& fieldName);
  int checkColumn() const { return checkColumn_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

 signals:
  // More rows of the reply still arriving are decoded (arrivingRows()).
  void rowsArriving();

 public:
  // A hash of a byte string that may be fed in pieces cut anywhere: the same
  // bytes give the same value however they were cut.
  class PrefixHash {
   public:
    void add(std::string_view s) {
      const std::size_t n = s.size();
      std::size_t i = 0;
      while (held_ > 0 && i < n) hold(static_cast<unsigned char>(s[i++]));
      // Whole words go to four lanes in turn (by their place in the whole
      // text), whose mixing runs side by side: a reply is hashed at about
      // the speed it is read from memory.
      for (; lane_ != 0 && i + 8 <= n; i += 8) mix(load(s.data() + i));
      if (i + 32 <= n) {
        std::uint64_t a = h_[0], b = h_[1], c = h_[2], d = h_[3];  // in registers, not memory
        for (; i + 32 <= n; i += 32) {
          const char* p = s.data() + i;
          a = Mixed(a, load(p));
          b = Mixed(b, load(p + 8));
          c = Mixed(c, load(p + 16));
          d = Mixed(d, load(p + 24));
        }
        h_[0] = a;
        h_[1] = b;
        h_[2] = c;
        h_[3] = d;
      }
      for (; i + 8 <= n; i += 8) mix(load(s.data() + i));
      while (i < n) hold(static_cast<unsigned char>(s[i++]));
    }
    std::uint64_t value() const {
      std::uint64_t h = kMul;
      for (unsigned k = 0; k < kLanes; ++k) h = Mixed(h, h_[k]);
      // A part word holds at most 7 bytes: the count fits above them.
      h ^= word_ ^ (std::uint64_t(held_) << 56) ^ (std::uint64_t(lane_) << 59);
      h *= kMul;
      return h ^ (h >> 31);
    }

   private:
    static constexpr std::uint64_t kMul = 0x9E3779B97F4A7C15ull;
    static constexpr unsigned kLanes = 4;
    static std::uint64_t load(const char* p) {
      std::uint64_t w;
      std::memcpy(&w, p, 8);
      return w;
    }
    static std::uint64_t Mixed(std::uint64_t h, std::uint64_t w) {
      h = (h ^ w) * kMul;
      return h ^ (h >> 29);
    }
    void mix(std::uint64_t w) {
      h_[lane_] = Mixed(h_[lane_], w);
      lane_ = (lane_ + 1) % kLanes;
    }
    void hold(unsigned char c) {
      word_ |= std::uint64_t(c) << (8 * held_);
      if (++held_ == 8) {
        mix(word_);
        word_ = 0;
        held_ = 0;
      }
    }
    std::uint64_t h_[kLanes] = {kMul, kMul + 1, kMul + 2, kMul + 3};
    std::uint64_t word_ = 0;
    unsigned held_ = 0;
    unsigned lane_ = 0;  // the lane of the next whole word
  };

 private:
  // Five bytes: no value is longer than 255 bytes, and what the decoder
  // writes besides the values is mostly cells.
  struct [[gnu::packed]] Cell {
    // Made without a value: the decoder writes every cell of a row, so
    // growing the table by a row writes its cells once, not twice.
    Cell() {}
    Cell(std::uint32_t o, std::size_t l) : offset(o), length(static_cast<std::uint8_t>(l)) {}
    std::uint32_t offset;
    std::uint8_t length;
  };
  static constexpr std::size_t kLongestValue = 255;

  void SQLChanged();
  void clearRows();
  void putCell(std::size_t row, int column, std::string_view bytes);
  std::size_t decodeRows(std::string_view bytes, std::size_t from, std::size_t& rows,
                         std::optional<std::string_view>& missing);
  int findColumn(std::string_view wireName, int hint) const;

  QStringList sql_;
  std::vector<FieldDef> defs_;
  std::vector<std::string> wireNames_;  // column names as wire bytes
  QHash<QString, QString> titles_;      // field name -> grid title
  int checkColumn_ = -1;
  QString checkField_;
  bool open_ = false;

  davu::calllog::CellBytes arena_;
  std::vector<Cell> cells_;  // row-major, defs_.size() per row
  std::size_t rowCount_ = 0;
  // The buffers the next reply is decoded into, kept from the one before.
  davu::calllog::CellBytes spareArena_;
  std::vector<Cell> spareCells_;
  // The reply being decoded into the spare buffers as it arrives.
  struct Stream {
    explicit Stream(std::uint64_t number) : reply(number) {}
    std::uint64_t reply;
    std::size_t used = 0;  // bytes of it decoded: up to the end of a row piece
    std::size_t searched = 0;  // bytes of it seen: from `used` on, no row piece ends in them
    std::size_t rows = 0;
    PrefixHash hash;       // of those bytes
    bool broken = false;   // an entry of no column: the finished reply decides
  };
  std::optional<Stream> stream_;
  std::uint64_t streamSerial_ = 0;
  std::size_t aheadRows_ = 0;
  std::uint64_t aheadSerial_ = 0;
};
