// Renders the program's windows offscreen into PNG files, one per window and
// tab, so that their look can be checked without a display:
//
//   davu-screenshots OUTPUT_FOLDER [THEME...]
//
// Without themes the plain look is rendered; each named theme adds a set of
// files prefixed with its name.
// Settings are read from an empty temporary folder, never from the user's own.
#include <QApplication>
#include <QGridLayout>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QDateEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextStream>
#include <cstdio>
#include <memory>
#include <string>

#include "app/UDavuAdminMain.h"
#include "calllog/CallLogRouting.h"
#include "calllog/IdagWindow.h"
#include "calllog/TSVVirtualTable.h"
#include "calllog/UfrmActiveCalls.h"
#include "calllog/UfrmDAVUStatistik.h"
#include "common/NamedServers.h"
#include "common/SettingsStore.h"
#include "common/SharedState.h"
#include "register/Themes.h"
#include "register/UCheckedGroupBox.h"
#include "register/USystReg.h"
#include "register/UfrmAddEditKlient.h"
#include "register/UfrmAddEditResurs.h"

using namespace davu;

namespace {

QString outDir;
int written = 0;

bool save(QWidget* w, const QString& name) {
  w->show();
  QApplication::processEvents();
  const QString path = QDir(outDir).filePath(name + QStringLiteral(".png"));
  const bool ok = w->grab().toImage().save(path);
  std::fprintf(stderr, "%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
  if (ok) ++written;
  w->hide();
  return ok;
}

// `window` active with the keyboard at `focus`, as after a Tab: the focus
// ring shows.
bool saveFocused(QWidget* window, QWidget* focus, const QString& name) {
  window->show();
  window->activateWindow();
  QElapsedTimer waited;
  waited.start();
  while (QApplication::activeWindow() != window && waited.elapsed() < 500) QApplication::processEvents();
  // The offscreen platform does not always activate a window that is shown
  // again: the focus needs an active window.
  if (QApplication::activeWindow() != window) QApplication::setActiveWindow(window);
  focus->setFocus(Qt::TabFocusReason);
  return save(window, name);
}

// The clinic's resources, as its server sends them.
const char* const kClinicCallables =
    "\xA4RETALLCALLABLES:"
    "Rum 1:1:Dr Anna Andersson, rum 1:16769734:0::T:"
    "Rum 2:2:Sk\xF6terska Lena \xC5" "berg, rum 2:13828050:-1:0701234567:T:"
    "Lab:3:Laboratoriet plan 3:8421376:0::T:"
    "Akut:4:Akutrummet:255:-1:0709876543:T:"
    "R\xF6ntgen:5:R\xF6ntgen v\xE4ntrum B:4194304:0::F:"
    "Kurator:6:Kurator Maria Lind, rum 5:16777215:0::T:";

// The clinic's clients.
const char* const kClinicMachines =
    "\xA4RETALLMACHINES:RECEPTION01:1:Reception:16763080:0:-1:::"
    "VANTRUM-TV:2:V\xE4ntrum A:8388608:1:-1:::LAB-PC:3:Provtagning:13158655:0:0:::"
    "KANSLI:4:Kansli:15790320:2:0:::";

// What a clinic's server sends for the register tabs.
void fillRegister(TfrmSystreg* reg) {
  reg->HandleRetAllCallables(kClinicCallables);
  reg->HandleRetSmsSettings("\xA4RETSMSSETTINGS:vcnorr:hemligt:100234:");
}

// The resource dialog on a resource that sends SMS, and one that does not.
void saveResourceDialogs(const QString& prefix) {
  for (bool sms : {true, false}) {
    TfrmAddEditResurs dialog;
    auto record = std::make_shared<TCallable>();
    record->CallableLopnr = 2;
    record->CallableName = QStringLiteral("Rum 2");
    record->CallableFriendlyname = QStringLiteral("Sköterska Lena Åberg, rum 2");
    record->CallableColour = 13828050;
    record->CallableSendSMS = sms;
    record->CallableMobilnummer = sms ? QStringLiteral("0701234567") : QString();
    record->Aktiv = true;
    dialog.cl = record;
    save(&dialog, prefix + (sms ? QStringLiteral("resurs-dialog") : QStringLiteral("resurs-dialog-utan-sms")));
  }
}

// The checked group box with its caption and tick box on either edge, and
// disabled.
void saveCheckedGroupBoxes(const QString& prefix) {
  QWidget panel;
  panel.setFixedSize(520, 300);
  auto* grid = new QGridLayout(&panel);
  int i = 0;
  for (auto cap : {TCheckedGroupBox::cpTopLeft, TCheckedGroupBox::cpBottomLeft}) {
    for (auto box : {TCheckedGroupBox::cbpTopLeft, TCheckedGroupBox::cbpBottomLeft}) {
      auto* g = new TCheckedGroupBox(QStringLiteral("Skicka SMS"));
      g->setFixedSize(240, 80);
      g->SetCaptionPosition(cap);
      g->SetCheckBoxPosition(box);
      auto* field = new QLineEdit(g);
      field->setGeometry(20, 28, 150, 24);
      if (i == 3) g->SetEnabled(false);
      grid->addWidget(g, i / 2, i % 2);
      ++i;
    }
  }
  save(&panel, prefix + QStringLiteral("checked-group-box"));
}

// The clinic's clients on the "Klienter" tab, the second one chosen, with
// three of the resources chosen in their order.
void fillKlienterExample(TfrmSystreg* reg) {
  reg->HandleRetAllMachines(kClinicMachines);
  StationsTab* t = reg->tsStations;
  // Choosing the client asks for its lists; the answers follow.
  t->lbmachines->setCurrentIndex(t->machines()->index(1));
  reg->HandleRetAllCallables(kClinicCallables);
  reg->HandleRetStationCallables("\xA4RETSTATIONCALLABLES:3:0:1:1:4:2:");
}

void saveKlientDialog(QWidget* parent, const QString& prefix) {
  TfrmAddEditKlient dialog(parent);
  auto record = std::make_shared<TMachine>();
  record->Name = QStringLiteral("VANTRUM-TV");
  record->FriendlyName = QStringLiteral("V\u00E4ntrum A");
  record->Color = 8388608;
  record->MachineType = ctShow;
  dialog.mc = record;
  save(&dialog, prefix + QStringLiteral("dialog-klient"));
}

void saveRegisterTabs(TfrmSystreg* reg, const QString& prefix) {
  QTabWidget* tabs = reg->PageControl1;
  const struct {
    QWidget* page;
    const char* name;
  } pages[] = {{reg->tsServersettings, "register-server"},
               {reg->tsResurser, "register-resurser"},
               {reg->tsStations, "register-klienter"},
               {reg->tsSMS, "register-sms"}};
  for (const auto& p : pages) {
    if (!p.page) continue;
    const int index = tabs->indexOf(p.page);
    if (index < 0) continue;
    // Each tab is shown alone, as the two modes of the window show them.
    for (int i = 0; i < tabs->count(); ++i) tabs->setTabVisible(i, i == index);
    tabs->setCurrentIndex(index);
    if (p.page != reg->tsServersettings) {
      reg->setFixedWidth(800);
      reg->tsStations->Splitter1Moved();
    }
    // The server tab with the named servers stored.
    if (p.page == reg->tsServersettings) reg->tsServersettings->Load();
    // Loading the tab empties its lists: the example goes in afterwards.
    if (p.page == reg->tsStations) fillKlienterExample(reg);
    // The list as the server sends it again, and a chosen resource, framed
    // on its own colour.
    if (p.page == reg->tsResurser) {
      reg->HandleRetAllCallables(kClinicCallables);
      reg->tsResurser->lbResurser->setCurrentIndex(reg->tsResurser->lbResurserItems->index(1, 0));
    }
    save(reg, prefix + QString::fromLatin1(p.name));
    if (p.page == reg->tsStations)
      saveFocused(reg, reg->tsStations->lbmachines, prefix + QStringLiteral("fokus-klienter"));
    if (p.page == reg->tsResurser)
      saveFocused(reg, reg->tsResurser->btnAddResurs, prefix + QStringLiteral("fokus-resurser"));
  }
}

// The statistics window enlarged, its lists filled from the clinic's
// register with a client and two resources ticked, and a report on show.
void saveEnlargedStatistics(TfrmDAVUAdmin* main, const QString& prefix) {
  TfrmDAVUStatistik stats(main);
  stats.ClientSocket1 = main->ClientSocket1;
  stats.resize(1120, 680);
  RouteStatisticsCallables(kClinicCallables);
  RouteStatisticsMachines(kClinicMachines);
  stats.CheckListBox2->item(0)->setCheckState(Qt::Checked);
  for (int row : {0, 3}) stats.CheckListBox1->item(row)->setCheckState(Qt::Checked);
  stats.DateTimePicker1->setDate(QDate(2026, 11, 1));
  stats.DateTimePicker2->setDate(QDate(2026, 11, 30));
  std::string reply = "\xA4RETSQL:";
  const char* const resources[] = {"Dr Anna Andersson, rum 1", "Akutrummet"};
  for (int i = 0; i < 24; ++i) {
    const QDateTime called(QDate(2026, 11, 2 + i / 3), QTime(8 + (i % 3) * 3, (i * 17) % 60, (i * 7) % 60));
    const QString confirmed = i % 4 == 3 ? QString() : called.addSecs(45 + i * 13).toString("yyyy-MM-dd HH:mm:ss");
    reply += "\xA4%FRIENDLYNAME|Reception~FULLNAME|" + std::string(resources[i % 2]) +
             "~CALLTSTAMP|" + called.toString("yyyy-MM-dd HH:mm:ss").toStdString() +
             "~CONFIRMTSTAMP|" + confirmed.toStdString() + "~SMSSENT|" + (i % 2 ? "Ja" : "Nej") + "~%\xA4:";
  }
  RouteSqlReply(reply);
  save(&stats, prefix + QStringLiteral("statistik-forstorad"));
  // The next theme's windows open at their first size, with nothing ticked.
  for (const char* key : {"Width", "Height"})
    WriteUserSetting(QStringLiteral("StatistikFonster"), QLatin1String(key), QString());
  TfrmDAVUStatistik::SessionChoice() = {};
}

// "Idag" with a morning of calls at five resources, some not confirmed yet.
void saveToday(TfrmDAVUAdmin* main, const QString& prefix) {
  IdagWindow today(main);
  today.ClientSocket1 = main->ClientSocket1;
  today.show();  // its own first refresh finds no connection here
  const QDate day = QDate::currentDate();
  const char* const resources[] = {"Dr Anna Andersson, rum 1", "Akutrummet", "Provtagningen", "Rum 2",
                                   "Sjuksk\xF6terska Berg"};
  std::string reply = "\xA4RETSQL:";
  for (int i = 0; i < 74; ++i) {
    const QDateTime called(day, QTime(7, 30).addSecs(i * 337 + (i * i * 41) % 900));
    const int r = (i * 7 + i / 5) % 5;
    const QString confirmed =
        i % 9 == 4 || i > 70 ? QString() : called.addSecs(40 + (i * 53) % 420).toString("yyyy-MM-dd HH:mm:ss");
    reply += "\xA4%LOPNR|" + std::to_string(1000 + i) + "~CALLABLESLOPNR|" + std::to_string(r + 1) +
             "~FULLNAME|" + resources[r] + "~CALLTSTAMP|" + called.toString("yyyy-MM-dd HH:mm:ss").toStdString() +
             "~CONFIRMTSTAMP|" + confirmed.toStdString() + "~%\xA4:";
  }
  today.SqlReplyArrived(reply);
  save(&today, prefix + QStringLiteral("idag"));
}

void storeNamedServers() {
  davu::NamedServerList list;
  list.servers = {{QStringLiteral("V\u00E5rdcentralen Norr"), QStringLiteral("norr.example"), QStringLiteral("4000"), {}, {}},
                  {QStringLiteral("Tandv\u00E5rden Syd"), QStringLiteral("10.20.0.5"), QStringLiteral("4000"), {}, {}},
                  {QStringLiteral("Labbet"), QStringLiteral("lab.example"), QStringLiteral("4010"), {}, {}}};
  list.current = 0;
  list.Save();
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir settingsDir;
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(settingsDir.filePath(QStringLiteral("user"))));
  qputenv("DAVU_MACHINE_CONFIG_DIR", QFile::encodeName(settingsDir.filePath(QStringLiteral("machine"))));

  QApplication app(argc, argv);
  outDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
  QDir().mkpath(outDir);

  QStringList themes;
  for (int i = 2; i < argc; ++i) themes << QString::fromLocal8Bit(argv[i]);
  if (themes.isEmpty()) themes << PlainThemeName();
  for (const QString& theme : themes) {
    if (!ApplyTheme(theme)) {
      std::fprintf(stderr, "unknown theme %s\n", qPrintable(theme));
      continue;
    }
    const QString prefix = theme == PlainThemeName() ? QString() : theme + u'-';

    TfrmDAVUAdmin main;
    main.ExitProcess = [](int) {};
    // The first activation opens the register on its server tab (no server
    // is set); it is rendered on its own below.
    main.ShowModal = [](QDialog*) {};
    save(&main, prefix + QStringLiteral("main-not-connected"));

    // An administrator of three clinics: the server list beside the status.
    storeNamedServers();
    main.ShowServers();

    // The same window after an accepted version and a clinic name.
    main.DispatchReply(std::string("\xA4RETSERVERVERSION:1.10.6:RETSERVERVERSION\xA4"
                                   "\xA4RETKLINIKNAMN:V\xE5rdcentralen Norr:RETKLINIKNAMN\xA4"),
                       main.ClientSocket1);
    save(&main, prefix + QStringLiteral("main-connected"));

    TfrmSystreg reg(&main);
    reg.ClientSocket1 = main.ClientSocket1;
    fillRegister(&reg);
    saveRegisterTabs(&reg, prefix);
    saveResourceDialogs(prefix);
    saveCheckedGroupBoxes(prefix);
    saveKlientDialog(&main, prefix);

    {
      TfrmDAVUStatistik stats(&main);
      stats.ClientSocket1 = main.ClientSocket1;
      save(&stats, prefix + QStringLiteral("statistik"));
    }
    saveEnlargedStatistics(&main, prefix);
    saveToday(&main, prefix);
    {
      TfrmDAVUActiveCalls calls(&main);
      calls.ClientSocket1 = main.ClientSocket1;
      // A few calls, one ticked, so that the grid's tick boxes show.
      RouteSqlReply(
          "\xA4RETSQL:"
          "\xA4%FRIENDLYNAME|Reception~FULLNAME|Rum 1~LOPNR|12~CALLTSTAMP|2024-05-03 08:01:00~COMINGTSTAMP|~SMSSENT|0~%\xA4:"
          "\xA4%FRIENDLYNAME|Reception~FULLNAME|Rum 2~LOPNR|14~CALLTSTAMP|2024-05-03 08:15:00~COMINGTSTAMP|~SMSSENT|0~%\xA4:"
          "\xA4%FRIENDLYNAME|Lab~FULLNAME|Dr \xC5" "berg~LOPNR|15~CALLTSTAMP|2024-05-03 09:40:12~"
          "COMINGTSTAMP|2024-05-03 09:41:00~SMSSENT|-1~%\xA4:");
      calls.SVVirtualTable1->setData(calls.SVVirtualTable1->index(1, 0), Qt::Checked, Qt::CheckStateRole);
      save(&calls, prefix + QStringLiteral("kallelser"));
      saveFocused(&calls, calls.DBGrid1, prefix + QStringLiteral("fokus-kallelser"));
    }
    ResetSharedState();
    // The next theme's main window starts as this one did, with no server to
    // connect to.
    for (const char* key : {"ServerName", "ServerPort"})
      WriteUserSetting(QStringLiteral("ServerSettings"), QLatin1String(key), QString());
  }
  std::fprintf(stderr, "%d images in %s\n", written, qPrintable(outDir));
  return written > 0 ? 0 : 1;
}
