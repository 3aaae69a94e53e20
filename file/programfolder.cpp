#include "programfolder.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/vfs.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <ctime>

#include "descriptor.h"
#include "texts.h"

namespace segno {
namespace {

// The folder of the program that `programLink` names, as its text says.
Result<std::string> linkedFolder(const char* programLink) {
  std::array<char, PATH_MAX> buffer{};
  const ssize_t length = ::readlink(programLink, buffer.data(), buffer.size());
  // A path that fills the whole buffer may have been cut short.
  if (length <= 0 || static_cast<size_t>(length) >= buffer.size())
    return Failure{texts::kNoProgramFolder};
  const std::string_view program(buffer.data(), static_cast<size_t>(length));
  const size_t slash = program.rfind('/');
  if (slash == std::string_view::npos) return Failure{texts::kNoProgramFolder};
  return std::string(program.substr(0, slash + 1));
}

}  // namespace

bool isRegularFile(int fd) {
  struct stat info {};
  struct statfs disk {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || ::fstatfs(fd, &disk) != 0) return false;
  constexpr std::array<decltype(disk.f_type), 8> kKernelInterfaces{
      PROC_SUPER_MAGIC, SYSFS_MAGIC,         DEBUGFS_MAGIC, TRACEFS_MAGIC,
      SECURITYFS_MAGIC, CGROUP2_SUPER_MAGIC, BPF_FS_MAGIC,  EFIVARFS_MAGIC};
  return std::ranges::find(kKernelInterfaces, disk.f_type) == kKernelInterfaces.end();
}

bool lockSoon(int fd, int operation) {
  const timespec pause{0, 20'000'000};  // a SAVE holds its lock for a few syncs
  for (int attempt = 1; ::flock(fd, operation | LOCK_NB) != 0; ++attempt) {
    if (errno == ENOLCK) return true;  // NFS without its lock service: no lock to wait for
    if (attempt == kAttempts || (errno != EWOULDBLOCK && errno != EINTR)) return false;
    ::nanosleep(&pause, nullptr);
  }
  return true;
}

ProgramFolder::ProgramFolder(std::string programLink) : link_(std::move(programLink)), folder_(-1) {
  if (const Result<std::string> folder = linkedFolder(link_.c_str()); folder.ok())
    folder_ = ::open(folder.value().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
}

ProgramFolder::~ProgramFolder() {
  if (folder_ >= 0) ::close(folder_);
}

Result<int> ProgramFolder::handle() const {
  const Result<std::string> folder = linkedFolder(link_.c_str());
  struct stat named {};
  struct stat held {};
  if (!folder.ok() || ::stat(folder.value().c_str(), &named) != 0 || ::fstat(folder_, &held) != 0 ||
      named.st_dev != held.st_dev || named.st_ino != held.st_ino)
    return Failure{texts::kNoProgramFolder};
  return folder_;
}

Result<std::string> readRegularFile(int folder, const std::string& name, size_t maxBytes) {
  // Without O_NONBLOCK, opening a FIFO would wait for a writer and freeze the window.
  const Descriptor in(::openat(folder, name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat info {};
  if (in.get() < 0) {  // a socket cannot be opened at all
    const bool special = ::fstatat(folder, name.c_str(), &info, 0) == 0 && !S_ISREG(info.st_mode);
    return Failure{special ? texts::kNotRegularFile : texts::kFileUnreadable};
  }
  if (!isRegularFile(in.get())) return Failure{texts::kNotRegularFile};
  if (!lockSoon(in.get(), LOCK_SH)) return Failure{texts::kFileInUse};
  std::string bytes;
  std::array<char, 1 << 16> chunk{};
  for (int interrupted = 0; bytes.size() <= maxBytes;) {
    const size_t wanted = std::min(chunk.size(), maxBytes + 1 - bytes.size());
    const ssize_t got = ::read(in.get(), chunk.data(), wanted);
    if (got == 0) break;
    if (got > 0)
      bytes.append(chunk.data(), static_cast<size_t>(got));
    else if (errno != EINTR || ++interrupted == kAttempts)
      return Failure{texts::kFileUnreadable};
  }
  return bytes;
}

}  // namespace segno
