#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <string_view>

#include "result.h"

namespace segno {

// What a replaced file still has to tell the user: nothing (empty), or that the folder that
// holds its new name could not be synced to the disk.
struct Replaced {
  std::string remark;
};

// The steps of a SAVE that a test must be able to steer; the defaults are the real system.
struct SaveSeams {
  // An unnamed file in the folder; where the file system has none (vfat, NFS), this fails and
  // SAVE writes into the file itself.
  std::function<int(int, mode_t)> openUnnamed = [](int folder, mode_t mode) {
    return ::openat(folder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
  };
  std::function<void()> beforeRename = nullptr;  // runs once the new file is complete and named
  std::function<int(int)> sync = ::fsync;        // every sync, of a file or of the folder
};

// Replaces the file that `name` in `folder` leads to with `bytes`, where an ordinary open
// leads: links followed as the system follows them, with its protections. Usually the bytes go
// to a synced temporary file beside it that takes over the old file's owner, group and mode,
// and one rename puts it in place; the folder is synced after. Where the new file could not be
// all that the old one is (an access list, other extended attributes, flags, an owner this user
// may not give), or the old one is reached through a link or has other names, the bytes go into
// the file itself, under a lock that other SAVEs and LOADs respect, and marked so that LOAD
// refuses the file until the last byte is in. Fails with the reason in the user's words: the
// old file is then as it was, or, once its first byte was marked, says so.
Result<Replaced> replaceFile(int folder, const std::string& name, std::string_view bytes,
                             const SaveSeams& seams = {});

}  // namespace segno
