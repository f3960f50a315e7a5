#pragma once
// The "Klienter" tab: the clients at the left ("Befintliga klienter"), and
// at the right the resources the current client shows or calls
// ("Resurser att visa/kalla"), split by a red splitter.
#include <string_view>

#include "CallableList.h"
#include "RegisterTab.h"

class QGroupBox;
class QListView;
class QSplitter;

class TStationsTab : public TRegisterTab {
  Q_OBJECT

 public:
  explicit TStationsTab(QWidget* parent = nullptr);

  QSplitter* Splitter1 = nullptr;
  QGroupBox* gbKlienter = nullptr;
  QGroupBox* gbResurserAttVisa = nullptr;
  // "Alla resurser": every resource, as the resources reply lists them.
  QListView* ListBox3 = nullptr;
  TCallableListModel* ListBox3Items = nullptr;

  // Empties the resource lists and asks for every client.
  void Load() override;
  void Save() override;

  // Replies for this tab, as cut from the received text.
  void HandleRetAllMachines(std::string_view payload);
  void HandleRetCallList(std::string_view payload);
  void HandleRetStationCallables(std::string_view payload);

  // Lays out the two panes for the window's width.
  void Splitter1Moved();
  // Width of the "Alla resurser" column that the last layout worked out.
  int allResourcesColumnWidth() const { return FAllResourcesColumnWidth; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void UpdateColumnWidth();

  int FAllResourcesColumnWidth = 0;
};
