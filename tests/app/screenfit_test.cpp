// Windows on a scaled screen: 1400 x 900 pixels at a scale factor of 2
// leave 700 x 450 for windows designed up to 807 x 495. Each window is
// capped to the available area and every button stays inside it.
#include <QAbstractButton>
#include <QApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QWindow>
#include <QtTest>
#include <functional>
#include <memory>

#include "AppHarness.h"
#include "app/UDavuAdminMain.h"
#include "calllog/IdagWindow.h"
#include "calllog/UfrmActiveCalls.h"
#include "calllog/UfrmDAVUStatistik.h"
#include "common/SharedState.h"
#include "register/USystReg.h"

using namespace davu;

namespace {

using WindowMaker = std::function<QWidget*(AppHarness&)>;

}  // namespace

Q_DECLARE_METATYPE(WindowMaker)

class ScreenFitTest : public QObject {
  Q_OBJECT

 private slots:
  void theScreenIsScaled() {
    QScreen* s = QGuiApplication::primaryScreen();
    QCOMPARE(s->devicePixelRatio(), 2.0);
    QCOMPARE(s->availableGeometry().size(), QSize(700, 450));
  }

  void everyButtonStaysOnTheScreen_data() {
    QTest::addColumn<WindowMaker>("make");
    QTest::addColumn<QSize>("designed");
    QTest::newRow("main window") << WindowMaker([](AppHarness& h) -> QWidget* { return &h.create(); })
                                 << QSize(590, 165);
    QTest::newRow("statistics") << WindowMaker([](AppHarness& h) -> QWidget* {
      return new TfrmDAVUStatistik(&h.create());
    }) << QSize(807, 495);
    QTest::newRow("active calls") << WindowMaker([](AppHarness& h) -> QWidget* {
      return new TfrmDAVUActiveCalls(&h.create());
    }) << QSize(671, 440);
    QTest::newRow("idag") << WindowMaker([](AppHarness& h) -> QWidget* {
      return new IdagWindow(&h.create());
    }) << QSize(720, 560);
    QTest::newRow("register, settings") << WindowMaker([](AppHarness& h) -> QWidget* {
      TfrmDAVUAdmin& w = h.create();
      w.FormActivate();
      return w.frmSystreg;
    }) << QSize(573, 391);
    QTest::newRow("register, register mode") << WindowMaker([](AppHarness& h) -> QWidget* {
      TfrmDAVUAdmin& w = h.create();
      w.FormActivate();
      w.btnSystemregisterClick();
      return w.frmSystreg;
    }) << QSize(800, 391);
  }
  void everyButtonStaysOnTheScreen() {
    QFETCH(WindowMaker, make);
    QFETCH(QSize, designed);
    AppHarness h;
    QWidget* w = make(h);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    const QRect area = w->screen()->availableGeometry();

    const QRect outer = w->frameGeometry();
    QVERIFY2(area.contains(outer), qPrintable(QStringLiteral("%1,%2 %3x%4 outside the screen")
                                                  .arg(outer.x()).arg(outer.y())
                                                  .arg(outer.width()).arg(outer.height())));
    // The designed size where it fits, else all the room there is.
    const QSize room = area.size().shrunkBy(w->windowHandle()->frameMargins());
    QCOMPARE(w->size(), designed.boundedTo(room));
    // The statistics and the Idag window may be enlarged; the others keep their size.
    if (QTest::currentDataTag() != QLatin1String("statistics") && QTest::currentDataTag() != QLatin1String("idag"))
      QCOMPARE(w->minimumSize(), w->maximumSize());

    for (QAbstractButton* b : w->findChildren<QAbstractButton*>()) {
      if (!b->isVisibleTo(w) || b->window() != w) continue;
      const QRect at(b->mapTo(w, QPoint(0, 0)), b->size());
      QVERIFY2(w->rect().contains(at), qPrintable(b->objectName() + QStringLiteral(" cut off")));
      QVERIFY2(b->height() >= b->minimumSizeHint().height() || b->height() >= 20,
               qPrintable(b->objectName() + QStringLiteral(" squeezed")));
    }
    w->hide();
  }
};

int main(int argc, char** argv) {
  QTemporaryDir dir;
  const QString config = dir.filePath(QStringLiteral("screen.json"));
  QFile f(config);
  if (!f.open(QIODevice::WriteOnly)) return 2;
  f.write(R"({"screens": [{"name": "scaled", "x": 0, "y": 0, "width": 1400, "height": 900,
              "logicalDpi": 96, "logicalBaseDpi": 96}]})");
  f.close();
  qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toLocal8Bit());
  qputenv("QT_SCALE_FACTOR", "2");
  QApplication app(argc, argv);
  ScreenFitTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "screenfit_test.moc"
