#include "register/MachineListModel.h"

#include <QPainter>

#include "register/CallableList.h"
#include "widgets/Dialogs.h"

namespace davu {

int MachineListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(FItems.size());
}

QVariant MachineListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const MachineItem& i = item(index.row());
  switch (role) {
    case Qt::DisplayRole:
      return i.record && i.record->Connected ? i.text + QStringLiteral(" - Ansluten") : i.text;
    case Qt::BackgroundRole: return ColourOf(i.record ? i.record->Color : 0);
    case Qt::ForegroundRole:
      return ColourOf(static_cast<std::int32_t>(
          ContrastColor(static_cast<std::uint32_t>(i.record ? i.record->Color : 0))));
    default: return {};
  }
}

void MachineListModel::setMachines(const std::vector<MachinePtr>& machines) {
  beginResetModel();
  FItems.clear();
  FItems.reserve(machines.size());
  for (const MachinePtr& m : machines) FItems.push_back({MachineItemText(*m), m});
  endResetModel();
}

void MachineListModel::append(MachineItem item) {
  const int row = rowCount();
  beginInsertRows({}, row, row);
  FItems.push_back(std::move(item));
  endInsertRows();
}

void MachineListModel::removeLast() {
  if (FItems.empty()) return;
  const int row = rowCount() - 1;
  beginRemoveRows({}, row, row);
  FItems.pop_back();
  endRemoveRows();
}

void MachineItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
  if (!index.isValid()) return;
  painter->save();
  painter->fillRect(option.rect, index.data(Qt::BackgroundRole).value<QColor>());
  painter->setPen(index.data(Qt::ForegroundRole).value<QColor>());
  painter->setFont(option.font);
  const QRect text = option.rect.adjusted(2, 2, 0, 0);
  painter->drawText(text, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                    index.data(Qt::DisplayRole).toString());
  // The chosen client keeps its colour; a frame shows the choice.
  DrawCurrentLineMark(painter, option, index, option.rect, index.data(Qt::ForegroundRole).value<QColor>());
  painter->restore();
}

QSize MachineItemDelegate::sizeHint(const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const {
  return {QStyledItemDelegate::sizeHint(option, index).width(), kLineHeight};
}

}  // namespace davu
