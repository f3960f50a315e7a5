#include "calllog/SummaryModel.h"

#include <QFont>

#include "calllog/ReportText.h"

namespace davu {

namespace {
const GroupFigures kNone;
}

SummaryModel::SummaryModel(QObject* parent) : QAbstractTableModel(parent) {}

void SummaryModel::setFigures(std::shared_ptr<const ReportFigures> figures) {
  beginResetModel();
  figures_ = std::move(figures);
  endResetModel();
}

int SummaryModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid() || !figures_) return 0;
  return static_cast<int>(figures_->resources.size() + figures_->clients.size()) + 1;
}

int SummaryModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

const GroupFigures& SummaryModel::group(int row) const {
  if (!figures_ || row < 0) return kNone;
  const auto r = static_cast<std::size_t>(row);
  const std::size_t nr = figures_->resources.size(), nc = figures_->clients.size();
  if (r < nr) return figures_->resources[r];
  if (r < nr + nc) return figures_->clients[r - nr];
  return figures_->total;
}

QString SummaryModel::title(int column) {
  switch (column) {
    case Kind: return QStringLiteral("Typ");
    case Name: return QStringLiteral("Namn");
    case Calls: return QStringLiteral("Kallelser");
    case Confirmed: return QStringLiteral("Bekräftade");
    case Share: return QStringLiteral("Andel");
    case Sms: return QStringLiteral("SMS");
    case Median: return QStringLiteral("Median");
    case P90: return QStringLiteral("90:e perc.");
    case Longest: return QStringLiteral("Längsta");
  }
  return {};
}

QString SummaryModel::text(const GroupFigures& g, int column) {
  switch (column) {
    case Kind:
      return g.kind == GroupFigures::Resource ? QStringLiteral("Resurs")
             : g.kind == GroupFigures::Client ? QStringLiteral("Klient")
                                              : QStringLiteral("Totalt");
    case Name: return g.kind == GroupFigures::Total ? QString() : g.name;
    case Calls: return QString::number(g.calls);
    case Confirmed: return QString::number(g.confirmed);
    case Share: return davu::reporttext::Share(g.confirmed, g.calls);
    case Sms: return QString::number(g.smsSent);
    case Median: return davu::reporttext::Duration(g.medianSeconds);
    case P90: return davu::reporttext::Duration(g.p90Seconds);
    case Longest: return davu::reporttext::Duration(g.longestSeconds);
  }
  return {};
}

QVariant SummaryModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const GroupFigures& g = group(index.row());
  const int c = index.column();
  if (role == Qt::DisplayRole) return text(g, c);
  if (role == Qt::ToolTipRole && c == Name) return g.name;  // a long name is cut in its column
  if (role == Qt::TextAlignmentRole)
    return c >= Calls ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
  if (role == Qt::FontRole && g.kind == GroupFigures::Total) {
    QFont bold;
    bold.setBold(true);
    return bold;
  }
  if (role == SortRole) {
    switch (c) {
      case Kind: return int(g.kind);
      case Name: return g.name;
      case Calls: return g.calls;
      case Confirmed: return g.confirmed;
      case Share: return g.calls ? g.confirmedShare() : -1.0;
      case Sms: return g.smsSent;
      case Median: return g.medianSeconds;
      case P90: return g.p90Seconds;
      case Longest: return g.longestSeconds;
    }
  }
  return {};
}

QVariant SummaryModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal) return {};
  if (role == Qt::DisplayRole) return title(section);
  if (role == Qt::ToolTipRole) {
    switch (section) {
      case Share: return QStringLiteral("Andel bekräftade kallelser");
      case Sms: return QStringLiteral("Kallelser med SMS skickat");
      case Median:
      case P90:
      case Longest: return QStringLiteral("Tid från kallelse till bekräftelse, för de bekräftade kallelserna");
    }
  }
  return {};
}

QString SummaryModel::note() {
  return QStringLiteral("Andel: andel bekräftade. SMS: kallelser med SMS skickat. Median, 90:e percentil "
                        "och längsta: tid från kallelse till bekräftelse för de bekräftade kallelserna.");
}

bool SummarySortProxy::lessThan(const QModelIndex& left, const QModelIndex& right) const {
  const int kl = left.sibling(left.row(), SummaryModel::Kind).data(SummaryModel::SortRole).toInt();
  const int kr = right.sibling(right.row(), SummaryModel::Kind).data(SummaryModel::SortRole).toInt();
  if (kl != kr) {
    // The proxy turns the comparison round for a descending sort; turn it back.
    const bool ascending = kl < kr;
    return sortOrder() == Qt::AscendingOrder ? ascending : !ascending;
  }
  const QVariant l = left.data(SummaryModel::SortRole), r = right.data(SummaryModel::SortRole);
  if (l.typeId() == QMetaType::QString) return QString::localeAwareCompare(l.toString(), r.toString()) < 0;
  return l.toDouble() < r.toDouble();
}

}  // namespace davu
