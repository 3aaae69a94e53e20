#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "grid.h"
#include "result.h"

namespace segno {

constexpr int kWeights = kCells + 1;  // weight 0 is the bias weight
constexpr int kMaxSamples = 22;       // rows of MatM
constexpr int kMaxNeurons = 21;       // rows of W
constexpr int kZeroedNeurons = 20;    // inizializzaW leaves row 20 as the last training left it
constexpr int16_t kBiasInput = -1;

using SampleRow = std::array<int16_t, kCells>;  // +1 painted, -1 blank, 0 never written
using WeightRow = std::array<int16_t, kWeights>;
using Input = std::array<int16_t, kWeights>;  // X: X[0] is the bias input, X[c + 1] cell c

// The network's lasting state. Sample k is sampleLabels[k] with MatM[k]; neuron n is
// neuronLabels[n] with W[n].
struct Network {
  std::vector<std::string> sampleLabels;  // at most kMaxSamples
  std::array<SampleRow, kMaxSamples> MatM{};
  std::vector<std::string> neuronLabels;  // at most kMaxNeurons
  std::array<WeightRow, kMaxNeurons> W{};
  int16_t eta = 0;  // learning rate; set to 1 by every training
};

// +1 for an exactly black cell, -1 for any other colour.
int16_t bipolar(Colour colour);

// X for a stored sample row, and for the colours on the grid.
Input inputFromRow(const SampleRow& row);
Input inputFromGrid(const Grid& grid);

// s = W[0] * X[0] + ... + W[30] * X[30] with 16-bit products and a 32-bit sum; nullopt
// when a product leaves the 16-bit range.
std::optional<int32_t> weightedSum(const WeightRow& weights, const Input& x);

// The whole training: eta = 1, then, when there are neurons, rows 0 to 19 zeroed and each
// neuron trained in list order. Fails without neurons, or on an overflow; W changes only
// when every neuron trained.
Result<> train(Network& net);

// Index of the first neuron (in list order) whose sum for x is positive, or -1 when none
// fires. Fails when a product leaves 16 bits. Only the first 21 neurons have weights.
Result<int16_t> firstFiringNeuron(const Network& net, const Input& x);

}  // namespace segno
