#pragma once
// State that several windows share, under the names the whole program uses.
// Tests call ResetSharedState() between cases.
#include <QString>
#include <functional>

#include "common/Records.h"
#include "common/ReplyTarget.h"

namespace davu {

class ClientSocket;

// The last update check found no trusted key: it never downloads or starts.
extern bool UpdateSigningOff;

}  // namespace davu

// This program's client type; always ctAdmin (2).
extern TDAVUClientType OwnClientType;

// The main connection, set on every successful connect. The settings store
// sends through it; suspend and resume close and re-open it.
extern davu::ClientSocket* ServerSocket;
// True once a connection has come up.
extern bool WasConnected;
// Run the update check at the next successful connect.
extern bool UpdateCheckPending;
// Starts a new connection attempt (the main window's ConnectToServer).
extern std::function<void()> ConnectProc;

// The server's version exactly as last received, dots included.
extern QString ServerVersion;
// The update server's version text.
extern QString UpdateServerVersion;
// Which window waits for query and list replies (a ReplyTargetWindow).
extern int ReplyTarget;
// True while the register window is shown through "Systemregister...".
extern bool RegisterMode;

// Local folders, set by InitLocalPaths.
extern QString StartFolder;       // working directory at start, ending in "/"
extern QString SettingsRootName;  // e.g. "_opt_davu_admin\"
extern QString LocalDataFolder;   // $XDG_DATA_HOME/Solvarn/DAVU/, or empty

namespace davu {

void ResetSharedState();

}  // namespace davu
