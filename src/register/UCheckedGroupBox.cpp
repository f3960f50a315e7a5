#include "register/UCheckedGroupBox.h"

#include <QCheckBox>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

#include "register/Themes.h"

using namespace davu;

namespace {

// Rows the style leaves empty above a group-box frame it draws into a
// rectangle. Some styles (Fusion) keep room there for a title of their own;
// the caption here is placed by this box, so that room is taken back.
int FrameTopInset(const QStyle* style, QStyleOptionFrame option) {
  option.rect = QRect(0, 0, 24, option.rect.height());
  QImage probe(option.rect.size(), QImage::Format_ARGB32_Premultiplied);
  probe.fill(Qt::transparent);
  {
    QPainter p(&probe);
    style->drawPrimitive(QStyle::PE_FrameGroupBox, &option, &p, nullptr);
  }
  for (int y = 0; y < probe.height(); ++y)
    for (int x = 0; x < probe.width(); ++x)
      if (qAlpha(probe.pixel(x, y)) != 0) return y;
  return 0;
}

}  // namespace

TCheckedGroupBox::TCheckedGroupBox(const QString& caption, QWidget* parent)
    : QGroupBox(caption, parent) {
  FCBox = new QCheckBox(this);
  FCBox->setObjectName(QStringLiteral("FCBox"));
  FCBox->setGeometry(kBoxLeft, 0, kBoxSize, kBoxSize);
  FCBox->setChecked(true);
  // A change from code counts as a click, as the user's does.
  connect(FCBox, &QCheckBox::toggled, this, [this](bool) { CBoxClick(); });
}

bool TCheckedGroupBox::Checked() const { return FCBox->isChecked(); }

void TCheckedGroupBox::SetChecked(bool value) {
  if (value == Checked()) return;
  FCBox->setChecked(value);
  ApplyRule();
}

void TCheckedGroupBox::SetCheckedDisables(bool value) {
  if (value == FCheckedDisables) return;
  FCheckedDisables = value;
  if (Enabled()) ApplyRule();
}

bool TCheckedGroupBox::Enabled() const { return FCBox->isEnabled(); }

void TCheckedGroupBox::SetEnabled(bool value) {
  if (value == FCBox->isEnabled()) return;
  FCBox->setEnabled(value);
  if (value) {
    ApplyRule();
  } else {
    SetChildrenEnabled(false);
  }
  update();
}

void TCheckedGroupBox::SetCaptionPosition(TCaptionPositions value) {
  if (value == FCapPos) return;
  FCapPos = value;
  update();
}

void TCheckedGroupBox::SetCheckBoxPosition(TCheckBoxPositions value) {
  if (value == FCBoxPos) return;
  FCBoxPos = value;
  // Placed once; a later resize leaves the tick box where it is.
  FCBox->move(kBoxLeft, value == cbpTopLeft ? 0 : height() - FCBox->height());
  update();
}

void TCheckedGroupBox::CBoxClick() {
  ApplyRule();
  emit OnCheckStateChanged(this);
}

void TCheckedGroupBox::ApplyRule() { SetChildrenEnabled(Checked() != FCheckedDisables); }

void TCheckedGroupBox::SetChildrenEnabled(bool value) {
  for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (child == FCBox) continue;
    if (auto* group = qobject_cast<TCheckedGroupBox*>(child)) {
      group->SetEnabled(value);
      group->FCBox->setEnabled(value);
      continue;
    }
    child->setEnabled(value);
    // Depth first through everything a panel inside the group holds.
    for (QWidget* inner : child->findChildren<QWidget*>()) inner->setEnabled(value);
  }
}

bool TCheckedGroupBox::CaptionOnBoxEdge() const {
  return (FCapPos == cpTopLeft) == (FCBoxPos == cbpTopLeft);
}

bool TCheckedGroupBox::ThemedPainting() { return ActiveThemeName() != PlainThemeName(); }

QRect TCheckedGroupBox::CaptionRect(bool themed) const {
  if (title().isEmpty()) return {};
  const QFontMetrics fm(font());
  const QSize size(fm.horizontalAdvance(title()), fm.height());
  // Beside the tick box when both share an edge, else at the corner.
  const int left = CaptionOnBoxEdge() ? (themed ? 21 : 27) : kBoxLeft;
  const int top = FCapPos == cpTopLeft ? 0 : height() - size.height();
  return {QPoint(left, top), size};
}

void TCheckedGroupBox::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setFont(font());
  if (ThemedPainting()) {
    PaintThemed(p);
  } else {
    PaintClassic(p);
  }
}

void TCheckedGroupBox::PaintThemed(QPainter& p) {
  const QRect caption = CaptionRect(true);
  QStyleOptionFrame frame;
  frame.initFrom(this);
  frame.rect = rect().adjusted(0, caption.height() / 2, 0, 0);
  frame.lineWidth = 1;
  frame.features = QStyleOptionFrame::None;
  if (!Enabled()) frame.state &= ~QStyle::State_Enabled;
  frame.rect.setTop(frame.rect.top() - FrameTopInset(style(), frame));
  // The frame runs behind the caption, not through it.
  QRegion clip(rect());
  clip -= caption;
  p.setClipRegion(clip);
  style()->drawPrimitive(QStyle::PE_FrameGroupBox, &frame, &p, nullptr);
  p.setClipping(false);
  if (!caption.isEmpty())
    style()->drawItemText(&p, caption, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                          palette(), Enabled(), title(), QPalette::WindowText);
}

void TCheckedGroupBox::PaintClassic(QPainter& p) {
  const int h = QFontMetrics(font()).height();
  // Frame edges as rectangles ending one pixel short of the right and bottom.
  QRect frame(QPoint(0, h / 2 - 1), QPoint(width() - 1, height() - 1));
  p.setBrush(Qt::NoBrush);
  frame.adjust(1, 1, 0, 0);
  p.setPen(palette().color(QPalette::Light));
  p.drawRect(frame.adjusted(0, 0, -1, -1));
  frame.translate(-1, -1);
  p.setPen(palette().color(QPalette::Dark));
  p.drawRect(frame.adjusted(0, 0, -1, -1));

  const QRect caption = CaptionRect(false);
  if (caption.isEmpty()) return;
  const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine;
  p.fillRect(caption, palette().color(QPalette::Window));
  if (Enabled()) {
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(caption, flags, title());
    return;
  }
  // Embossed: the highlight one pixel down and right, the shadow on top.
  p.setPen(palette().color(QPalette::Light));
  p.drawText(caption.translated(1, 1), flags, title());
  p.setPen(palette().color(QPalette::Dark));
  p.drawText(caption, flags, title());
}
