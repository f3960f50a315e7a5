// The checked group box: the rule for its children, its events and where it
// puts the caption and the tick box.
#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

#include "Controls.h"
#include "register/Themes.h"
#include "register/UCheckedGroupBox.h"

using namespace davu;

using davu::test::Control;

namespace {

// A group holding a field, a panel with a field inside, and a nested group
// with a field of its own.
struct Group {
  TCheckedGroupBox box{QStringLiteral("Skicka SMS")};
  QLineEdit* field = new QLineEdit(&box);
  QFrame* panel = new QFrame(&box);
  QLineEdit* inPanel = new QLineEdit(panel);
  TCheckedGroupBox* nested = new TCheckedGroupBox(QStringLiteral("Inre"), &box);
  QLineEdit* inNested = new QLineEdit(nested);

  // Enabled state of field, panel, field in panel, nested group's tick box,
  // field in the nested group.
  QList<bool> states() const {
    return {field->isEnabled(), panel->isEnabled(), inPanel->isEnabled(), nested->Enabled(),
            inNested->isEnabled()};
  }
};

QList<bool> All(bool v) { return {v, v, v, v, v}; }

}  // namespace

class CheckedGroupBoxTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() { ApplyTheme(PlainThemeName()); }

  void initialState() {
    TCheckedGroupBox box(QStringLiteral("Skicka SMS"));
    QVERIFY(box.Checked());
    QVERIFY(!box.CheckedDisables());
    QVERIFY(box.Enabled());
    QCOMPARE(box.CaptionPosition(), TCheckedGroupBox::cpTopLeft);
    QCOMPARE(box.CheckBoxPosition(), TCheckedGroupBox::cbpTopLeft);
    QCOMPARE(Control<QCheckBox>(&box, "FCBox")->geometry(), QRect(8, 0, 15, 15));
    QVERIFY(Control<QCheckBox>(&box, "FCBox")->text().isEmpty());
    QCOMPARE(Control<QCheckBox>(&box, "FCBox")->parentWidget(), &box);
  }

  // Children are enabled exactly when the tick differs from CheckedDisables,
  // and all disabled while the group is; the nested group follows for its
  // own tick box and children.
  void rule_data() {
    QTest::addColumn<bool>("checked");
    QTest::addColumn<bool>("checkedDisables");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("children");
    QTest::newRow("ticked") << true << false << true << true;
    QTest::newRow("unticked") << false << false << true << false;
    QTest::newRow("ticked, reversed") << true << true << true << false;
    QTest::newRow("unticked, reversed") << false << true << true << true;
    QTest::newRow("ticked, disabled") << true << false << false << false;
    QTest::newRow("unticked, disabled") << false << false << false << false;
    QTest::newRow("ticked, reversed, disabled") << true << true << false << false;
    QTest::newRow("unticked, reversed, disabled") << false << true << false << false;
  }
  void rule() {
    QFETCH(bool, checked);
    QFETCH(bool, checkedDisables);
    QFETCH(bool, enabled);
    QFETCH(bool, children);
    Group g;
    g.box.SetCheckedDisables(checkedDisables);
    g.box.SetChecked(!checked);  // a change, so the rule runs whatever the start
    g.box.SetChecked(checked);
    g.box.SetEnabled(enabled);
    QCOMPARE(g.states(), All(children));
    QCOMPARE(g.box.Enabled(), enabled);
    // The group's own frame stays enabled; only the tick box follows Enabled.
    QVERIFY(g.box.isEnabled());
    QCOMPARE(Control<QCheckBox>(&g.box, "FCBox")->isEnabled(), enabled);

    // Enabling again restores the rule.
    g.box.SetEnabled(true);
    QCOMPARE(g.states(), All(checked != checkedDisables));
  }

  // Setting Checked on a disabled group applies the rule all the same.
  void checkedOnDisabledGroupAppliesRule() {
    Group g;
    g.box.SetEnabled(false);
    g.box.SetChecked(false);
    g.box.SetChecked(true);
    QCOMPARE(g.states(), All(true));
  }

  // The user's click and a change from code raise the event once each; a
  // value equal to the tick raises nothing and touches no child.
  void eventOnlyOnChange() {
    Group g;
    QSignalSpy spy(&g.box, &TCheckedGroupBox::OnCheckStateChanged);
    g.field->setEnabled(false);  // a child's own state, kept until the tick changes
    g.box.SetChecked(true);
    QCOMPARE(spy.count(), 0);
    QVERIFY(!g.field->isEnabled());
    g.box.SetCheckedDisables(false);
    QCOMPARE(spy.count(), 0);
    QVERIFY(!g.field->isEnabled());

    g.box.SetChecked(false);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).value<TCheckedGroupBox*>(), &g.box);
    QCOMPARE(g.states(), All(false));
    Control<QCheckBox>(&g.box, "FCBox")->click();
    QCOMPARE(spy.count(), 2);
    QVERIFY(g.box.Checked());
    QCOMPARE(g.states(), All(true));
    // Enabled and CheckedDisables are not tick changes.
    g.box.SetEnabled(false);
    g.box.SetCheckedDisables(true);
    QCOMPARE(spy.count(), 2);
  }

  // CheckedDisables on a disabled group is stored but changes no child.
  void checkedDisablesWaitsForEnabledGroup() {
    Group g;
    g.box.SetEnabled(false);
    g.box.SetCheckedDisables(true);
    QCOMPARE(g.states(), All(false));
    g.box.SetEnabled(true);
    QCOMPARE(g.states(), All(false));  // ticked and reversed
  }

  // Caption and tick box positions, to the pixel, in both painting modes.
  void geometry_data() {
    QTest::addColumn<int>("caption");  // TCaptionPositions
    QTest::addColumn<int>("box");      // TCheckBoxPositions
    QTest::addColumn<int>("classicLeft");
    QTest::addColumn<int>("themedLeft");
    QTest::addColumn<bool>("captionAtBottom");
    QTest::addColumn<int>("boxTop");
    QTest::newRow("both at the top") << 0 << 0 << 27 << 21 << false << 0;
    QTest::newRow("caption top, box bottom") << 0 << 1 << 8 << 8 << false << 100 - 15;
    QTest::newRow("caption bottom, box top") << 1 << 0 << 8 << 8 << true << 0;
    QTest::newRow("both at the bottom") << 1 << 1 << 27 << 21 << true << 100 - 15;
  }
  void geometry() {
    QFETCH(int, caption);
    QFETCH(int, box);
    QFETCH(int, classicLeft);
    QFETCH(int, themedLeft);
    QFETCH(bool, captionAtBottom);
    QFETCH(int, boxTop);
    TCheckedGroupBox g(QStringLiteral("Skicka SMS (kostnad tillkommer)"));
    g.resize(300, 100);
    g.SetCaptionPosition(TCheckedGroupBox::TCaptionPositions(caption));
    g.SetCheckBoxPosition(TCheckedGroupBox::TCheckBoxPositions(box));
    const QFontMetrics fm(g.font());
    const int top = captionAtBottom ? 100 - fm.height() : 0;
    const QSize size(fm.horizontalAdvance(g.title()), fm.height());
    QCOMPARE(g.CaptionRect(false), QRect(QPoint(classicLeft, top), size));
    QCOMPARE(g.CaptionRect(true), QRect(QPoint(themedLeft, top), size));
    QCOMPARE(Control<QCheckBox>(&g, "FCBox")->geometry(), QRect(8, boxTop, 15, 15));
    // Placed once: a later resize leaves the tick box where it was.
    g.resize(300, 140);
    QCOMPARE(Control<QCheckBox>(&g, "FCBox")->geometry(), QRect(8, boxTop, 15, 15));
  }

  void emptyCaptionHasNoRect() {
    TCheckedGroupBox g;
    g.resize(200, 80);
    QVERIFY(g.CaptionRect(true).isEmpty());
    QVERIFY(g.CaptionRect(false).isEmpty());
  }

  // The plain look paints the classic frame, a named theme the style's;
  // both paint the caption where CaptionRect says.
  void paintsCaptionWhereItSays_data() {
    QTest::addColumn<QString>("theme");
    QTest::addColumn<bool>("themed");
    QTest::newRow("plain look") << PlainThemeName() << false;
    QTest::newRow("Mörk") << QStringLiteral("Mörk") << true;
  }
  void paintsCaptionWhereItSays() {
    QFETCH(QString, theme);
    QFETCH(bool, themed);
    QVERIFY(ApplyTheme(theme));
    QCOMPARE(TCheckedGroupBox::ThemedPainting(), themed);
    TCheckedGroupBox g(QStringLiteral("WWWW"));
    g.resize(200, 80);
    Control<QCheckBox>(&g, "FCBox")->hide();
    const QImage image = g.grab().toImage();
    const QRect caption = g.CaptionRect(themed);
    const QColor background = g.palette().color(QPalette::Window);
    int inked = 0;
    for (int x = caption.left(); x <= caption.right(); ++x)
      for (int y = caption.top(); y <= caption.bottom(); ++y)
        if (image.pixelColor(x, y) != background) ++inked;
    QVERIFY2(inked > 10, qPrintable(QString::number(inked)));
    // Nothing is written left of the caption on its line, except the frame.
    for (int x = 3; x < caption.left() - 1; ++x)
      QCOMPARE(image.pixelColor(x, caption.top() + 1), background);
  }
};

QTEST_MAIN(CheckedGroupBoxTest)
#include "checkedgroupbox_test.moc"
