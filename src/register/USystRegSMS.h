#pragma once
// The "SMS-inställningar" tab: the account through which the server sends
// calls as text messages. It belongs to the system, so it is fetched from
// the server and sent back there; nothing of it is stored locally.
#include <string_view>

#include "register/RegisterTab.h"

class QLineEdit;

namespace davu {

class SmsSettingsTab : public RegisterTab {
  Q_OBJECT

 public:
  explicit SmsSettingsTab(QWidget* parent = nullptr);

  QLineEdit* edSMSusername = nullptr;
  QLineEdit* edSMSpassword = nullptr;
  QLineEdit* edSMSkundnr = nullptr;

  // Asks the server for the account.
  void Load() override;
  // Sends the three fields as they stand; the tab is not loaded again.
  void Save() override;
  // RETSMSSETTINGS, whenever it arrives.
  void HandleRetSmsSettings(std::string_view payload);

 private:
  // The texts the last reply put into the fields, sent back as they are.
  QString FReceived[3];
};

}  // namespace davu
