#pragma once

#include <optional>
#include <string>

#include "formstate.h"

namespace segno {

// supply.txt in the folder of the executable that `exeLink` names (by default this program),
// as raw bytes, links resolved; nullopt when that folder cannot be named.
std::optional<std::string> supplyPath(const char* exeLink = "/proc/self/exe");

// LOAD: reads a regular file at `path` without ever blocking, parses and applies it. On
// failure returns "Impossibile caricare supply.txt: " and the reason, with `state` untouched.
Notice loadSupply(FormState& state, const std::optional<std::string>& path);

// SAVE, once canSave(state) holds and the user said Yes: writes the samples and neuron labels
// through a synced temporary file renamed over `path`, then syncs the folder. On failure
// returns "Impossibile salvare supply.txt: " and what was in the way; the old file stays.
Notice saveSupply(const FormState& state, const std::optional<std::string>& path);

}  // namespace segno
