#pragma once
// An open file whose bytes go out after a reply's own, read from disk a slice
// at a time as the socket takes them: a client that does not read holds one
// slice, not the file. The file stays open, so a file replaced meanwhile (a
// new program put in place) does not change what this reply sends.
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace davu::server {

class FileSlices {
 public:
  // Null when the file cannot be opened or is not a plain file.
  static std::shared_ptr<FileSlices> open(const std::string& path);
  ~FileSlices();
  FileSlices(const FileSlices&) = delete;
  FileSlices& operator=(const FileSlices&) = delete;

  // The size when opened: the bytes this reply sends.
  std::size_t size() const { return size_; }
  // Up to `max` bytes from `offset`; fewer only when the file was cut short
  // in place after it was opened, or cannot be read.
  std::string read(std::size_t offset, std::size_t max) const;
  // Whether any of `texts` occurs in the file, read a slice at a time.
  bool contains(const std::string_view* texts, std::size_t count) const;
  // Identifies the file's contents as long as nobody writes to it: device,
  // inode, size and change time.
  std::string identity() const { return identity_; }

 private:
  FileSlices(int fd, std::size_t size, std::string identity)
      : fd_(fd), size_(size), identity_(std::move(identity)) {}
  int fd_;
  std::size_t size_;
  std::string identity_;
};

}  // namespace davu::server
