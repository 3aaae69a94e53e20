#pragma once

// The largest workload the program allows: 22 samples (every row of MatM) and 21 neurons
// (every row of W).
//
// The drawings are chosen to keep the single training pass correcting. Sample k paints cells
// 0 to k + 3, a stroke that grows by one cell per sample, and every odd sample is drawn in
// negative (painted and blank swapped). Neighbouring samples are thus near-opposites that share
// the bias input: a correction that pulls a neuron's sum down on one of them pushes it up on the
// next, so the pass keeps correcting back and forth. One training makes 211 corrections in 673
// weighted sums; 22 near-copies of one drawing (one cell apart) make 43.

#include <cstdint>
#include <optional>
#include <string>

#include "grid.h"
#include "network.h"

namespace segno::bench {

// 22 samples and 21 neurons labelled "A" to "U" (the 22nd sample is a second "A"), untrained.
inline Network fullNetwork() {
  Network net;
  for (int k = 0; k < kMaxSamples; ++k) {
    const std::string label(1, static_cast<char>('A' + k % kMaxNeurons));
    net.sampleLabels.push_back(label);
    if (k < kMaxNeurons) net.neuronLabels.push_back(label);
    for (int c = 0; c < kCells; ++c)
      net.MatM[k][static_cast<size_t>(c)] = (c <= k + 3) != (k % 2 == 1) ? 1 : -1;
  }
  return net;
}

// The first grid of a fixed pseudo-random sequence on which no neuron fires, so that a
// recognition tests every neuron.
inline std::optional<Grid> gridNoNeuronFiresOn(const Network& trained) {
  uint64_t seed = 0x5E6A0;
  for (int attempt = 0; attempt < 1'000'000; ++attempt) {
    seed = seed * 6364136223846793005u + 1442695040888963407u;  // Knuth's MMIX generator
    Grid grid{};
    for (int c = 0; c < kCells; ++c) grid[c] = (seed >> (c + 17)) & 1 ? kBlack : kWhite;
    const Result<int16_t> answer = firstFiringNeuron(trained, inputFromGrid(grid));
    if (answer.ok() && answer.value() == -1) return grid;
  }
  return std::nullopt;
}

}  // namespace segno::bench
