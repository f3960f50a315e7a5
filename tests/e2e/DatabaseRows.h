#pragma once
// Reading a davu-server database file beside the running server.
#include <QStringList>
#include <sqlite3.h>

// Every row of a query, fields joined by '|', read straight from the file.
inline QStringList Rows(const QString& file, const char* sql) {
  QStringList out;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK) {
      while (sqlite3_step(st) == SQLITE_ROW) {
        QStringList row;
        for (int i = 0; i < sqlite3_column_count(st); ++i)
          row << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)));
        out << row.join(u'|');
      }
    }
    sqlite3_finalize(st);
  }
  sqlite3_close(db);
  return out;
}

// Runs `sql` on the database beside the running server; true when it ran.
inline bool Write(const QString& file, const QString& sql) {
  sqlite3* db = nullptr;
  bool ok = sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK;
  if (ok) {
    sqlite3_busy_timeout(db, 5000);
    ok = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
  }
  sqlite3_close(db);
  return ok;
}
