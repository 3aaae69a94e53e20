#pragma once

// The largest workload the program allows, shared by the core and the window benchmarks:
// 22 samples (every row of MatM) and 21 neurons (every row of W).
//
// The drawings are chosen to keep the single training pass correcting.
// Sample k paints cells 0 to k + 3, a stroke that grows by one cell per sample, and every
// odd sample is drawn in negative (painted and blank swapped). Neighbouring samples are thus
// near-opposites that share the bias input: a correction that pulls a neuron's sum down on
// one of them pushes it up on the next, so the pass keeps correcting back and forth. One
// training makes 211 corrections in 673 weighted sums; 22 near-copies of one drawing (one
// cell apart) make 43.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "formstate.h"
#include "grid.h"
#include "network.h"

namespace segno::bench {

// Labels "A" to "U", one per neuron; the 22nd sample is a second "A".
inline std::string label(int neuron) {
  return std::string(1, static_cast<char>('A' + neuron));
}

inline std::vector<std::string> allNeuronLabels() {
  std::vector<std::string> labels;
  for (int n = 0; n < kMaxNeurons; ++n) labels.push_back(label(n));
  return labels;
}

inline std::vector<std::string> allSampleLabels() {
  std::vector<std::string> labels = allNeuronLabels();
  labels.push_back(label(0));
  return labels;
}

inline SampleRow drawing(int k) {
  SampleRow row{};
  const bool negative = k % 2 == 1;
  for (int c = 0; c < kCells; ++c) {
    const bool painted = (c <= k + 3) != negative;
    row[static_cast<size_t>(c)] = painted ? int16_t{1} : int16_t{-1};
  }
  return row;
}

inline Grid gridOf(const SampleRow& row) {
  Grid grid{};
  for (int c = 0; c < kCells; ++c) grid[c] = row[static_cast<size_t>(c)] == 1 ? kBlack : kWhite;
  return grid;
}

// 22 samples, 21 neurons, untrained.
inline Network fullNetwork() {
  Network net;
  net.sampleLabels = allSampleLabels();
  net.neuronLabels = allNeuronLabels();
  for (int k = 0; k < kMaxSamples; ++k) net.MatM[static_cast<size_t>(k)] = drawing(k);
  return net;
}

// The first grid of a fixed pseudo-random sequence whose first firing neuron is `wanted`
// (-1: no neuron fires), so that a recognition tests every neuron.
inline std::optional<Grid> findGrid(const Network& trained, int16_t wanted) {
  uint64_t seed = 0x5E6A0;
  for (int attempt = 0; attempt < 1'000'000; ++attempt) {
    seed = seed * 6364136223846793005u + 1442695040888963407u;  // Knuth's MMIX generator
    Grid grid{};
    for (int c = 0; c < kCells; ++c) grid[c] = (seed >> (c + 17)) & 1 ? kBlack : kWhite;
    const Result<int16_t> answer = firstFiringNeuron(trained, inputFromGrid(grid));
    if (answer.ok() && answer.value() == wanted) return grid;
  }
  return std::nullopt;
}

}  // namespace segno::bench
