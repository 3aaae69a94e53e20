#include "replacefile.h"

#include <dirent.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include "descriptor.h"
#include "programfolder.h"
#include "texts.h"

namespace segno {
namespace {

// supply.txt where an ordinary open of its name leads: the system follows links as it would
// for any program, with its own protections.
struct Target {
  int folder;          // the program's folder, O_PATH
  std::string name;    // supply.txt
  Descriptor file;     // open for writing; -1 while there is no file yet
  Descriptor listing;  // the folder open for reading, -1 when it may not be read
  int listingError;
  bool renamable;  // whether a new file renamed over the name keeps all that the old one was
};

// The new content's file beside the target, unnamed until just before its rename and locked
// while this SAVE runs, so that no other SAVE takes it for a leftover. It removes its own name
// on the way out, unless renamed.
struct TemporaryFile {
  const Target& target;
  Descriptor file;
  std::string name;  // its name from just before the rename until the rename
  ~TemporaryFile() {
    if (!name.empty()) ::unlinkat(target.folder, name.c_str(), 0);
  }
};

Result<Target> openTarget(int folder, const std::string& name);
bool takeOver(int fd, int old);
bool writeAt(int fd, std::string_view bytes, off_t offset);
Result<> renameOverTarget(TemporaryFile& temporary, const SaveSeams& seams);
Result<Replaced> writeInto(Target& target, std::string_view bytes, const SaveSeams& seams);
Replaced syncFolder(const Target& target, const SaveSeams& seams);
Failure failed(int error, const char* refusal = nullptr);

}  // namespace

Result<Replaced> replaceFile(int folder, const std::string& name, std::string_view bytes,
                             const SaveSeams& seams) {
  Result<Target> found = openTarget(folder, name);
  if (!found.ok()) return found.failure();
  Target target = std::move(found).value();
  if (!target.renamable) return writeInto(target, bytes, seams);
  const bool exists = target.file.get() >= 0;
  TemporaryFile temporary{target, Descriptor(seams.openUnnamed(folder, exists ? 0600 : 0666)), ""};
  const int fd = temporary.file.get();
  if (fd < 0 && errno == ENOENT) return Failure{texts::kNoProgramFolder};
  // The folder refuses a new file, or the file system has no unnamed ones (vfat, NFS).
  if (fd < 0 && (errno == EACCES || errno == EPERM || errno == EOPNOTSUPP || errno == EISDIR))
    return writeInto(target, bytes, seams);
  if (fd < 0) return failed(errno);
  ::flock(fd, LOCK_EX);
  if (exists && !takeOver(fd, target.file.get())) return writeInto(target, bytes, seams);
  // Closing a duplicate reports what closing the file would (NFS writes back then).
  if (!writeAt(fd, bytes, 0) || seams.sync(fd) != 0 || ::close(::dup(fd)) != 0)
    return failed(errno);
  if (Result<> renamed = renameOverTarget(temporary, seams); !renamed.ok())
    return renamed.failure();
  return syncFolder(target, seams);
}

namespace {

// The flags of an open file or folder that a user may set (chattr); none where there are none.
std::optional<unsigned> fileFlags(int fd) {
  unsigned flags = 0;
  if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) return flags & FS_FL_USER_MODIFIABLE;
  if (errno == ENOTTY || errno == EOPNOTSUPP || errno == EINVAL) return 0u;
  return std::nullopt;
}

Result<Target> openTarget(int folder, const std::string& name) {
  Descriptor found(::openat(folder, name.c_str(), O_PATH | O_CLOEXEC));
  struct stat file {};
  struct stat named {};
  const bool isName = ::fstatat(folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0;
  if (found.get() < 0 && errno == ENOENT && isName) {  // a link to a file yet to be made there
    found = Descriptor(::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
    if (found.get() < 0) return failed(errno);
  }
  if (found.get() < 0 && errno != ENOENT) return failed(errno, texts::kWriteProtected);
  Descriptor listing(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  Target target{folder, name, Descriptor(), std::move(listing), errno, true};
  // A folder whose names cannot be renamed or removed would keep a temporary file for good.
  const std::optional<unsigned> folderFlags = fileFlags(target.listing.get());
  const bool keepsNames = folderFlags && (*folderFlags & (FS_APPEND_FL | FS_IMMUTABLE_FL));
  if (found.get() < 0) {
    target.renamable = !keepsNames;
    return target;
  }
  if (::fstat(found.get(), &file) != 0) return failed(errno);
  if (S_ISDIR(file.st_mode)) return Failure{texts::kSupplyIsFolder};
  if (!isRegularFile(found.get())) return Failure{texts::kNotRegularFile};
  // Opened again for writing through its handle, so that it is the file just looked at.
  const std::string self = "/proc/self/fd/" + std::to_string(found.get());
  target.file = Descriptor(::open(self.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
  if (target.file.get() < 0) return failed(errno, texts::kWriteProtected);
  // A link, or a file with other names, is written into, so that every name shows the samples.
  target.renamable = !keepsNames && isName && named.st_ino == file.st_ino &&
                     named.st_dev == file.st_dev && file.st_nlink == 1;
  return target;
}

// Whether a file has more than its owner, group and mode to say who may use it: an access
// list or other extended attributes, or flags. A rename cannot be trusted to keep them.
bool hasMoreThanAMode(int fd) {
  const ssize_t names = ::flistxattr(fd, nullptr, 0);
  return names > 0 || (names < 0 && errno != ENOTSUP) || fileFlags(fd) != 0u;
}

// Gives the new file the old one's owner, group and mode, as far as this user may; whether it
// has all three now, and nothing more (a default access list of the folder, say).
bool takeOver(int fd, int old) {
  struct stat was {};
  struct stat now {};
  if (::fstat(old, &was) != 0 || hasMoreThanAMode(old)) return false;
  (void)::fchown(fd, was.st_uid, was.st_gid);
  (void)::fchmod(fd, was.st_mode & 07777);  // after fchown, which may clear set-id bits
  return ::fstat(fd, &now) == 0 && now.st_uid == was.st_uid && now.st_gid == was.st_gid &&
         now.st_mode == was.st_mode && !hasMoreThanAMode(fd);
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

// No sample file starts with a letter: LOAD refuses one where the first cell should be.
constexpr std::string_view kUnreadableMark = "x";

// Writes into the file itself, under a lock that other SAVEs and LOADs respect. Its first byte
// is marked unreadable and synced before the rest is written, and put back last: a kill, an
// error or a power cut leaves the old samples, the new ones, or a file that LOAD refuses.
Result<Replaced> writeInto(Target& target, std::string_view bytes, const SaveSeams& seams) {
  if (target.file.get() < 0) {  // made here, so a kill leaves a file that LOAD refuses
    const int flags = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC;
    target.file = Descriptor(::openat(target.folder, target.name.c_str(), flags, 0666));
    if (target.file.get() < 0) return failed(errno, texts::kFolderNotWritable);
  }
  const int fd = target.file.get();
  if (!lockSoon(fd, LOCK_EX)) return Failure{texts::kFileInUse};
  const auto size = static_cast<off_t>(bytes.size());
  // A full disk is found before the first old byte is overwritten.
  if (::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, size) != 0 && errno != EOPNOTSUPP)
    return failed(errno);
  if (!writeAt(fd, kUnreadableMark, 0)) return failed(errno);
  if (seams.sync(fd) != 0 || !writeAt(fd, bytes.substr(1), 1) || ::ftruncate(fd, size) != 0 ||
      seams.sync(fd) != 0 || !writeAt(fd, bytes.substr(0, 1), 0) || seams.sync(fd) != 0 ||
      ::close(::dup(fd)) != 0)
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

// The reason in the user's words; `refusal` is what a refused permission means at this step.
Failure failed(int error, const char* refusal) {
  if (error == ENOSPC || error == EDQUOT) return {texts::kDiskFull};
  if (error == EROFS) return {texts::kReadOnlyFileSystem};
  if (refusal != nullptr && (error == EACCES || error == EPERM)) return {refusal};
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

// Names an unnamed file beside the target, removes what killed SAVEs left, and renames it over
// the target.
Result<> renameOverTarget(TemporaryFile& temporary, const SaveSeams& seams) {
  const int folder = temporary.target.folder;
  struct stat info {};
  if (::fstat(temporary.file.get(), &info) != 0) return failed(errno);
  const std::string self = "/proc/self/fd/" + std::to_string(temporary.file.get());
  const std::string name = temporaryName(temporary.target.name, info.st_ino);
  if (::linkat(AT_FDCWD, self.c_str(), folder, name.c_str(), AT_SYMLINK_FOLLOW) != 0)
    return failed(errno, texts::kFolderNotWritable);
  temporary.name = name;
  removeLeftovers(temporary.target.listing.get(), temporary.target.name);
  if (seams.beforeRename) seams.beforeRename();
  const char* targetName = temporary.target.name.c_str();
  if (::renameat(folder, temporary.name.c_str(), folder, targetName) != 0)
    return failed(errno, texts::kWriteProtected);
  temporary.name.clear();  // the target's name now
  return {};
}

}  // namespace
}  // namespace segno
