#pragma once
// The "Klienter" tab: the clients at the left ("Befintliga klienter"), and
// at the right the resources the current client shows or calls
// ("Resurser att visa/kalla"), split by a red splitter.
//
// Making a client current asks for its resources; the replies fill "Alla
// resurser" (ListBox3) and move the client's chosen resources, in order,
// into "Valda resurser" (ListBox4). "Spara" sends the chosen order. The lists
// belong to the current client only: choosing another client or loading the
// tab again discards unsaved changes.
#include <QDialog>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "register/CallableList.h"
#include "register/MachineListModel.h"
#include "register/RegisterTab.h"

class QGroupBox;
class QListView;
class QPushButton;
class QSplitter;

namespace davu {

class StationsTab : public RegisterTab {
  Q_OBJECT

 public:
  explicit StationsTab(QWidget* parent = nullptr);

  QSplitter* Splitter1 = nullptr;
  QGroupBox* gbKlienter = nullptr;
  QGroupBox* gbResurserAttVisa = nullptr;

  QPushButton* btnAddClient = nullptr;  // "Lägg till"
  QPushButton* btnEditClient = nullptr;  // "Ändra"
  QPushButton* btnDeleteClient = nullptr;  // "Radera"
  QListView* lbmachines = nullptr;
  QListView* lbAllResources = nullptr;  // "Alla resurser"
  QListView* lbChosenResources = nullptr;  // "Valda resurser", in the order sent
  CallableListModel* allResourcesModel = nullptr;
  CallableListModel* chosenResourcesModel = nullptr;
  QPushButton* btnMoveToChosen = nullptr;   // to the chosen list
  QPushButton* btnMoveBack = nullptr;  // back
  QPushButton* btnMoveUp = nullptr;   // up
  QPushButton* btnMoveDown = nullptr;   // down
  // The same members under the names the program has always given them
  // (the controls' objectName), for code that knows them by those names.
  QPushButton*& BitBtn11 = btnAddClient;
  QPushButton*& BitBtn12 = btnEditClient;
  QPushButton*& BitBtn13 = btnDeleteClient;
  QListView*& ListBox3 = lbAllResources;
  QListView*& ListBox4 = lbChosenResources;
  CallableListModel*& ListBox3Items = allResourcesModel;
  CallableListModel*& ListBox4Items = chosenResourcesModel;
  QPushButton*& BitBtn9 = btnMoveToChosen;
  QPushButton*& BitBtn10 = btnMoveBack;
  QPushButton*& BitBtn7 = btnMoveUp;
  QPushButton*& BitBtn8 = btnMoveDown;

  MachineListModel* machines() const { return FMachines; }
  // The current client's record; null when no client is current.
  MachinePtr currentMachine() const;

  // Shows the client dialog modally and gives its result. Tests replace it
  // to fill in the dialog.
  std::function<int(QDialog*)> ShowModal;

  // Empties both resource lists and asks for every client.
  void Load() override;
  // Sends the current client's chosen resources in their order.
  void Save() override;

  // Replies for this tab, as cut from the received text.
  void HandleRetAllMachines(std::string_view payload);
  // `resources` are the items of the "Resurser" tab's list.
  void HandleRetCallList(std::string_view payload, const CallableItemList& resources);
  // With `allResourcesPending` (the list asked for with it has not come yet:
  // both can arrive in one read, the numbers first) the numbers are kept and
  // moved when that list arrives.
  void HandleRetStationCallables(std::string_view payload, bool allResourcesPending = false);
  // A resource list asked for this tab: appended to "Alla resurser"; kept
  // numbers of the client's resources move then.
  void AppendAllResources(const CallableItemList& items);
  // The "Resurser" tab's list, copied into "Alla resurser" in place of what
  // it held.
  void CopyAllResources(const CallableItemList& resources);

  void lbmachinesClick();
  void BitBtn11Click();
  void BitBtn12Click();
  void BitBtn13Click();
  void BitBtn9Click();
  void BitBtn10Click();
  void BitBtn7Click();
  void BitBtn8Click();

  // Lays out the two panes for the window's width.
  void Splitter1Moved();
  // Width of the "Alla resurser" column that the last layout worked out.
  int allResourcesColumnWidth() const { return FAllResourcesColumnWidth; }

 signals:
  // The next resource list is for "Alla resurser".
  void AllResourcesRequested();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildClientsPane();
  void BuildResourcesPane();
  void UpdateColumnWidth();
  // The client dialog on `record`; on "OK" sends the record and reloads.
  bool EditMachine(const MachinePtr& record);
  void MoveChosenCurrent(int step);
  void FollowCurrentClient();

  // The replies the tab still waits for before its lists may be saved.
  struct Awaiting {
    bool machines = false;
    bool allResources = false;
    bool chosen = false;
  };
  void Arrived(bool Awaiting::*which);

  Awaiting FAwaiting;
  // The client that was current when the mouse went down in the list.
  MachinePtr FCurrentAtPress;
  MachineListModel* FMachines = nullptr;
  QWidget* FAllResourcesColumn = nullptr;
  int FAllResourcesColumnWidth = 0;
  std::optional<std::vector<std::int32_t>> FHeldChosenNumbers;
};

}  // namespace davu
