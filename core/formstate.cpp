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

// Whether none of the first `count` samples carries `label`: newness is decided against the
// samples, not the neuron list.
bool isLabelNew(const Network& net, const std::string& label, size_t count) {
  const auto end = net.sampleLabels.begin() + static_cast<std::ptrdiff_t>(count);
  return std::find(net.sampleLabels.begin(), end, label) == end;
}

}  // namespace

Notice memo(FormState& state) {
  Network& net = state.net;
  if (state.LBch.empty()) return texts::kTypeCharacter;
  if (net.sampleLabels.size() >= kMaxSamples) return texts::kMemoryFull;
  // A new label needs a row of W; refusing here keeps every neuron trainable.
  if (isLabelNew(net, state.LBch, net.sampleLabels.size()) &&
      net.neuronLabels.size() >= kMaxNeurons)
    return texts::kTooManyNeurons;
  net.sampleLabels.push_back(state.LBch);
  const auto k = static_cast<uint8_t>(net.sampleLabels.size() - 1);
  InMatM(state, k);
  outNeuronNumber(state);
  clearMatrix(state);
  state.LBch.clear();
  state.Label2 = texts::kAssign;
  return std::nullopt;
}

void InMatM(FormState& state, uint8_t k) {
  for (int i = 0; i < kCells; ++i)
    state.net.MatM[k][static_cast<size_t>(i)] = bipolar(state.grid[i]);
}

void outNeuronNumber(FormState& state) {
  Network& net = state.net;
  const std::string& newest = net.sampleLabels.back();
  if (!isLabelNew(net, newest, net.sampleLabels.size() - 1)) return;
  net.neuronLabels.push_back(newest);
  state.LBNneuroni = std::to_string(net.neuronLabels.size());
}

void list1Click(FormState& state, int selected) {
  if (selected < 0) return;
  state.LBch.clear();
  const auto k = static_cast<uint8_t>(selected);
  outMatM(state, static_cast<int16_t>(k));
}

void outMatM(FormState& state, int16_t k) {
  const SampleRow& row = state.net.MatM[static_cast<size_t>(k)];
  for (int i = 0; i < kCells; ++i)
    state.grid[i] = row[static_cast<size_t>(i)] == 1 ? kBlack : kWhite;
}

Notice addestra(FormState& state) {
  state.LBch.clear();
  switch (train(state.net)) {
    case Outcome::NoNeurons:
      return texts::kNoNeurons;
    case Outcome::Overflow:
      return texts::kTrainingOverflow;
    case Outcome::Done:
      break;
  }
  state.Label7 = texts::kTrained;
  return std::nullopt;
}

Notice visualizza(FormState& state) {
  if (state.Label7.empty()) return texts::kTrainFirst;
  if (!Riconosci(state)) return texts::kRecognitionOverflow;
  const int r = state.list2Selection;
  if (r == -1) {
    state.Label7 = texts::kNotRecognised;
    return std::nullopt;
  }
  state.LBch = state.net.neuronLabels[static_cast<size_t>(r)];
  state.Label2 = texts::kRecognised;
  state.Label7 = texts::kAnalysis;
  return std::nullopt;
}

bool Riconosci(FormState& state) {
  const auto answer = firstFiringNeuron(state.net, inputFromGrid(state.grid));
  if (!answer) return false;
  state.list2Selection = *answer;
  return true;
}

}  // namespace segno
