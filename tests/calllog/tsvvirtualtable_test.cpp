// The result table: columns from the select list, rows from RETSQL replies.
#include <QSignalSpy>
#include <QtTest>

#include "WireLiteral.h"
#include "calllog/TSVVirtualTable.h"

using namespace davu;

namespace {

QStringList Names(const TSVVirtualTable& t) {
  QStringList names;
  for (const auto& d : t.fieldDefs()) names << d.name;
  return names;
}

QList<int> Sizes(const TSVVirtualTable& t) {
  QList<int> sizes;
  for (const auto& d : t.fieldDefs()) sizes << d.size;
  return sizes;
}

// Each row as its values joined by ";".
QStringList Rows(const TSVVirtualTable& t) {
  QStringList rows;
  for (int r = 0; r < t.RecordCount(); ++r) {
    QStringList values;
    for (int c = 0; c < t.columnCount(); ++c) values << t.value(r, c);
    rows << values.join(u';');
  }
  return rows;
}

QString SelectOf(int items) {
  QStringList list;
  for (int i = 1; i <= items; ++i) list << QStringLiteral("C%1").arg(i);
  return QStringLiteral("SELECT ") + list.join(QStringLiteral(", ")) + QStringLiteral(" FROM T");
}

}  // namespace

class TSVVirtualTableTest : public QObject {
  Q_OBJECT

 private slots:
  void columnsFromSelectList_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<QStringList>("sql");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QList<int>>("sizes");

    QTest::newRow("active calls table")
        << QString() << QStringList{"SELECT Radera, FRIENDLYNAME, LOPNR, FULLNAME, CALLTSTAMP, COMINGTSTAMP, SMSSENT FROM STATIONS, CALLABLES, CALLLOG"}
        << QStringList{"Radera", "FRIENDLYNAME", "LOPNR", "FULLNAME", "CALLTSTAMP", "COMINGTSTAMP", "SMSSENT"}
        << QList<int>{64, 64, 64, 64, 64, 64, 64};
    QTest::newRow("lower case keywords") << QString() << QStringList{"select a, b from t"}
                                         << QStringList{"a", "b"} << QList<int>{64, 64};
    QTest::newRow("SOPInstanceUID is long") << QString() << QStringList{"SELECT X, SOPInstanceUID FROM T"}
                                            << QStringList{"X", "SOPInstanceUID"} << QList<int>{64, 255};
    QTest::newRow("lines joined") << QString() << QStringList{"SELECT", " a,", "\tb ", "from t"}
                                  << QStringList{"a", "b"} << QList<int>{64, 64};
    QTest::newRow("names as written") << QString() << QStringList{"SELECT STATIONS.FRIENDLYNAME, x AS y FROM T"}
                                      << QStringList{"STATIONS.FRIENDLYNAME", "x AS y"} << QList<int>{64, 64};
    QTest::newRow("empty item ends the scan") << QString() << QStringList{"SELECT a, , b FROM t"}
                                              << QStringList{"a"} << QList<int>{64};
    QStringList fifty;
    for (int i = 1; i <= 50; ++i) fifty << QStringLiteral("C%1").arg(i);
    QTest::newRow("at most 50 items") << QString() << QStringList{SelectOf(60)} << fifty
                                      << QList<int>(50, 64);
    QTest::newRow("no SELECT keeps the columns") << "SELECT a, b FROM t" << QStringList{"UPDATE t SET a = 1"}
                                                 << QStringList{"a", "b"} << QList<int>{64, 64};
    QTest::newRow("no FROM keeps the columns") << "SELECT a, b FROM t" << QStringList{"SELECT c, d"}
                                               << QStringList{"a", "b"} << QList<int>{64, 64};
    QTest::newRow("unlisted removed, substring kept, no duplicates")
        << "SELECT LOPNR, NAME, X FROM t" << QStringList{"SELECT STATIONSLOPNR, X, X FROM t"}
        << QStringList{"LOPNR", "X", "STATIONSLOPNR"} << QList<int>{64, 64, 64};
    QTest::newRow("removal is case-sensitive") << "SELECT a FROM t" << QStringList{"SELECT A FROM t"}
                                               << QStringList{"A"} << QList<int>{64};
  }
  void columnsFromSelectList() {
    QFETCH(QString, before);
    QFETCH(QStringList, sql);
    QFETCH(QStringList, names);
    QFETCH(QList<int>, sizes);
    TSVVirtualTable t;
    if (!before.isEmpty()) t.setSQL(before);
    t.setProperty("SQL", sql);  // the published property rebuilds as well
    QCOMPARE(Names(t), names);
    QCOMPARE(Sizes(t), sizes);
    QCOMPARE(t.columnCount(), names.size());
  }

  void changingSqlClosesTheTable() {
    TSVVirtualTable t;
    t.setSQL(QStringLiteral("SELECT A FROM T"));
    t.LoadSqlReply(W("¤RETSQL:¤%A|1~%¤:"));
    QVERIFY(t.isOpen());
    t.setSQL(QStringLiteral("no select here"));
    QVERIFY(!t.isOpen());
    QCOMPARE(t.RecordCount(), 0);
  }

  void loadReply_data() {
    QTest::addColumn<QString>("payload");
    QTest::addColumn<QStringList>("rows");  // FULLNAME;LOPNR

    QTest::newRow("no row pieces") << "¤RETSQL::" << QStringList{};
    QTest::newRow("tag only") << "¤RETSQL:" << QStringList{};
    QTest::newRow("two rows in order") << "¤RETSQL:¤%FULLNAME|Rum 1~LOPNR|17~%¤:¤%FULLNAME|Rum 2~LOPNR|18~%¤:"
                                       << QStringList{"Rum 1;17", "Rum 2;18"};
    QTest::newRow("first bar splits") << "¤RETSQL:¤%FULLNAME|a|b~%¤:" << QStringList{"a|b;"};
    QTest::newRow("colon and percent in value") << "¤RETSQL:¤%FULLNAME|10:22 50%~LOPNR|1~%¤:"
                                                << QStringList{"10:22 50%;1"};
    QTest::newRow("leading blanks kept, trailing cut") << "¤RETSQL:¤%FULLNAME|  Rum 3  ~ LOPNR|4\t~%¤:"
                                                       << QStringList{"  Rum 3;4"};
    QTest::newRow("empty part ends the row") << "¤RETSQL:¤%FULLNAME|x~ ~LOPNR|5~%¤:¤%LOPNR|6~%¤:"
                                             << QStringList{"x;", ";6"};
    QTest::newRow("part without bar skipped") << "¤RETSQL:¤%junk~LOPNR|5~%¤:" << QStringList{";5"};
    QTest::newRow("names ignore case") << "¤RETSQL:¤%fullname|x~LopNr|2~%¤:" << QStringList{"x;2"};
    QTest::newRow("row naming no column still counts") << "¤RETSQL:¤%%¤:¤%~%¤:" << QStringList{";", ";"};
    QTest::newRow("piece opening with colon skipped")
        << "¤RETSQL:¤%FULLNAME|a~%¤: :¤%FULLNAME|b~%¤:¤%FULLNAME|c~%¤:" << QStringList{"a;", "c;"};
    QTest::newRow("values stored exactly") << "¤RETSQL:¤%FULLNAME|2024-05-03 10:22:33~LOPNR|True~%¤:"
                                           << QStringList{"2024-05-03 10:22:33;True"};
    QTest::newRow("Windows-1252 letters") << "¤RETSQL:¤%FULLNAME|Läkare Åsa Öberg~%¤:"
                                          << QStringList{"Läkare Åsa Öberg;"};
    QTest::newRow("cut to 64 characters") << "¤RETSQL:¤%FULLNAME|" + QString(70, u'x') + "~%¤:"
                                          << QStringList{QString(64, u'x') + ";"};
  }
  void loadReply() {
    QFETCH(QString, payload);
    QFETCH(QStringList, rows);
    TSVVirtualTable t;
    t.setSQL(QStringLiteral("SELECT FULLNAME, LOPNR FROM CALLLOG"));
    t.LoadSqlReply(W(QStringLiteral("¤RETSQL:¤%FULLNAME|old~%¤:")));
    t.LoadSqlReply(W(payload));  // replaces every row
    QCOMPARE(Rows(t), rows);
    QCOMPARE(t.rowCount(), rows.size());
  }

  // Rows decoded while a reply arrives, cut anywhere into up to three
  // reads, end as the finished reply decoded whole, and nothing is shown
  // before it is finished. Frames may carry bytes behind the reply.
  void streamedReplyEndsAsTheWholeReply_data() {
    QTest::addColumn<QString>("payload");
    QTest::addColumn<QString>("behind");  // what the frame holds behind the payload
    const QString rows = QStringLiteral("¤RETSQL:¤%FULLNAME|Rum 1~LOPNR|17~%¤:¤%FULLNAME|  a|b ~ LOPNR|5\t~%¤: :"
                                        "¤%FULLNAME|x~ ~LOPNR|5~%¤:¤%junk~%¤:¤%%¤:¤%fullname|Åsa 50%~%¤:");
    QTest::newRow("rows") << rows << "RETSQL¤";
    QTest::newRow("no rows") << "¤RETSQL::" << "RETSQL¤";
    QTest::newRow("a row piece behind the reply") << rows << "RETSQL¤¤%FULLNAME|z~%¤:";
    QTest::newRow("missing column") << "¤RETSQL:¤%FULLNAME|A~%¤:¤%NOSUCH|x~%¤:¤%FULLNAME|C~%¤:" << "RETSQL¤";
    QTest::newRow("entry without a name") << "¤RETSQL:¤%FULLNAME|A~%¤:¤%|x~%¤:¤%FULLNAME|C~%¤:" << "RETSQL¤";
  }
  void streamedReplyEndsAsTheWholeReply() {
    QFETCH(QString, payload);
    QFETCH(QString, behind);
    const std::string reply = W(payload);
    const std::string frame = reply + W(behind);
    const auto load = [&](TSVVirtualTable& t) {
      try {
        t.LoadSqlReply(reply);
      } catch (const SqlReplyError& e) {
        return e.text();
      }
      return QString();
    };
    TSVVirtualTable whole;
    whole.setSQL(QStringLiteral("SELECT FULLNAME, LOPNR FROM CALLLOG"));
    const QString wholeError = load(whole);

    TSVVirtualTable t;
    t.setSQL(QStringLiteral("SELECT FULLNAME, LOPNR FROM CALLLOG"));
    std::uint64_t number = 0;
    for (std::size_t i = 0; i <= frame.size(); ++i) {
      for (std::size_t j = i; j <= frame.size(); ++j) {
        t.LoadSqlReply(W(QStringLiteral("¤RETSQL:¤%FULLNAME|old~%¤:")));
        QSignalSpy reset(&t, &QAbstractItemModel::modelAboutToBeReset);
        ++number;
        t.StreamSqlReply(number, std::string_view(frame).substr(0, i));
        t.StreamSqlReply(number, std::string_view(frame).substr(0, j));
        QCOMPARE(reset.count(), 0);
        QCOMPARE(Rows(t), QStringList{"old;"});
        const QString error = load(t);
        QVERIFY2(error == wholeError && Rows(t) == Rows(whole),
                 qPrintable(QStringLiteral("cut at %1, %2: ").arg(i).arg(j) + Rows(t).join(u'/')));
        QCOMPARE(reset.count(), 1);
      }
    }
  }

  // What was decoded while the reply arrived is kept, however its reads
  // were cut, when the finished reply begins with those bytes.
  void rowsDecodedAheadAreKeptAtEveryCut() {
    QString payload = QStringLiteral("¤RETSQL:");
    for (int r = 0; r < 7; ++r)
      payload += QStringLiteral("¤%FULLNAME|Rum %1 ").arg(r) + QString(r * 5, u'x') + QStringLiteral("~LOPNR|%1~%¤:").arg(r);
    const std::string reply = W(payload);
    TSVVirtualTable t;
    t.setSQL(QStringLiteral("SELECT FULLNAME, LOPNR FROM CALLLOG"));
    std::uint64_t number = 0;
    for (std::size_t i = 0; i <= reply.size(); ++i) {
      for (std::size_t j = i; j <= reply.size(); ++j) {
        ++number;
        t.StreamSqlReply(number, std::string_view(reply).substr(0, i));
        t.StreamSqlReply(number, std::string_view(reply).substr(0, j));
        const std::size_t ahead = t.arrivingRows();
        t.LoadSqlReply(reply);
        QVERIFY2(t.rowsDecodedAhead() == ahead && t.RecordCount() == 7,
                 qPrintable(QStringLiteral("cut at %1, %2").arg(i).arg(j)));
      }
    }
  }

  // Bytes of another reply, or a reply that was never finished, are not
  // taken for the reply that is loaded.
  void streamOfAnotherReplyIsNotUsed() {
    TSVVirtualTable t;
    t.setSQL(QStringLiteral("SELECT FULLNAME, LOPNR FROM CALLLOG"));
    t.StreamSqlReply(1, W(QStringLiteral("¤RETSQL:¤%FULLNAME|broken off~%¤:")));
    t.StreamSqlReply(2, W(QStringLiteral("¤RETSQL:¤%FULLNAME|B~%¤:")));
    t.LoadSqlReply(W(QStringLiteral("¤RETSQL:¤%FULLNAME|A~%¤:¤%FULLNAME|C~%¤:")));
    QCOMPARE(Rows(t), (QStringList{"A;", "C;"}));
    t.StreamSqlReply(3, W(QStringLiteral("¤RETSQL:¤%FULLNAME|D~%¤:")));
    t.LoadSqlReply(W(QStringLiteral("¤RETSQL:¤%FULLNAME|D~%¤:¤%FULLNAME|E~%¤:")));
    QCOMPARE(Rows(t), (QStringList{"D;", "E;"}));
  }

  void longColumnKeeps255() {
    TSVVirtualTable t;
    t.setSQL(QStringLiteral("SELECT SOPInstanceUID FROM T"));
    t.LoadSqlReply(W(QStringLiteral("¤RETSQL:¤%SOPInstanceUID|") + QString(300, u'1') + QStringLiteral("~%¤:")));
    QCOMPARE(t.value(0, 0), QString(255, u'1'));
  }

  // An entry with an empty name names no column either.
  void entryWithoutANameIsRefused() {
    TSVVirtualTable t;
    t.setSQL(QStringLiteral("SELECT FULLNAME, LOPNR FROM CALLLOG"));
    QVERIFY_THROWS_EXCEPTION(SqlReplyError, t.LoadSqlReply(W(QStringLiteral("¤RETSQL:¤%FULLNAME|A~%¤:¤%|x~%¤:"))));
    QCOMPARE(Rows(t), QStringList{"A;"});
  }

  void missingColumnStopsDecodingAndResumesDisplay() {
    TSVVirtualTable t;
    t.setSQL(QStringLiteral("SELECT FULLNAME, LOPNR FROM CALLLOG"));
    QSignalSpy aboutToReset(&t, &QAbstractItemModel::modelAboutToBeReset);
    QSignalSpy reset(&t, &QAbstractItemModel::modelReset);
    try {
      t.LoadSqlReply(W(QStringLiteral(
          "¤RETSQL:¤%FULLNAME|A~LOPNR|1~%¤:¤%FULLNAME|B~NOSUCH|x~LOPNR|2~%¤:¤%FULLNAME|C~%¤:")));
      QFAIL("no error for a missing column");
    } catch (const SqlReplyError& e) {
      QVERIFY2(e.text().contains(QStringLiteral("NOSUCH")), qPrintable(e.text()));
      QCOMPARE(QString::fromUtf8(e.what()), e.text());
    }
    QCOMPARE(aboutToReset.count(), 1);
    QCOMPARE(reset.count(), 1);  // the view is not left suspended
    QCOMPARE(Rows(t), QStringList{"A;1"});
    t.LoadSqlReply(W(QStringLiteral("¤RETSQL:¤%FULLNAME|D~%¤:")));
    QCOMPARE(Rows(t), QStringList{"D;"});
  }

  void oneResetPerReply() {
    TSVVirtualTable t;
    t.setSQL(QStringLiteral("SELECT FULLNAME, LOPNR FROM CALLLOG"));
    QString payload = QStringLiteral("¤RETSQL:");
    for (int i = 0; i < 1000; ++i) payload += QStringLiteral("¤%FULLNAME|R~LOPNR|%1~%¤:").arg(i);
    QSignalSpy reset(&t, &QAbstractItemModel::modelReset);
    QSignalSpy inserted(&t, &QAbstractItemModel::rowsInserted);
    QSignalSpy changed(&t, &QAbstractItemModel::dataChanged);
    t.LoadSqlReply(W(payload));
    QCOMPARE(reset.count(), 1);
    QCOMPARE(inserted.count() + changed.count(), 0);
    QCOMPARE(t.RecordCount(), 1000);
    QCOMPARE(t.value(999, QStringLiteral("lopnr")), QStringLiteral("999"));
  }

  void checkColumnWritesTAndF() {
    TSVVirtualTable t;
    t.setSQL(QStringLiteral("SELECT Radera, LOPNR FROM CALLLOG"));
    t.setCheckColumn(QStringLiteral("Radera"));
    t.LoadSqlReply(W(QStringLiteral("¤RETSQL:¤%LOPNR|12~%¤:¤%LOPNR|15~%¤:")));
    const QModelIndex box = t.index(1, 0), number = t.index(1, 1);
    QVERIFY(t.flags(box) & Qt::ItemIsUserCheckable);
    QVERIFY(!(t.flags(number) & (Qt::ItemIsUserCheckable | Qt::ItemIsEditable)));
    QCOMPARE(t.data(box, Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QVERIFY(t.data(box, Qt::DisplayRole).isNull());  // a box, no text beside it

    QVERIFY(t.setData(box, Qt::Checked, Qt::CheckStateRole));
    QCOMPARE(t.value(1, 0), QStringLiteral("T"));
    QCOMPARE(t.data(box, Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QVERIFY(t.setData(box, Qt::Unchecked, Qt::CheckStateRole));
    QCOMPARE(t.value(1, 0), QStringLiteral("F"));
    QCOMPARE(t.value(0, 0), QString());
    QVERIFY(!t.setData(number, QStringLiteral("99"), Qt::EditRole));
    QCOMPARE(t.value(1, 1), QStringLiteral("15"));
  }

  void titlesAreLeftAligned() {
    TSVVirtualTable t;
    t.setSQL(QStringLiteral("SELECT FULLNAME FROM CALLLOG"));
    t.setColumnTitle(QStringLiteral("FULLNAME"), QStringLiteral("Resursnamn"));
    QCOMPARE(t.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Resursnamn"));
    QCOMPARE(t.headerData(0, Qt::Horizontal, Qt::TextAlignmentRole).toInt(),
             int(Qt::AlignLeft | Qt::AlignVCenter));
  }
};

QTEST_GUILESS_MAIN(TSVVirtualTableTest)
#include "tsvvirtualtable_test.moc"
