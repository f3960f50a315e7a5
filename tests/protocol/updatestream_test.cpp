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

// With `viaSink`, program files go to a sink as they arrive, as a download
// does; the outcome must be the same. `mostHeld` is the most the stream held.
Outcome FeedAll(UpdateStream& s, const std::vector<std::string_view>& chunks, bool viaSink = false,
                std::size_t* mostHeld = nullptr) {
  Outcome o;
  std::string sunk;
  const auto arm = [&] {
    if (viaSink) s.setProgramSink([&sunk](std::string_view b) { sunk.append(b); });
  };
  arm();
  for (std::string_view c : chunks) {
    for (auto& e : s.feed(c)) {
      if (e.kind == Kind::Reply) {
        for (char ch : e.bytes)
          if (static_cast<unsigned char>(ch) > 32) o.replies += ch;
      } else {
        if (e.streamed) e.bytes.swap(sunk);
        sunk.clear();
        o.programs.emplace_back(e.kind, std::move(e.bytes));
        arm();
      }
    }
    if (mostHeld) *mostHeld = std::max(*mostHeld, s.pendingSize());
  }
  if (viaSink) s.setProgramSink({});
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
    for (bool viaSink : {false, true}) {
    UpdateStream s;
    const Outcome o = FeedAll(s, {stream.toStdString()}, viaSink);
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
  }

  // Every cut into two and three reads gives what the whole stream gives,
  // whether the files are collected or go to a sink.
  void everyTwoAndThreeWaySplit() {
    const std::string stream = kVersion + Program(BinaryFile(0)) + W("ERROR: 001 x") +
                               davu::proto::Frame(kVersion) + Program("#");
    UpdateStream whole;
    const Outcome expected = FeedAll(whole, {stream});
    QCOMPARE(expected.programs.size(), std::size_t(2));
    const std::string_view v = stream;
    for (std::size_t i = 0; i <= v.size(); ++i) {
      for (std::size_t j = i; j <= v.size(); j += (i % 7 == 0 ? 1 : 13)) {
        for (bool viaSink : {false, true}) {
          UpdateStream s;
          const Outcome got = FeedAll(s, {v.substr(0, i), v.substr(i, j - i), v.substr(j)}, viaSink);
          if (!(got == expected))
            QFAIL(qPrintable(QStringLiteral("cut at %1, %2 (sink %3): %4").arg(i).arg(j).arg(viaSink).arg(Describe(got))));
        }
      }
    }
  }

  // A large file in one read, in thousands of reads and in single bytes.
  // Going to a sink, it is never held beyond a spill's worth and a read.
  void largeFileInAnyNumberOfReads() {
    const std::string file = BinaryFile(3 * UpdateStream::kSpillBytes);
    const std::string stream = kVersion + Program(file);
    std::mt19937 rng(14);
    for (std::size_t maxRead : {std::size_t(1) << 30, std::size_t(4096), std::size_t(600), std::size_t(2)}) {
      std::vector<std::string_view> chunks;
      for (std::size_t p = 0; p < stream.size();) {
        const std::size_t len = std::min<std::size_t>(1 + rng() % maxRead, stream.size() - p);
        chunks.push_back(std::string_view(stream).substr(p, len));
        p += len;
      }
      for (bool viaSink : {false, true}) {
        UpdateStream s;
        std::size_t mostHeld = 0;
        const Outcome got = FeedAll(s, chunks, viaSink, &mostHeld);
        QCOMPARE_BYTES(got.replies, kVersion);
        QCOMPARE(got.programs.size(), std::size_t(1));
        QVERIFY2(got.programs[0].second == file, qPrintable(QString::number(chunks.size())));
        if (viaSink && maxRead < file.size())
          QVERIFY2(mostHeld <= UpdateStream::kSpillBytes + maxRead + 64, qPrintable(QString::number(mostHeld)));
      }
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

  // A program that goes to a sink is dropped when the sink is taken away
  // (nothing more of it is wanted), or when it passes the limit; nothing of
  // it is reported as a file, and the replies after it still arrive.
  void streamedProgramCutShort() {
    const std::string file = BinaryFile(2 * UpdateStream::kSpillBytes);
    const std::string stream = Program(file) + kVersion;
    const std::string_view v = stream;
    for (bool overLimit : {false, true}) {
      UpdateStream s(overLimit ? file.size() - 1 : UpdateStream::kDefaultLimit);
      std::string sunk;
      s.setProgramSink([&sunk](std::string_view b) { sunk.append(b); });
      Outcome o = FeedAll(s, {v.substr(0, file.size() / 2)});
      QVERIFY(!sunk.empty());
      if (!overLimit) s.setProgramSink({});
      const Outcome rest = FeedAll(s, {v.substr(file.size() / 2)});
      o.replies += rest.replies;
      o.programs.insert(o.programs.end(), rest.programs.begin(), rest.programs.end());
      QCOMPARE_BYTES(o.replies, kVersion);
      if (overLimit) {
        QCOMPARE(o.programs.size(), std::size_t(1));
        QCOMPARE(o.programs[0].first, Kind::BrokenProgram);
      } else {
        QVERIFY(o.programs.empty());
      }
      QCOMPARE(s.pendingSize(), std::size_t(0));
    }
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
