#include "disk.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <random>
#include <utility>

#include "texts.h"

namespace segno {
namespace {

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

// The bound on every retry: of a call a signal interrupted, of a name already taken.
constexpr int kAttempts = 100;

// The steps of a SAVE: the same error means another thing in each.
enum class Step { Create, Write, Replace };

Failure saveFailure(Step step, int error) {
  switch (error) {
    case ENOSPC:
    case EDQUOT:
      return {texts::kDiskFull};
    case EROFS:
      return {texts::kReadOnlyFileSystem};
    case EACCES:
    case EPERM:
      // The temporary file is made in the folder; only the old file is renamed over or written.
      if (step == Step::Create) return {texts::kFolderNotWritable};
      if (step == Step::Replace) return {texts::kWriteProtected};
      break;
    case ENOENT:
    case ENOTDIR:
      if (step == Step::Create) return {texts::kNoProgramFolder};
      break;
    case EISDIR:
      if (step == Step::Replace) return {texts::kSupplyIsFolder};
      break;
    default:
      break;
  }
  return {std::string(texts::kWriteFailed) + " (" + std::strerror(error) + ")"};
}

bool writeAll(int fd, std::string_view bytes) {
  for (int stalled = 0; !bytes.empty();) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written > 0) {
      bytes.remove_prefix(static_cast<size_t>(written));
    } else if ((written < 0 && errno != EINTR) || ++stalled == kAttempts) {
      if (written == 0) errno = EIO;
      return false;
    }
  }
  return true;
}

// Closing a duplicate reports what closing the file would (NFS writes back then), while the
// original keeps the lock, and an unnamed file its only handle, until the rename.
bool closeReportsNoError(int fd) {
  return ::close(::dup(fd)) == 0;
}

bool isSameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// A temporary file's name: the target's, a mark, and the file's own number. Only SAVE names a
// file after its own number, so a name that matches proves that SAVE left the file.
constexpr std::string_view kMark = ".saving-";

std::string temporaryName(const std::string& target, ino_t number) {
  std::array<char, 17> digits{};
  std::snprintf(digits.data(), digits.size(), "%016llx", static_cast<unsigned long long>(number));
  return target + std::string(kMark) + digits.data();
}

// The file that a name in a folder leads to, links followed: its folder, and its name there.
struct Target {
  Descriptor folder;
  std::string name;
};

constexpr int kMaxLinks = 40;  // as many as the system itself follows in one path

Result<Target> followLinks(int folder, const std::string& name) {
  Target target{Descriptor(::fcntl(folder, F_DUPFD_CLOEXEC, 0)), name};
  for (int links = 0; links < kMaxLinks; ++links) {
    std::array<char, PATH_MAX> text{};
    const ssize_t length =
        ::readlinkat(target.folder.get(), target.name.c_str(), text.data(), text.size());
    if (length < 0) return target;  // not a link, or nothing there yet: the file goes here
    if (static_cast<size_t>(length) == text.size()) return saveFailure(Step::Write, ENAMETOOLONG);
    const std::string_view link(text.data(), static_cast<size_t>(length));
    const size_t slash = link.rfind('/');
    if (slash != std::string_view::npos) {
      const std::string parent(link.substr(0, slash + 1));
      Descriptor next(
          ::openat(target.folder.get(), parent.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
      if (next.get() < 0) return saveFailure(Step::Write, errno);
      target.folder = std::move(next);
    }
    target.name = std::string(link.substr(slash + 1));  // all of it when there is no slash
  }
  return saveFailure(Step::Write, ELOOP);
}

// Why the file that `old` describes may not be replaced.
Result<> protection(const Target& target, const struct stat& old) {
  if (S_ISDIR(old.st_mode)) return Failure{texts::kSupplyIsFolder};
  if (!S_ISREG(old.st_mode)) return Failure{texts::kNotRegularFile};
  // Gone meanwhile (where a rename over it is not atomic): it is made anew.
  if (::faccessat(target.folder.get(), target.name.c_str(), W_OK, AT_EACCESS) == 0 ||
      errno == ENOENT)
    return {};
  return Failure{errno == EROFS ? texts::kReadOnlyFileSystem : texts::kWriteProtected};
}

// Whether any process holds a lock on the file: a record lock of either kind, or a flock.
bool isLocked(int fd) {
  struct flock probe {};
  probe.l_type = F_WRLCK;
  probe.l_whence = SEEK_SET;
  if (::fcntl(fd, F_OFD_GETLK, &probe) != 0 || probe.l_type != F_UNLCK) return true;
  return ::flock(fd, LOCK_EX | LOCK_NB) != 0;  // held until the descriptor closes
}

// Removes `name` when it is what a killed SAVE left: a temporary file by its name and number,
// with no other name, that no live process holds a lock on.
void removeIfLeftover(int folder, const char* name, const std::string& base) {
  const int flags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
  Descriptor file(::openat(folder, name, O_RDWR | flags));  // NFS locks only what it may write
  if (file.get() < 0) file = Descriptor(::openat(folder, name, O_RDONLY | flags));
  struct stat info {};
  if (file.get() < 0 || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
      info.st_nlink != 1 || name != temporaryName(base, info.st_ino) || isLocked(file.get()))
    return;
  ::unlinkat(folder, name, 0);
}

// Removes the temporary files of SAVEs killed half-way from the folder that `listing` reads.
void removeLeftovers(int listing, const std::string& base) {
  const int own = ::fcntl(listing, F_DUPFD_CLOEXEC, 0);  // the listing closes what it is given
  DIR* entries = own >= 0 ? ::fdopendir(own) : nullptr;
  if (entries == nullptr) {
    if (own >= 0) ::close(own);
    return;
  }
  const std::string prefix = base + std::string(kMark);
  while (const dirent* entry = ::readdir(entries)) {
    if (std::string_view(entry->d_name).starts_with(prefix))
      removeIfLeftover(listing, entry->d_name, base);
  }
  ::closedir(entries);
}

// The new content's file, locked while this SAVE runs so that no other SAVE takes it for a
// leftover.
struct Temporary {
  Descriptor fd;
  std::string name;  // empty while unnamed
};

constexpr std::string_view kLetters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

// A file named from the start, where the file system has no unnamed ones. It takes the name
// that the clean-up looks at only once it is locked.
Temporary createNamedTemporary(const Target& target, mode_t mode) {
  const int folder = target.folder.get();
  std::random_device random;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    std::string first = target.name + std::string(kMark);
    for (int i = 0; i < 6; ++i) first += kLetters[random() % kLetters.size()];
    Temporary file{Descriptor(::openat(folder, first.c_str(),
                                       O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode)),
                   {}};
    if (file.fd.get() < 0 && errno == EEXIST) continue;
    if (file.fd.get() < 0) return file;
    ::flock(file.fd.get(), LOCK_SH);  // shared, so that a descriptor by its new name shares it
    struct stat made {};
    if (::fstat(file.fd.get(), &made) == 0) file.name = temporaryName(target.name, made.st_ino);
    if (file.name.empty() || ::renameat(folder, first.c_str(), folder, file.name.c_str()) != 0) {
      const int error = errno;
      ::unlinkat(folder, first.c_str(), 0);
      errno = error;
      return {};
    }
    // Written through its new name where it can be: FAT over FUSE misplaces what is written to
    // a file renamed while open.
    Descriptor renamed(
        ::openat(folder, file.name.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat found {};
    if (renamed.get() >= 0 && ::fstat(renamed.get(), &found) == 0 && isSameFile(found, made) &&
        ::flock(renamed.get(), LOCK_SH) == 0)
      file.fd = std::move(renamed);
    return file;
  }
  errno = EEXIST;
  return {};
}

// A new file beside the target, or none with errno set. Unnamed where the file system allows,
// so that a SAVE killed half-way leaves nothing behind.
Temporary createTemporary(const Target& target, mode_t mode, const SaveSeams& seams) {
  Temporary file;
  file.fd = Descriptor(seams.openUnnamed(target.folder.get(), mode));
  if (file.fd.get() >= 0) ::flock(file.fd.get(), LOCK_EX);
  if (file.fd.get() >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL))
    return file;
  return createNamedTemporary(target, mode);
}

// Gives the new file the old one's owner, group and mode, as far as this user may; whether it
// has all three now.
bool takeOver(int fd, const struct stat& old) {
  struct stat made {};
  if (::fstat(fd, &made) == 0 && (made.st_uid != old.st_uid || made.st_gid != old.st_gid))
    (void)::fchown(fd, old.st_uid, old.st_gid);
  (void)::fchmod(fd, old.st_mode & 07777);  // after fchown, which may clear set-id bits
  return ::fstat(fd, &made) == 0 && made.st_uid == old.st_uid && made.st_gid == old.st_gid &&
         (made.st_mode & 07777) == (old.st_mode & 07777);
}

// Names an unnamed file beside the target, just before the rename.
Result<> nameTemporary(Temporary& file, const Target& target) {
  struct stat info {};
  if (!file.name.empty()) return {};
  if (::fstat(file.fd.get(), &info) != 0) return saveFailure(Step::Write, errno);
  std::string name = temporaryName(target.name, info.st_ino);
  const std::string self = "/proc/self/fd/" + std::to_string(file.fd.get());
  if (::linkat(AT_FDCWD, self.c_str(), target.folder.get(), name.c_str(), AT_SYMLINK_FOLLOW) != 0)
    return saveFailure(Step::Create, errno);
  file.name = std::move(name);
  return {};
}

// Fills the temporary file, syncs it, and renames it over the target; leftovers go just before.
Result<> putInPlace(Temporary& file, const Target& target, std::string_view bytes, int listing,
                    const SaveSeams& seams) {
  const int fd = file.fd.get();
  if (!writeAll(fd, bytes) || ::fsync(fd) != 0 || !closeReportsNoError(fd))
    return saveFailure(Step::Write, errno);
  if (Result<> named = nameTemporary(file, target); !named.ok()) return named;
  removeLeftovers(listing, target.name);
  if (seams.beforeRename) seams.beforeRename();
  const int folder = target.folder.get();
  if (::renameat(folder, file.name.c_str(), folder, target.name.c_str()) != 0)
    return saveFailure(Step::Replace, errno);
  file.name.clear();  // the target's name now
  return {};
}

// Writes into the file itself, where a new file could not be what the old one is. The space is
// reserved before the first old byte is overwritten, and the length set after.
Result<Replaced> writeInPlace(const Target& target, std::string_view bytes) {
  const Descriptor file(::openat(target.folder.get(), target.name.c_str(),
                                 O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat info {};
  if (file.get() < 0) return saveFailure(Step::Replace, errno);
  if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode))
    return Failure{texts::kNotRegularFile};
  const auto size = static_cast<off_t>(bytes.size());
  if (::fallocate(file.get(), FALLOC_FL_KEEP_SIZE, 0, size) != 0 && errno != EOPNOTSUPP)
    return saveFailure(Step::Write, errno);
  if (!writeAll(file.get(), bytes) || ::ftruncate(file.get(), size) != 0 ||
      ::fsync(file.get()) != 0 || !closeReportsNoError(file.get()))
    return saveFailure(Step::Write, errno);
  return Replaced{};
}

// After the rename: syncs the folder so that the new name survives a power cut. A folder this
// user may not read cannot be synced; the file itself already is, so SAVE goes without.
Replaced settle(int listing, int listingError, const SaveSeams& seams) {
  if (listing < 0 && listingError == EACCES) return {};
  if (listing >= 0 && seams.syncFolder(listing) == 0) return {};
  const int error = listing < 0 ? listingError : errno;
  return {std::string(texts::kSavedNotSynced) + " (" + std::strerror(error) + ")"};
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

Result<int> ProgramFolder::handle() const {
  const Result<std::string> folder = linkedFolder(link_.c_str());
  struct stat named {};
  struct stat held {};
  if (!folder.ok() || ::stat(folder.value().c_str(), &named) != 0 || ::fstat(folder_, &held) != 0 ||
      !isSameFile(named, held))
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
  if (::fstat(in.get(), &info) != 0) return Failure{texts::kFileUnreadable};
  if (!S_ISREG(info.st_mode)) return Failure{texts::kNotRegularFile};
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

Result<Replaced> replaceFile(int folder, const std::string& name, std::string_view bytes,
                             const SaveSeams& seams) {
  Result<Target> found = followLinks(folder, name);
  if (!found.ok()) return found.failure();
  const Target target = std::move(found).value();
  struct stat old {};
  const bool exists =
      ::fstatat(target.folder.get(), target.name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0;
  if (Result<> refused = exists ? protection(target, old) : Result<>(); !refused.ok())
    return refused.failure();
  // Read for leftovers before the rename and synced after it.
  const Descriptor listing(::openat(target.folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  const int listingError = errno;
  Temporary file = createTemporary(target, exists ? 0600 : 0666, seams);
  if (file.fd.get() < 0) {
    const int error = errno;
    if (exists && (error == EACCES || error == EPERM)) return writeInPlace(target, bytes);
    return saveFailure(Step::Create, error);
  }
  const bool keepsWhatItWas = !exists || takeOver(file.fd.get(), old);
  Result<> placed =
      keepsWhatItWas ? putInPlace(file, target, bytes, listing.get(), seams) : Result<>();
  if (!file.name.empty()) ::unlinkat(target.folder.get(), file.name.c_str(), 0);
  if (!keepsWhatItWas) return writeInPlace(target, bytes);
  if (!placed.ok()) return placed.failure();
  return settle(listing.get(), listingError, seams);
}

}  // namespace segno
