// An open file descriptor that closes itself: every folder and file the tag engine holds open
// while it works relative to it. One owner; moves, never copies.
#pragma once

#include <fcntl.h>
#include <unistd.h>

namespace host {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() { Reset(); }
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void Reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_ = -1;
};

// The plain steps on a descriptor the tag engine's other rooms need, so that they include no
// system header of their own.
inline int Duplicate(int fd) { return ::fcntl(fd, F_DUPFD_CLOEXEC, 0); }
inline bool Rewind(int fd) { return ::lseek(fd, 0, SEEK_SET) == 0; }
inline void CloseDescriptor(int fd) { ::close(fd); }

}  // namespace host
