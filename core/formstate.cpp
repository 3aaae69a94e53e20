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

bool continuesCharacter(char byte) {
  return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

size_t characters(std::string_view text) {
  return static_cast<size_t>(
      std::count_if(text.begin(), text.end(), [](char byte) { return !continuesCharacter(byte); }));
}

}  // namespace

std::string labelBoxText(std::string_view before, std::string_view after, size_t cursor) {
  const std::string_view tail = after.substr(cursor);  // what the edit left after the cursor
  if (tail.size() > before.size() || !before.ends_with(tail))
    return std::string(characters(after) <= 1 ? after : before);
  const std::string_view kept = before.substr(0, before.size() - tail.size());
  // The edit put something in where `after` first differs from what it kept of `before`.
  auto start = static_cast<size_t>(
      std::mismatch(kept.begin(), kept.end(), after.begin(), after.begin() + cursor).first -
      kept.begin());
  while (start > 0 && start < after.size() && continuesCharacter(after[start])) --start;
  std::string_view put = after.substr(start, cursor - start);
  put = put.substr(0, put.find_first_of("\r\n"));
  size_t first = put.empty() ? 0 : 1;
  while (first < put.size() && continuesCharacter(put[first])) ++first;
  std::string text = std::string(kept.substr(0, start)) + std::string(put.substr(0, first));
  text += tail;
  return characters(text) <= 1 ? text : std::string(before);
}

namespace {

// Whether none of the first `count` samples carries `label`: newness is decided against the
// samples, not the neuron list.
bool isLabelNew(const Network& net, const std::string& label, size_t count) {
  const auto end = net.sampleLabels.begin() + static_cast<std::ptrdiff_t>(count);
  return std::find(net.sampleLabels.begin(), end, label) == end;
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
  state.Label2 = texts::kAssign;
  return {};
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

Result<> addestra(FormState& state) {
  state.LBch.clear();
  if (Result<> trained = train(state.net); !trained.ok()) return trained;
  state.Label7 = texts::kTrained;
  return {};
}

Result<> visualizza(FormState& state) {
  if (state.Label7.empty()) return Failure{texts::kTrainFirst};
  if (Result<> recognised = Riconosci(state); !recognised.ok()) return recognised;
  const int r = state.list2Selection;
  if (r == -1) {
    state.Label7 = texts::kNotRecognised;
    return {};
  }
  state.LBch = state.net.neuronLabels[static_cast<size_t>(r)];
  state.Label2 = texts::kRecognised;
  state.Label7 = texts::kAnalysis;
  return {};
}

Result<> Riconosci(FormState& state) {
  const Result<int16_t> answer = firstFiringNeuron(state.net, inputFromGrid(state.grid));
  if (!answer.ok()) return answer.failure();
  state.list2Selection = answer.value();
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
  state.LBNneuroni = std::to_string(net.neuronLabels.size());
  state.list2Selection = -1;
}

}  // namespace segno
