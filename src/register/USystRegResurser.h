#pragma once
// The "Resurser" tab: every resource of the register on its own colour, its
// check mark the active flag. Adding, changing and deleting go to the server
// at once through the resource dialog, and the list is asked for again;
// changed check marks are collected and sent with "Spara".
#include <QDialog>
#include <functional>

#include "register/CallableList.h"
#include "register/RegisterTab.h"

class QGroupBox;
class QListView;
class QPushButton;

namespace davu {

class ResourcesTab : public RegisterTab {
  Q_OBJECT

 public:
  explicit ResourcesTab(QWidget* parent = nullptr);

  QGroupBox* gbResurser = nullptr;  // "Befintliga resurser"
  QListView* lbResurser = nullptr;
  CallableListModel* lbResurserItems = nullptr;
  QPushButton* btnAddResurs = nullptr;
  QPushButton* btnEditResurs = nullptr;
  QPushButton* btnDeleteResurs = nullptr;

  // Shows the resource dialog modally and gives its result. Tests replace it
  // to fill in the dialog.
  std::function<int(QDialog*)> ShowModal;

  // Asks for every resource; "Spara" and "Ångra" wait for a changed mark.
  void Load() override;
  // Sends every resource whose mark changed, then loads the list again.
  void Save() override;
  // The lines of a RETALLCALLABLES reply that is meant for this list.
  void Fill(CallableItemList items);

  void btnAddResursClick();
  void btnEditResursClick();
  void btnDeleteResursClick();
  void lbResurserClickCheck(int row);
  void lbResurserDblClick();

 private:
  CallablePtr CurrentRecord() const;
  // The resource dialog on `record`; true when it was closed with OK, and the
  // record then sent as it now stands.
  bool EditAndSend(const CallablePtr& record);
};

}  // namespace davu
