// Every look is readable: rendered offscreen, the edges of check boxes,
// radio buttons, edit fields and focus frames stand out from their
// background by at least 3:1, and text by at least 4.5:1 (WCAG 2.1). The
// figures are measured from the pixels, not taken from the palette.
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionViewItem>
#include <QTableView>
#include <QtTest>
#include <algorithm>
#include <memory>

#include "Controls.h"
#include "FakePlatform.h"
#include "calllog/CallLogRouting.h"
#include "calllog/UfrmActiveCalls.h"
#include "common/SharedState.h"
#include "common/WireText.h"
#include "register/Themes.h"
#include "widgets/ColourContrast.h"

using namespace davu;

using davu::test::Control;

namespace {

struct Measure {
  QString what;
  double ratio;
  double needed;
};

QFont BigBold() {
  QFont f = QApplication::font();
  f.setPixelSize(24);
  f.setBold(true);
  return f;
}

// At the middle of each side of `r`, the strongest contrast against `bg`
// from two pixels outside to two inside; the weakest side counts. A side
// that does not stand out leaves the control's shape unclear.
double EdgeContrast(const QImage& img, const QRect& r, const QColor& bg) {
  const struct {
    QPoint at, in;
  } sides[] = {{{r.center().x(), r.top()}, {0, 1}},
               {{r.center().x(), r.bottom()}, {0, -1}},
               {{r.left(), r.center().y()}, {1, 0}},
               {{r.right(), r.center().y()}, {-1, 0}}};
  double weakest = 21;
  for (const auto& side : sides) {
    double strongest = 1;
    for (int d = -2; d <= 2; ++d) {
      const QPoint p = side.at + side.in * d;
      if (img.rect().contains(p)) strongest = std::max(strongest, ContrastRatio(img.pixelColor(p), bg));
    }
    weakest = std::min(weakest, strongest);
  }
  return weakest;
}

// The strongest contrast against `bg` inside `r`: the cores of big bold
// glyphs are drawn in the text colour itself.
double TextContrast(const QImage& img, const QRect& r, const QColor& bg) {
  double strongest = 1;
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x)
      if (img.rect().contains(x, y)) strongest = std::max(strongest, ContrastRatio(img.pixelColor(x, y), bg));
  return strongest;
}

struct Ring {
  double againstSurroundings;
  double againstControl;
};

// The two pixels just outside each side of `r`, at the side's middle: both
// are ring, so the weakest of their contrasts counts, against the window
// around and against the control's face inside.
Ring RingAround(const QImage& img, const QRect& r, const QColor& surroundings, const QColor& control) {
  const struct {
    QPoint at, out;
  } sides[] = {{{r.center().x(), r.top()}, {0, -1}},
               {{r.center().x(), r.bottom()}, {0, 1}},
               {{r.left(), r.center().y()}, {-1, 0}},
               {{r.right(), r.center().y()}, {1, 0}}};
  Ring ring{21, 21};
  for (const auto& side : sides) {
    for (int d = 1; d <= 2; ++d) {
      const QPoint p = side.at + side.out * d;
      if (!img.rect().contains(p)) continue;
      ring.againstSurroundings = std::min(ring.againstSurroundings, ContrastRatio(img.pixelColor(p), surroundings));
      ring.againstControl = std::min(ring.againstControl, ContrastRatio(img.pixelColor(p), control));
    }
  }
  return ring;
}

QImage Grab(QWidget* w) {
  QApplication::processEvents();
  return w->grab().toImage();
}

// A window of plain controls on the theme's window colour.
struct Controls {
  QWidget host;
  QCheckBox* check = new QCheckBox(QStringLiteral("Visa endast bekräftade"), &host);
  QRadioButton* radio = new QRadioButton(QStringLiteral("Alternativ"), &host);
  QLineEdit* edit = new QLineEdit(&host);
  QLineEdit* hint = new QLineEdit(&host);
  QLabel* label = new QLabel(QStringLiteral("MMM"), &host);
  QPushButton* button = new QPushButton(QStringLiteral("MMM"), &host);
  QListWidget* list = new QListWidget(&host);

  Controls() {
    host.resize(420, 260);
    check->setGeometry(10, 10, 200, 24);
    radio->setGeometry(10, 40, 200, 24);
    edit->setGeometry(10, 70, 150, 36);
    hint->setGeometry(170, 70, 150, 36);
    label->setGeometry(10, 115, 150, 36);
    button->setGeometry(170, 115, 150, 40);
    list->setGeometry(10, 165, 300, 80);
    for (QWidget* w : std::initializer_list<QWidget*>{edit, hint, label, button, list}) w->setFont(BigBold());
    edit->setText(QStringLiteral("MMM"));
    hint->setPlaceholderText(QStringLiteral("MMM"));
    list->addItem(QStringLiteral("MMM"));
    list->setCurrentRow(0);
  }
  QRect indicator(QAbstractButton* b, QStyle::SubElement e) const {
    QStyleOptionButton opt;
    opt.initFrom(b);
    return b->style()->subElementRect(e, &opt, b).translated(b->pos());
  }
};

}  // namespace

class ThemeContrastTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() {
    ApplyTheme(PlainThemeName());
    ResetSharedState();
  }

  void everyLookIsReadable_data() {
    QTest::addColumn<QString>("theme");
    for (const QString& name : ThemeNames()) QTest::newRow(qPrintable(name)) << name;
  }
  void everyLookIsReadable() {
    QFETCH(QString, theme);
    QVERIFY(ApplyTheme(theme));
    std::vector<Measure> m;

    Controls c;
    c.host.show();
    c.host.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&c.host));
    c.list->setFocus();
    QImage img = Grab(&c.host);
    const QColor window = img.pixelColor(2, 2);
    m.push_back({"check box edge", EdgeContrast(img, c.indicator(c.check, QStyle::SE_CheckBoxIndicator), window), 3});
    m.push_back({"radio button edge", EdgeContrast(img, c.indicator(c.radio, QStyle::SE_RadioButtonIndicator), window), 3});
    m.push_back({"edit field edge", EdgeContrast(img, c.hint->geometry(), window), 3});
    m.push_back({"label text", TextContrast(img, c.label->geometry(), window), 4.5});
    const QRect edit = c.edit->geometry();
    const QColor base = img.pixelColor(edit.right() - 6, edit.center().y());
    m.push_back({"edit text", TextContrast(img, edit.adjusted(3, 3, -3, -3), base), 4.5});
    m.push_back({"hint text", TextContrast(img, c.hint->geometry().adjusted(3, 3, -3, -3), base), 4.5});
    const QRect button = c.button->geometry();
    const QColor face = img.pixelColor(button.left() + 8, button.center().y());
    m.push_back({"button text", TextContrast(img, button.adjusted(3, 3, -3, -3), face), 4.5});
    const QRect row = c.list->visualItemRect(c.list->item(0)).translated(c.list->viewport()->mapTo(&c.host, QPoint()));
    const QColor selection = img.pixelColor(row.right() - 4, row.center().y());
    m.push_back({"selected text", TextContrast(img, row.adjusted(2, 2, -2, -2), selection), 4.5});

    // Focus moved by the keyboard: the field's frame and the check box's frame.
    c.edit->setFocus(Qt::TabFocusReason);
    img = Grab(&c.host);
    m.push_back({"focused edit field", EdgeContrast(img, edit, window), 3});
    c.check->setFocus(Qt::TabFocusReason);
    img = Grab(&c.host);
    m.push_back({"focus frame", EdgeContrast(img, c.indicator(c.check, QStyle::SE_CheckBoxFocusRect), window), 3});
    m.push_back({"focused check box edge", EdgeContrast(img, c.indicator(c.check, QStyle::SE_CheckBoxIndicator), window), 3});

    // The ring around the control the keyboard is at: at least two pixels
    // wide, and standing out from the window around it and from the
    // control's own face, on every side.
    for (QWidget* focused : std::initializer_list<QWidget*>{c.button, c.list, c.edit}) {
      focused->setFocus(Qt::TabFocusReason);
      img = Grab(&c.host);
      const QRect r = focused->geometry();
      const QColor inside = focused == c.button ? face : img.pixelColor(r.right() - 6, r.bottom() - 4);
      const Ring ring = RingAround(img, r, window, inside);
      const QString what = QStringLiteral("focus ring on ") + focused->metaObject()->className();
      m.push_back({what + QStringLiteral(" vs window"), ring.againstSurroundings, 3});
      m.push_back({what + QStringLiteral(" vs control"), ring.againstControl, 3});
    }

    // The "Radera" boxes of the active-calls grid, on the grid's rows.
    FakePlatform fake;
    TfrmDAVUActiveCalls calls;
    calls.show();
    RouteSqlReply(ToWire(QStringLiteral("¤RETSQL:¤%FRIENDLYNAME|Reception~LOPNR|12~%¤:¤%FRIENDLYNAME|Lab~LOPNR|14~%¤:")));
    QTableView* grid = Control<QTableView>(&calls, "DBGrid1");
    img = Grab(grid->viewport());
    for (int r = 0; r < 2; ++r) {
      const QModelIndex box = grid->model()->index(r, 0);
      QStyleOptionViewItem opt;
      opt.initFrom(grid->viewport());
      opt.rect = grid->visualRect(box);
      opt.features |= QStyleOptionViewItem::HasCheckIndicator;
      const QRect indicator = grid->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &opt, grid);
      const QColor cell = img.pixelColor(opt.rect.right() - 3, opt.rect.center().y());
      m.push_back({QStringLiteral("grid check box, row %1").arg(r + 1), EdgeContrast(img, indicator, cell), 3});
    }

    // The frame of the grid's current cell, moved to by the keyboard: two
    // pixels inside the cell's edge, against the cell around the text.
    grid->setFocus(Qt::TabFocusReason);
    grid->setCurrentIndex(grid->model()->index(0, 0));
    QTest::keyClick(grid, Qt::Key_Right);
    const QModelIndex current = grid->currentIndex();
    QVERIFY(current.column() != 0);
    img = Grab(grid->viewport());
    const QRect cellRect = grid->visualRect(current);
    const QColor cellFace = img.pixelColor(cellRect.right() - 4, cellRect.center().y());
    const Ring cellRing = RingAround(img, cellRect.adjusted(2, 2, -2, -2), cellFace, cellFace);
    m.push_back({QStringLiteral("grid current cell frame"), cellRing.againstControl, 3});

    QStringList figures, failures;
    for (const Measure& x : m) {
      figures << QStringLiteral("%1 %2:1").arg(x.what).arg(x.ratio, 0, 'f', 2);
      if (x.ratio < x.needed) failures << QStringLiteral("%1 %2:1 < %3:1").arg(x.what).arg(x.ratio, 0, 'f', 2).arg(x.needed);
    }
    qInfo().noquote() << theme + QStringLiteral(": ") + figures.join(QStringLiteral(", "));
    QVERIFY2(failures.isEmpty(), qPrintable(theme + QStringLiteral(": ") + failures.join(QStringLiteral("; "))));
  }
};

QTEST_MAIN(ThemeContrastTest)
#include "themecontrast_test.moc"
