#include <QTest>

#include "WireBytes.h"
#include "protocol/Envelope.h"
#include "protocol/MessageScanner.h"
#include "protocol/SqlRows.h"
#include "protocol/WireCodec.h"

using namespace davu::proto;

namespace {

using Row = std::vector<std::pair<std::string, std::string>>;

// A whole RETSQL reply as the server writes it.
std::string Write(const std::vector<Row>& rows) {
  std::string out = RetSqlHead();
  bool first = true;
  for (const Row& row : rows) {
    BeginSqlRow(out, first);
    first = false;
    for (const auto& [name, value] : row) {
      out += SqlEntryName(name);
      AppendSqlValue(out, value);
      EndSqlEntry(out);
    }
    EndSqlRow(out);
  }
  return out + RetSqlTail();
}

// The rows as the client reads them from the frame's content.
std::vector<Row> Read(const std::string& reply) {
  const std::string_view content = std::string_view(reply).substr(
      kFrameStart.size(), reply.size() - kFrameStart.size() - kFrameEnd.size());
  const MessageAt m = MessageScanner(content).next(0);
  SqlRowReader reader(m.payload(content));
  std::vector<Row> rows;
  while (reader.nextRow()) {
    rows.emplace_back();
    std::string_view name, value;
    while (reader.nextEntry(name, value)) rows.back().emplace_back(name, value);
  }
  return rows;
}

// What a reader of `payload` hands out, row by row, with where each row's
// piece ends; the row whose entries name `refused` ends the list.
struct Reading {
  std::vector<Row> rows;
  std::vector<std::size_t> ends;
  bool refused = false;
  bool operator==(const Reading&) const = default;
};

Reading ByPieces(std::string_view payload, std::string_view refused) {
  Reading r;
  SqlRowReader reader(payload);
  while (reader.nextRow()) {
    Row row;
    std::string_view name, value;
    while (reader.nextEntry(name, value)) row.emplace_back(name, value);
    r.ends.push_back(reader.used());
    for (const auto& entry : row) r.refused = r.refused || entry.first == refused;
    if (r.refused) break;
    r.rows.push_back(row);
  }
  return r;
}

Reading InOneWalk(std::string_view payload, std::string_view refused) {
  Reading r;
  SqlRowReader reader(payload);
  for (;;) {
    Row row;
    const SqlRowReader::Row read = reader.readRow([&](std::string_view name, std::string_view value) {
      row.emplace_back(name, value);
      return name != refused;
    });
    if (read == SqlRowReader::Row::None) break;
    r.ends.push_back(reader.used());
    if (read == SqlRowReader::Row::Refused) {
      r.refused = true;
      break;
    }
    r.rows.push_back(row);
  }
  return r;
}

}  // namespace

class SqlRowsTest : public QObject {
  Q_OBJECT

 private slots:
  void bytesWritten() {
    QCOMPARE_BYTES(Write({}), W("#DATASTART#¤RETSQL::RETSQL¤#DATAEND#"));
    QCOMPARE_BYTES(Write({{{"A", "1"}, {"B", ""}}, {{"A", "2"}, {"B", "x"}}}),
                   W("#DATASTART#¤RETSQL:¤%A|1~B|~%¤:¤%A|2~B|x~%¤:RETSQL¤#DATAEND#"));
    // What would end a name, an entry, a row or the frame is replaced.
    QCOMPARE_BYTES(SqlEntryName(W("a|b~c:d¤")), "a_b_c_d?|");
    std::string value;
    AppendSqlValue(value, W("1~2¤ #DATAEND# %¤:"));
    QCOMPARE_BYTES(value, "1-2? # DATAEND# %?:");
  }

  // UTF-8 text of ASCII and U+00A0..U+00FF goes in one pass to the same
  // bytes as the value converted first; anything else is left to that
  // conversion, with nothing appended.
  void latin1ValuesInOnePass() {
    const auto utf8 = [](std::u16string_view text) {
      std::string out;
      for (const char16_t c : text) {
        if (c < 0x80) {
          out += static_cast<char>(c);
        } else if (c < 0x800) {
          out += static_cast<char>(0xC0 | (c >> 6));
          out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
          out += static_cast<char>(0xE0 | (c >> 12));
          out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
          out += static_cast<char>(0x80 | (c & 0x3F));
        }
      }
      return out;
    };
    for (char16_t c = 0; c < 0x300; ++c) {
      for (const std::u16string& text : {std::u16string(1, c), u"a" + std::u16string(1, c) + u"#DATAEND#~b",
                                         u"#DATASTART# " + std::u16string(1, c) + u"\u00e5\u00a4"}) {
        std::string fast = "head";
        const bool taken = AppendLatin1SqlValue(fast, utf8(text));
        std::string slow = "head";
        AppendSqlValue(slow, EncodeCp1252(text));
        const bool latin1 = c < 0x80 || (c >= 0xA0 && c <= 0xFF);
        QVERIFY2(taken == latin1, qPrintable(QString::number(c, 16)));
        if (taken) QCOMPARE_BYTES(fast, slow);
        else QCOMPARE_BYTES(fast, "head");
      }
    }
    // Cut or malformed sequences are not this path's to judge.
    for (const std::string bad : {"a\xC3", "\xC3(", "\xC0\xA0", "\xE5", "\xA4", "x\xC2\xC2"}) {
      std::string out = "head";
      QVERIFY(!AppendLatin1SqlValue(out, bad));
      QCOMPARE_BYTES(out, "head");
    }
  }

  void roundTrips() {
    const std::vector<Row> rows = {{{"FRIENDLYNAME", "Reception"}, {"TIME", "10:22:33"}},
                                   {{"FRIENDLYNAME", "Lab|2"}, {"TIME", ""}}};
    QVERIFY(Read(Write(rows)) == rows);
    QVERIFY(Read(Write({})).empty());
  }

  // Every byte in the middle of a value: all arrive but "~" and "¤", which
  // arrive as their stand-ins.
  void everyByteInAValue() {
    for (int b = 0; b < 256; ++b) {
      const char c = static_cast<char>(b);
      const std::string value = std::string("a") + c + "b";
      std::string expected = value;
      if (c == '~') expected[1] = '-';
      if (c == '\xA4') expected[1] = '?';
      const std::vector<Row> got = Read(Write({{{"V", value}}}));
      QVERIFY2(got.size() == 1 && got[0].size() == 1 && got[0][0].second == expected,
               qPrintable(QString::number(b)));
    }
  }

  // The one-walk reader reads what the piece-by-piece reader reads, on every
  // short text of the bytes that mean something in a payload and on longer
  // random ones (which also stand for every cut of a reply still arriving),
  // and a refused row ends the reading where that row's piece ends.
  void oneWalkReadsTheSameRows() {
    const std::string alphabet = W("¤%:~| x");
    const auto check = [](const std::string& payload) {
      for (const std::string_view refused : {"", "x"}) {
        const Reading expected = ByPieces(payload, refused);
        const Reading got = InOneWalk(payload, refused);
        if (!(got == expected)) {
          QTest::qFail(qPrintable(Show(payload) + QStringLiteral(" refusing '%1'").arg(QString::fromLatin1(refused))),
                       __FILE__, __LINE__);
          return false;
        }
      }
      return true;
    };
    for (std::size_t length = 0; length <= 7; ++length) {
      std::vector<std::size_t> digits(length, 0);
      for (;;) {
        std::string payload;
        for (const std::size_t d : digits) payload += alphabet[d];
        if (!check(payload)) return;
        std::size_t i = 0;
        while (i < length && ++digits[i] == alphabet.size()) digits[i++] = 0;
        if (i == length) break;
      }
    }
    // Longer texts: pieces of entries with blanks, empty entries and '%'s
    // in values, as a server and a broken one might send.
    const std::vector<std::string> parts = {W("¤%"), W("%¤:"), W("%¤"), "~", "|", ":", " ", "\t", "%",
                                            "A", "x", "Name", "a|b", W("¤RETSQL:")};
    std::uint32_t seed = 26;
    for (int round = 0; round < 20000; ++round) {
      std::string payload;
      const int count = 1 + static_cast<int>((seed = seed * 1664525u + 1013904223u) >> 27);
      for (int k = 0; k < count; ++k) payload += parts[((seed = seed * 1664525u + 1013904223u) >> 16) % parts.size()];
      if (!check(payload)) return;
    }
  }
};

QTEST_APPLESS_MAIN(SqlRowsTest)
#include "sqlrows_test.moc"
