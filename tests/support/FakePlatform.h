#pragma once
// Fakes of the platform seam. FakePlatform installs all of them for the
// lifetime of one test case and restores the real ones afterwards.
#include <QColor>
#include <QDateTime>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

#include "common/platform/Platform.h"

struct FakeClock final : davu::platform::Clock {
  QDateTime current{QDate(2024, 5, 3), QTime(10, 22, 33)};
  QDateTime now() const override { return current; }
};

// Returns the scripted numbers in turn (taken modulo the bound), then 0.
struct FakeRandom final : davu::platform::RandomSource {
  std::deque<int> next;
  int below(int bound) override {
    if (next.empty() || bound <= 0) return 0;
    const int v = next.front();
    next.pop_front();
    return v % bound;
  }
};

struct FakeSleeper final : davu::platform::Sleeper {
  std::vector<int> sleeps;
  void blockingSleep(int ms) override { sleeps.push_back(ms); }
};

struct Balloon {
  QString title, text;
  QPoint pos;
  int displayMs = 0;
  int kind = 0;
};

// Records every message; questions are answered from `answers` (default: no).
struct FakeDialogs final : davu::platform::Dialogs {
  QStringList infoMessages;
  QStringList questions;
  std::deque<int> answers;
  std::vector<Balloon> balloons;
  // Runs while a message is "open", as a modal box's own event loop would.
  std::function<void(const QString&)> whileMessageOpen;
  void showInfoMessage(const QString& text) override {
    infoMessages << text;
    if (whileMessageOpen) whileMessageOpen(text);
  }
  int askYesNo(const QString& text) override {
    questions << text;
    if (answers.empty()) return 7;
    const int a = answers.front();
    answers.pop_front();
    return a;
  }
  void showBalloon(const QString& title, const QString& text, QPoint pos, int ms, int kind) override {
    balloons.push_back({title, text, pos, ms, kind});
  }
  // The picker opens on the colours in `colourRequests`; each answer is the
  // chosen colour, or an invalid one for "Avbryt" (also when none is left).
  std::vector<QColor> colourRequests;
  std::deque<QColor> colourAnswers;
  bool pickColour(QColor& colour) override {
    colourRequests.push_back(colour);
    const QColor answer = colourAnswers.empty() ? QColor() : colourAnswers.front();
    if (!colourAnswers.empty()) colourAnswers.pop_front();
    if (!answer.isValid()) return false;
    colour = answer;
    return true;
  }
};

struct FakeProcessStarter final : davu::platform::ProcessStarter {
  struct Start {
    QString program;
    QStringList args;
    QString workingDir;
  };
  std::vector<Start> starts;
  bool result = true;
  bool startDetached(const QString& p, const QStringList& a, const QString& w) override {
    starts.push_back({p, a, w});
    return result;
  }
};

struct FakeHostIdentity final : davu::platform::HostIdentity {
  QString computer = QStringLiteral("RECEPTION01");
  bool remote = false;
  bool citrixOk = false;
  QString citrixName;
  QString tsName;
  QString citrixThrows, tsThrows;  // non-empty: the query throws with this message
  QStringList calls;               // "citrix", "ts" in call order
  QString computerName() override { return computer; }
  bool isRemoteSession() override { return remote; }
  bool citrixClientName(QString& name) override;
  QString terminalServicesClientName() override;
};

// Installs fresh fakes; the pointers stay valid for the object's lifetime.
class FakePlatform {
 public:
  FakePlatform();
  ~FakePlatform();
  FakeClock* clock;
  FakeRandom* random;
  FakeSleeper* sleeper;
  FakeDialogs* dialogs;
  FakeProcessStarter* starter;
  FakeHostIdentity* host;
};
