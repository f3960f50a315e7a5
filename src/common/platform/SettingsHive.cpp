#include "common/platform/SettingsHive.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringDecoder>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace davu::platform {

// The XDG rules make a relative $XDG_CONFIG_HOME or $XDG_DATA_HOME invalid,
// to be ignored; Qt 6.4 passes it on, so the default is put in here.
static QString userFolder(QStandardPaths::StandardLocation location, const QString& underHome) {
  const QString folder = QStandardPaths::writableLocation(location);
  return QDir::isAbsolutePath(folder) ? folder : QDir::homePath() + underHome;
}

QString UserConfigFolder() { return userFolder(QStandardPaths::GenericConfigLocation, QStringLiteral("/.config")); }

QString UserDataFolder() { return userFolder(QStandardPaths::GenericDataLocation, QStringLiteral("/.local/share")); }

QString HiveFilePath(Hive hive) {
  if (hive == Hive::CurrentUser) return UserConfigFolder() + QStringLiteral("/Solvarn/registry.ini");
  QString base = qEnvironmentVariable("DAVU_MACHINE_CONFIG_DIR");
  if (base.isEmpty()) base = QStringLiteral("/var/lib/Solvarn");
  return base + QStringLiteral("/registry.ini");
}

SettingsHiveFile HiveFile(Hive hive) {
  return SettingsHiveFile(HiveFilePath(hive), hive == Hive::LocalMachine);
}

// ---------------------------------------------------------------- format

QByteArray EscapeHiveText(const QString& text, bool isName) {
  QString out;
  out.reserve(text.size() + 8);
  const qsizetype n = text.size();
  for (qsizetype i = 0; i < n; ++i) {
    const QChar c = text.at(i);
    const char16_t u = c.unicode();
    if (u == u'\\') out += QStringLiteral("\\\\");
    else if (u == u'\n') out += QStringLiteral("\\n");
    else if (u == u'\r') out += QStringLiteral("\\r");
    else if (u == u'\t') out += QStringLiteral("\\t");
    else if (u < 0x20 || u == 0x7f) out += QStringLiteral("\\x%1").arg(int(u), 2, 16, QChar(u'0'));
    else if (u == u' ' && (i == 0 || i == n - 1)) out += QStringLiteral("\\s");
    else if (isName && u == u'=') out += QStringLiteral("\\=");
    else if (isName && i == 0 && (u == u'[' || u == u';' || u == u'#')) {
      out += QChar(u'\\');
      out += c;
    }
    else
      out += c;
  }
  return out.toUtf8();
}

// UTF-8 without dropping a leading U+FEFF: it may be part of a value.
static QString decodeUtf8(QByteArrayView bytes) {
  QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
  return decoder.decode(bytes);
}

static int hexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

QString UnescapeHiveText(QByteArrayView text) {
  const QString in = decodeUtf8(text);
  QString out;
  out.reserve(in.size());
  for (qsizetype i = 0; i < in.size(); ++i) {
    const QChar c = in.at(i);
    if (c != u'\\' || i + 1 >= in.size()) {
      out += c;
      continue;
    }
    const char16_t e = in.at(++i).unicode();
    switch (e) {
      case u'n': out += QChar(u'\n'); break;
      case u'r': out += QChar(u'\r'); break;
      case u't': out += QChar(u'\t'); break;
      case u's': out += QChar(u' '); break;
      case u'x': {
        const int hi = i + 1 < in.size() ? hexDigit(in.at(i + 1).unicode()) : -1;
        const int lo = i + 2 < in.size() ? hexDigit(in.at(i + 2).unicode()) : -1;
        if (hi >= 0 && lo >= 0) {
          out += QChar(char16_t(hi * 16 + lo));
          i += 2;
        } else {
          out += QChar(u'x');
        }
        break;
      }
      default: out += QChar(e); break;  // "\\", "\=", "\[" and any other: the character itself
    }
  }
  return out;
}

namespace {

enum class LineKind { Other, Section, Entry };

struct Line {
  QByteArray raw;  // without the line feed
  LineKind kind = LineKind::Other;
  QString text;    // section name or value name
  QByteArray rawValue;
};

QByteArrayView trimBlanks(QByteArrayView v) {
  qsizetype b = 0, e = v.size();
  while (b < e && (v[b] == ' ' || v[b] == '\t')) ++b;
  while (e > b && (v[e - 1] == ' ' || v[e - 1] == '\t' || v[e - 1] == '\r')) --e;
  return v.sliced(b, e - b);
}

Line classify(const QByteArray& raw, bool first) {
  Line line;
  line.raw = raw;
  QByteArrayView v = trimBlanks(raw);
  if (first && v.startsWith("\xEF\xBB\xBF")) v = trimBlanks(v.sliced(3));
  if (v.isEmpty() || v[0] == ';' || v[0] == '#') return line;
  if (v[0] == '[') {
    if (v.size() >= 2 && v.back() == ']') {
      line.kind = LineKind::Section;
      line.text = decodeUtf8(trimBlanks(v.sliced(1, v.size() - 2)));
    }
    return line;
  }
  for (qsizetype i = 0; i < v.size(); ++i) {
    if (v[i] == '\\') {
      ++i;
    } else if (v[i] == '=') {
      line.kind = LineKind::Entry;
      line.text = UnescapeHiveText(trimBlanks(v.first(i)));
      line.rawValue = trimBlanks(v.sliced(i + 1)).toByteArray();
      return line;
    }
  }
  return line;
}

std::vector<Line> parse(const QByteArray& data) {
  std::vector<Line> lines;
  qsizetype start = 0;
  while (start <= data.size()) {
    qsizetype nl = data.indexOf('\n', start);
    if (nl < 0) nl = data.size();
    lines.push_back(classify(data.mid(start, nl - start), lines.empty()));
    start = nl + 1;
  }
  return lines;  // a file ending in a line feed ends with an empty Other line
}

bool sameName(const QString& a, const QString& b) {
  return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Index of the first entry `name` under a section `subKey`, or -1.
qsizetype findEntry(const std::vector<Line>& lines, const QString& subKey, const QString& name) {
  bool inSection = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    const Line& l = lines[i];
    if (l.kind == LineKind::Section) inSection = sameName(l.text, subKey);
    else if (inSection && l.kind == LineKind::Entry && sameName(l.text, name)) return qsizetype(i);
  }
  return -1;
}

}  // namespace

std::optional<QString> FindHiveValue(const QByteArray& fileBytes, const QString& subKey,
                                     const QString& name) {
  const std::vector<Line> lines = parse(fileBytes);
  const qsizetype i = findEntry(lines, subKey, name);
  if (i < 0) return std::nullopt;
  return UnescapeHiveText(lines[size_t(i)].rawValue);
}

QByteArray SetHiveValue(const QByteArray& fileBytes, const QString& subKey, const QString& name,
                        const QString& value) {
  std::vector<Line> lines = parse(fileBytes);
  const QByteArray entry = EscapeHiveText(name, true) + '=' + EscapeHiveText(value, false);
  const qsizetype found = findEntry(lines, subKey, name);
  if (found >= 0) {
    Line& l = lines[size_t(found)];
    l.raw = l.raw.endsWith('\r') ? entry + '\r' : entry;
  } else {
    // Into the first section of that name, after its last non-blank line;
    // otherwise a new section at the end.
    qsizetype insertAt = -1;
    for (size_t i = 0; i < lines.size(); ++i) {
      if (lines[i].kind == LineKind::Section && sameName(lines[i].text, subKey)) {
        insertAt = qsizetype(i) + 1;
        for (size_t j = i + 1; j < lines.size() && lines[j].kind != LineKind::Section; ++j)
          if (!trimBlanks(lines[j].raw).isEmpty()) insertAt = qsizetype(j) + 1;
        break;
      }
    }
    Line added;
    added.raw = entry;
    if (insertAt >= 0) {
      lines.insert(lines.begin() + insertAt, added);
    } else {
      // Keep the final empty line (the file's last line feed) at the end.
      if (!lines.empty() && lines.back().raw.isEmpty()) lines.pop_back();
      if (!lines.empty()) lines.push_back(Line{});  // a blank line between sections
      Line section;
      section.raw = '[' + subKey.toUtf8() + ']';
      lines.push_back(section);
      lines.push_back(added);
      lines.push_back(Line{});
    }
  }
  QByteArray out;
  out.reserve(fileBytes.size() + entry.size() + subKey.size() + 8);
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) out += '\n';
    out += lines[i].raw;
  }
  return out;
}

// ---------------------------------------------------------------- files

namespace {

QString errnoText(int err) { return qt_error_string(err); }

// Reads the whole file; a missing file is empty. False on any other error.
bool readWhole(const QByteArray& path, QByteArray& out, int& err) {
  out.clear();
  const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    err = errno;
    return err == ENOENT;
  }
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      err = errno;
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    out.append(buf, n);
  }
  ::close(fd);
  return true;
}

bool writeAll(int fd, const QByteArray& data) {
  const char* p = data.constData();
  qsizetype left = data.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, size_t(left));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    left -= n;
  }
  return true;
}

class LockFile {
 public:
  LockFile(const QByteArray& path, bool shared) {
    fd_ = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, shared ? 0666 : 0600);
    if (fd_ < 0) {
      err_ = errno;
      return;
    }
    if (shared) (void)::fchmod(fd_, 0666);  // only the creator may; others find it so already
    while (::flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        err_ = errno;
        ::close(fd_);
        fd_ = -1;
        return;
      }
    }
  }
  ~LockFile() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
  }
  bool ok() const { return fd_ >= 0; }
  int error() const { return err_; }

 private:
  int fd_ = -1;
  int err_ = 0;
};

}  // namespace

SettingsHiveFile::SettingsHiveFile(QString path, bool shared) : path_(std::move(path)), shared_(shared) {}

std::optional<QString> SettingsHiveFile::read(const QString& subKey, const QString& name) const {
  QByteArray data;
  int err = 0;
  if (!readWhole(QFile::encodeName(path_), data, err)) return std::nullopt;
  return FindHiveValue(data, subKey, name);
}

bool SettingsHiveFile::write(const QString& subKey, const QString& name, const QString& value,
                             QString* error) const {
  auto fail = [&](int err) {
    if (error) *error = errnoText(err);
    return false;
  };
  const QFileInfo info(path_);
  const QString dirPath = info.absolutePath();
  if (!QDir().exists(dirPath)) {
    if (!QDir().mkpath(dirPath)) {
      const int err = errno ? errno : EACCES;
      return fail(err);
    }
    if (shared_) (void)::chmod(QFile::encodeName(dirPath).constData(), 0777);
  }
  const QByteArray filePath = QFile::encodeName(info.absoluteFilePath());
  LockFile lock(filePath + ".lock", shared_);
  if (!lock.ok()) return fail(lock.error());

  // Re-read under the lock so that another program's value is kept.
  QByteArray old;
  int err = 0;
  if (!readWhole(filePath, old, err)) return fail(err);
  const QByteArray updated = SetHiveValue(old, subKey, name, value);
  if (updated == old && !old.isEmpty()) return true;

  // Temporary files left by a writer that died: nobody else writes while we hold the lock.
  const QString baseName = info.fileName();
  const QDir dir(dirPath);
  for (const QString& stale : dir.entryList({baseName + QStringLiteral(".tmp-*")}, QDir::Files | QDir::Hidden | QDir::System))
    (void)::unlink(QFile::encodeName(dir.filePath(stale)).constData());

  QByteArray tmpl = filePath + ".tmp-XXXXXX";
  const int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
  if (fd < 0) return fail(errno);
  mode_t mode = shared_ ? 0666 : 0600;
  struct stat st {};
  if (!shared_ && ::stat(filePath.constData(), &st) == 0) mode = st.st_mode & 07777;
  (void)::fchmod(fd, mode);  // our own new file: only fails on exotic file systems
  err = 0;
  bool ok = writeAll(fd, updated) && ::fsync(fd) == 0;
  if (!ok) err = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (ok && ::rename(tmpl.constData(), filePath.constData()) != 0) {
    ok = false;
    err = errno;
  }
  if (!ok) {
    ::unlink(tmpl.constData());
    return fail(err ? err : EIO);
  }
  const int dfd = ::open(QFile::encodeName(dirPath).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    (void)::fsync(dfd);
    ::close(dfd);
  }
  return true;
}

}  // namespace davu::platform
