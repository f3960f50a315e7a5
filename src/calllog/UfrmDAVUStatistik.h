#pragma once
#include <QDate>
#include <QList>
// "DAVU Statistik": a report of calls over a date range, narrowed to chosen
// clients and resources and to confirmed calls if wanted. The client and
// resource lists arrive as RETALLMACHINES and RETALLCALLABLES replies, the
// report rows as a RETSQL reply, while ReplyTarget is rtStatistics.
#include <vector>

#include "calllog/CallLogWindow.h"
#include "common/Records.h"

class QCheckBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTabWidget;
class QTableView;
class QWidget;
namespace davu {

class StatistikReports;

}  // namespace davu

class TfrmDAVUStatistik : public davu::CallLogWindow {
  Q_OBJECT

 public:
  explicit TfrmDAVUStatistik(QWidget* parent = nullptr);
  ~TfrmDAVUStatistik() override;

  // The window that takes list and RETSQL replies while ReplyTarget is rtStatistics.
  static TfrmDAVUStatistik* current();
  // The range and choices of the last showing, for the rest of the run:
  // the ticked clients and resources by their server numbers, so that they
  // are ticked again when the lists arrive anew.
  struct Choice {
    QDate from, to;
    bool confirmedOnly = false;
    QList<int> machines, callables;
  };
  static Choice& SessionChoice();

  // Refill the check lists; the items of the session's choice are ticked,
  // earlier ticks are lost.
  void LoadCallables(std::vector<davu::CallablePtr> callables);
  void LoadMachines(std::vector<davu::MachinePtr> machines);

  const std::vector<davu::CallablePtr>& callables() const { return callables_; }
  const std::vector<davu::MachinePtr>& machines() const { return machines_; }

  QWidget* pnlChoices;        // left
  QGroupBox* gbSelection;   // "Urval"
  QGroupBox* gbClients;   // "Klienter"
  QListWidget* clbClients;
  QGroupBox* gbResources;   // "Resurser"
  QListWidget* clbResources;
  QGroupBox* gbDateRange;   // "Datumintervall"
  QLabel* lblFrom;
  QDateEdit* dtFrom;
  QLabel* lblTo;
  QDateEdit* dtTo;
  QGroupBox* gbOther;   // "Övrigt"
  QCheckBox* cbConfirmedOnly;
  QTabWidget* PageControl1;
  QWidget* tsList;
  QTableView* DBGrid1;
  QWidget* pnlButtons;        // bottom
  QPushButton* btnCreateReport;
  // The same members under the names the program has always given them
  // (the controls' objectName), for code that knows them by those names.
  QWidget*& Panel1 = pnlChoices;
  QGroupBox*& GroupBox1 = gbSelection;
  QGroupBox*& GroupBox2 = gbClients;
  QListWidget*& CheckListBox2 = clbClients;
  QGroupBox*& GroupBox3 = gbResources;
  QListWidget*& CheckListBox1 = clbResources;
  QGroupBox*& GroupBox4 = gbDateRange;
  QLabel*& Label1 = lblFrom;
  QDateEdit*& DateTimePicker1 = dtFrom;
  QLabel*& Label2 = lblTo;
  QDateEdit*& DateTimePicker2 = dtTo;
  QGroupBox*& GroupBox5 = gbOther;
  QCheckBox*& CheckBox1 = cbConfirmedOnly;
  QWidget*& TabSheet1 = tsList;
  QWidget*& Panel2 = pnlButtons;
  QPushButton*& BitBtn1 = btnCreateReport;
  QPushButton* Avbryt;
  // The summary and chart pages, export and print.
  davu::StatistikReports* Reports;

 public slots:
  void BitBtn1Click();

 protected:
  // The resource and client lists.
  void firstActivation() override;
  // Each list again that is still empty.
  void connectionRestored() override;

 private:
  void FormCreate();
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void buildLeftPanel();
  // The server numbers of the ticked clients and resources, in list order.
  QList<int> tickedMachines() const;
  QList<int> tickedCallables() const;

  std::vector<davu::CallablePtr> callables_;  // clbResources's records, item by item
  std::vector<davu::MachinePtr> machines_;    // clbClients's records, item by item
};
