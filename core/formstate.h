#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "grid.h"
#include "network.h"
#include "result.h"
#include "samplefile.h"
#include "texts.h"

namespace segno {

// Everything the main window shows, held apart from any toolkit. Members named after a
// control hold that control's text; labels are UTF-8.
struct FormState {
  Network net;       // List1 = net.sampleLabels, List2 = net.neuronLabels
  Grid grid{};       // CH(0) to CH(29)
  std::string LBch;  // the current label
  std::string Label2 = texts::kAssign;
  std::string Label7;       // status line; empty means not trained
  std::string LBNneuroni;   // number of neurons, empty until the first one
  int list2Selection = -1;  // recognition's answer, -1 for none
};

// Mouse button bits and modifier bits as the handlers receive them.
constexpr int16_t kLeftButton = 1;
constexpr int16_t kShiftKey = 1;

// Start-up: all cells white, nothing selected in either list.
void formLoad(FormState& state);

// All 30 cells white; nothing else changes.
void clearMatrix(FormState& state);

// A button went down at (x, y) twips: inside the grid it empties LBch, then erases the cell
// under the pointer when shift == 1 exactly, paints it otherwise. button is not consulted.
void formMouseDown(FormState& state, int16_t button, int16_t shift, float x, float y);

// The pointer moved: inside the grid with the left button alone held, erases the cell under
// the pointer when any modifier is held, paints it otherwise. LBch is not touched.
void formMouseMove(FormState& state, int16_t button, int16_t shift, float x, float y);

// The label box's whole text becomes the current label.
void text1Change(FormState& state, const std::string& text);

// Characters as a reader counts them, each one UTF-8 string: a letter with its accents, an
// emoji with its modifier, a flag.
using Characters = std::vector<std::string>;

// What the one-character label box holds after an edit turned `before` into `after`, with the
// cursor after character `cursor` of `after`, just past what was put in. The edit is taken as
// if typed: only the first character of its first line counts (a paste of "ABC", or of "A" and
// a line end, puts in "A"), and the box keeps `before` when it would hold two characters.
Characters labelBoxText(const Characters& before, const Characters& after, size_t cursor);

// Stores the grid as a new sample under LBch, or says why not.
Result<> memo(FormState& state);

// Grid into row k of MatM as +1/-1. 0 <= k < kMaxSamples.
void InMatM(FormState& state, uint8_t k);

// Appends the newest sample's label to the neuron labels when no earlier sample carries it.
void outNeuronNumber(FormState& state);

// The user picked entry `selected` of List1 (-1: none, nothing happens): empties LBch and
// shows that sample on the grid. selected < number of samples.
void list1Click(FormState& state, int selected);

// Row k of MatM onto the grid: exactly +1 black, anything else white. 0 <= k < kMaxSamples.
void outMatM(FormState& state, int16_t k);

// ADDESTRA: empties LBch and trains, or says why it could not.
Result<> addestra(FormState& state);

// RICONOSCI: recognises the grid and shows the answer, or says why it could not.
Result<> visualizza(FormState& state);

// Selects in list2Selection the first neuron that fires on the grid (-1 for none); fails,
// with nothing changed, when a product leaves 16 bits.
Result<> Riconosci(FormState& state);

// Whether SAVE has anything to write (it needs at least one neuron label).
bool canSave(const FormState& state);

// LOAD of a parsed file: replaces the label lists, rows 0 to 20 of MatM and LBNneuroni with
// its content and clears the selection of List2. W, Label7, the grid, LBch, Label2 and row 21
// stay.
void applySampleFile(FormState& state, const SampleFile& file);

}  // namespace segno
