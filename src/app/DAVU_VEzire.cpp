// davu-admin: the administration client of the DAVU calling system.
#include <QApplication>
#include <QCoreApplication>
#include <QIcon>
#include <cstdio>

#include "app/AppStart.h"
#include "app/ProductVersion.h"
#include "app/UDavuAdminMain.h"
#include "app/UpdateCheckHook.h"
#include "widgets/Dialogs.h"
#include "widgets/UDAVUcommon.h"

using namespace davu;

namespace {

QStringList argumentsOf(int argc, char** argv) {
  QStringList args;
  for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
  return args;
}

}  // namespace

int main(int argc, char** argv) {
  // Answered before any window system is needed.
  switch (ParseStartArguments(argumentsOf(argc, argv))) {
    case StartRequest::ShowVersion: {
      QCoreApplication core(argc, argv);
      std::fputs(VersionText(ProgramProductVersion()).toLocal8Bit().constData(), stdout);
      return 0;
    }
    case StartRequest::ShowHelp:
      std::fputs(HelpText().toLocal8Bit().constData(), stdout);
      return 0;
    case StartRequest::Run:
      break;
  }

  QApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("DAVU Windows Admin"));
  QGuiApplication::setDesktopFileName(QStringLiteral("davu-admin"));
  // The installed icon (hicolor theme); nothing when run from the build tree.
  QGuiApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("davu-admin")));
  // Only the main window's close ends the program, always with status 1.
  app.setQuitOnLastWindowClosed(false);
  // The hidden common window comes first: it carries the shared timers and
  // the balloon, and hears suspend and resume.
  TfrmDAVUcommon common;
  LocaliseDialogTexts();

  const std::unique_ptr<TfrmDAVUAdmin> mainWindow = CreateMainWindow();
  if (!mainWindow) return 1;
  InstallUpdateCheck(*mainWindow);
  mainWindow->show();
  app.exec();
  return 1;
}
