#include "USystRegSMS.h"

#include "ClientIdentity.h"
#include "WireText.h"
#include "protocol/Catalogue.h"

TSmsSettingsTab::TSmsSettingsTab(QWidget* parent) : TRegisterTab(parent) {
  setObjectName(QStringLiteral("tsSMS"));
}

void TSmsSettingsTab::Load() { emit Request(davu::proto::GetSmsSettings(ToWire(GetClientName()))); }

void TSmsSettingsTab::Save() {}

void TSmsSettingsTab::HandleRetSmsSettings(std::string_view) {}
