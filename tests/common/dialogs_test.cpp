#include <QtTest>
class Stub : public QObject {
  Q_OBJECT
};
QTEST_MAIN(Stub)
#include "dialogs_test.moc"
