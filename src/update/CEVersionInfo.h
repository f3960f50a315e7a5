#pragma once
// The version information of a program file: the text entries of its version
// block and the four parts of its file version. On Linux the block is the
// ".davu_version" section of an ELF file; Windows PE files carry it as their
// version resource. Read the same way for both.
#include <QObject>
#include <QString>

class TCEVersionInfo : public QObject {
  Q_OBJECT
  Q_PROPERTY(QString CompanyName READ CompanyName CONSTANT)
  Q_PROPERTY(QString FileDescription READ FileDescription CONSTANT)
  Q_PROPERTY(QString FileVersion READ FileVersion CONSTANT)
  Q_PROPERTY(QString Internalname READ Internalname CONSTANT)
  Q_PROPERTY(QString LegalCopyright READ LegalCopyright CONSTANT)
  Q_PROPERTY(QString LegalTradeMarks READ LegalTradeMarks CONSTANT)
  Q_PROPERTY(QString OriginalFilename READ OriginalFilename CONSTANT)
  Q_PROPERTY(QString ProductName READ ProductName CONSTANT)
  Q_PROPERTY(QString ProductVersion READ ProductVersion CONSTANT)
  Q_PROPERTY(QString Comments READ Comments CONSTANT)
  Q_PROPERTY(QString MajorVersion READ MajorVersion CONSTANT)
  Q_PROPERTY(QString MinorVersion READ MinorVersion CONSTANT)
  Q_PROPERTY(QString Release READ Release CONSTANT)
  Q_PROPERTY(QString Build READ Build CONSTANT)
  Q_PROPERTY(QString SpecialBuild READ SpecialBuild CONSTANT)

 public:
  // Reads the running program's own file.
  explicit TCEVersionInfo(QObject* owner = nullptr);

  // Replaces every property with what `path` holds; a file without a version
  // block (or that cannot be read) gives "<info not available>" everywhere but
  // in SpecialBuild, which is then empty.
  void GetInfo(const QString& path);

  QString CompanyName() const { return companyName_; }
  QString FileDescription() const { return fileDescription_; }
  QString FileVersion() const { return fileVersion_; }
  QString Internalname() const { return internalName_; }
  QString LegalCopyright() const { return legalCopyright_; }
  QString LegalTradeMarks() const { return legalTradeMarks_; }
  QString OriginalFilename() const { return originalFilename_; }
  QString ProductName() const { return productName_; }
  QString ProductVersion() const { return productVersion_; }
  QString Comments() const { return comments_; }
  QString MajorVersion() const { return major_; }
  QString MinorVersion() const { return minor_; }
  QString Release() const { return release_; }
  QString Build() const { return build_; }
  QString SpecialBuild() const { return specialBuild_; }

  // Splits a file version into its four parts by the reader's rules.
  static void SplitFileVersion(const QString& fileVersion, QString& major, QString& minor,
                               QString& release, QString& build);

 private:
  void setNotAvailable();

  QString companyName_, fileDescription_, fileVersion_, internalName_, legalCopyright_,
      legalTradeMarks_, originalFilename_, productName_, productVersion_, comments_;
  QString major_, minor_, release_, build_, specialBuild_;
};

namespace davu {

inline const QString kInfoNotAvailable = QStringLiteral("<info not available>");

// The path of the running program's file.
QString RunningProgramPath();
// The product version of the running program, for the main window's title.
QString ProductVersionOfRunningProgram();

}  // namespace davu
