#include "common/SharedState.h"

TDAVUClientType OwnClientType = ctAdmin;
ClientSocket* ServerSocket = nullptr;
bool WasConnected = false;
bool UpdateCheckPending = true;
std::function<void()> ConnectProc;
QString ServerVersion;
QString UpdateServerVersion;
bool UpdateSigningOff = false;
int ReplyTarget = rtNone;
bool RegisterMode = false;
QString StartFolder;
QString SettingsRootName;
QString LocalDataFolder;

void ResetSharedState() {
  OwnClientType = ctAdmin;
  ServerSocket = nullptr;
  WasConnected = false;
  UpdateCheckPending = true;
  ConnectProc = nullptr;
  ServerVersion.clear();
  UpdateServerVersion.clear();
  UpdateSigningOff = false;
  ReplyTarget = rtNone;
  RegisterMode = false;
}
