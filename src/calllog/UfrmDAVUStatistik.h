#pragma once
// "DAVU Statistik": a report of calls over a date range, narrowed to chosen
// clients and resources and to confirmed calls if wanted. The client and
// resource lists arrive as RETALLMACHINES and RETALLCALLABLES replies, the
// report rows as a RETSQL reply, while ReplyTarget is 1.
#include <QDialog>
#include <string_view>
#include <vector>

#include "Records.h"

class ClientSocket;
class QCheckBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTabWidget;
class QTableView;
class QWidget;
class TSVVirtualTable;

class TfrmDAVUStatistik : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmDAVUStatistik(QWidget* parent = nullptr);
  ~TfrmDAVUStatistik() override;

  // The main window's connection, set before the window is shown.
  ClientSocket* ClientSocket1 = nullptr;

  // The window that takes list and RETSQL replies while ReplyTarget is 1.
  static TfrmDAVUStatistik* current();

  void LoadSqlReply(std::string_view payload);
  // Refill the check lists; earlier ticks are lost.
  void LoadCallables(std::vector<CallablePtr> callables);
  void LoadMachines(std::vector<MachinePtr> machines);

  const std::vector<CallablePtr>& callables() const { return callables_; }
  const std::vector<MachinePtr>& machines() const { return machines_; }

  TSVVirtualTable* SVVirtualTable1;
  QWidget* Panel1;        // left
  QGroupBox* GroupBox1;   // "Urval"
  QGroupBox* GroupBox2;   // "Klienter"
  QListWidget* CheckListBox2;
  QGroupBox* GroupBox3;   // "Resurser"
  QListWidget* CheckListBox1;
  QGroupBox* GroupBox4;   // "Datumintervall"
  QLabel* Label1;
  QDateEdit* DateTimePicker1;
  QLabel* Label2;
  QDateEdit* DateTimePicker2;
  QGroupBox* GroupBox5;   // "Övrigt"
  QCheckBox* CheckBox1;
  QTabWidget* PageControl1;
  QWidget* TabSheet1;
  QTableView* DBGrid1;
  QWidget* Panel2;        // bottom
  QPushButton* BitBtn1;
  QLabel* Label3;
  QPushButton* Avbryt;

 public slots:
  void FormActivate();
  void BitBtn1Click();
  void AvbrytClick();

 protected:
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private slots:
  void FormClose();

 private:
  void FormCreate();
  void buildLeftPanel();
  void send(const std::string& bytes);

  std::vector<CallablePtr> callables_;  // CheckListBox1's records, item by item
  std::vector<MachinePtr> machines_;    // CheckListBox2's records, item by item
  bool activated_ = false;              // the first-activation flag
  bool centred_ = false;
};
