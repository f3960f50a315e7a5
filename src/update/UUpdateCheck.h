#pragma once
// The update check. At a connect of the main connection it asks the update
// server for its version; when the setting "CHECKVERSION" / program file name
// names a newer version than this program's, it starts the local copy of that
// version if one is there, and otherwise downloads it, installs it as the
// local copy and starts it. The caller then ends this program.
//
// Phases, each guarded by UpdateTimer (the common window's):
//   connecting    5000 ms  until the update connection is up
//   deciding      5000 ms  until UpdateSocketConnect has compared the versions
//   current       5000 ms  the connection lingers for the version reply; the
//                          timer then closes it
//   downloading  60000 ms  until the new program is started or turned away
//
// The update connection's bytes are put back together by UpdateStream. A
// downloaded file is installed only when its own version block carries the
// announced version (ProgramInstaller), so a cut, corrupt or stale file is
// never started and an update server that keeps serving an old version can
// never make the program restart over and over.
//
// After the program reply the check asks for its minisign signature
// ("<program file name>.minisig") on the same connection. A file is
// installed only when a trusted key signed exactly it, under this name and
// version (UpdateKeys), and the local copy is checked again before every
// start: one that fails is moved aside, never started, and the next check
// downloads anew. Without a trusted key the check asks the version only.
#include <QObject>
#include <QString>
#include <QStringList>
#include <vector>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "protocol/UpdateStream.h"
#include "update/ReleaseSignature.h"

namespace davu {

class ClientSocket;
class DownloadFile;

}  // namespace davu

class TfrmDAVUcommon;

namespace davu {

class UpdateCheck : public QObject {
  Q_OBJECT

 public:
  explicit UpdateCheck(TfrmDAVUcommon& common, QObject* parent = nullptr);
  ~UpdateCheck() override;

  // Runs the whole check, letting the event loop run while it waits. True
  // when a newer program has been started and this one must end.
  bool CheckForUpdate(const ClientSocket& mainConnection);

  // The running program by default; tests point them elsewhere.
  QString programPath;        // its version block gives the own version
  QString programFileName;    // asked for, and stored, under this name
  QStringList restartArguments;

  // LocalDataFolder + programFileName.
  QString localCopy() const;

  // A program file of this product is at most this many times the running
  // program's own file, and never needs less than the floor: a larger
  // download is turned away as soon as it passes the limit.
  static constexpr std::size_t kDownloadSizeFactor = 4;
  std::size_t downloadLimitFloor = 64u * 1024u * 1024u;  // tests lower it
  std::size_t downloadLimit() const;
  // What the update connection holds in memory of a reply not yet complete
  // (a download goes to a temporary file as it arrives).
  std::size_t heldBytes() const { return stream_.pendingSize(); }

 public slots:
  void UpdateSocketConnect();
  void UpdateSocketRead();
  void UpdateSocketError(int code);
  void UpdateTimerTimer();

 signals:
  // UpdateServerVersion was set from a version reply.
  void updateServerVersionChanged();

 private:
  // Lets the event loop run until `done` or UpdateTimedOut; false on time-out.
  bool waitFor(const std::function<bool()>& done);
  void restartTimer(int ms);
  void decide();
  void startLocalCopy();
  // The error replies of one read: how many, and the first as it is shown.
  struct ErrorReplies {
    int count = 0;
    QString first;
  };
  void handleReply(std::string text, ErrorReplies& errors);
  void showErrors(const ErrorReplies& errors);
  // The check has ended: its connection and timer with it.
  void endConnection();
  void handleProgram(const davu::proto::UpdateStream::Event& event);
  // Nothing more of a download is wanted: its temporary file goes.
  void dropDownload();
  void handleSignature(std::string_view bytes);
  bool signatureRefused(std::string_view reply);
  void refuse(const QString& reason);
  void turnAway(const QString& foundVersion);

  TfrmDAVUcommon& common_;
  davu::proto::UpdateStream stream_;
  std::vector<davu::update::PublicKey> keys_;  // trusted in this check
  int currentNumber_ = 0;     // the announced version of this check
  bool downloading_ = false;  // a program reply is awaited in this check
  bool awaitingSignature_ = false;  // the program came; its signature is awaited
  // The program file asked for, as it arrives and while its signature is
  // awaited.
  std::unique_ptr<DownloadFile> download_;
  unsigned generation_ = 0;   // counts checks, so that a late decision of a given-up one is dropped
};

}  // namespace davu
