#pragma once

#include <cstddef>
#include <string>

#include "result.h"

namespace segno {

// The link that names the running program: supply.txt lives in that program's folder.
inline constexpr const char* kThisProgram = "/proc/self/exe";

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

// At most maxBytes + 1 bytes of the regular file `name` in `folder`, links followed as the
// system follows them: enough to tell that it is too large. Reads under a shared lock, so never
// while a SAVE writes into the file; never waits on a FIFO or a device. Fails with "non è un
// file regolare", "file in uso" or "file mancante o illeggibile".
Result<std::string> readRegularFile(int folder, const std::string& name, size_t maxBytes);

}  // namespace segno
