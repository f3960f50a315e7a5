#include "USystRegResurser.h"

#include "ClientIdentity.h"
#include "WireText.h"
#include "protocol/Catalogue.h"

TResourcesTab::TResourcesTab(QWidget* parent) : TRegisterTab(parent) {
  setObjectName(QStringLiteral("tsResurser"));
}

void TResourcesTab::Load() {
  emit Request(davu::proto::GetAllCallables(ToWire(GetClientName())));
  // Enabled again by a change of a resource's active mark.
  emit SaveButtonsEnabled(false);
}

void TResourcesTab::Save() {}
