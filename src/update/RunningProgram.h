#pragma once
// What the update check needs to know about the running process.
#include <QString>
#include <QStringList>

namespace davu {

// The running executable's file name without folder ("davu-admin"), taken
// from the process itself rather than from how it was started.
QString RunningProgramFileName();

// The arguments this process was started with, after the program name, each
// exactly as received (before any framework removed the ones it knows).
QStringList StartArguments();

// What a restarted copy gets: "RESTARTING=1", then every start argument.
QStringList RestartArguments();

}  // namespace davu
