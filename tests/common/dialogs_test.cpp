// Dialog helpers: balloons through the seam and the real balloon, the real
// Swedish boxes, the localised standard buttons, ContrastColor, IsIPAddress.
#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

#include "FakePlatform.h"
#include "FakeServer.h"
#include "widgets/Dialogs.h"
#include "widgets/UDAVUcommon.h"
#include "widgets/platform/BalloonHint.h"

using namespace davu;

namespace {
// Runs `act` on the modal box once it is shown.
void onModalBox(const std::function<void(QMessageBox*)>& act) {
  QTimer::singleShot(0, [act] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    QVERIFY(box);
    act(box);
  });
}
QStringList buttonTexts(QMessageBox* box) {
  QStringList t;
  for (QAbstractButton* b : box->buttons()) t << b->text();
  t.sort();
  return t;
}
}  // namespace

class DialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() { davu::platform::restoreDefaults(); }

  void contrastColor_data() {
    QTest::addColumn<quint32>("colour");
    QTest::addColumn<quint32>("expected");
    QTest::newRow("white") << 0xFFFFFFu << 0x000000u;
    QTest::newRow("black") << 0x000000u << 0xFFFFFFu;
    QTest::newRow("red gives cyan") << 0x0000FFu << 0xFFFF00u;
    QTest::newRow("navy gives white") << 0x800000u << 0xFFFFFFu;
    QTest::newRow("yellow gives blue") << 0x00FFFFu << 0xFF0000u;
    QTest::newRow("grey 128 gives white") << 0x808080u << 0xFFFFFFu;
    QTest::newRow("grey 129 gives black") << 0x818181u << 0x000000u;
    QTest::newRow("stray high byte ignored") << 0x02FFFFFFu << 0x000000u;
  }
  void contrastColor() {
    QFETCH(quint32, colour);
    QFETCH(quint32, expected);
    QCOMPARE(ContrastColor(colour), expected);
  }

  // A Windows system colour (button face, stored as -16777201) is resolved
  // through the current palette first.
  void contrastOfSystemColour() {
    QPalette pal = QApplication::palette();
    pal.setColor(QPalette::Button, QColor(200, 100, 20));
    QApplication::setPalette(pal);
    QCOMPARE(ContrastColor(std::uint32_t(std::int32_t(-16777201))), 0xFFFF00u);
    pal.setColor(QPalette::Button, QColor(20, 200, 250));
    QApplication::setPalette(pal);
    QCOMPARE(ContrastColor(0xFF00000Fu), 0x0000FFu);
  }

  void ipAddress_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("expected");
    QTest::newRow("address") << "192.168.1.20" << true;
    QTest::newRow("zeros") << "0.0.0.0" << true;
    QTest::newRow("above 255") << "192.168.1.256" << false;
    QTest::newRow("host name") << "server1" << false;
    QTest::newRow("three parts") << "10.0.0" << false;
    QTest::newRow("three parts and a dot") << "10.0.0." << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("trailing dot") << "1.2.3.4." << true;
    QTest::newRow("five parts") << "10.0.0.1.5" << true;
    QTest::newRow("empty part") << "1..3.4" << false;
    QTest::newRow("letters") << "1.2.3.x" << false;
    QTest::newRow("negative") << "1.2.-3.4" << false;
    QTest::newRow("plus sign") << "+1.2.3.4" << true;
    QTest::newRow("blank inside") << "1.2. 3.4" << false;
    QTest::newRow("huge number") << "99999999999.1.1.1" << false;
  }
  void ipAddress() {
    QFETCH(QString, text);
    QFETCH(bool, expected);
    QCOMPARE(IsIPAddress(text), expected);
  }

  void balloonsThroughTheSeam() {
    FakePlatform fakes;
    QWidget control;
    control.resize(101, 30);
    control.move(40, 50);
    control.show();
    ShowInfoHint(QStringLiteral("Sparat"), &control);
    ShowInfoHintAt(QStringLiteral("Där"), QPoint(7, 9));
    ShowBalloonHint(QStringLiteral("Fel"), QStringLiteral("Trasigt"), &control, 3000, 1);
    QCOMPARE(int(fakes.dialogs->balloons.size()), 3);
    const Balloon& a = fakes.dialogs->balloons[0];
    QCOMPARE(a.title, QStringLiteral("Information"));
    QCOMPARE(a.text, QStringLiteral("Sparat"));
    QCOMPARE(a.kind, 2);
    QCOMPARE(a.displayMs, 5000);
    QCOMPARE(a.pos, control.mapToGlobal(QPoint(50, 30)));
    QCOMPARE(fakes.dialogs->balloons[1].pos, QPoint(7, 9));
    QCOMPARE(fakes.dialogs->balloons[1].displayMs, 5000);
    QCOMPARE(fakes.dialogs->balloons[2].kind, 1);
    QCOMPARE(fakes.dialogs->balloons[2].displayMs, 3000);

    fakes.dialogs->answers = {6, 7};
    QCOMPARE(AskYesNo(QStringLiteral("Ta bort?")), 6);
    QCOMPARE(AskYesNo(QStringLiteral("Igen?")), 7);
    ShowInfoMessage(QStringLiteral("Klart"));
    QCOMPARE(fakes.dialogs->questions, (QStringList{"Ta bort?", "Igen?"}));
    QCOMPARE(fakes.dialogs->infoMessages, QStringList{"Klart"});
  }

  void realQuestion_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("expected");
    QTest::newRow("Ja") << "yes" << 6;
    QTest::newRow("Nej") << "no" << 7;
    QTest::newRow("Escape") << "escape" << 7;
    QTest::newRow("closed") << "close" << 7;
    QTest::newRow("Enter takes the default") << "enter" << 6;
  }
  void realQuestion() {
    QFETCH(QString, action);
    QFETCH(int, expected);
    onModalBox([action](QMessageBox* box) {
      QCOMPARE(box->windowTitle(), QStringLiteral("Fråga"));
      QCOMPARE(box->text(), QStringLiteral("Spara\rändringarna?"));
      QCOMPARE(box->icon(), QMessageBox::Question);
      QCOMPARE(buttonTexts(box), (QStringList{"Ja", "Nej"}));
      QCOMPARE(box->defaultButton()->text(), QStringLiteral("Ja"));
      if (action == QLatin1String("yes")) box->button(QMessageBox::Yes)->click();
      else if (action == QLatin1String("no")) box->button(QMessageBox::No)->click();
      else if (action == QLatin1String("escape")) QTest::keyClick(box, Qt::Key_Escape);
      else if (action == QLatin1String("enter")) QTest::keyClick(box, Qt::Key_Return);
      else box->close();
    });
    QCOMPARE(AskYesNo(QStringLiteral("Spara\rändringarna?")), expected);
  }

  void realInfoMessage() {
    bool shown = false;
    onModalBox([&shown](QMessageBox* box) {
      shown = true;
      QCOMPARE(box->windowTitle(), QStringLiteral("Information"));
      QCOMPARE(box->icon(), QMessageBox::Information);
      QCOMPARE(buttonTexts(box), QStringList{"OK"});
      QCOMPARE(box->defaultButton()->text(), QStringLiteral("OK"));
      QTest::keyClick(box, Qt::Key_Escape);
    });
    ShowInfoMessage(QStringLiteral("Klart"));
    QVERIFY(shown);
  }

  void localisedStandardButtons() {
    LocaliseDialogTexts();
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Varning"), QStringLiteral("x"),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Ok | QMessageBox::Cancel);
    QCOMPARE(box.button(QMessageBox::Yes)->text(), QStringLiteral("Ja"));
    QCOMPARE(box.button(QMessageBox::No)->text(), QStringLiteral("Nej"));
    QCOMPARE(box.button(QMessageBox::Ok)->text(), QStringLiteral("OK"));
    QCOMPARE(box.button(QMessageBox::Cancel)->text(), QStringLiteral("Avbryt"));
  }

  // Qt's own windows speak Swedish too: no English caption is left in the
  // colour picker or the file dialog, whatever the system's language.
  void qtDialogsSpeakSwedish() {
    LocaliseDialogTexts();
    const auto texts = [](QWidget* w) {
      QStringList out{w->windowTitle()};
      for (const QLabel* l : w->findChildren<QLabel*>()) out << l->text();
      for (const QAbstractButton* b : w->findChildren<QAbstractButton*>()) out << b->text();
      return out;
    };
    QColorDialog colours;
    colours.setOption(QColorDialog::DontUseNativeDialog);
    colours.show();
    const QStringList colourTexts = texts(&colours);
    for (const char* english : {"Select Color", "&Pick Screen Color", "&Basic colors", "&Add to Custom Colors"})
      QVERIFY2(!colourTexts.contains(QLatin1String(english)), english);
    QVERIFY(colourTexts.contains(QStringLiteral("Avbryt")));

    QFileDialog files;
    files.setOption(QFileDialog::DontUseNativeDialog);
    files.setAcceptMode(QFileDialog::AcceptSave);
    files.show();
    const QStringList fileTexts = texts(&files);
    for (const char* english : {"Look in:", "File &name:", "&Save", "Files of type:"})
      QVERIFY2(!fileTexts.contains(QLatin1String(english)), english);
  }

  // The real balloon: one object, reloaded by each show.
  void realBalloon() {
    TfrmDAVUcommon common(false);
    ShowInfoHintAt(QStringLiteral("Första"), QPoint(20, 30));
    TBalloonHint* balloon = common.BalloonHint();
    QVERIFY(balloon);
    QVERIFY(balloon->isVisible());
    QCOMPARE(balloon->title(), QStringLiteral("Information"));
    QCOMPARE(balloon->text(), QStringLiteral("Första\r"));
    QCOMPARE(balloon->pictureIndex(), 0);
    QCOMPARE(balloon->displayTime(), 5000);
    QVERIFY(balloon->hideTimer()->isActive());
    QCOMPARE(balloon->hideTimer()->interval(), 5000);

    ShowBalloonHintAt(QStringLiteral("Fel"), QStringLiteral("Andra"), QPoint(20, 30), 1000, 1);
    QCOMPARE(common.BalloonHint(), balloon);
    QCOMPARE(balloon->text(), QStringLiteral("Andra\r"));
    QCOMPARE(balloon->title(), QStringLiteral("Fel"));
    QCOMPARE(balloon->pictureIndex(), 2);
    QCOMPARE(balloon->hideTimer()->interval(), 1000);
    QCOMPARE(balloon->findChild<QLabel*>(QStringLiteral("imgPicture"))->pixmap().toImage(),
             common.ImageList1[2].toImage());

    balloon->hideTimer()->start(0);
    QVERIFY(WaitUntil([balloon] { return !balloon->isVisible(); }));
  }

  // Each showing fits the balloon to its own text: a short text after a long
  // one gets a narrow balloon, and one line a low one.
  void balloonFitsEachText() {
    TfrmDAVUcommon common(false);
    const QString longText = QStringLiteral("Servern svarade med följande fel: Resursen saknas i tabellen CALLABLES");
    ShowInfoHintAt(longText, QPoint(20, 30));
    TBalloonHint* balloon = common.BalloonHint();
    const QFontMetrics fm(balloon->findChild<QLabel*>(QStringLiteral("lblText"))->font());
    const int longWidth = balloon->width();
    QVERIFY2(longWidth >= fm.horizontalAdvance(longText), qPrintable(QString::number(longWidth)));
    ShowInfoHintAt(QStringLiteral("Sparat"), QPoint(20, 30));
    QVERIFY2(balloon->width() < longWidth / 2, qPrintable(QString::number(balloon->width())));
    QVERIFY2(balloon->width() >= fm.horizontalAdvance(QStringLiteral("Information")),
             qPrintable(QString::number(balloon->width())));
    // Title, one line and the room below it: well under 100 px.
    QVERIFY2(balloon->height() < 4 * fm.height() + 20, qPrintable(QString::number(balloon->height())));
    QVERIFY(balloon->height() >= 2 * fm.height());
  }

  void pictureForKind_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("picture");
    QTest::newRow("error") << 1 << 2;
    QTest::newRow("information") << 2 << 0;
    QTest::newRow("question") << 3 << 1;
    QTest::newRow("zero") << 0 << 0;
    QTest::newRow("other") << 9 << 0;
    QTest::newRow("negative") << -1 << 0;
  }
  void pictureForKind() {
    QFETCH(int, kind);
    QFETCH(int, picture);
    QCOMPARE(TfrmDAVUcommon::BalloonPictureIndex(kind), picture);
  }

  // Blue discs for information and question, a red one for the error, each
  // with a white sign where the sign belongs.
  void drawnPictures() {
    const QList<QPixmap> pics = DrawBalloonPictures();
    QCOMPARE(pics.size(), 3);
    auto at = [&](int i, int x, int y) { return pics[i].toImage().pixelColor(x, y); };
    for (int i = 0; i < 3; ++i) {
      QCOMPARE(pics[i].size(), QSize(32, 32));
      QCOMPARE(at(i, 0, 0).alpha(), 0);
      const QColor disc = at(i, 6, 16);
      QVERIFY2(i == 2 ? disc.red() > 150 && disc.blue() < 80 : disc.blue() > 150 && disc.red() < 80,
               qPrintable(disc.name()));
    }
    QCOMPARE(at(0, 16, 9), QColor(Qt::white));   // the dot of the i
    QCOMPARE(at(0, 16, 20), QColor(Qt::white));  // its stem
    QCOMPARE(at(1, 16, 25), QColor(Qt::white));  // the dot of the question mark
    QVERIFY(at(1, 16, 20) == QColor(Qt::white) || at(1, 16, 18) == QColor(Qt::white));
    QCOMPARE(at(2, 16, 16), QColor(Qt::white));  // the middle of the cross
    QCOMPARE(at(2, 16, 9).red() > 150, true);    // above the cross: disc
    QVERIFY(pics[0].toImage() != pics[1].toImage());
  }
};

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
