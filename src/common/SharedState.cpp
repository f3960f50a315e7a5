#include "common/SharedState.h"

using namespace davu;

TDAVUClientType OwnClientType = ctAdmin;
ClientSocket* ServerSocket = nullptr;
bool WasConnected = false;
bool UpdateCheckPending = true;
std::function<void()> ConnectProc;
QString ServerVersion;
QString UpdateServerVersion;
namespace davu {

bool UpdateSigningOff = false;

}  // namespace davu

int ReplyTarget = rtNone;
bool RegisterMode = false;
QString StartFolder;
QString SettingsRootName;
QString LocalDataFolder;

namespace davu {

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

}  // namespace davu
