#include <QTest>

#include <cstring>
#include <random>
#include <stdexcept>

#include "WireBytes.h"
#include "protocol/Reassembler.h"

using namespace davu::proto;

namespace {

using Texts = std::vector<std::string>;

// Every other read lands straight in the reassembler's buffer (feedFrom), in
// room larger than what arrives, as a socket read that takes less than asked.
std::optional<std::string> FeedOne(Reassembler& r, const std::string& c, bool direct) {
  if (!direct) return r.feed(c);
  return r.feedFrom(c.size() + 7, [&](char* to, std::size_t most) {
    if (most < c.size()) throw std::logic_error("no room for the read");
    std::memcpy(to, c.data(), c.size());
    return c.size();
  });
}

Texts FeedAll(Reassembler& r, const Texts& chunks, bool* overflowed = nullptr) {
  Texts out;
  bool direct = false;
  for (const std::string& c : chunks) {
    if (auto t = FeedOne(r, c, direct = !direct)) out.push_back(std::move(*t));
    if (overflowed && r.overflowed()) *overflowed = true;
  }
  return out;
}

// An independent reading of a dispatched text: its messages, in order.
Texts MessagesIn(const std::string& text) {
  Texts out;
  std::size_t p = 0;
  while ((p = text.find('\xA4', p)) != std::string::npos) {
    std::size_t q = p + 1;
    while (q < text.size() && text[q] >= 'A' && text[q] <= 'Z') ++q;
    if (q == p + 1 || q == text.size() || std::string_view(":~$").find(text[q]) == std::string::npos) {
      ++p;
      continue;
    }
    const std::string closing = text[q] + text.substr(p + 1, q - p - 1) + '\xA4';
    const std::size_t e = text.find(closing, q);
    if (e == std::string::npos) {
      out.push_back("<unfinished>" + text.substr(p));
      break;
    }
    out.push_back(text.substr(p, e + closing.size() - p));
    p = e + closing.size();
  }
  return out;
}

// What the text shows apart from blanks and line breaks, which may fall on
// either side of a read boundary.
std::string Visible(std::string_view s) {
  std::string out;
  for (char c : s)
    if (static_cast<unsigned char>(c) > 32) out += c;
  return out;
}

struct Stream {
  std::string bytes;
  Texts messages;  // the messages it carries, in order
};

class StreamBuilder {
 public:
  StreamBuilder& msg(const std::string& m) {
    s_.bytes += m;
    s_.messages.push_back(m);
    return *this;
  }
  StreamBuilder& frame(const std::string& m) {
    s_.bytes += "#DATASTART#" + m + "#DATAEND#";
    for (std::string& one : MessagesIn(m)) s_.messages.push_back(std::move(one));
    return *this;
  }
  StreamBuilder& blank(const std::string& b = "\r\n ") {
    s_.bytes += b;
    return *this;
  }
  Stream done() const { return s_; }

 private:
  Stream s_;
};

std::string RetSql(int rows) {
  std::string m = W("¤RETSQL:");
  for (int i = 0; i < rows; ++i)
    m += W("¤%") + std::to_string(i) + ":2026-01-0" + std::to_string(i % 9 + 1) + " 10:00:00:R" +
         std::to_string(i % 7) + W(":Rum ¤DELETE_ME¤ #DATA:%¤:");
  return m + W(":RETSQL¤");
}

std::vector<Stream> SmallStreams() {
  const std::string clinic = W("¤RETKLINIKNAMN:Kliniken:RETKLINIKNAMN¤");
  const std::string ini = W("¤RETINITEXT:-1:RETINITEXT¤");
  const std::string calls = W("¤RETCALLLIST~R1~2~RETCALLLIST¤");
  const std::string empty = W("¤RETSQL:RETSQL¤");
  const std::string inner = W("¤DAVUCLIENTDATA:¤¤ADMIN¤¤:2:¤RET:DAVUCLIENTDATA¤");
  return {
      StreamBuilder().msg(clinic).msg(ini).blank().msg(calls).msg(empty).done(),
      StreamBuilder().frame(RetSql(2)).done(),
      StreamBuilder().msg(ini).frame(RetSql(1)).msg(clinic).done(),
      StreamBuilder().frame(W("¤RETSQL:a:RETSQL¤")).frame(W("¤RETSQL:b:RETSQL¤")).blank("\r").done(),
      StreamBuilder().blank().msg(inner).frame(calls + clinic).msg(ini).done(),
  };
}

// Feeds `chunks` and checks that exactly the stream's messages come out,
// each whole within one text, in order, with nothing else lost or added.
bool Delivers(const Stream& s, const Texts& chunks, QString* why) {
  Reassembler r;
  const Texts texts = FeedAll(r, chunks);
  Texts got;
  std::string visible;
  for (const std::string& t : texts) {
    if (t.find("#DATASTART#") != std::string::npos || t.find("#DATAEND#") != std::string::npos) {
      *why = "frame marker in " + Show(t);
      return false;
    }
    for (std::string& m : MessagesIn(t)) got.push_back(std::move(m));
    visible += Visible(t);
  }
  std::string expectedVisible;
  for (const std::string& m : s.messages) expectedVisible += Visible(m);
  if (got != s.messages || visible != expectedVisible) {
    *why = QStringLiteral("got %1 messages").arg(got.size());
    for (const std::string& t : texts) *why += " | " + Show(t);
    return false;
  }
  return true;
}

QString Cuts(std::initializer_list<std::size_t> at) {
  QString s;
  for (std::size_t a : at) s += QString::number(a) + ' ';
  return s;
}

}  // namespace

class ReassemblerTest : public QObject {
  Q_OBJECT

 private slots:
  void reads_data() {
    QTest::addColumn<QStringList>("reads");
    QTest::addColumn<QStringList>("texts");
    auto row = [](const char* name, QStringList reads, QStringList texts) {
      QTest::newRow(name) << reads << texts;
    };
    row("two replies in one read share a text",
        {"¤RETKLINIKNAMN:K:RETKLINIKNAMN¤¤RETINITEXT:v:RETINITEXT¤"},
        {"¤RETKLINIKNAMN:K:RETKLINIKNAMN¤¤RETINITEXT:v:RETINITEXT¤"});
    row("frame over two reads", {"#DATASTART#¤RETSQL:¤%1:", "a%¤::RETSQL¤#DATAEND#"},
        {"¤RETSQL:¤%1:a%¤::RETSQL¤"});
    row("blank read inside a frame is content", {"#DATASTART#¤RETSQL:a", "  \r\n", "b:RETSQL¤#DATAEND#"},
        {"¤RETSQL:a  \r\nb:RETSQL¤"});
    row("blank reads give nothing", {" \r\n", "\t", ""}, {});
    row("end marker split", {"#DATASTART#¤RETSQL:x:RETSQL¤#DATA", "END#"}, {"¤RETSQL:x:RETSQL¤"});
    row("start marker split", {"#DATAS", "TART#¤RETSQL:x:RETSQL¤#DATAEND#"}, {"¤RETSQL:x:RETSQL¤"});
    row("message in front of a frame travels with it",
        {"¤RETINITEXT:v:RETINITEXT¤#DATASTART#¤RETSQL:", "x:RETSQL¤#DATAEND#"},
        {"¤RETINITEXT:v:RETINITEXT¤¤RETSQL:x:RETSQL¤"});
    row("two frames in one read lose all markers",
        {"#DATASTART#¤RETSQL:a:RETSQL¤#DATAEND##DATASTART#¤RETSQL:b:RETSQL¤#DATAEND#"},
        {"¤RETSQL:a:RETSQL¤¤RETSQL:b:RETSQL¤"});
    row("read ends one frame and carries a whole second one",
        {"#DATASTART#¤RETSQL:a", ":RETSQL¤#DATAEND##DATASTART#¤RETSQL:b:RETSQL¤#DATAEND#"},
        {"¤RETSQL:a:RETSQL¤¤RETSQL:b:RETSQL¤"});
    row("finished frame goes out before the next unfinished one",
        {"#DATASTART#¤RETSQL:a:RETSQL¤#DATAEND#¤RETINITEXT:v:RETINITEXT¤#DATASTART#¤RETSQL:b",
         ":RETSQL¤#DATAEND#"},
        {"¤RETSQL:a:RETSQL¤", "¤RETINITEXT:v:RETINITEXT¤¤RETSQL:b:RETSQL¤"});
    row("unframed message over three reads", {"¤RETALLMACHINES:PC1:", "1:Rum:0:0:0:::", ":RETALLMACHINES¤"},
        {"¤RETALLMACHINES:PC1:1:Rum:0:0:0::::RETALLMACHINES¤"});
    row("complete part goes out, unfinished part waits",
        {"¤RETINITEXT:v:RETINITEXT¤¤RETKLINI", "KNAMN:K:RETKLINIKNAMN¤"},
        {"¤RETINITEXT:v:RETINITEXT¤", "¤RETKLINIKNAMN:K:RETKLINIKNAMN¤"});
    row("error goes out as it arrives", {"ERROR: 002 Databasen saknas", "¤RETINITEXT:v:RETINITEXT¤"},
        {"ERROR: 002 Databasen saknas", "¤RETINITEXT:v:RETINITEXT¤"});
    row("error after a reply shares its text", {"¤RETINITEXT:v:RETINITEXT¤ERROR: 5 x"},
        {"¤RETINITEXT:v:RETINITEXT¤ERROR: 5 x"});
    row("split error tag waits", {"ERR", "OR: 001"}, {"ERROR: 001"});
    row("stray end marker dropped", {"#DATAEND#¤RETINITEXT:v:RETINITEXT¤"}, {"¤RETINITEXT:v:RETINITEXT¤"});
    row("other text goes out", {"hello ¤¤ ¤abc: ¤ABC!"}, {"hello ¤¤ ¤abc: ¤ABC!"});
    row("field-free message", {"¤RETSQL:", "RETSQL¤"}, {"¤RETSQL:RETSQL¤"});
    // An error text quotes what it likes and has no end: it never holds the
    // replies behind it, nor its own last letters.
    row("error quoting an opening marker", {"ERROR: 012 okänd begäran ¤RETINITEXT:x", "¤RETSERVERVERSION:1.10.6:RETSERVERVERSION¤"},
        {"ERROR: 012 okänd begäran ¤RETINITEXT:x", "¤RETSERVERVERSION:1.10.6:RETSERVERVERSION¤"});
    row("error quoting a frame start", {"ERROR: ¤AB~x #DATASTART#", "¤RETINITEXT:v:RETINITEXT¤"},
        {"ERROR: ¤AB~x #DATASTART#", "¤RETINITEXT:v:RETINITEXT¤"});
    row("error ending like a marker", {"ERROR: Resursen saknas i CALLABLE", "¤RETINITEXT:v:RETINITEXT¤"},
        {"ERROR: Resursen saknas i CALLABLE", "¤RETINITEXT:v:RETINITEXT¤"});
    row("error ending in the currency sign", {"ERROR: fel ¤RETSQ"}, {"ERROR: fel ¤RETSQ"});
    // Only the replies of this program open a message.
    row("unknown tag is other text", {"x ¤GETFOO:y", "¤RETINITEXT:v:RETINITEXT¤"},
        {"x ¤GETFOO:y", "¤RETINITEXT:v:RETINITEXT¤"});
    row("known tag with another separator", {"¤RETSQL~a", "¤RETINITEXT:v:RETINITEXT¤"},
        {"¤RETSQL~a", "¤RETINITEXT:v:RETINITEXT¤"});
    // Held bytes go out once, in order, when the quiet time runs out.
    row("unfinished reply goes out after the quiet time",
        {"¤RETINITEXT:abc", "¤RETSERVERVERSION:1.10.6:RETSERVERVERSION¤", "<quiet>", "¤RETKLINIKNAMN:K:RETKLINIKNAMN¤"},
        {"¤RETINITEXT:abc¤RETSERVERVERSION:1.10.6:RETSERVERVERSION¤", "¤RETKLINIKNAMN:K:RETKLINIKNAMN¤"});
    row("quoted start inside a later unfinished one",
        {"¤RETSQL:a ¤RETINITEXT:b ¤RETKLINIKNAMN:K:RETKLINIKNAMN¤", "<quiet>", "<quiet>"},
        {"¤RETSQL:a ¤RETINITEXT:b ¤RETKLINIKNAMN:K:RETKLINIKNAMN¤"});
    row("held letter goes out after the quiet time", {"klart E", "<quiet>", "RROR: x"}, {"klart ", "E", "RROR: x"});
    row("held letter goes out with the next read", {"klart E", "¤RETINITEXT:v:RETINITEXT¤"},
        {"klart ", "E¤RETINITEXT:v:RETINITEXT¤"});
    row("held opening goes out after the quiet time", {"a¤RETIN", "<quiet>", "ITEXT:v:RETINITEXT¤ "},
        {"a", "¤RETIN", "ITEXT:v:RETINITEXT¤ "});
    row("held frame start goes out after the quiet time", {"#DATAST", "<quiet>"}, {"#DATAST"});
    row("quiet time does not end a frame", {"#DATASTART#¤RETSQL:a", "<quiet>", ":RETSQL¤#DATAEND#"},
        {"¤RETSQL:a:RETSQL¤"});
    row("quiet time with nothing held", {"¤RETINITEXT:v:RETINITEXT¤", "<quiet>"}, {"¤RETINITEXT:v:RETINITEXT¤"});
  }
  // The main connection's reads; "<quiet>" stands for the quiet time running
  // out before the next read.
  void reads() {
    QFETCH(QStringList, reads);
    QFETCH(QStringList, texts);
    Reassembler r(Reassembler::kDefaultLimit, kMainReplyStream);
    QStringList shown;
    for (const QString& read : reads) {
      const auto t = read == "<quiet>" ? r.expire() : r.feed(W(read.toStdString()));
      if (t) shown << Show(*t);
    }
    QStringList expected;
    for (const QString& t : texts) expected << Show(W(t.toStdString()));
    QCOMPARE(shown, expected);
  }

  void everyTwoAndThreeWaySplitDelivers() {
    for (const Stream& s : SmallStreams()) {
      const std::size_t n = s.bytes.size();
      QString why;
      for (std::size_t i = 0; i <= n; ++i) {
        for (std::size_t j = i; j <= n; ++j) {
          const Texts chunks{s.bytes.substr(0, i), s.bytes.substr(i, j - i), s.bytes.substr(j)};
          if (!Delivers(s, chunks, &why)) QFAIL(qPrintable(Show(s.bytes) + " cut at " + Cuts({i, j}) + why));
        }
      }
    }
  }

  void everySplitOfAQueryResultDelivers() {
    const Stream s = StreamBuilder().msg(W("¤RETINITEXT:v:RETINITEXT¤")).frame(RetSql(120)).done();
    QVERIFY(s.bytes.size() > 6000);
    QString why;
    for (std::size_t i = 0; i <= s.bytes.size(); ++i) {
      if (!Delivers(s, {s.bytes.substr(0, i), s.bytes.substr(i)}, &why)) QFAIL(qPrintable(Cuts({i}) + why));
    }
  }

  void singleBytesDeliver() {
    for (const Stream& s : SmallStreams()) {
      Texts chunks;
      for (char c : s.bytes) chunks.emplace_back(1, c);
      QString why;
      QVERIFY2(Delivers(s, chunks, &why), qPrintable(why));
    }
  }

  void randomSplitsOfLargeStreamsDeliver() {
    std::mt19937 rng(20260110);
    const std::vector<Stream> parts = SmallStreams();
    StreamBuilder b;
    for (int i = 0; i < 400; ++i) {
      const Stream& p = parts[rng() % parts.size()];
      b.blank(i % 3 ? "" : "\r\n");
      b.msg(W("¤RETINITEXT:") + std::to_string(i) + W(":RETINITEXT¤"));
      for (const std::string& m : p.messages) (i % 2 ? b.frame(m) : b.msg(m));
      if (i % 50 == 0) b.frame(RetSql(3000));
    }
    const Stream s = b.done();
    QVERIFY(s.bytes.size() > 1'000'000);
    for (int round = 0; round < 12; ++round) {
      const std::size_t maxRead = std::size_t(1) << (rng() % 17);  // 1 byte .. 64 KiB
      Texts chunks;
      for (std::size_t p = 0; p < s.bytes.size();) {
        const std::size_t len = std::min<std::size_t>(rng() % (maxRead + 1), s.bytes.size() - p);
        chunks.push_back(s.bytes.substr(p, len));
        p += len;
      }
      QString why;
      QVERIFY2(Delivers(s, chunks, &why), qPrintable(QString::number(maxRead) + ": " + why.left(300)));
    }
  }

  void oversizedUnitIsDroppedAndReported_data() {
    QTest::addColumn<int>("limit");
    QTest::addColumn<bool>("overflows");
    QTest::newRow("fits") << 1000 << false;
    QTest::newRow("frame too long") << 60 << true;
  }
  void oversizedUnitIsDroppedAndReported() {
    QFETCH(int, limit);
    QFETCH(bool, overflows);
    const std::string before = W("¤RETINITEXT:a:RETINITEXT¤");
    const std::string big = W("¤RETSQL:") + std::string(200, 'x') + W(":RETSQL¤");
    const std::string after = W("¤RETKLINIKNAMN:K:RETKLINIKNAMN¤");
    const std::string bytes = before + "#DATASTART#" + big + "#DATAEND#" + after;
    Texts expected{before};
    if (!overflows) expected.push_back(big);
    expected.push_back(after);
    // However the stream is cut, the oversized frame alone is lost, and
    // nothing more than the limit and a read is ever held.
    for (std::size_t i = 0; i <= bytes.size(); i += 7) {
      for (std::size_t j = i; j <= bytes.size(); j += 5) {
        Reassembler r(limit);
        bool reported = false;
        Texts got;
        std::size_t largestRead = 0;
        for (const std::string& c : {bytes.substr(0, i), bytes.substr(i, j - i), bytes.substr(j)}) {
          largestRead = std::max(largestRead, c.size());
          if (auto t = r.feed(c)) {
            for (std::string& m : MessagesIn(*t)) got.push_back(std::move(m));
          }
          reported = reported || r.overflowed();
          QVERIFY2(r.pendingSize() <= std::size_t(limit) + largestRead, qPrintable(Cuts({i, j})));
        }
        QVERIFY2(got == expected, qPrintable(Cuts({i, j})));
        QCOMPARE(reported, overflows);
      }
    }
  }

  void longUnframedMessageIsBoundedToo() {
    Reassembler r(100);
    QVERIFY(!r.feed(W("¤RETALLCALLABLES:") + std::string(70, 'a')));
    QVERIFY(!r.overflowed());
    QVERIFY(!r.feed(std::string(50, 'b')));
    QVERIFY(r.overflowed());
    QVERIFY(r.pendingSize() < 32);
    for (int i = 0; i < 100; ++i) QVERIFY(!r.feed(std::string(1000, 'c')));  // skipped, not kept
    QVERIFY(r.pendingSize() < 32);
    QVERIFY(!r.overflowed());
    const auto t = r.feed(W("c:RETALLCALL") + W("ABLES¤¤RETINITEXT:v:RETINITEXT¤"));
    QVERIFY(t);
    QCOMPARE_BYTES(*t, W("¤RETINITEXT:v:RETINITEXT¤"));
  }

  void messageHeldForAnOversizedFrameIsStillDelivered() {
    Reassembler r(100);
    const std::string message = W("¤RETX:") + std::string(80, 'a') + W(":RETX¤");
    QVERIFY(!r.feed(message.substr(0, 50)));
    // The message ends in the read that starts a frame, so it waits for it.
    QVERIFY(!r.feed(message.substr(50) + "#DATASTART#" + std::string(60, 'b')));
    QVERIFY(r.pendingSize() > 100);
    const auto t = r.feed(std::string(60, 'b'));
    QVERIFY(r.overflowed());
    QVERIFY(t);
    QCOMPARE_BYTES(*t, message);
    QVERIFY(r.pendingSize() < 9);
    QVERIFY(!r.feed("bbb#DATAEND#"));
  }

  // The quiet time is timed from where the held bytes begin: bytes that do
  // not complete them leave it be, a completed message starts a new one.
  void heldFromMovesOnlyWithProgress() {
    Reassembler r(Reassembler::kDefaultLimit, kMainReplyStream);
    QVERIFY(!r.heldFrom());
    QVERIFY(r.feed(W("¤RETINITEXT:v:RETINITEXT¤ab¤RETSQL:1")));
    QCOMPARE(r.heldFrom(), std::optional<std::uint64_t>(27));
    for (int i = 0; i < 50; ++i) QVERIFY(!r.feed("x:"));
    QCOMPARE(r.heldFrom(), std::optional<std::uint64_t>(27));
    QVERIFY(r.feed(W(":RETSQL¤¤RETKLINIKNAMN:")));
    QCOMPARE(r.heldFrom(), std::optional<std::uint64_t>(27 + 9 + 100 + 8));
    QVERIFY(r.feed(W("K:RETKLINIKNAMN¤")));
    QVERIFY(!r.heldFrom());
    // A frame keeps its byte bound and is not timed.
    QVERIFY(!r.feed("#DATASTART#x"));
    QVERIFY(!r.heldFrom());
  }

  // A message abandoned for its size skips what follows only until the quiet
  // time runs out.
  void abandonedMessageStopsSkippingAfterTheQuietTime() {
    Reassembler r(100, kMainReplyStream);
    QVERIFY(!r.feed(W("¤RETALLCALLABLES:") + std::string(200, 'a')));
    QVERIFY(r.overflowed());
    QVERIFY(r.heldFrom());
    QVERIFY(!r.feed(std::string(50, 'b')));
    r.expire();
    const auto t = r.feed(W("¤RETINITEXT:v:RETINITEXT¤"));
    QVERIFY(t);
    QCOMPARE_BYTES(*t, W("¤RETINITEXT:v:RETINITEXT¤"));
  }

  // The limit counts a frame's markers wherever the frame starts: at the
  // front of a read (its opening is dropped at once) or behind other bytes.
  void frameLimitCountsTheMarkersWhereverItStarts_data() {
    QTest::addColumn<int>("slack");  // limit minus the frame's size
    QTest::addColumn<bool>("overflows");
    QTest::newRow("exactly the limit") << 0 << false;
    QTest::newRow("one byte over") << -1 << true;
  }
  void frameLimitCountsTheMarkersWhereverItStarts() {
    QFETCH(int, slack);
    QFETCH(bool, overflows);
    const std::string big = W("¤RETSQL:") + std::string(100, 'x') + W(":RETSQL¤");
    const std::string frame = "#DATASTART#" + big + "#DATAEND#";
    const std::string after = W("¤RETKLINIKNAMN:K:RETKLINIKNAMN¤");
    for (const std::string& before : {std::string(), W("¤RETINITEXT:a:RETINITEXT¤")}) {
      const std::string bytes = before + frame + after;
      for (std::size_t i = 0; i <= bytes.size(); ++i) {
        Reassembler r(frame.size() + slack);
        bool reported = false;
        Texts got;
        for (const std::string& c : {bytes.substr(0, i), bytes.substr(i)}) {
          if (auto t = r.feed(c)) {
            for (std::string& m : MessagesIn(*t)) got.push_back(std::move(m));
            r.recycle(std::move(*t));
          }
          reported = reported || r.overflowed();
        }
        Texts expected;
        if (!before.empty()) expected.push_back(before);
        if (!overflows) expected.push_back(big);
        expected.push_back(after);
        QVERIFY2(got == expected, qPrintable(Cuts({i})));
        QCOMPARE(reported, overflows);
      }
    }
  }

  // A handed-back buffer takes over what is pending, in order.
  void recycleKeepsPendingBytes() {
    Reassembler r;
    auto t = r.feed(W("¤RETINITEXT:a:RETINITEXT¤¤RETKLINIK"));
    QVERIFY(t);
    std::string big = std::move(*t);
    big.reserve(1 << 20);
    r.recycle(std::move(big));
    const auto u = r.feed(W("NAMN:K:RETKLINIKNAMN¤"));
    QVERIFY(u);
    QCOMPARE_BYTES(*u, W("¤RETKLINIKNAMN:K:RETKLINIKNAMN¤"));
  }

  // The handed-back buffer keeps its length as room for the next reads; its
  // old bytes are never part of a text, whether reads are copied in or land
  // in the room, and whatever room a read is given beyond what it brings.
  void oldBytesOfAHandedBackBufferNeverShow() {
    const std::string reply = W("¤RETSQL:") + std::string(5000, 'o') + W(":RETSQL¤");
    const std::string next = "#DATASTART#" + W("¤RETSQL:new:RETSQL¤") + "#DATAEND#" + W("¤RETKLINIKNAMN:K:RETKLINIKNAMN¤");
    for (bool inPlace : {false, true})
      for (std::size_t cut = 0; cut <= next.size(); ++cut) {
        Reassembler r;
        auto old = r.feed("#DATASTART#" + reply + "#DATAEND#");
        QVERIFY(old);
        r.recycle(std::move(*old));
        std::string got;
        for (const std::string& c : {next.substr(0, cut), next.substr(cut)}) {
          auto t = inPlace ? r.feedFrom(c.size() + 100,
                                        [&](char* to, std::size_t) {
                                          std::memcpy(to, c.data(), c.size());
                                          return c.size();
                                        })
                           : r.feed(c);
          if (t) got += *t;
        }
        QVERIFY2(got == W("¤RETSQL:new:RETSQL¤¤RETKLINIKNAMN:K:RETKLINIKNAMN¤"), qPrintable(Cuts({cut})));
      }
  }

  void resetStartsEmpty() {
    Reassembler r;
    QVERIFY(!r.feed(W("¤RETINITEXT:v:RETINITEXT¤#DATASTART#¤RETSQL:half")));
    QVERIFY(r.pendingSize() > 0);
    r.reset();
    QCOMPARE(r.pendingSize(), std::size_t(0));
    // The old connection's half frame does not swallow the new connection's replies.
    const auto t = r.feed(W("¤RETKLINIKNAMN:K:RETKLINIKNAMN¤"));
    QVERIFY(t);
    QCOMPARE_BYTES(*t, W("¤RETKLINIKNAMN:K:RETKLINIKNAMN¤"));
  }
};

QTEST_APPLESS_MAIN(ReassemblerTest)
#include "reassembler_test.moc"
