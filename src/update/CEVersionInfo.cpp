#include "update/CEVersionInfo.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include "update/ExecutableImage.h"
#include "update/VersionBlock.h"

using namespace davu;

using namespace davu::version;

namespace davu {

QString RunningProgramPath() {
  if (QCoreApplication::instance()) return QCoreApplication::applicationFilePath();
  return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
}

QString ProductVersionOfRunningProgram() {
  TCEVersionInfo info;
  return info.ProductVersion();
}

}  // namespace davu

TCEVersionInfo::TCEVersionInfo(QObject* owner) : QObject(owner) {
  setObjectName(QStringLiteral("CEVersionInfo"));
  GetInfo(RunningProgramPath());
}

void TCEVersionInfo::setNotAvailable() {
  for (QString* p : {&companyName_, &fileDescription_, &fileVersion_, &internalName_,
                     &legalCopyright_, &legalTradeMarks_, &originalFilename_, &productName_,
                     &productVersion_, &comments_, &major_, &minor_, &release_, &build_})
    *p = kInfoNotAvailable;
  specialBuild_.clear();
}

void TCEVersionInfo::SplitFileVersion(const QString& fv, QString& major, QString& minor,
                                      QString& release, QString& build) {
  QChar sep;
  if (fv.contains(u'.')) sep = u'.';
  else if (fv.contains(u',')) sep = u',';
  if (fv.isEmpty() || sep.isNull()) {
    major = minor = release = build = kInfoNotAvailable;
    return;
  }
  const qsizetype first = fv.indexOf(sep);
  major = fv.left(first);
  QString rest = fv.mid(first + 1);
  // Minor and release: up to the next separator, empty when there is none
  // (the rest then stays whole); the build is whatever remains.
  for (QString* part : {&minor, &release}) {
    const qsizetype at = rest.indexOf(sep);
    if (at < 0) {
      part->clear();
    } else {
      *part = rest.left(at);
      rest = rest.mid(at + 1);
    }
  }
  build = rest;
}

void TCEVersionInfo::GetInfo(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    setNotAvailable();
    return;
  }
  QByteArray copy;
  std::string_view bytes;
  if (uchar* mapped = file.size() > 0 ? file.map(0, file.size()) : nullptr) {
    bytes = std::string_view(reinterpret_cast<const char*>(mapped), size_t(file.size()));
  } else {
    copy = file.readAll();
    bytes = std::string_view(copy.constData(), size_t(copy.size()));
  }
  const std::optional<std::string_view> block = FindVersionBlock(bytes);
  const std::optional<Translation> tr = block ? QueryTranslation(*block) : std::nullopt;
  if (!tr) {
    setNotAvailable();
    return;
  }
  const std::u16string table = TableName(*tr);
  auto entry = [&](std::u16string_view name) {
    const std::optional<std::u16string> v = QueryString(*block, table, name);
    return v ? QString::fromStdU16String(*v) : QString();
  };
  companyName_ = entry(u"CompanyName");
  fileDescription_ = entry(u"FileDescription");
  fileVersion_ = entry(u"FileVersion");
  internalName_ = entry(u"InternalName");
  legalCopyright_ = entry(u"LegalCopyright");
  legalTradeMarks_ = entry(u"LegalTradeMarks");
  originalFilename_ = entry(u"OriginalFilename");
  productName_ = entry(u"ProductName");
  productVersion_ = entry(u"ProductVersion");
  comments_ = entry(u"Comments");
  specialBuild_ = entry(u"SpecialBuild");
  SplitFileVersion(fileVersion_, major_, minor_, release_, build_);
}
