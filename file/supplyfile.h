#pragma once

#include "formstate.h"
#include "programfolder.h"
#include "replacefile.h"
#include "result.h"

namespace segno {

// LOAD from supply.txt in the program's folder: reads it, parses it and applies it. Fails with
// "Impossibile caricare supply.txt: " and the reason, `state` untouched.
Result<> loadSupply(FormState& state, const ProgramFolder& folder);

// SAVE, once canSave(state) holds and the user said Yes: replaces supply.txt in the program's
// folder with the samples and neuron labels. Fails with "Impossibile salvare supply.txt: " and
// what was in the way.
Result<Replaced> saveSupply(const FormState& state, const ProgramFolder& folder,
                            const SaveSeams& seams = {});

}  // namespace segno
