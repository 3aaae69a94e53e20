// Feeds arbitrary bytes to the sample-file reader. Whatever it accepts must survive a write
// and a second read unchanged; whatever it refuses must come with a reason. An accepted file
// then goes where LOAD sends it: its cells may hold any 16-bit value, so storing one more
// sample, training (twice: rows 0 to 19 start afresh each time, row 20 continues from the first)
// and recognising every loaded drawing must stop at an overflow, never wrap, index past a table
// or run away; MEMO never takes a sample or a neuron past the network's rows, and a training
// that stops leaves the weights as they were.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "formstate.h"
#include "samplefile.h"

namespace {

segno::Network networkFrom(const segno::SampleFile& file) {
  segno::Network net;
  for (size_t r = 0; r < file.rows.size(); ++r) net.MatM[r] = file.rows[r];
  net.sampleLabels = file.sampleLabels;
  net.neuronLabels = file.neuronLabels;
  return net;
}

bool sameContent(const segno::SampleFile& a, const segno::SampleFile& b) {
  return a.rows == b.rows && a.sampleLabels == b.sampleLabels && a.neuronLabels == b.neuronLabels;
}

// LOAD, then MEMO, ADDESTRA twice and RICONOSCI on each stored drawing.
void useLoadedFile(const segno::SampleFile& file) {
  segno::FormState state;
  segno::applySampleFile(state, file);
  state.LBch = "\x7f";  // a label that files seldom hold: usually a new neuron
  // Refusals are expected here; only what the operations leave behind is checked.
  (void)segno::memo(state);
  if (state.net.sampleLabels.size() > segno::kMaxSamples ||
      state.net.neuronLabels.size() > segno::kMaxNeurons)
    std::abort();
  const auto untrained = state.net.W;
  const bool first = segno::addestra(state).ok();
  const auto once = state.net.W;
  const bool second = segno::addestra(state).ok();
  if ((!first && once != untrained) || (!second && state.net.W != once)) std::abort();
  if (first && second &&
      !std::equal(once.begin(), once.begin() + 20, state.net.W.begin()))  // rows 0 to 19
    std::abort();
  // Recognise even when training overflowed: an earlier training may have set the flag.
  state.trained = true;
  for (int k = -1; k < static_cast<int>(state.net.sampleLabels.size()); ++k) {
    segno::list1Click(state, k);  // -1 keeps the grid, blank after MEMO
    (void)segno::visualizza(state);
    const int answer = state.list2Selection;
    if (answer < -1 || answer >= static_cast<int>(state.net.neuronLabels.size())) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const segno::Result<segno::SampleFile> first = segno::readSampleFile(bytes);
  if (!first.ok()) {
    if (first.reason().empty()) std::abort();
    return 0;
  }
  useLoadedFile(first.value());
  const segno::Result<std::string> written = segno::writeSampleFile(networkFrom(first.value()));
  if (!written.ok()) std::abort();  // labels read from the file always fit its code page
  // Doubled quotes can push a rewritten file past the size limit; nothing to compare then.
  if (written.value().size() > segno::kMaxFileBytes) return 0;
  const segno::Result<segno::SampleFile> second = segno::readSampleFile(written.value());
  if (!second.ok() || !sameContent(first.value(), second.value())) std::abort();
  return 0;
}
