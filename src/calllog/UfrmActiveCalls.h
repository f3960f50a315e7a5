#pragma once
// "DAVU Pågående kallelser": today's calls that nobody has confirmed yet. The
// user ticks rows and confirms them in one UPDATE; the list is then asked for
// again. The rows arrive as a RETSQL reply while ReplyTarget is rtActiveCalls.
#include "calllog/CallLogWindow.h"

class QLabel;
class QPushButton;
class QTableView;
class QWidget;

class TfrmDAVUActiveCalls : public davu::CallLogWindow {
  Q_OBJECT

 public:
  explicit TfrmDAVUActiveCalls(QWidget* parent = nullptr);
  ~TfrmDAVUActiveCalls() override;

  // The window that takes RETSQL replies while ReplyTarget is rtActiveCalls, if any.
  static TfrmDAVUActiveCalls* current();

  QTableView* DBGrid1;
  QWidget* pnlButtons;
  QPushButton* btnDeleteMarked;
  // The same members under the names the program has always given them
  // (the controls' objectName), for code that knows them by those names.
  QWidget*& Panel1 = pnlButtons;
  QPushButton*& BitBtn1 = btnDeleteMarked;
  QPushButton* Avbryt;

 public slots:
  void BitBtn1Click();

 protected:
  // The query of today's unconfirmed calls.
  void firstActivation() override;
  // The query again, when no list has arrived yet.
  void connectionRestored() override;
};
