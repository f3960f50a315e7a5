#include <QtTest>
class Stub : public QObject {
  Q_OBJECT
};
QTEST_MAIN(Stub)
#include "clientidentity_test.moc"
