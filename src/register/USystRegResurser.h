#pragma once
// The "Resurser" tab: every resource of the register, added, changed and
// deleted through the resource dialog; active marks are collected and sent
// with "Spara".
#include "RegisterTab.h"

class TResourcesTab : public TRegisterTab {
  Q_OBJECT

 public:
  explicit TResourcesTab(QWidget* parent = nullptr);

  // Asks for every resource; "Spara" and "Ångra" wait for a changed mark.
  void Load() override;
  void Save() override;
};
