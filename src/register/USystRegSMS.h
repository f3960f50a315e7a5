#pragma once
// The "SMS-inställningar" tab: the account through which the server sends
// calls as text messages. It belongs to the system, so it is fetched from
// the server and sent back there; nothing of it is stored locally.
#include <string_view>

#include "RegisterTab.h"

class TSmsSettingsTab : public TRegisterTab {
  Q_OBJECT

 public:
  explicit TSmsSettingsTab(QWidget* parent = nullptr);

  // Asks the server for the account.
  void Load() override;
  void Save() override;
  // RETSMSSETTINGS, whenever it arrives.
  void HandleRetSmsSettings(std::string_view payload);
};
