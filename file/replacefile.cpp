#include "replacefile.h"

#include <dirent.h>
#include <linux/fs.h>
#include <linux/limits.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <random>

#include "descriptor.h"
#include "programfolder.h"
#include "texts.h"

namespace segno {
namespace {

// The file that SAVE replaces, where an ordinary open of its name leads.
struct Target {
  Descriptor file;     // open for writing; -1 while there is no file yet
  Descriptor folder;   // the folder that holds it, O_PATH; -1 when it cannot be named
  Descriptor listing;  // the same folder open for reading, -1 when it may not be read
  int listingError = 0;
  std::string name;        // the file's name in that folder
  bool renamable = false;  // whether a new file renamed over it keeps everything it was
};

// The new content's file beside the target, locked while this SAVE runs so that no other SAVE
// takes it for a leftover. It removes its own name on the way out unless it was renamed.
class TemporaryFile {
 public:
  TemporaryFile(const Target& target, const SaveSeams& seams);  // errno says why when !made()
  ~TemporaryFile();
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  bool made() const { return file_.get() >= 0; }
  int fd() const { return file_.get(); }
  Result<> renameOverTarget(const SaveSeams& seams);  // names it, then the rename

 private:
  void createNamed(mode_t mode);
  const Target& target_;
  Descriptor file_;
  std::string name_;  // empty while unnamed, and once renamed
};

enum class Step { Create, Write, Replace };  // the same error means another thing in each
Result<Target> findTarget(int folder, const std::string& name);
bool takeOver(int fd, int old);
bool writeAt(int fd, std::string_view bytes, off_t offset);
bool closeReportsNoError(int fd);
Result<Replaced> writeInto(const Target& target, std::string_view bytes, const SaveSeams& seams);
Replaced syncFolder(const Target& target, const SaveSeams& seams);
Failure saveFailure(Step step, int error);

}  // namespace

Result<Replaced> replaceFile(int folder, const std::string& name, std::string_view bytes,
                             const SaveSeams& seams) {
  const Result<Target> found = findTarget(folder, name);
  if (!found.ok()) return found.failure();
  const Target& target = found.value();
  const bool exists = target.file.get() >= 0;
  if (exists && !target.renamable) return writeInto(target, bytes, seams);
  TemporaryFile temporary(target, seams);
  if (!temporary.made()) {
    if (exists && (errno == EACCES || errno == EPERM)) return writeInto(target, bytes, seams);
    return saveFailure(Step::Create, errno);
  }
  if (exists && !takeOver(temporary.fd(), target.file.get()))
    return writeInto(target, bytes, seams);
  if (!writeAt(temporary.fd(), bytes, 0) || seams.sync(temporary.fd()) != 0 ||
      !closeReportsNoError(temporary.fd()))
    return saveFailure(Step::Write, errno);
  if (Result<> renamed = temporary.renameOverTarget(seams); !renamed.ok()) return renamed.failure();
  return syncFolder(target, seams);
}

namespace {

bool isSameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether `name` in `folder` is, itself, the file that `file` describes (and so not a link).
bool namesFile(int folder, const std::string& name, const struct stat& file) {
  struct stat named {};
  return folder >= 0 && ::fstatat(folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
         isSameFile(named, file);
}

std::string selfPath(int fd) {
  return "/proc/self/fd/" + std::to_string(fd);
}

// Sets the folder and name by which a new file can be renamed over the target: the name
// asked for when it is no link, else the path the system followed, checked to lead there.
void locate(Target& target, int folder, const std::string& name, const struct stat& file) {
  target.name = name;
  target.folder = Descriptor(::fcntl(folder, F_DUPFD_CLOEXEC, 0));
  if (target.file.get() < 0 || namesFile(folder, name, file)) return;
  std::array<char, PATH_MAX> path{};
  const ssize_t length = ::readlink(selfPath(target.file.get()).c_str(), path.data(), path.size());
  const std::string_view followed(path.data(), static_cast<size_t>(std::max<ssize_t>(length, 0)));
  const size_t slash = followed.rfind('/');
  target.folder = Descriptor();
  if (!followed.starts_with('/') || slash == std::string_view::npos) return;
  target.name = std::string(followed.substr(slash + 1));
  const std::string parent(followed.substr(0, slash + 1));
  target.folder = Descriptor(::open(parent.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!namesFile(target.folder.get(), target.name, file)) target.folder = Descriptor();
}

// The flags of an open file or folder that a user may set (chattr), 0 where there are none.
std::optional<unsigned> fileFlags(int fd) {
  unsigned flags = 0;
  if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) return flags & FS_FL_USER_MODIFIABLE;
  if (errno == ENOTTY || errno == EOPNOTSUPP || errno == EINVAL) return 0u;
  return std::nullopt;
}

// A folder whose names cannot be renamed or removed would keep a temporary file for good.
bool keepsEveryName(const Target& target) {
  const std::optional<unsigned> flags = fileFlags(target.listing.get());
  return target.listing.get() >= 0 && flags && (*flags & (FS_APPEND_FL | FS_IMMUTABLE_FL)) != 0;
}

Result<Target> findTarget(int folder, const std::string& name) {
  Target target;
  // The system follows links as it would for any program, with its own protections.
  Descriptor found(::openat(folder, name.c_str(), O_PATH | O_CLOEXEC));
  struct stat file {};
  if (found.get() < 0 && errno == ENOENT &&
      ::fstatat(folder, name.c_str(), &file, AT_SYMLINK_NOFOLLOW) == 0) {
    // A link to a file yet to be made: the system makes it where the link leads.
    found = Descriptor(::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
    if (found.get() < 0) return saveFailure(Step::Write, errno);
  }
  if (found.get() < 0 && errno != ENOENT) return saveFailure(Step::Replace, errno);
  if (found.get() >= 0) {
    if (::fstat(found.get(), &file) != 0) return saveFailure(Step::Write, errno);
    if (S_ISDIR(file.st_mode)) return Failure{texts::kSupplyIsFolder};
    if (!isRegularFile(found.get())) return Failure{texts::kNotRegularFile};
    // Opened again for writing through the handle, so it is the file just looked at.
    target.file =
        Descriptor(::open(selfPath(found.get()).c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
    if (target.file.get() < 0) return saveFailure(Step::Replace, errno);
  }
  locate(target, folder, name, file);
  if (target.folder.get() >= 0) {
    target.listing =
        Descriptor(::openat(target.folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    target.listingError = errno;
  }
  target.renamable = target.folder.get() >= 0 && file.st_nlink <= 1 && !keepsEveryName(target);
  if (found.get() < 0 && !target.renamable) {  // a new file then gets its name at once
    target.file =
        Descriptor(::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (target.file.get() < 0) return saveFailure(Step::Create, errno);
  }
  return target;
}

using Attributes = std::map<std::string, std::string>;

// Every extended attribute of a file, its access list among them; none where the file system
// keeps none.
std::optional<Attributes> attributes(int fd) {
  std::string names(XATTR_LIST_MAX, '\0');
  const ssize_t length = ::flistxattr(fd, names.data(), names.size());
  if (length < 0) return errno == ENOTSUP ? std::optional(Attributes{}) : std::nullopt;
  Attributes found;
  std::string value(XATTR_SIZE_MAX, '\0');
  for (const char* name = names.data(); name < names.data() + length; name += strlen(name) + 1) {
    const ssize_t size = ::fgetxattr(fd, name, value.data(), value.size());
    if (size < 0) return std::nullopt;
    found[name] = value.substr(0, static_cast<size_t>(size));
  }
  return found;
}

// Gives the new file everything that says who may use the old one, as far as this user may:
// owner, group, mode, access list and other extended attributes, flags. Whether it has all of
// them now, and nothing more: a default access list of the folder must not widen the file.
bool takeOver(int fd, int old) {
  struct stat was {};
  struct stat now {};
  const std::optional<Attributes> wanted = attributes(old);
  const std::optional<unsigned> flags = fileFlags(old);
  const std::optional<Attributes> had = attributes(fd);
  if (::fstat(old, &was) != 0 || !wanted || !flags || !had) return false;
  (void)::fchown(fd, was.st_uid, was.st_gid);
  for (const auto& [name, value] : *had)
    if (!wanted->contains(name)) (void)::fremovexattr(fd, name.c_str());
  for (const auto& [name, value] : *wanted)
    (void)::fsetxattr(fd, name.c_str(), value.data(), value.size(), 0);
  (void)::fchmod(fd, was.st_mode & 07777);  // after fchown, which may clear set-id bits
  if (fileFlags(fd) != flags) (void)::ioctl(fd, FS_IOC_SETFLAGS, &*flags);
  return ::fstat(fd, &now) == 0 && now.st_uid == was.st_uid && now.st_gid == was.st_gid &&
         now.st_mode == was.st_mode && attributes(fd) == wanted && fileFlags(fd) == flags;
}

bool writeAt(int fd, std::string_view bytes, off_t offset) {
  for (int stalled = 0; !bytes.empty();) {
    const ssize_t written = ::pwrite(fd, bytes.data(), bytes.size(), offset);
    if (written > 0) {
      bytes.remove_prefix(static_cast<size_t>(written));
      offset += written;
    } else if ((written < 0 && errno != EINTR) || ++stalled == kAttempts) {
      if (written == 0) errno = EIO;
      return false;
    }
  }
  return true;
}

// Closing a duplicate reports what closing the file would (NFS writes back then), while the
// original keeps its lock, and an unnamed file its only handle, until the end.
bool closeReportsNoError(int fd) {
  return ::close(::dup(fd)) == 0;
}

// No sample file starts with a letter, and LOAD refuses one where the first cell should be.
constexpr std::string_view kUnreadableMark = "x";

// Writes into the file itself, under a lock that other SAVEs and LOADs respect. The first byte
// is marked unreadable and synced before the rest is written, and put back last: a kill, an
// error or a power cut leaves the old samples, the new ones, or a file that LOAD refuses.
Result<Replaced> writeInto(const Target& target, std::string_view bytes, const SaveSeams& seams) {
  const int fd = target.file.get();
  if (!lockSoon(fd, LOCK_EX)) return Failure{texts::kFileInUse};
  const auto size = static_cast<off_t>(bytes.size());
  // A full disk is found before the first old byte is overwritten.
  if (::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, size) != 0 && errno != EOPNOTSUPP)
    return saveFailure(Step::Write, errno);
  if (!writeAt(fd, kUnreadableMark, 0)) return saveFailure(Step::Write, errno);
  if (seams.sync(fd) != 0 || !writeAt(fd, bytes.substr(1), 1) || ::ftruncate(fd, size) != 0 ||
      seams.sync(fd) != 0 || !writeAt(fd, bytes.substr(0, 1), 0) || seams.sync(fd) != 0 ||
      !closeReportsNoError(fd))
    return Failure{std::string(texts::kWriteInterrupted) + " (" + std::strerror(errno) + ")"};
  return Replaced{};
}

// After the rename: syncs the folder so that the new name survives a power cut. A folder this
// user may not read cannot be synced; the file itself already is, so SAVE goes without.
Replaced syncFolder(const Target& target, const SaveSeams& seams) {
  const int listing = target.listing.get();
  if (listing < 0 && target.listingError == EACCES) return {};
  if (listing >= 0 && seams.sync(listing) == 0) return {};
  const int error = listing < 0 ? target.listingError : errno;
  return {std::string(texts::kSavedNotSynced) + " (" + std::strerror(error) + ")"};
}

Failure saveFailure(Step step, int error) {
  switch (error) {
    case ENOSPC:
    case EDQUOT:
      return {texts::kDiskFull};
    case EROFS:
      return {texts::kReadOnlyFileSystem};
    case EACCES:
    case EPERM:
      // The temporary file is made in the folder; only the old file is opened or renamed over.
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

// A temporary file's name: the target's, a mark, and the file's own number. Only SAVE names a
// file after its own number, so a name that matches proves that SAVE left the file.
constexpr std::string_view kMark = ".saving-";

std::string temporaryName(const std::string& target, ino_t number) {
  std::array<char, 17> digits{};
  std::snprintf(digits.data(), digits.size(), "%016llx", static_cast<unsigned long long>(number));
  return target + std::string(kMark) + digits.data();
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

}  // namespace

// Unnamed where the file system allows, so that a SAVE killed half-way leaves nothing behind.
TemporaryFile::TemporaryFile(const Target& target, const SaveSeams& seams) : target_(target) {
  const mode_t mode = target.file.get() >= 0 ? 0600 : 0666;
  file_ = Descriptor(seams.openUnnamed(target.folder.get(), mode));
  if (file_.get() >= 0) ::flock(file_.get(), LOCK_EX);
  if (file_.get() < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL))
    createNamed(mode);
}

TemporaryFile::~TemporaryFile() {
  if (!name_.empty()) ::unlinkat(target_.folder.get(), name_.c_str(), 0);
}

// Names an unnamed file beside the target, removes what killed SAVEs left, and renames it over
// the target.
Result<> TemporaryFile::renameOverTarget(const SaveSeams& seams) {
  const int folder = target_.folder.get();
  struct stat info {};
  if (name_.empty()) {
    if (::fstat(file_.get(), &info) != 0) return saveFailure(Step::Write, errno);
    std::string name = temporaryName(target_.name, info.st_ino);
    if (::linkat(AT_FDCWD, selfPath(file_.get()).c_str(), folder, name.c_str(),
                 AT_SYMLINK_FOLLOW) != 0)
      return saveFailure(Step::Create, errno);
    name_ = std::move(name);
  }
  removeLeftovers(target_.listing.get(), target_.name);
  if (seams.beforeRename) seams.beforeRename();
  if (::renameat(folder, name_.c_str(), folder, target_.name.c_str()) != 0)
    return saveFailure(Step::Replace, errno);
  name_.clear();  // the target's name now
  return {};
}

// A file named from the start, where the file system has no unnamed ones. It takes the name
// that the clean-up looks at only once it is locked.
void TemporaryFile::createNamed(mode_t mode) {
  constexpr std::string_view kLetters =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  const int folder = target_.folder.get();
  std::random_device random;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    std::string first = target_.name + std::string(kMark);
    for (int i = 0; i < 6; ++i) first += kLetters[random() % kLetters.size()];
    file_ = Descriptor(
        ::openat(folder, first.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    if (file_.get() < 0 && errno == EEXIST) continue;
    if (file_.get() < 0) return;
    ::flock(file_.get(), LOCK_SH);  // shared, so that a descriptor by its new name shares it
    struct stat made {};
    name_ = ::fstat(file_.get(), &made) == 0 ? temporaryName(target_.name, made.st_ino) : "";
    if (name_.empty() || ::renameat(folder, first.c_str(), folder, name_.c_str()) != 0) {
      const int error = errno;
      ::unlinkat(folder, first.c_str(), 0);
      name_.clear();
      file_ = Descriptor();
      errno = error;
      return;
    }
    // Written through its new name where it can be: FAT over FUSE misplaces what is written to
    // a file renamed while open.
    Descriptor renamed(
        ::openat(folder, name_.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat found {};
    if (renamed.get() >= 0 && ::fstat(renamed.get(), &found) == 0 && isSameFile(found, made) &&
        ::flock(renamed.get(), LOCK_SH) == 0)
      file_ = std::move(renamed);
    return;
  }
  errno = EEXIST;
}

}  // namespace segno
