#include "network.h"

#include <algorithm>

#include "checked.h"
#include "texts.h"

namespace segno {

int16_t bipolar(Colour colour) {
  return colour == kBlack ? int16_t{1} : int16_t{-1};
}

Input inputFromRow(const SampleRow& row) {
  Input x{};
  x[0] = kBiasInput;
  std::copy(row.begin(), row.end(), x.begin() + 1);
  return x;
}

Input inputFromGrid(const Grid& grid) {
  Input x{};
  x[0] = kBiasInput;
  for (int c = 0; c < kCells; ++c) x[c + 1] = bipolar(grid[c]);
  return x;
}

std::optional<int32_t> weightedSum(const WeightRow& weights, const Input& x) {
  int32_t sum = 0;
  for (int i = 0; i < kWeights; ++i) {
    const auto product = checkedMul(weights[i], x[i]);
    if (!product) return std::nullopt;
    sum += *product;  // 31 terms of at most 32768 in magnitude cannot overflow 32 bits
  }
  return sum;
}

namespace {

// Zeroes rows 0 to 19 of W, whatever the number of neurons.
void inizializzaW(Network& net) {
  for (int n = 0; n < kZeroedNeurons; ++n) net.W[n].fill(0);
}

int16_t output(int32_t sum) {
  return sum > 0 ? int16_t{1} : int16_t{-1};
}

// W[n][i] += eta * t * X[i] for every weight; false on overflow.
bool correct(WeightRow& weights, int16_t eta, int16_t target, const Input& x) {
  for (int i = 0; i < kWeights; ++i) {
    const auto scaled = checkedMul(eta, target);
    const auto increment = scaled ? checkedMul(*scaled, x[i]) : std::nullopt;
    const auto updated = increment ? checkedAdd(weights[i], *increment) : std::nullopt;
    if (!updated) return false;
    weights[i] = *updated;
  }
  return true;
}

// One pass of the error-correction rule over all samples for neuron n (0 <= n < 21 and
// n < neuronLabels.size()). Fails when a weight or a product would leave 16 bits; row n is
// then partly corrected, so callers train on a copy.
Result<> Apprendi(Network& net, int16_t n) {
  const Failure overflow{texts::kTrainingOverflow};
  const std::string& label = net.neuronLabels[static_cast<size_t>(n)];
  WeightRow& weights = net.W[static_cast<size_t>(n)];
  const size_t samples = std::min(net.sampleLabels.size(), size_t{kMaxSamples});
  for (size_t k = 0; k < samples; ++k) {
    const int16_t target = net.sampleLabels[k] == label ? int16_t{1} : int16_t{-1};
    const Input x = inputFromRow(net.MatM[k]);
    auto sum = weightedSum(weights, x);
    if (!sum) return overflow;
    // Each correction moves s by at least 1 toward the target, so the loop ends.
    while (output(*sum) != target) {
      if (!correct(weights, net.eta, target, x)) return overflow;
      sum = weightedSum(weights, x);
      if (!sum) return overflow;
    }
  }
  return {};
}

}  // namespace

Result<> train(Network& net) {
  net.eta = 1;
  if (net.neuronLabels.empty()) return Failure{texts::kNoNeurons};
  Network trial = net;
  inizializzaW(trial);
  const auto neurons =
      static_cast<int16_t>(std::min(trial.neuronLabels.size(), size_t{kMaxNeurons}));
  for (int16_t n = 0; n < neurons; ++n) {
    if (Result<> trained = Apprendi(trial, n); !trained.ok()) return trained;
  }
  net.W = trial.W;
  return {};
}

Result<int16_t> firstFiringNeuron(const Network& net, const Input& x) {
  const auto neurons = static_cast<int16_t>(std::min(net.neuronLabels.size(), size_t{kMaxNeurons}));
  for (int16_t n = 0; n < neurons; ++n) {
    const auto sum = weightedSum(net.W[static_cast<size_t>(n)], x);
    if (!sum) return Failure{texts::kRecognitionOverflow};
    if (*sum > 0) return n;
  }
  return int16_t{-1};
}

}  // namespace segno
