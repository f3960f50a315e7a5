#pragma once
#include <QString>

// The name put into requests: machine name + "_Admin", or the manual name.
QString GetClientName();
// The computer's (or the remote device's) name, for per-computer settings.
QString GetMachineName();
