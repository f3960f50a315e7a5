#pragma once
// "DAVU Pågående kallelser": today's calls that nobody has confirmed yet. The
// user ticks rows and confirms them in one UPDATE; the list is then asked for
// again. The rows arrive as a RETSQL reply while ReplyTarget is 2.
#include <QDialog>
#include <string_view>

class ClientSocket;
class QLabel;
class QPushButton;
class QTableView;
class QWidget;
class TSVVirtualTable;

class TfrmDAVUActiveCalls : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmDAVUActiveCalls(QWidget* parent = nullptr);
  ~TfrmDAVUActiveCalls() override;

  // The main window's connection, set before the window is shown.
  ClientSocket* ClientSocket1 = nullptr;

  // The window that takes RETSQL replies while ReplyTarget is 2, if any.
  static TfrmDAVUActiveCalls* current();

  // Fills the table and the record count; rethrows decoding errors after the
  // count has been brought up to date.
  void LoadSqlReply(std::string_view payload);

  TSVVirtualTable* SVVirtualTable1;
  QTableView* DBGrid1;
  QWidget* Panel1;
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
  void SendQuery();

  bool activated_ = false;  // the first-activation flag
  bool centred_ = false;
};
