#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "result.h"

namespace segno {

// The folder of the program that `programLink` names, links resolved, as raw bytes ending in
// '/'. Fails with "cartella del programma non trovata" when the link cannot be read whole or
// the folder is gone.
Result<std::string> programFolder(const char* programLink);

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
// bytes go to a synced temporary file in the same folder, which one rename puts in place; the
// folder is synced after. Fails, with the old file as it was and no temporary file left, with
// the reason in the user's words. Leftovers of SAVEs that were killed half-way go too.
Result<Replaced> replaceFile(const std::string& path, std::string_view bytes);

}  // namespace segno
