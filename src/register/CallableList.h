#pragma once
// The register's lists of resources: each line is an item text and the
// resource record it shows. Texts are built when a line is added and are not
// rebuilt when the record changes; the lists are reloaded instead. Two lists
// may show the same record.
//
// A list is filled in one step (one model reset), so a reply of thousands of
// resources costs one pass, and only the visible lines are ever painted.
#include <QAbstractListModel>
#include <QStyledItemDelegate>
#include <vector>

#include "common/Records.h"

namespace davu {

struct CallableItem {
  QString text;
  CallablePtr record;
};
using CallableItemList = std::vector<CallableItem>;

// Lines with the resource item text, one per record, in order.
CallableItemList CallableItems(const std::vector<CallablePtr>& records);

class CallableListModel : public QAbstractListModel {
  Q_OBJECT

 public:
  // `checkable`: each line carries a check mark showing the record's Aktiv.
  explicit CallableListModel(bool checkable, QObject* parent = nullptr);

  const CallableItemList& items() const { return items_; }
  const CallableItem* item(int row) const;
  // Replaces every line.
  void assign(CallableItemList items);
  void clear() { assign({}); }
  void append(const CallableItemList& items);
  // Removes the line showing `record`; false when no line shows it.
  bool removeRecord(const CallablePtr& record);
  // The record's line is painted again (its mark or look changed).
  void recordChanged(int row);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;

 signals:
  // The user changed the check mark of `row`; the record is left to the owner.
  void ClickCheck(int row);

 private:
  bool checkable_;
  CallableItemList items_;
};

// Paints a line on its resource's colour with the text in ContrastColor,
// struck out when the resource is inactive; the list draws the check box in
// front of it.
class ResourceItemDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// Marks the current line of a list painted on its items' own colours, so it
// shows on every colour and theme: a ring in the list's text colour around
// a frame 2 pixels wide in the line's contrast colour. Solid for the view's
// current line, dotted for other selected lines.
void DrawCurrentLineMark(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index, const QRect& line, QColor contrast);

// A resource colour (0x00BBGGRR, or a system colour) as Qt paints it.
QColor ColourOf(std::int32_t colour);
// The register's colour value of a chosen colour.
std::int32_t ColourValue(const QColor& colour);

}  // namespace davu
