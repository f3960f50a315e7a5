#pragma once
// davu-server's command line: what to do, with which options. Help and
// --version are printed here; refusals come back as a message and an exit
// status (2 for a command line that cannot be used).
#include <QString>
#include <QStringList>

#include "server/DavuServer.h"

namespace davu::server {

struct ServerCommand {
  enum class Action { Serve, Backup, Exit };
  Action action = Action::Exit;
  ServerOptions options;
  QString backupFile;  // Action::Backup: where the copy goes
  int exitStatus = 0;  // Action::Exit
  QString message;     // Action::Exit with a refusal: what was wrong and what to do
};

// `arguments` includes the program name, as QCoreApplication::arguments().
ServerCommand ParseServerCommandLine(const QStringList& arguments);

}  // namespace davu::server
