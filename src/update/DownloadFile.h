#pragma once
// A program file as it is downloaded: its bytes go to a temporary file beside
// the local copy as they arrive, so a download is never held in memory. The
// file is created at the first bytes and removed again unless it was taken
// (ProgramInstaller renames it over the local copy). A write that fails is
// remembered, and later bytes are dropped: the installer says why.
#include <QString>
#include <string>
#include <string_view>

namespace davu {

class DownloadFile {
 public:
  // The temporary file is "<target>.XXXXXX".
  explicit DownloadFile(QString target);
  ~DownloadFile();
  DownloadFile(const DownloadFile&) = delete;
  DownloadFile& operator=(const DownloadFile&) = delete;

  void append(std::string_view bytes);
  // Flushes the bytes to the disk, gives the file `mode` and closes it.
  // False when any write failed; error() says why.
  bool finish(mode_t mode = 0755);
  // Renames the finished file over `target`; false (error() says why) when
  // that failed, and the file is then still this object's.
  bool moveIntoPlace();
  bool failed() const { return !error_.isEmpty(); }
  QString error() const { return error_; }
  QString path() const;
  std::size_t size() const { return size_; }
  // Removes the file; later bytes start a new one.
  void discard();

 private:
  bool open();

  QString target_;
  std::string path_;  // empty until the first bytes
  int fd_ = -1;
  std::size_t size_ = 0;
  QString error_;
};

}  // namespace davu
