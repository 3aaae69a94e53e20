#pragma once

#include <unistd.h>

#include <utility>

namespace segno {

// Owns a file descriptor and closes it on the way out.
class Descriptor {
 public:
  Descriptor() = default;
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Descriptor& operator=(Descriptor&& other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
  }
  int get() const { return fd_; }

 private:
  int fd_ = -1;
};

// The bound on every retry: of a call a signal interrupted or a write that stalled, of a lock
// that another SAVE or LOAD holds.
constexpr int kAttempts = 100;

// These two are defined beside LOAD's reading, in programfolder.cpp.
// Whether `fd` is a regular file that samples may be kept in: the kernel's interfaces (/proc,
// /sys, …) show regular files that are not.
bool isRegularFile(int fd);

// Takes a flock of `operation` (LOCK_SH or LOCK_EX) on `fd`, waiting a little while another
// SAVE or LOAD holds one, but never long enough to freeze the window; whether it has it.
bool lockSoon(int fd, int operation);

}  // namespace segno
