#include "disk.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>
#include <utility>

#include "texts.h"

namespace segno {
namespace {

// Owns a file descriptor and closes it on the way out.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
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
  int fd_;
};

// The steps of a SAVE: the same error means another thing in each.
enum class Step { Create, Write, Rename };

Failure saveFailure(Step step, int error) {
  switch (error) {
    case ENOSPC:
    case EDQUOT:
      return {texts::kDiskFull};
    case EROFS:
      return {texts::kReadOnlyFileSystem};
    case EACCES:
    case EPERM:
      // The temporary file is made in the folder, and only then renamed over the old file.
      if (step == Step::Create) return {texts::kFolderNotWritable};
      if (step == Step::Rename) return {texts::kWriteProtected};
      break;
    case ENOENT:
    case ENOTDIR:
      if (step == Step::Create) return {texts::kNoProgramFolder};
      break;
    case EISDIR:
      if (step == Step::Rename) return {texts::kSupplyIsFolder};
      break;
    default:
      break;
  }
  return {std::string(texts::kWriteFailed) + " (" + std::strerror(error) + ")"};
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

bool isSameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Why the file at `target` may not be replaced; `old` gets what stands there, if anything.
Result<> protection(const std::string& target, struct stat& old) {
  if (::stat(target.c_str(), &old) != 0) return {};
  if (S_ISDIR(old.st_mode)) return Failure{texts::kSupplyIsFolder};
  if (!S_ISREG(old.st_mode) || ::access(target.c_str(), W_OK) == 0) return {};
  return Failure{errno == EROFS ? texts::kReadOnlyFileSystem : texts::kWriteProtected};
}

// A temporary file's name: the target's, then a mark no one gives a copy of their own, then six
// letters or digits, as mkstemp makes them.
constexpr std::string_view kTemporaryMark = ".saving-";
constexpr size_t kRandomLetters = 6;
constexpr std::string_view kLetters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

bool isTemporaryOf(std::string_view name, std::string_view base) {
  const size_t mark = base.size() + kTemporaryMark.size();
  if (name.size() != mark + kRandomLetters || name.substr(0, base.size()) != base ||
      name.substr(base.size(), kTemporaryMark.size()) != kTemporaryMark)
    return false;
  return name.find_first_not_of(kLetters, mark) == std::string_view::npos;
}

std::string randomTemporaryName(const std::string& target) {
  std::random_device random;
  std::string name = target + std::string(kTemporaryMark);
  for (size_t i = 0; i < kRandomLetters; ++i) name += kLetters[random() % kLetters.size()];
  return name;
}

// A temporary file for the new content, locked while this SAVE holds it so that no other SAVE
// takes it for a leftover. It stays unnamed until it is complete where the file system allows,
// so that a SAVE killed half-way leaves nothing behind.
struct Temporary {
  Descriptor fd;
  std::string name;  // empty while unnamed
};

Result<Temporary> createTemporary(const std::string& target, const std::string& folder) {
  Temporary file{Descriptor(::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600)), {}};
  if (file.fd.get() >= 0) {
    ::flock(file.fd.get(), LOCK_EX);
    return file;
  }
  if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
    return saveFailure(Step::Create, errno);
  while (true) {  // a file system without unnamed files (vfat, NFS)
    file.name = target + std::string(kTemporaryMark) + "XXXXXX";
    file.fd = Descriptor(::mkstemp(file.name.data()));
    if (file.fd.get() < 0) return saveFailure(Step::Create, errno);
    ::flock(file.fd.get(), LOCK_EX);
    // Another SAVE may have taken it for a leftover before the lock: then it is gone.
    struct stat info {};
    if (::fstat(file.fd.get(), &info) == 0 && info.st_nlink > 0) return file;
  }
}

// Names an unnamed temporary file beside the target, just before the rename.
Result<> nameTemporary(Temporary& file, const std::string& target) {
  if (!file.name.empty()) return {};
  const std::string self = "/proc/self/fd/" + std::to_string(file.fd.get());
  while (true) {
    std::string name = randomTemporaryName(target);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      file.name = std::move(name);
      return {};
    }
    if (errno != EEXIST) return saveFailure(Step::Create, errno);
  }
}

// Closing a duplicate reports what closing the file would (NFS writes back then), while the
// original keeps the lock, and an unnamed file its only handle, until the rename.
bool closeReportsNoError(int fd) {
  return ::close(::dup(fd)) == 0;
}

// Fills the temporary file, syncs it, and renames it over the target. A file system without
// permissions (vfat) may refuse to set them; the content matters more.
Result<> putInPlace(Temporary& file, std::string_view bytes, mode_t mode,
                    const std::string& target) {
  const int fd = file.fd.get();
  ::fchmod(fd, mode);
  if (!writeAll(fd, bytes) || ::fsync(fd) != 0 || !closeReportsNoError(fd))
    return saveFailure(Step::Write, errno);
  if (Result<> named = nameTemporary(file, target); !named.ok()) return named;
  if (::rename(file.name.c_str(), target.c_str()) != 0) return saveFailure(Step::Rename, errno);
  return {};
}

// Removes the temporary files of SAVEs that were killed half-way: those no running SAVE locks.
void removeLeftovers(int folder, std::string_view base) {
  DIR* listing = ::fdopendir(::dup(folder));
  if (listing == nullptr) return;
  while (const dirent* entry = ::readdir(listing)) {
    if (!isTemporaryOf(entry->d_name, base)) continue;
    const int flags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;  // a lock needs a descriptor
    Descriptor file(::openat(folder, entry->d_name, O_RDONLY | flags));
    if (file.get() < 0) file = Descriptor(::openat(folder, entry->d_name, O_WRONLY | flags));
    struct stat opened {};
    struct stat named {};
    if (file.get() < 0 || ::flock(file.get(), LOCK_EX | LOCK_NB) != 0 ||
        ::fstat(file.get(), &opened) != 0 ||
        ::fstatat(folder, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) != 0)
      continue;
    if (S_ISREG(named.st_mode) && isSameFile(opened, named)) ::unlinkat(folder, entry->d_name, 0);
  }
  ::closedir(listing);
}

// Syncs the folder so that the new name survives a power cut, then tidies it. A folder this
// user may not read cannot be synced: the file itself already is, so SAVE goes without.
Replaced settleFolder(const std::string& folder, std::string_view base) {
  const Descriptor directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (directory.get() < 0 && errno == EACCES) return {};
  if (directory.get() < 0 || ::fsync(directory.get()) != 0)
    return {std::string(texts::kSavedNotSynced) + " (" + std::strerror(errno) + ")"};
  removeLeftovers(directory.get(), base);
  return {};
}

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

ProgramFolder::ProgramFolder(std::string programLink) : link_(std::move(programLink)), folder_(-1) {
  if (const Result<std::string> folder = linkedFolder(link_.c_str()); folder.ok())
    folder_ = ::open(folder.value().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
}

ProgramFolder::~ProgramFolder() {
  if (folder_ >= 0) ::close(folder_);
}

Result<std::string> ProgramFolder::path() const {
  Result<std::string> folder = linkedFolder(link_.c_str());
  struct stat named {};
  struct stat held {};
  // The folder at that path now must be the one this program started in.
  if (!folder.ok() || ::stat(folder.value().c_str(), &named) != 0 || ::fstat(folder_, &held) != 0 ||
      !isSameFile(named, held))
    return Failure{texts::kNoProgramFolder};
  return folder;
}

Result<std::string> readRegularFile(const std::string& path, size_t maxBytes) {
  // Without O_NONBLOCK, opening a FIFO would wait for a writer and freeze the window.
  const Descriptor in(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat info {};
  if (in.get() < 0) {  // a socket cannot be opened at all
    const bool special = ::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode);
    return Failure{special ? texts::kNotRegularFile : texts::kFileUnreadable};
  }
  if (::fstat(in.get(), &info) != 0) return Failure{texts::kFileUnreadable};
  if (!S_ISREG(info.st_mode)) return Failure{texts::kNotRegularFile};
  std::string bytes;
  std::array<char, 1 << 16> chunk{};
  while (bytes.size() <= maxBytes) {
    const ssize_t got = ::read(in.get(), chunk.data(), chunk.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return Failure{texts::kFileUnreadable};
    if (got == 0) break;
    bytes.append(chunk.data(), static_cast<size_t>(got));
  }
  return bytes;
}

Result<Replaced> replaceFile(const std::string& path, std::string_view bytes) {
  std::string target = path;
  if (char* real = ::realpath(path.c_str(), nullptr)) {
    target = real;
    std::free(real);
  }
  struct stat old {};
  if (Result<> protectedFile = protection(target, old); !protectedFile.ok())
    return protectedFile.failure();
  const size_t slash = target.rfind('/') + 1;
  const std::string folder = target.substr(0, slash);
  Result<Temporary> created = createTemporary(target, folder);
  if (!created.ok()) return created.failure();
  Temporary file = std::move(created).value();
  const mode_t mode = S_ISREG(old.st_mode) ? old.st_mode & 07777 : 0666 & ~currentUmask();
  if (Result<> placed = putInPlace(file, bytes, mode, target); !placed.ok()) {
    if (!file.name.empty()) ::unlink(file.name.c_str());
    return placed.failure();
  }
  return settleFolder(folder, std::string_view(target).substr(slash));
}

}  // namespace segno
