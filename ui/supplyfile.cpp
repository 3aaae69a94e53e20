#include "supplyfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <utility>

#include "samplefile.h"
#include "texts.h"

namespace segno {
namespace {

// Owns a file descriptor and closes it on the way out.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  // Closes now; false, with errno set, when the close reported an error.
  bool close() { return ::close(std::exchange(fd_, -1)) == 0; }

 private:
  int fd_;
};

// What stood in SAVE's way, from the error the system reported.
std::string saveFailure(int error) {
  switch (error) {
    case EISDIR:
      return texts::kSupplyIsFolder;
    case EACCES:
    case EPERM:
      return texts::kFolderNotWritable;
    case ENOSPC:
    case EDQUOT:
      return texts::kDiskFull;
    case EROFS:
      return texts::kReadOnlyFileSystem;
    default:
      return std::string(texts::kWriteFailed) + " (" + std::strerror(error) + ")";
  }
}

// The first bytes of the regular file at `path`, enough to tell that it is too large.
Result<std::string> readRegularFile(const std::string& path) {
  // Without O_NONBLOCK, opening a FIFO would wait for a writer and freeze the window.
  const Descriptor in(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat info {};
  if (in.get() < 0 || ::fstat(in.get(), &info) != 0) return {{}, texts::kFileUnreadable};
  if (!S_ISREG(info.st_mode)) return {{}, texts::kNotRegularFile};
  std::string bytes;
  std::array<char, 1 << 16> chunk{};
  while (bytes.size() <= kMaxFileBytes) {
    const ssize_t got = ::read(in.get(), chunk.data(), chunk.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return {{}, texts::kFileUnreadable};
    if (got == 0) break;
    bytes.append(chunk.data(), static_cast<size_t>(got));
  }
  return {std::move(bytes), {}};
}

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno != EINTR) return false;
    if (written > 0) bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

mode_t currentUmask() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

// Why the file at `target` may not be replaced, or nullopt when nothing protects it.
std::optional<std::string> protection(const std::string& target, struct stat& old) {
  if (::stat(target.c_str(), &old) != 0) return std::nullopt;
  if (S_ISDIR(old.st_mode)) return texts::kSupplyIsFolder;
  if (!S_ISREG(old.st_mode) || ::access(target.c_str(), W_OK) == 0) return std::nullopt;
  return errno == EROFS ? texts::kReadOnlyFileSystem : texts::kWriteProtected;
}

// Replaces the file at `path` with `bytes` through a synced temporary file in the same folder
// and one atomic rename, then syncs the folder so that the new name survives a power cut.
std::optional<std::string> replaceFile(const std::string& path, std::string_view bytes) {
  std::string target = path;  // a link is followed: the file it names is replaced
  if (char* real = ::realpath(path.c_str(), nullptr)) {
    target = real;
    std::free(real);
  }
  struct stat old {};
  if (auto reason = protection(target, old)) return reason;
  const bool replacing = S_ISREG(old.st_mode);
  std::string temporary = target + ".XXXXXX";
  Descriptor out(::mkstemp(temporary.data()));
  if (out.get() < 0) return saveFailure(errno);
  const mode_t mode = replacing ? old.st_mode & 07777 : 0666 & ~currentUmask();
  if (::fchmod(out.get(), mode) != 0 || !writeAll(out.get(), bytes) || ::fsync(out.get()) != 0 ||
      !out.close() || ::rename(temporary.c_str(), target.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    return saveFailure(error);
  }
  const std::string folder = target.substr(0, target.rfind('/') + 1);
  const Descriptor directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (directory.get() < 0 || ::fsync(directory.get()) != 0)
    return std::string(texts::kWriteFailed) + " (" + std::strerror(errno) + ")";
  return std::nullopt;
}

}  // namespace

std::optional<std::string> supplyPath(const char* exeLink) {
  std::array<char, PATH_MAX> buffer{};
  const ssize_t length = ::readlink(exeLink, buffer.data(), buffer.size());
  // A path that fills the whole buffer may have been cut short.
  if (length <= 0 || static_cast<size_t>(length) >= buffer.size()) return std::nullopt;
  const std::string_view exe(buffer.data(), static_cast<size_t>(length));
  const size_t slash = exe.rfind('/');
  if (slash == std::string_view::npos) return std::nullopt;
  return std::string(exe.substr(0, slash + 1)) + "supply.txt";
}

Notice loadSupply(FormState& state, const std::optional<std::string>& path) {
  const std::string refused = texts::kCannotLoad;
  if (!path) return refused + texts::kNoProgramFolder;
  const Result<std::string> bytes = readRegularFile(*path);
  if (!bytes.value) return refused + bytes.reason;
  const ReadResult read = readSampleFile(*bytes.value);
  if (!read.value) return refused + read.reason;
  applySampleFile(state, *read.value);
  return std::nullopt;
}

Notice saveSupply(const FormState& state, const std::optional<std::string>& path) {
  const std::string refused = texts::kCannotSave;
  if (!path) return refused + texts::kNoProgramFolder;
  const WriteResult text = writeSampleFile(state.net);
  if (!text.value) return refused + text.reason;
  if (auto reason = replaceFile(*path, *text.value)) return refused + *reason;
  return std::nullopt;
}

}  // namespace segno
