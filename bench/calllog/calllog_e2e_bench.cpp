// End to end: the statistics report for one month of a 1,000,000-call
// database, from the "Skapa rapport" click to the filled grid, through the
// real main window, its dispatcher and a davu-server process; against the
// same query in the sqlite3 shell on the same file.
//
//   calllog_e2e_bench [calls] [runs]    (default 1000000, spread over 2024; 3 runs)
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QDateEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTcpSocket>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/UDavuAdminMain.h"
#include "app/Widgets.h"
#include "calllog/CallLogSql.h"
#include "calllog/TSVVirtualTable.h"
#include "calllog/UfrmDAVUStatistik.h"
#include "common/ClientSocket.h"
#include "common/SharedState.h"
#include "common/WireText.h"
#include "protocol/Catalogue.h"
#include "server/ServerDatabase.h"
#include "server/SqlGate.h"

using namespace davu;

namespace {

constexpr int kStations = 24;
constexpr int kCallables = 60;

void Fill(const QString& path, int calls) {
  std::string error;
  auto db = davu::server::Database::open(path.toStdString(), &error);
  if (!db) {
    std::fprintf(stderr, "database: %s\n", error.c_str());
    std::exit(1);
  }
  davu::server::Transaction tx(*db);
  {
    davu::server::Statement st(db->handle(), "INSERT INTO STATIONS (NAME, FRIENDLYNAME, CLIENTTYPE) VALUES (?, ?, 0)");
    for (int i = 1; i <= kStations; ++i) {
      st.reset();
      st.bind(1, QStringLiteral("PC%1").arg(i).toStdString())
          .bind(2, QStringLiteral("Väntrum %1 Vårdcentralen Norra").arg(i).toStdString())
          .run();
    }
    davu::server::Statement ca(db->handle(), "INSERT INTO CALLABLES (NAME, FULLNAME) VALUES (?, ?)");
    for (int i = 1; i <= kCallables; ++i) {
      ca.reset();
      ca.bind(1, QStringLiteral("R%1").arg(i).toStdString())
          .bind(2, QStringLiteral("Dr Åsa Öberg-Lind, rum %1").arg(100 + i).toStdString())
          .run();
    }
  }
  davu::server::Statement ins(db->handle(),
                              "INSERT INTO CALLLOG (STATIONSLOPNR, CALLABLESLOPNR, CALLTSTAMP, COMINGTSTAMP,"
                              " CONFIRMTSTAMP, SMSSENT) VALUES (?, ?, ?, ?, ?, ?)");
  const QDateTime start(QDate(2024, 1, 1), QTime(0, 0));
  const qint64 yearSeconds = start.secsTo(QDateTime(QDate(2025, 1, 1), QTime(0, 0)));
  for (int i = 0; i < calls; ++i) {
    const QDateTime at = start.addSecs(yearSeconds * i / calls);
    const auto text = [](const QDateTime& t) { return t.toString("yyyy-MM-dd HH:mm:ss").toStdString(); };
    ins.reset();
    ins.bind(1, std::int64_t(1 + i % kStations)).bind(2, std::int64_t(1 + (i / 7) % kCallables));
    ins.bind(3, text(at)).bind(4, text(at.addSecs(40)));
    if (i % 6) ins.bind(5, text(at.addSecs(300 + i % 500))); else ins.bindNull(5);
    ins.bind(6, std::int64_t(i % 9 == 0)).run();
  }
  tx.commit();
  db->exec("ANALYZE");
}

// Runs the event loop until `done` or 60 s.
template <typename F>
bool Pump(F done) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > 60000) return false;
    QEventLoop loop;
    QTimer::singleShot(1, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const int calls = argc > 1 ? std::atoi(argv[1]) : 1000000;
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  QTemporaryDir tmp;
  for (const char* v : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "DAVU_MACHINE_CONFIG_DIR"})
    qputenv(v, (tmp.path() + "/" + v).toUtf8());
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);

  const QString dbPath = tmp.path() + "/calls.db";
  QElapsedTimer fillTime;
  fillTime.start();
  Fill(dbPath, calls);
  std::printf("database: %d calls over 2024 written in %.1f s\n", calls, fillTime.elapsed() / 1000.0);

  QProcess server;
  const QString portFile = tmp.path() + "/port";
  server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  server.start(QStringLiteral(DAVU_SERVER_EXE), {"--db", dbPath, "--port", "0", "--port-file", portFile});
  if (!Pump([&] { return QFile(portFile).size() > 0; })) {
    std::fprintf(stderr, "davu-server did not start\n");
    return 1;
  }
  QFile pf(portFile);
  pf.open(QIODevice::ReadOnly);
  const int port = QString::fromLatin1(pf.readAll()).trimmed().toInt();

  TfrmDAVUAdmin main;
  const QDate from(2024, 5, 1), to(2024, 5, 31);
  int rows = 0;
  double best = 1e9;
  main.ShowModal = [&](QDialog* d) {
    auto* w = qobject_cast<TfrmDAVUStatistik*>(d);
    if (!w) return;
    w->show();
    Pump([&] { return w->CheckListBox1->count() > 0 && w->CheckListBox2->count() > 0; });
    w->DateTimePicker1->setDate(from);
    w->DateTimePicker2->setDate(to);
    for (int run = 0; run < runs; ++run) {
      QEventLoop filled;
      const auto c = QObject::connect(w->SVVirtualTable1, &QAbstractItemModel::modelReset, &filled, &QEventLoop::quit);
      QTimer::singleShot(60000, &filled, &QEventLoop::quit);
      QElapsedTimer t;
      qint64 firstByte = -1, lastByte = -1, decodeStart = -1;
      const auto r = QObject::connect(main.ClientSocket1, &ClientSocket::readReady, [&] {
        if (firstByte < 0) firstByte = t.nsecsElapsed();
        lastByte = t.nsecsElapsed();
      });
      const auto a = QObject::connect(w->SVVirtualTable1, &QAbstractItemModel::modelAboutToBeReset,
                                      [&] { decodeStart = t.nsecsElapsed(); });
      t.start();
      w->BitBtn1->click();
      filled.exec();
      const qint64 decodeEnd = t.nsecsElapsed();
      app.processEvents();  // the grid's repaint
      best = std::min(best, t.nsecsElapsed() / 1e9);
      QObject::disconnect(c);
      QObject::disconnect(r);
      QObject::disconnect(a);
      rows = w->SVVirtualTable1->RecordCount();
      std::printf("  run %d: %.0f ms, %s (first byte %.0f ms, last byte %.0f ms, "
                  "decode %.0f ms, repaint %.0f ms)\n",
                  run + 1, t.nsecsElapsed() / 1e6, qPrintable(w->Label3->text()), firstByte / 1e6,
                  lastByte / 1e6, (decodeEnd - decodeStart) / 1e6, (t.nsecsElapsed() - decodeEnd) / 1e6);
    }
    w->reject();
  };
  main.ClientSocket1->setAddress("127.0.0.1");
  main.ClientSocket1->setPort(port);
  main.ClientSocket1->open();
  if (!Pump([&] { return main.btnStatistik->isEnabled(); })) {
    std::fprintf(stderr, "no connection to davu-server\n");
    return 1;
  }
  main.btnStatistikClick();

  // The same query in the sqlite3 shell, its literals in SQLite's dialect.
  std::string sql, error;
  davu::server::TranslateDialect(davu::calllog::StatisticsQuery({}, {}, from, to, false).toStdString(), sql, error);
  double shell = 1e9;
  int shellRows = 0;
  for (int run = 0; run < 3; ++run) {
    QProcess p;
    QElapsedTimer t;
    t.start();
    p.start("sqlite3", {dbPath, QString::fromStdString(sql) + ";"});
    p.waitForFinished(120000);
    const QByteArray out = p.readAllStandardOutput();
    shell = std::min(shell, t.nsecsElapsed() / 1e9);
    shellRows = out.count('\n');
  }
  // The server alone: the same request on a plain socket, read to its end.
  double raw = 1e9;
  {
    QTcpSocket s;
    s.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
    s.waitForConnected(5000);
    const std::string request = davu::proto::OpenSql(
        "BENCH", ToWire(davu::calllog::StatisticsQuery({}, {}, from, to, false)));
    for (int run = 0; run < 3; ++run) {
      QElapsedTimer t;
      t.start();
      s.write(request.data(), static_cast<qint64>(request.size()));
      QByteArray got;
      while (!got.endsWith("#DATAEND#") && !got.endsWith(":RETSQL\xA4")) {
        if (!s.waitForReadyRead(60000)) break;
        got += s.readAll();
      }
      raw = std::min(raw, t.nsecsElapsed() / 1e9);
    }
  }
  server.terminate();
  server.waitForFinished(5000);

  std::printf("month report 2024-05: %d rows in the grid (sqlite3 printed %d)\n", rows, shellRows);
  std::printf("Skapa rapport -> filled grid: %.0f ms (best of %d)\n", best * 1e3, runs);
  std::printf("sqlite3 shell, same query:    %.0f ms (best of 3, process start included)\n", shell * 1e3);
  std::printf("server alone (plain socket, same request): %.0f ms\n", raw * 1e3);
  std::printf("ratio end-to-end / sqlite3 shell = %.2f\n", best / shell);
  return 0;
}
