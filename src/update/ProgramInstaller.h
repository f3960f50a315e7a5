#pragma once
// Installs a downloaded program file as the local copy, safely: the bytes go
// to a temporary file beside it, are flushed to the disk and checked by their
// version block before the file is made executable and renamed over the local
// copy. The local copy is never written in place, so a program running from
// it keeps its image, and a cut, corrupt or wrong file never replaces it.
#include <QString>
#include <string_view>

class ProgramInstaller {
 public:
  enum class Outcome { Installed, WrongVersion, NotStored };
  struct Result {
    Outcome outcome;
    // WrongVersion: the product version the file carries ("<info not
    // available>" for none). NotStored: the system's reason.
    QString detail;
  };

  // Installs `bytes` as `target` when their product version gives exactly
  // `expectedNumber` (see VersionNumber).
  static Result install(std::string_view bytes, const QString& target, int expectedNumber);

  // The product version of a program file, or "<info not available>".
  static QString productVersionOf(const QString& path);
  // True when `path` is a program file whose product version gives exactly
  // `number`. A file without a readable version block never matches.
  static bool carriesVersion(const QString& path, int number);
};
