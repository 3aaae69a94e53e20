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

// How Label2 tells the user to read LBch.
enum class Prompt {
  Assign,     // LBch holds the label of the next sample, or nothing
  Recognised  // LBch holds the answer of the last recognition
};

// What the status line Label7 reports once the network is trained: the outcome of the last
// training or recognition.
enum class Status { Trained, Recognised, NotRecognised };

// Everything the main window shows, held apart from any toolkit, as facts; captions() turns
// them into the labels' texts. Labels are UTF-8.
struct FormState {
  Network net;       // List1 = net.sampleLabels, List2 = net.neuronLabels
  Grid grid{};       // CH(0) to CH(29)
  std::string LBch;  // the current label
  Prompt prompt = Prompt::Assign;
  bool trained = false;  // a training has completed; recognition needs one
  Status status = Status::Trained;
  bool neuronCountShown = false;  // from the first neuron or LOAD on
  int list2Selection = -1;        // recognition's answer, -1 for none
};

// The texts of the labels that the operations change, worked out from the state.
struct Captions {
  std::string Label2;
  std::string Label7;      // empty until the first training
  std::string LBNneuroni;  // the number of neurons, empty until the first one or LOAD
};
Captions captions(const FormState& state);

// Mouse button bits and modifier bits as the handlers receive them.
constexpr int16_t kLeftButton = 1;
constexpr int16_t kShiftKey = 1;

// Start-up: all cells white, nothing selected in either list.
void formLoad(FormState& state);

// All 30 cells white; nothing else changes.
void clearMatrix(FormState& state);

// CLEAR MATRIX: clearMatrix, then LBch empty.
void command1Click(FormState& state);

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

// The user picked entry `selected` of List1 (-1: none, nothing happens): empties LBch and
// shows that sample on the grid. selected < number of samples.
void list1Click(FormState& state, int selected);

// ADDESTRA: empties LBch and trains, or says why it could not.
Result<> addestra(FormState& state);

// RICONOSCI: recognises the grid and shows the answer, or says why it could not.
Result<> visualizza(FormState& state);

// Whether SAVE has anything to write (it needs at least one neuron label).
bool canSave(const FormState& state);

// LOAD of a parsed file: replaces the label lists and rows 0 to 20 of MatM with its content,
// shows the neuron count and clears the selection of List2. W, the trained flag and status,
// the grid, LBch, the prompt and row 21 stay.
void applySampleFile(FormState& state, const SampleFile& file);

}  // namespace segno
