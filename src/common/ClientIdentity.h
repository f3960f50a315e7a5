#pragma once
#include <QString>

#include "common/MachineName.h"

// The name put into requests: machine name + "_Admin", or the manual name.
// It reads the settings, which may ask the server and wait with the event
// loop running (see SettingsStore).
QString GetClientName();
