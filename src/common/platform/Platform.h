#pragma once
// The seam to the operating system. Each need is a small interface with one
// real implementation; tests install fakes (tests/support) so that they can
// script answers, move the clock and skip real pauses.
#include <QDateTime>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <memory>

class QColor;

namespace davu::platform {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual QDateTime now() const = 0;  // local time
};

class RandomSource {
 public:
  virtual ~RandomSource() = default;
  // A pseudo-random whole number r with 0 <= r < bound.
  virtual int below(int bound) = 0;
};

class Sleeper {
 public:
  virtual ~Sleeper() = default;
  // Blocks the UI thread without handling events.
  virtual void blockingSleep(int ms) = 0;
};

// Message boxes and balloons. Kinds of balloon: 1 error, 2 information,
// 3 question, anything else information. The real ones are widgets, a layer
// above this seam: the widgets library hands in their maker (setRealDialogs).
class Dialogs {
 public:
  virtual ~Dialogs() = default;
  virtual void showInfoMessage(const QString& text) = 0;
  // 6 for "Ja", 7 for "Nej" (closing the box counts as "Nej").
  virtual int askYesNo(const QString& text) = 0;
  virtual void showBalloon(const QString& title, const QString& text, QPoint screenPos,
                           int displayMs, int kind) = 0;
  // The colour picker, opened on `colour`; true and the chosen colour when
  // the user confirms.
  virtual bool pickColour(QColor& colour) = 0;
};

class ProcessStarter {
 public:
  virtual ~ProcessStarter() = default;
  virtual bool startDetached(const QString& program, const QStringList& args,
                             const QString& workingDir) = 0;
};

// The computer's name and remote-session queries.
class HostIdentity {
 public:
  virtual ~HostIdentity() = default;
  virtual QString computerName() = 0;
  virtual bool isRemoteSession() = 0;
  // Citrix-style query: true and the client name on success; may throw.
  virtual bool citrixClientName(QString& name) = 0;
  // Terminal-services query: the client name, empty when not available; may throw.
  virtual QString terminalServicesClientName() = 0;
};

// Used by dialogs() while no other is installed. Without a maker (a program
// without the widgets library) asking for dialogs is a programming error.
void setRealDialogs(std::unique_ptr<Dialogs> (*maker)());

Clock& clock();
RandomSource& random();
Sleeper& sleeper();
Dialogs& dialogs();
ProcessStarter& processStarter();
HostIdentity& hostIdentity();

// Replace one implementation (tests); passing nullptr restores the real one.
void install(std::unique_ptr<Clock>);
void install(std::unique_ptr<RandomSource>);
void install(std::unique_ptr<Sleeper>);
void install(std::unique_ptr<Dialogs>);
void install(std::unique_ptr<ProcessStarter>);
void install(std::unique_ptr<HostIdentity>);
// Back to the real implementations of every need.
void restoreDefaults();

}  // namespace davu::platform
