#pragma once
// The "Sammanfattning" table: one row per resource, then one per client,
// then the total, over the figures of the report on show. The figures are
// held once; the view sorts through SummarySortProxy.
#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <memory>

#include "calllog/ReportFigures.h"

namespace davu {

class SummaryModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { Kind, Name, Calls, Confirmed, Share, Sms, Median, P90, Longest, ColumnCount };
  // The value a column sorts by: numbers as numbers, a missing time lowest.
  static constexpr int SortRole = Qt::UserRole;

  explicit SummaryModel(QObject* parent = nullptr);

  void setFigures(std::shared_ptr<const ReportFigures> figures);
  const GroupFigures& group(int row) const;
  static QString title(int column);
  // What the short titles stand for, shown under the table.
  static QString note();
  // The cell's text as the table shows it.
  static QString text(const GroupFigures& g, int column);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

 private:
  std::shared_ptr<const ReportFigures> figures_;
};

// Sorts within the resources and within the clients; the total row stays
// last whichever way a column is sorted.
class SummarySortProxy : public QSortFilterProxyModel {
  Q_OBJECT

 public:
  using QSortFilterProxyModel::QSortFilterProxyModel;

 protected:
  bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;
};

}  // namespace davu
