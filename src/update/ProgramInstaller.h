#pragma once
// Installs a downloaded program file as the local copy, safely: the bytes go
// to a temporary file beside it, are flushed to the disk and checked by their
// version block before the file is made executable and renamed over the local
// copy. Before that its signature must hold: made by a trusted key, over
// exactly these bytes, for this program file name and the version the file
// carries; and the file must be a program this machine runs. The signature
// is stored beside the local copy ("<local copy>.minisig"), so every later
// start can check the local copy again. The local copy is never written in place, so a program running from
// it keeps its image, and a cut, corrupt or wrong file never replaces it.
#include <QString>
#include <QByteArray>
#include <string_view>
#include <vector>

#include "update/ReleaseSignature.h"

namespace davu {

class DownloadFile;

class ProgramInstaller {
 public:
  enum class Outcome { Installed, Refused, WrongVersion, NotStored };
  struct Result {
    Outcome outcome;
    // WrongVersion: the product version the file carries ("<info not
    // available>" for none). Refused: what was wrong, in Swedish.
    // NotStored: the system's reason.
    QString detail;
  };

  // Installs `bytes` as `target` when `signature` holds for them under the
  // name `programFileName` and their product version gives exactly
  // `expectedNumber` (see VersionNumber).
  static Result install(std::string_view bytes, const QString& target, int expectedNumber,
                        const QByteArray& signature, const std::vector<davu::update::PublicKey>& keys,
                        const QString& programFileName);
  // The same for a download that already lies in a temporary file beside
  // `target`; the file is taken (renamed) when installed, removed otherwise.
  static Result install(DownloadFile& download, const QString& target, int expectedNumber,
                        const QByteArray& signature, const std::vector<davu::update::PublicKey>& keys,
                        const QString& programFileName);

  // The signature file stored beside a local copy.
  static QString signaturePath(const QString& program);
  // Empty when the local copy `program` holds against its stored signature;
  // otherwise what was wrong, in Swedish.
  static QString checkInstalled(const QString& program, const std::vector<davu::update::PublicKey>& keys,
                                const QString& programFileName);
  // Moves a local copy that failed its check (and its signature) aside, kept
  // for inspection; gives the name it now has, empty when it could not.
  static QString moveAside(const QString& program);

  // The product version of a program file, or "<info not available>".
  static QString productVersionOf(const QString& path);
  // True when `path` is a program file whose product version gives exactly
  // `number`. A file without a readable version block never matches.
  static bool carriesVersion(const QString& path, int number);
};

}  // namespace davu
