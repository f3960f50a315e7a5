// hive_writer_helper FILE PREFIX COUNT VALUELEN
// Writes PREFIX0..PREFIX<COUNT-1> (each a value of VALUELEN characters) into
// one section of FILE and prints each number after its write has landed.
#include <QCoreApplication>
#include <cstdio>

#include "common/platform/SettingsHive.h"

int main(int argc, char** argv) {
  if (argc != 5) return 2;
  const davu::platform::SettingsHiveFile hive(QString::fromLocal8Bit(argv[1]), false);
  const QString prefix = QString::fromLocal8Bit(argv[2]);
  const int count = QByteArray(argv[3]).toInt();
  const QString value(QByteArray(argv[4]).toInt(), QChar(u'v'));
  for (int i = 0; i < count; ++i) {
    if (!hive.write(QStringLiteral("SOFTWARE\\Solvarn\\T\\S"), prefix + QString::number(i), value))
      return 1;
    std::printf("%d\n", i);
    std::fflush(stdout);
  }
  return 0;
}
