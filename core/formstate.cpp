#include "formstate.h"

#include <algorithm>
#include <cstddef>

namespace segno {

void formLoad(FormState& state) {
  clearMatrix(state);
  state.list2Selection = -1;
}

void clearMatrix(FormState& state) {
  clearGrid(state.grid);
}

void command1Click(FormState& state) {
  clearMatrix(state);
  state.LBch.clear();
}

namespace {

const char* statusText(Status status) {
  switch (status) {
    case Status::Trained:
      return texts::kTrained;
    case Status::Recognised:
      return texts::kAnalysis;
    case Status::NotRecognised:
      return texts::kNotRecognised;
  }
  return "";
}

}  // namespace

Captions captions(const FormState& state) {
  Captions shown;
  shown.Label2 = state.prompt == Prompt::Assign ? texts::kAssign : texts::kRecognised;
  if (state.trained) shown.Label7 = statusText(state.status);
  if (state.neuronCountShown) shown.LBNneuroni = std::to_string(state.net.neuronLabels.size());
  return shown;
}

void formMouseDown(FormState& state, int16_t /*button*/, int16_t shift, float x, float y) {
  if (!isInsideGrid(x, y)) return;
  state.LBch.clear();
  const int16_t cell = cellUnderPointer(x, y);
  state.grid[static_cast<size_t>(cell)] = shift == kShiftKey ? kWhite : kBlack;
}

void formMouseMove(FormState& state, int16_t button, int16_t shift, float x, float y) {
  if (!isInsideGrid(x, y) || button != kLeftButton) return;
  const int16_t cell = cellUnderPointer(x, y);
  state.grid[static_cast<size_t>(cell)] = shift != 0 ? kWhite : kBlack;
}

void text1Change(FormState& state, const std::string& text) {
  state.LBch = text;
}

namespace {

bool isLineEnd(const std::string& character) {
  return character.find_first_of("\r\n") != std::string::npos;
}

}  // namespace

Characters labelBoxText(const Characters& before, const Characters& after, size_t cursor) {
  const auto tail = after.begin() + static_cast<std::ptrdiff_t>(cursor);  // left after the cursor
  const auto tailSize = after.end() - tail;
  if (tailSize > std::ssize(before) || !std::equal(tail, after.end(), before.end() - tailSize))
    return after.size() <= 1 ? after : before;
  // The edit put something in where `after` first differs from what it kept of `before`.
  const auto start =
      std::mismatch(before.begin(), before.end() - tailSize, after.begin(), tail).second;
  Characters text(after.begin(), start);
  if (start != std::find_if(start, tail, isLineEnd)) text.push_back(*start);
  text.insert(text.end(), tail, after.end());
  return text.size() <= 1 ? text : before;
}

namespace {

// Whether none of the first `count` samples carries `label`: newness is decided against the
// samples, not the neuron list.
bool isLabelNew(const Network& net, const std::string& label, size_t count) {
  const auto end = net.sampleLabels.begin() + static_cast<std::ptrdiff_t>(count);
  return std::find(net.sampleLabels.begin(), end, label) == end;
}

// Grid into row k of MatM as +1/-1. 0 <= k < kMaxSamples.
void InMatM(FormState& state, uint8_t k) {
  for (int i = 0; i < kCells; ++i)
    state.net.MatM[k][static_cast<size_t>(i)] = bipolar(state.grid[i]);
}

// Appends the newest sample's label to the neuron labels when no earlier sample carries it.
void outNeuronNumber(FormState& state) {
  Network& net = state.net;
  const std::string& newest = net.sampleLabels.back();
  if (!isLabelNew(net, newest, net.sampleLabels.size() - 1)) return;
  net.neuronLabels.push_back(newest);
  state.neuronCountShown = true;
}

}  // namespace

Result<> memo(FormState& state) {
  Network& net = state.net;
  if (state.LBch.empty()) return Failure{texts::kTypeCharacter};
  if (net.sampleLabels.size() >= kMaxSamples) return Failure{texts::kMemoryFull};
  // A new label needs a row of W; refusing here keeps every neuron trainable.
  if (isLabelNew(net, state.LBch, net.sampleLabels.size()) &&
      net.neuronLabels.size() >= kMaxNeurons)
    return Failure{texts::kTooManyNeurons};
  net.sampleLabels.push_back(state.LBch);
  const auto k = static_cast<uint8_t>(net.sampleLabels.size() - 1);
  InMatM(state, k);
  outNeuronNumber(state);
  clearMatrix(state);
  state.LBch.clear();
  state.prompt = Prompt::Assign;
  return {};
}

namespace {

// Row k of MatM onto the grid: exactly +1 black, anything else white. 0 <= k < kMaxSamples.
void outMatM(FormState& state, int16_t k) {
  const SampleRow& row = state.net.MatM[static_cast<size_t>(k)];
  for (int i = 0; i < kCells; ++i)
    state.grid[i] = row[static_cast<size_t>(i)] == 1 ? kBlack : kWhite;
}

// Selects in list2Selection the first neuron that fires on the grid (-1 for none); fails,
// with nothing changed, when a product leaves 16 bits.
Result<> Riconosci(FormState& state) {
  const Result<int16_t> answer = firstFiringNeuron(state.net, inputFromGrid(state.grid));
  if (!answer.ok()) return answer.failure();
  state.list2Selection = answer.value();
  return {};
}

}  // namespace

void list1Click(FormState& state, int selected) {
  if (selected < 0) return;
  state.LBch.clear();
  const auto k = static_cast<uint8_t>(selected);
  outMatM(state, static_cast<int16_t>(k));
}

Result<> addestra(FormState& state) {
  state.LBch.clear();
  if (Result<> trained = train(state.net); !trained.ok()) return trained;
  state.trained = true;
  state.status = Status::Trained;
  return {};
}

Result<> visualizza(FormState& state) {
  if (!state.trained) return Failure{texts::kTrainFirst};
  if (Result<> recognised = Riconosci(state); !recognised.ok()) return recognised;
  const int r = state.list2Selection;
  if (r == -1) {
    state.status = Status::NotRecognised;
    return {};
  }
  state.LBch = state.net.neuronLabels[static_cast<size_t>(r)];
  state.prompt = Prompt::Recognised;
  state.status = Status::Recognised;
  return {};
}

bool canSave(const FormState& state) {
  return !state.net.neuronLabels.empty();
}

void applySampleFile(FormState& state, const SampleFile& file) {
  Network& net = state.net;
  net.sampleLabels = file.sampleLabels;
  for (size_t r = 0; r < file.rows.size(); ++r) net.MatM[r] = file.rows[r];
  net.neuronLabels = file.neuronLabels;
  state.neuronCountShown = true;
  state.list2Selection = -1;
}

}  // namespace segno
