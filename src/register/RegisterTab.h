#pragma once
// One tab of the register window. The window keeps the buttons and the
// connection; a tab loads and saves its own contents and talks to the window
// through a send channel and these signals, as the tabs of Qt's tabdialog
// example do.
//
// A tab never offers to save what it has not loaded: while the contents it
// asked the server for have not arrived, "Spara" is off and the window shows
// "Hämtar…"; if they never come, it says so. A request that cannot be sent
// says that nothing was saved, and the tab keeps the edit.
#include <QString>
#include <QWidget>
#include <functional>
#include <string>

class QTimer;

namespace davu {

// The register window's client area as designed.
inline constexpr int kRegisterDesignWidth = 573;
inline constexpr int kRegisterDesignHeight = 391;

class RegisterTab : public QWidget {
  Q_OBJECT

 public:
  explicit RegisterTab(QWidget* parent = nullptr);

  // How long a tab waits for the contents it asked for.
  static constexpr int kContentsWaitMs = 5000;
  static const QString kFetching;
  static const QString kNoAnswer;
  static const QString kNotConnected;
  static const QString kNotConnectedNothingSaved;

  // Sends wire bytes on the window's connection; false when they could not
  // be sent. Set by the window.
  std::function<bool(const std::string&)> Channel;

  // The tab has become active or is loaded again ("Ångra"): fill it from the
  // stored settings, or ask the server for its contents.
  virtual void Load() = 0;
  // "Spara" while this tab is active.
  virtual void Save() = 0;
  // The connection went down. A tab that still waited for the server's answer
  // to a save keeps the edit and offers to save it again.
  virtual void ConnectionLost();

  // "Spara": the contents are all there and something can be sent.
  bool CanSave() const { return !FWaiting && FEdited; }
  // Everything the tab asked the server for has arrived.
  bool ContentsComplete() const { return !FWaiting; }
  // "Ångra": something was changed, or the contents did not come and can be
  // asked for again.
  bool CanUndo() const { return (FEdited && !FWaiting) || FMissing; }
  // Something typed that "Spara" has not sent; only tabs that track their
  // changes can say so.
  bool HasUnsavedEdit() const { return FTracksEdits && FEdited && !FWaiting; }
  // The tab's line in the window's status field; empty when all is well.
  QString StatusText() const { return FStatus; }

  // The wait for the contents ran out (the timer's handler).
  void ContentsTimerTimer();

 signals:
  // CanSave, CanUndo or StatusText changed.
  void StateChanged();
  // Load the active tab again, after a change was sent to the server.
  void ReloadRequested();

 protected:
  // A request for the tab's contents: "Spara" waits for the answer.
  void Fetch(const std::string& bytes);
  // Waits for a further answer without sending anything.
  void WaitForContents();
  // What was asked for has arrived.
  void ContentsArrived();
  // A change for the server; false (after saying that nothing was saved)
  // when it could not be sent.
  bool Store(const std::string& bytes);
  // Whether the tab holds something to save. Tabs that do not track changes
  // leave it on.
  void SetEdited(bool edited);
  bool Edited() const { return FEdited; }
  // A save was sent and its answer is the reload that follows; until that
  // arrives the connection may still drop.
  void SaveSentAwaitingReload() { FSaveInFlight = true; }
  bool SaveInFlight() const { return FSaveInFlight; }

 private:
  void SetStatus(const QString& text);

  QTimer* FContentsTimer = nullptr;
  bool FWaiting = false;
  bool FMissing = false;
  bool FEdited = true;
  bool FTracksEdits = false;
  bool FSaveInFlight = false;
  QString FStatus;
};

}  // namespace davu
