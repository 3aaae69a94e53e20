#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "result.h"

namespace segno {

// The folder that holds the program `programLink` names, held from the moment this is made.
// Everything done in it goes through that hold, so whatever later appears at the folder's old
// path, SAVE and LOAD reach this folder or nothing.
class ProgramFolder {
 public:
  explicit ProgramFolder(std::string programLink);
  ~ProgramFolder();
  ProgramFolder(const ProgramFolder&) = delete;
  ProgramFolder& operator=(const ProgramFolder&) = delete;

  // The held folder (an O_PATH descriptor), while the program's link still leads into it.
  // Fails with "cartella del programma non trovata" once it cannot be named, or the folder has
  // been deleted, moved to another disk, or no longer holds the program.
  Result<int> handle() const;

 private:
  std::string link_;
  int folder_;  // -1 when there was none to take
};

// At most maxBytes + 1 bytes of the regular file `name` in `folder` (a link is followed):
// enough to tell that it is too large. Never waits on a FIFO or a device. Fails with "non è un
// file regolare" or "file mancante o illeggibile".
Result<std::string> readRegularFile(int folder, const std::string& name, size_t maxBytes);

// What a replaced file still has to tell the user: nothing (empty), or that the folder that
// holds its new name could not be synced to the disk.
struct Replaced {
  std::string remark;
};

// The steps of a SAVE that a test must be able to steer; the defaults are the real system.
struct SaveSeams {
  // An unnamed file in the folder; where the file system has none (vfat, NFS), this fails and
  // the temporary file is named from the start.
  std::function<int(int, mode_t)> openUnnamed = [](int folder, mode_t mode) {
    return ::openat(folder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
  };
  std::function<void()> beforeRename = nullptr;  // runs once the new file is complete and named
  std::function<int(int)> syncFolder = ::fsync;
};

// Replaces the file `name` in `folder` with `bytes`, keeping it the file it was. A link is
// followed to the file it names, which is made if missing. The bytes go to a synced temporary
// file beside it, `<name>.saving-<its number>`, with the old file's owner, group and mode,
// which one rename puts in place; the folder is synced after. Where the temporary file cannot
// have them, or the folder refuses one while the file may be written, the bytes go into the
// file itself. Before the rename, temporary files of SAVEs killed half-way go. Fails with the
// reason in the user's words; the old file is then as it was, unless it was being written in
// place, and no temporary file is left.
Result<Replaced> replaceFile(int folder, const std::string& name, std::string_view bytes,
                             const SaveSeams& seams = {});

}  // namespace segno
