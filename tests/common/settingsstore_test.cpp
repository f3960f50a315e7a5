#include <QtTest>
class Stub : public QObject {
  Q_OBJECT
};
QTEST_MAIN(Stub)
#include "settingsstore_test.moc"
