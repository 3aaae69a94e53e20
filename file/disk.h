#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "result.h"

namespace segno {

// The folder that holds the program `programLink` names, as it was when this was made. Its path
// is asked for anew each time, so a renamed folder is followed; but once the folder is deleted
// or moved to another disk it is gone for good, whatever appears at its old path.
class ProgramFolder {
 public:
  explicit ProgramFolder(std::string programLink);
  ~ProgramFolder();
  ProgramFolder(const ProgramFolder&) = delete;
  ProgramFolder& operator=(const ProgramFolder&) = delete;

  // The folder's path, links resolved, as raw bytes ending in '/'. Fails with "cartella del
  // programma non trovata" when it cannot be named or is no longer the same folder.
  Result<std::string> path() const;

 private:
  std::string link_;
  int folder_;  // a handle on the folder itself, -1 when there was none to take
};

// The bytes of the regular file at `path`, at most maxBytes + 1 of them: enough to tell that
// it is too large. Never waits on a FIFO or a device. Fails with "non è un file regolare" or
// "file mancante o illeggibile".
Result<std::string> readRegularFile(const std::string& path, size_t maxBytes);

// What a replaced file still has to tell the user: nothing (empty), or that the folder that
// holds its new name could not be synced to the disk.
struct Replaced {
  std::string remark;
};

// Replaces the file at `path` (a link is followed) with `bytes`, keeping its permissions: the
// bytes go to a synced temporary file in the same folder, `<name>.saving-XXXXXX`, which one
// rename puts in place; the folder is synced after. Fails, with the old file as it was and no
// temporary file left, with the reason in the user's words. Leftovers of SAVEs that were
// killed half-way go too.
Result<Replaced> replaceFile(const std::string& path, std::string_view bytes);

}  // namespace segno
