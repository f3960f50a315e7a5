#pragma once
// Program start: the command line, and the look chosen in the settings.
#include <QString>
#include <QStringList>
#include <memory>

class TfrmDAVUAdmin;

namespace davu {

enum class StartRequest { Run, ShowVersion, ShowHelp };

// "--version" and "--help" (also "-v", "-h") are answered without opening a
// window; every other argument, such as the "RESTARTING=1" a restarted
// program gets, is accepted and ignored. `args` excludes the program name.
StartRequest ParseStartArguments(const QStringList& args);
QString VersionText(const QString& productVersion);
QString HelpText();

// Reads "KlientSettings"/"Style" from the local settings and applies that
// theme when the program carries it; any other text keeps the plain look.
// Returns whether a theme was applied.
bool ApplyStartTheme();

// Creates the main window and applies the start theme. An error on the way
// (such as a working directory that no longer exists) is shown with
// ShowInfoMessage and gives nullptr: the program then ends with status 1,
// as every end of the program does.
std::unique_ptr<TfrmDAVUAdmin> CreateMainWindow();

}  // namespace davu
