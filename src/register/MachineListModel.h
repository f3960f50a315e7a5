#pragma once
// "Befintliga klienter": every client as its item text and record, drawn on
// the client's own colour in lines of 18 pixels, with " - Ansluten" after
// the text of a connected client.
#include <QAbstractListModel>
#include <QStyledItemDelegate>
#include <vector>

#include "common/Records.h"

namespace davu {

struct MachineItem {
  QString text;
  MachinePtr record;
};

class MachineListModel : public QAbstractListModel {
  Q_OBJECT

 public:
  using QAbstractListModel::QAbstractListModel;

  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;

  const MachineItem& item(int row) const { return FItems[static_cast<std::size_t>(row)]; }
  // Replaces every item, one per record, in order.
  void setMachines(const std::vector<MachinePtr>& machines);
  void append(MachineItem item);
  void removeLast();

 private:
  std::vector<MachineItem> FItems;
};

// Draws a client line: its colour as background, the contrast colour for
// the text, 2 pixels in from the top-left corner.
class MachineItemDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  static constexpr int kLineHeight = 18;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

}  // namespace davu
