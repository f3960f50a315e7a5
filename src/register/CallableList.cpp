#include "register/CallableList.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QPainter>
#include <QStyle>

#include "widgets/Dialogs.h"

namespace davu {

namespace {
// The text stands this far right of and below the line's corner.
constexpr int kTextInset = 2;
}  // namespace

CallableItemList CallableItems(const std::vector<CallablePtr>& records) {
  CallableItemList out;
  out.reserve(records.size());
  for (const CallablePtr& c : records) out.push_back({CallableItemText(*c), c});
  return out;
}

QColor ColourOf(std::int32_t colour) {
  const std::uint32_t v = ResolveColour(static_cast<std::uint32_t>(colour));
  return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

std::int32_t ColourValue(const QColor& colour) {
  return colour.red() | (colour.green() << 8) | (colour.blue() << 16);
}

CallableListModel::CallableListModel(bool checkable, QObject* parent)
    : QAbstractListModel(parent), checkable_(checkable) {}

const CallableItem* CallableListModel::item(int row) const {
  if (row < 0 || row >= int(items_.size())) return nullptr;
  return &items_[std::size_t(row)];
}

void CallableListModel::assign(CallableItemList items) {
  beginResetModel();
  items_ = std::move(items);
  endResetModel();
}

void CallableListModel::append(const CallableItemList& items) {
  if (items.empty()) return;
  const int first = int(items_.size());
  beginInsertRows(QModelIndex(), first, first + int(items.size()) - 1);
  items_.insert(items_.end(), items.begin(), items.end());
  endInsertRows();
}

bool CallableListModel::removeRecord(const CallablePtr& record) {
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (items_[i].record != record) continue;
    beginRemoveRows(QModelIndex(), int(i), int(i));
    items_.erase(items_.begin() + std::ptrdiff_t(i));
    endRemoveRows();
    return true;
  }
  return false;
}

void CallableListModel::recordChanged(int row) {
  const QModelIndex i = index(row);
  emit dataChanged(i, i);
}

int CallableListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : int(items_.size());
}

QVariant CallableListModel::data(const QModelIndex& index, int role) const {
  const CallableItem* it = item(index.row());
  if (!it || index.column() != 0) return {};
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
      return it->text;
    case Qt::CheckStateRole:
      if (!checkable_) return {};
      return it->record->Aktiv ? Qt::Checked : Qt::Unchecked;
    default:
      return {};
  }
}

Qt::ItemFlags CallableListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (checkable_) f |= Qt::ItemIsUserCheckable;
  return f;
}

bool CallableListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!checkable_ || role != Qt::CheckStateRole || !item(index.row())) return false;
  Q_UNUSED(value);
  emit ClickCheck(index.row());
  return true;
}

void ResourceItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const {
  QStyleOptionViewItem opt = option;
  initStyleOption(&opt, index);
  const QWidget* view = opt.widget;
  QStyle* style = view ? view->style() : QApplication::style();
  const auto* model = qobject_cast<const CallableListModel*>(index.model());
  const CallableItem* it = model ? model->item(index.row()) : nullptr;
  if (!it) return;

  // The check box where the list's own click handling expects it.
  QRect line = opt.rect;
  if (opt.features & QStyleOptionViewItem::HasCheckIndicator) {
    const QRect box = style->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &opt, view);
    QStyleOptionViewItem check = opt;
    check.rect = box;
    check.state &= ~QStyle::State_HasFocus;
    check.state |= opt.checkState == Qt::Checked ? QStyle::State_On : QStyle::State_Off;
    style->drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &check, painter, view);
    line.setLeft(box.right() + 3);
  }

  const std::int32_t colour = it->record->CallableColour;
  painter->save();
  painter->fillRect(line, ColourOf(colour));
  QFont font = opt.font;
  font.setStrikeOut(!it->record->Aktiv);
  painter->setFont(font);
  painter->setPen(ColourOf(std::int32_t(ContrastColor(std::uint32_t(colour)))));
  painter->drawText(line.adjusted(kTextInset, kTextInset, 0, 0),
                    Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, it->text);
  DrawCurrentLineMark(painter, opt, index, line,
                      ColourOf(std::int32_t(ContrastColor(std::uint32_t(colour)))));
  painter->restore();
}

void DrawCurrentLineMark(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index, const QRect& line, QColor contrast) {
  const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
  const bool current = view && view->currentIndex() == index;
  if (!current && !(option.state & QStyle::State_Selected)) return;
  // The line keeps its colours. An outer ring in the list's text colour
  // stands out from the list around it, two rings inside it in the colour
  // of the line's own text from the line.
  painter->save();
  painter->setBrush(Qt::NoBrush);
  const Qt::PenStyle style = current ? Qt::SolidLine : Qt::DotLine;
  painter->setPen(QPen(option.palette.color(QPalette::Text), 0, style));
  painter->drawRect(line.adjusted(0, 0, -1, -1));
  painter->setPen(QPen(contrast, 0, style));
  painter->drawRect(line.adjusted(1, 1, -2, -2));
  painter->drawRect(line.adjusted(2, 2, -3, -3));
  painter->restore();
}

QSize ResourceItemDelegate::sizeHint(const QStyleOptionViewItem& option,
                                      const QModelIndex& index) const {
  QSize s = QStyledItemDelegate::sizeHint(option, index);
  s.setHeight(qMax(s.height(), option.fontMetrics.height() + 2 * kTextInset));
  return s;
}

}  // namespace davu
