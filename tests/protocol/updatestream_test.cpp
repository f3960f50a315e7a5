// The update connection's reassembly: the program file arrives byte for byte
// however the stream is cut, and nothing else ends up in it.
#include <QtTest>
#include <random>

#include "WireBytes.h"
#include "protocol/Envelope.h"
#include "protocol/UpdateStream.h"

using davu::proto::UpdateStream;
using Kind = UpdateStream::Event::Kind;

namespace {

std::string Program(std::string_view file) {
  return std::string(davu::proto::kFrameStart) + W("¤RETNEWCLIENT:") + std::string(file) +
         W(":RETNEWCLIENT¤") + std::string(davu::proto::kFrameEnd);
}

// A program file with every byte value and the near-misses of every marker.
std::string BinaryFile(std::size_t fill) {
  std::string f;
  for (int i = 0; i < 256; ++i) f += static_cast<char>(i);
  f += W("#DATAEND_#DATASTAR#DATA¤RETNEWCLIENT:RETNEWCLIENT¤:RETNEWCLIENT¤x#");
  for (std::size_t i = 0; i < fill; ++i) f += static_cast<char>((i * 131 + 7) % 251);
  f += '#';
  return f;
}

// What a stream gave, in a form that does not depend on how the replies
// outside frames were grouped into texts: their visible bytes in order, and
// each program event in order.
struct Outcome {
  std::string replies;
  std::vector<std::pair<Kind, std::string>> programs;
  bool operator==(const Outcome&) const = default;
};

Outcome FeedAll(UpdateStream& s, const std::vector<std::string_view>& chunks) {
  Outcome o;
  for (std::string_view c : chunks) {
    for (auto& e : s.feed(c)) {
      if (e.kind == Kind::Reply) {
        for (char ch : e.bytes)
          if (static_cast<unsigned char>(ch) > 32) o.replies += ch;
      } else {
        o.programs.emplace_back(e.kind, std::move(e.bytes));
      }
    }
  }
  return o;
}

QString Describe(const Outcome& o) {
  QString s = Show(o.replies) + " |";
  for (const auto& [k, b] : o.programs)
    s += QStringLiteral(" %1:%2").arg(int(k)).arg(b.size());
  return s;
}

const std::string kVersion = W("¤RETSERVERVERSION:1.10.7:RETSERVERVERSION¤");

}  // namespace

class UpdateStreamTest : public QObject {
  Q_OBJECT

 private slots:
  void wholeStreams_data() {
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QByteArray>("replies");  // visible bytes of the replies
    QTest::addColumn<QByteArray>("file");     // "-": no program event; "!": broken
    auto row = [](const char* name, const std::string& s, const std::string& r, const std::string& f) {
      QTest::newRow(name) << QByteArray::fromStdString(s) << QByteArray::fromStdString(r)
                          << QByteArray::fromStdString(f);
    };
    const std::string file = BinaryFile(100);
    row("program alone", Program(file), "", file);
    row("version in front of the program", kVersion + Program(file), kVersion, file);
    row("framed version, line break after the end", davu::proto::Frame(kVersion) + "\r\n", kVersion, "-");
    row("error text", "ERROR: 001", "ERROR:001", "-");
    row("empty file", Program(""), "", "");
    row("program without its closing tag",
        std::string(davu::proto::kFrameStart) + W("¤RETNEWCLIENT:") + file + std::string(davu::proto::kFrameEnd),
        "", "!");
    row("tags sharing one colon",
        std::string(davu::proto::kFrameStart) + W("¤RETNEWCLIENT:RETNEWCLIENT¤") + std::string(davu::proto::kFrameEnd),
        "", "!");
    row("version after the program", Program("ab") + kVersion, kVersion, "ab");
    row("stray end marker", std::string(davu::proto::kFrameEnd) + kVersion, kVersion, "-");
  }
  void wholeStreams() {
    QFETCH(QByteArray, stream);
    QFETCH(QByteArray, replies);
    QFETCH(QByteArray, file);
    UpdateStream s;
    const Outcome o = FeedAll(s, {stream.toStdString()});
    QCOMPARE_BYTES(o.replies, replies.toStdString());
    if (file == "-") {
      QVERIFY(o.programs.empty());
    } else if (file == "!") {
      QCOMPARE(o.programs.size(), std::size_t(1));
      QCOMPARE(o.programs[0].first, Kind::BrokenProgram);
    } else {
      QCOMPARE(o.programs.size(), std::size_t(1));
      QCOMPARE(o.programs[0].first, Kind::Program);
      QCOMPARE_BYTES(o.programs[0].second, file.toStdString());
    }
    QCOMPARE(s.pendingSize(), std::size_t(0));
  }

  // Every cut into two and three reads gives what the whole stream gives.
  void everyTwoAndThreeWaySplit() {
    const std::string stream = kVersion + Program(BinaryFile(0)) + W("ERROR: 001 x") +
                               davu::proto::Frame(kVersion) + Program("#");
    UpdateStream whole;
    const Outcome expected = FeedAll(whole, {stream});
    QCOMPARE(expected.programs.size(), std::size_t(2));
    const std::string_view v = stream;
    for (std::size_t i = 0; i <= v.size(); ++i) {
      for (std::size_t j = i; j <= v.size(); j += (i % 7 == 0 ? 1 : 13)) {
        UpdateStream s;
        const Outcome got = FeedAll(s, {v.substr(0, i), v.substr(i, j - i), v.substr(j)});
        if (!(got == expected))
          QFAIL(qPrintable(QStringLiteral("cut at %1, %2: %3").arg(i).arg(j).arg(Describe(got))));
      }
    }
  }

  // A large file in one read, in thousands of reads and in single bytes.
  void largeFileInAnyNumberOfReads() {
    const std::string file = BinaryFile(600000);
    const std::string stream = kVersion + Program(file);
    std::mt19937 rng(14);
    for (std::size_t maxRead : {std::size_t(1) << 30, std::size_t(4096), std::size_t(600), std::size_t(2)}) {
      std::vector<std::string_view> chunks;
      for (std::size_t p = 0; p < stream.size();) {
        const std::size_t len = std::min<std::size_t>(1 + rng() % maxRead, stream.size() - p);
        chunks.push_back(std::string_view(stream).substr(p, len));
        p += len;
      }
      UpdateStream s;
      const Outcome got = FeedAll(s, chunks);
      QCOMPARE_BYTES(got.replies, kVersion);
      QCOMPARE(got.programs.size(), std::size_t(1));
      QVERIFY2(got.programs[0].second == file, qPrintable(QString::number(chunks.size())));
    }
  }

  // A frame past the limit is reported once, dropped as it arrives, and the
  // replies after its end still arrive.
  void oversizedFrameIsDroppedAndLaterRepliesArrive() {
    const std::string stream = Program(std::string(5000, 'x')) + kVersion + Program("ok");
    UpdateStream s(1000);
    std::vector<std::string_view> chunks;
    for (std::size_t p = 0; p < stream.size(); p += 100) chunks.push_back(std::string_view(stream).substr(p, 100));
    std::size_t most = 0;
    Outcome o;
    for (std::string_view c : chunks) {
      Outcome one = FeedAll(s, {c});
      o.replies += one.replies;
      for (auto& p : one.programs) o.programs.push_back(std::move(p));
      most = std::max(most, s.pendingSize());
    }
    QVERIFY2(most <= 1000 + 100, qPrintable(QString::number(most)));
    QCOMPARE_BYTES(o.replies, kVersion);
    QCOMPARE(o.programs.size(), std::size_t(2));
    QCOMPARE(o.programs[0].first, Kind::BrokenProgram);
    QCOMPARE(o.programs[1].first, Kind::Program);
    QCOMPARE_BYTES(o.programs[1].second, std::string("ok"));
  }

  // A frame that never ends holds no more than the limit; a new connection
  // starts clean.
  void unendingFrameStaysBoundedAndResetClears() {
    UpdateStream s(4096);
    s.feed(std::string(davu::proto::kFrameStart) + W("¤RETNEWCLIENT:"));
    const std::string block(1000, 'z');
    for (int i = 0; i < 100; ++i) s.feed(block);
    QVERIFY(s.inFrame());
    QVERIFY(s.pendingSize() < 4096 + 16);
    s.reset();
    QCOMPARE(s.pendingSize(), std::size_t(0));
    const Outcome o = FeedAll(s, {kVersion});
    QCOMPARE_BYTES(o.replies, kVersion);
  }
};

QTEST_GUILESS_MAIN(UpdateStreamTest)
#include "updatestream_test.moc"
