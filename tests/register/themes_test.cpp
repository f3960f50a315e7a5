// The themes the program carries and how they are applied.
#include <QApplication>
#include <QPalette>
#include <QProxyStyle>
#include <QStyle>
#include <QtTest>

#include "register/Themes.h"

using namespace davu;

namespace {
// The style a look is built on, under the program's own drawing of edges.
QString BaseStyleName() {
  const QStyle* style = QApplication::style();
  if (const auto* own = qobject_cast<const QProxyStyle*>(style)) style = own->baseStyle();
  return style->name();
}
}  // namespace

class ThemesTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    plainStyle_ = BaseStyleName();
    plainWindow_ = QApplication::palette().color(QPalette::Window);
  }
  void cleanup() { ApplyTheme(PlainThemeName()); }

  void names() {
    QStringList names = ThemeNames();
    QCOMPARE(names.value(0), QStringLiteral("Windows"));
    QCOMPARE(names.value(0), PlainThemeName());
    QVERIFY(names.size() >= 3);
    QCOMPARE(QStringList(names).removeDuplicates(), 0);
    QVERIFY(names.contains(QStringLiteral("Ljus")));
    QVERIFY(names.contains(QStringLiteral("Mörk")));
    QCOMPARE(ActiveThemeName(), PlainThemeName());
  }

  void everyThemeApplies() {
    for (const QString& name : ThemeNames().mid(1)) {
      QVERIFY2(ApplyTheme(name), qPrintable(name));
      QCOMPARE(ActiveThemeName(), name);
      QCOMPARE(BaseStyleName(), QStringLiteral("fusion"));
      // Text stays readable on its background.
      const QPalette p = QApplication::palette();
      const int contrast = qAbs(p.color(QPalette::Window).lightness() -
                                p.color(QPalette::WindowText).lightness());
      QVERIFY2(contrast > 120, qPrintable(name));
    }
  }

  void lightAndDark() {
    QVERIFY(ApplyTheme(QStringLiteral("Mörk")));
    QVERIFY(QApplication::palette().color(QPalette::Window).lightness() < 100);
    QVERIFY(ApplyTheme(QStringLiteral("Ljus")));
    QVERIFY(QApplication::palette().color(QPalette::Window).lightness() > 200);
  }

  // The plain look is the style and palette the program started with.
  void plainLookRestores() {
    QVERIFY(ApplyTheme(QStringLiteral("Blå")));
    QVERIFY(QApplication::palette().color(QPalette::Window) != plainWindow_);
    QVERIFY(ApplyTheme(PlainThemeName()));
    QCOMPARE(ActiveThemeName(), PlainThemeName());
    QCOMPARE(BaseStyleName(), plainStyle_);
    QCOMPARE(QApplication::palette().color(QPalette::Window), plainWindow_);
  }

  void unknownNamesChangeNothing_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("empty") << QString();
    QTest::newRow("store's ERROR") << QStringLiteral("ERROR");
    QTest::newRow("unknown") << QStringLiteral("Carbon");
    QTest::newRow("other letter case") << QStringLiteral("mörk");
    QTest::newRow("with blank") << QStringLiteral("Ljus ");
  }
  void unknownNamesChangeNothing() {
    QFETCH(QString, name);
    QVERIFY(ApplyTheme(QStringLiteral("Mörk")));
    QStyle* style = QApplication::style();
    const QColor window = QApplication::palette().color(QPalette::Window);
    QVERIFY(!ApplyTheme(name));
    QCOMPARE(ActiveThemeName(), QStringLiteral("Mörk"));
    QCOMPARE(QApplication::style(), style);
    QCOMPARE(QApplication::palette().color(QPalette::Window), window);
  }

 private:
  QString plainStyle_;
  QColor plainWindow_;
};

QTEST_MAIN(ThemesTest)
#include "themes_test.moc"
