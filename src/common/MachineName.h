#pragma once
// The computer's name as the settings on the server know it. It asks the
// platform only, never the settings: the settings store uses it.
#include <QString>

// The computer's (or the remote device's) name, for per-computer settings.
QString GetMachineName();
