#pragma once
// Reading the rows of a RETSQL payload. The payload, as the dispatcher cuts
// it, runs from "¤RETSQL:" through the ':' that opens ":RETSQL¤":
//
//   payload   = "¤RETSQL:" { piece ":" }        (the last ':' is the closing one)
//   piece     = "¤%" { entry "~" } "%¤"
//   entry     = name "|" value                   (first '|' splits; value may hold '|' and ':')
//
// A row piece therefore ends at the first "%¤:". The tag's head stays in
// front of the first piece. A piece whose text before its first ':' is blank
// is skipped. Entries are split at '~' and trimmed of codes 0..32; an empty
// entry ends the row and an entry without '|' is skipped. The value is not
// trimmed again, so blanks right after '|' stay.
//
// The reader walks the payload once, handing out views into it: no copies,
// time linear in the payload. The writer below builds what the reader reads.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "protocol/TextRules.h"

namespace davu::proto {

namespace sqlrows_detail {

// The first of `a`, `b` or `c` in p[from, n), or n. Entries are a few dozen
// bytes: sixteen are looked at in one step where the processor can, and a
// library call per entry would cost more than the search.
[[gnu::always_inline]] inline std::size_t FindAny(const char* p, std::size_t n, std::size_t from, char a,
                                                 char b, char c) {
  std::size_t i = from;
#if defined(__SSE2__)
  const __m128i va = _mm_set1_epi8(a);
  const __m128i vb = _mm_set1_epi8(b);
  const __m128i vc = _mm_set1_epi8(c);
  for (; i + 16 <= n; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    const __m128i hit =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, va), _mm_cmpeq_epi8(v, vb)), _mm_cmpeq_epi8(v, vc));
    const int mask = _mm_movemask_epi8(hit);
    if (mask != 0) return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
  }
#endif
  while (i < n && p[i] != a && p[i] != b && p[i] != c) ++i;
  return i;
}

// The places of '~', '|' and '%' in p[0, n), in order: the bytes a row's
// walk stops at. Found 64 bytes at a time, one bit per byte, so the walk
// neither looks at every byte nor searches again for every entry.
class Marks {
 public:
  Marks(const char* p, std::size_t n) : p_(p), n_(n) {}
  // Starts again at `at`.
  void seek(std::size_t at) { load(at); }
  // The next place, or n when none is left.
  [[gnu::always_inline]] std::size_t next() {
    while (bits_ == 0) {
      if (base_ + 64 >= n_) return n_;
      load(base_ + 64);
    }
    const std::size_t at = base_ + static_cast<std::size_t>(__builtin_ctzll(bits_));
    bits_ &= bits_ - 1;
    return at;
  }

 private:
  void load(std::size_t at) {
    base_ = at;
    bits_ = 0;
#if defined(__SSE2__)
    if (at < n_ && n_ - at >= 64) {
      const __m128i tilde = _mm_set1_epi8('~');
      const __m128i bar = _mm_set1_epi8('|');
      const __m128i percent = _mm_set1_epi8('%');
      for (int k = 0; k < 4; ++k) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p_ + at + 16 * k));
        const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, tilde), _mm_cmpeq_epi8(v, bar)),
                                         _mm_cmpeq_epi8(v, percent));
        bits_ |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(hit))) << (16 * k);
      }
      return;
    }
#endif
    for (std::size_t i = at; i < n_ && i - at < 64; ++i)
      if (p_[i] == '~' || p_[i] == '|' || p_[i] == '%') bits_ |= std::uint64_t(1) << (i - at);
  }

  const char* p_;
  std::size_t n_;
  std::size_t base_ = 0;
  std::uint64_t bits_ = 0;
};

}  // namespace sqlrows_detail

class SqlRowReader {
 public:
  explicit SqlRowReader(std::string_view payload)
      : begin_(payload.data()), size_(payload.size()), rest_(payload), marks_(begin_, size_) {}

  // Moves to the next row; false when no row piece is left.
  bool nextRow();
  // The next entry of the current row; false when the row has no more.
  bool nextEntry(std::string_view& name, std::string_view& value);
  // Bytes of the payload up to the end of the last piece read. Every piece
  // ends at its first "%¤:", so a reader of the first bytes of a payload
  // reads the same pieces as a reader of the whole, up to here.
  std::size_t used() const { return used_; }

  // How readRow ended: a row was read; a row was refused by the caller; no
  // whole row piece is left.
  enum class Row { Read, Refused, None };
  // The next row, read in one walk over its piece: the same rows and entries
  // as nextRow and nextEntry, but the entries go to onEntry(name, value) as
  // they are met, before the piece's end is known. onEntry returns false to
  // refuse the row; the walk then only looks for the piece's end. On None,
  // the entries handed out since the last row belong to no row. Not to be
  // mixed with nextRow on one reader.
  template <typename OnEntry>
  Row readRow(OnEntry&& onEntry);

 private:
  static bool Blank(char c) { return static_cast<unsigned char>(c) <= 32; }
  // The first "%¤" from the next mark on; n when none is left.
  std::size_t nextClose();
  // The row piece ends at the first "%¤:" from the close of its entries.
  Row endPiece(std::size_t close, Row read);
  Row none() {
    marksAt_ = kNoMarks;
    return Row::None;
  }

  const char* begin_;
  std::size_t size_;
  std::string_view rest_;     // the payload after the current piece
  std::string_view entries_;  // what is left of the current row's entries
  std::size_t used_ = 0;
  // readRow's walk, which stands at used_ when marksAt_ is used_.
  static constexpr std::size_t kNoMarks = ~std::size_t(0);
  sqlrows_detail::Marks marks_;
  std::size_t marksAt_ = kNoMarks;
};

inline std::size_t SqlRowReader::nextClose() {
  for (;;) {
    const std::size_t j = marks_.next();
    if (j + 1 >= size_) return size_;
    if (begin_[j] == '%' && begin_[j + 1] == '\xA4') return j;
  }
}

inline SqlRowReader::Row SqlRowReader::endPiece(std::size_t close, Row read) {
  for (std::size_t end = close;; end = nextClose()) {
    if (end + 2 >= size_) return none();
    if (begin_[end + 2] == ':') {
      used_ = end + 3;
      marksAt_ = used_;  // the walk has passed the '%', and "¤:" holds no mark
      return read;
    }
  }
}

template <typename OnEntry>
SqlRowReader::Row SqlRowReader::readRow(OnEntry&& onEntry) {
  constexpr std::size_t npos = std::string_view::npos;
  constexpr char kCurrencyByte = '\xA4';
  const char* const p = begin_;
  const std::size_t n = size_;
  if (marksAt_ != used_) marks_.seek(used_);
  for (;;) {
    // A piece whose text before its first ':' is blank is skipped.
    std::size_t i = used_;
    while (i < n && Blank(p[i])) ++i;
    if (i == n) return none();
    const bool skipped = p[i] == ':';
    // The entries open at the first "¤%" that lies wholly in front of the
    // first "%¤"; without one the row has no entries.
    std::size_t j;
    for (;;) {
      j = marks_.next();
      if (j + 2 >= n) return none();  // no room left for the piece's end
      if (p[j] != '%') continue;
      if (p[j + 1] == kCurrencyByte) break;
      if (!skipped && j > i && p[j - 1] == kCurrencyByte) break;
    }
    if (p[j + 1] == kCurrencyByte) {
      const Row read = endPiece(j, Row::Read);
      if (skipped && read == Row::Read) continue;
      return read;
    }

    // Entries run to the next '~' or the close; the first '|' of one splits
    // it. Bytes behind an empty entry or a refused one up to the close are
    // not read as entries.
    std::size_t part = j + 1;
    std::size_t bar = npos;
    for (;;) {
      j = marks_.next();
      if (j + 1 >= n) return none();
      if (p[j] == '|') {
        if (bar == npos) bar = j;
        continue;
      }
      const bool close = p[j] == '%';
      if (close && p[j + 1] != kCurrencyByte) continue;
      const std::string_view whole(p + part, j - part);
      // Most entries have nothing to trim: two bytes tell.
      const std::string_view trimmed =
          !whole.empty() && !Blank(whole.front()) && !Blank(whole.back()) ? whole : TrimControl(whole);
      const bool more = !trimmed.empty();  // an empty entry ends the row
      if (more && bar != npos) {
        const std::size_t split = bar - static_cast<std::size_t>(trimmed.data() - p);
        if (!onEntry(trimmed.substr(0, split), trimmed.substr(split + 1)))
          return endPiece(close ? j : nextClose(), Row::Refused);
      }
      if (close || !more) return endPiece(close ? j : nextClose(), Row::Read);
      part = j + 1;
      bar = npos;
    }
  }
}

// True when a row piece may end in `payload` other than wholly inside its
// first `seen` bytes: a reader that stopped for want of a piece's end there
// has nothing more to read unless this holds.
inline bool EndsSqlRowPiece(std::string_view payload, std::size_t seen) {
  const std::size_t from = seen > 2 ? seen - 2 : 0;
  return from < payload.size() && payload.find(std::string_view("%\xA4:", 3), from) != std::string_view::npos;
}

// Writing a RETSQL reply: the head, the rows joined by ':', the tail. Rows
// are appended to one buffer as the query yields them, so a reply may be
// handed out in pieces between rows.
//
//   reply = "#DATASTART#" "¤RETSQL:" [ row { ":" row } ] ":RETSQL¤" "#DATAEND#"
//   row   = "¤%" { SqlEntryName(column) value "~" } "%¤"
std::string RetSqlHead();
std::string RetSqlTail();

// A column's name with the '|' that ends it: "NAME|". What would end a
// name, an entry or the message ('|', '~', ':', "¤", frame markers) is
// replaced.
std::string SqlEntryName(std::string_view wireName);
// True when `text` travels as it stands, in any encoding: ASCII without
// '~' (ends an entry) or '#' (starts a frame marker).
inline bool SqlValueIsPlain(std::string_view text) {
  for (const char c : text)
    if (static_cast<unsigned char>(c) >= 0x80 || c == '~' || c == '#') return false;
  return true;
}
// Appends a value; what would end an entry, a row or the frame is replaced.
void AppendSqlValue(std::string& out, std::string_view wire);
// Appends UTF-8 text as a value, the same bytes as AppendSqlValue of its
// Windows-1252 form, in one pass and without converting it first, when it
// holds only ASCII and U+00A0..U+00FF (the Latin-1 letters and signs, which
// are the same bytes in Windows-1252). Returns false, having appended
// nothing, when it holds anything else: the caller converts it then.
bool AppendLatin1SqlValue(std::string& out, std::string_view utf8);

inline void BeginSqlRow(std::string& out, bool firstRow) {
  if (!firstRow) out += ':';
  out += "\xA4%";
}
inline void EndSqlEntry(std::string& out) { out += '~'; }
inline void EndSqlRow(std::string& out) { out += "%\xA4"; }

}  // namespace davu::proto
