#include "network.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace segno {
namespace {

SampleRow rowWithBlack(std::initializer_list<int> blackCells) {
  SampleRow row;
  row.fill(-1);
  for (int c : blackCells) row[static_cast<size_t>(c)] = 1;
  return row;
}

const SampleRow kI = rowWithBlack({2, 7, 12, 17, 22, 27});
const SampleRow kL = rowWithBlack({0, 5, 10, 15, 20, 25, 26, 27, 28, 29});

void addSample(Network& net, const std::string& label, const SampleRow& row) {
  net.MatM[net.sampleLabels.size()] = row;
  net.sampleLabels.push_back(label);
}

Network iAndL() {
  Network net;
  addSample(net, "I", kI);
  addSample(net, "L", kL);
  net.neuronLabels = {"I", "L"};
  return net;
}

int32_t sumFor(const Network& net, int n, const SampleRow& row) {
  return *weightedSum(net.W[static_cast<size_t>(n)], inputFromRow(row));
}

TEST(Training, OneSampleNeedsOneCorrectionAndCopiesItsInput) {
  Network net;
  addSample(net, "A", kI);
  net.neuronLabels = {"A"};
  ASSERT_EQ(train(net), Outcome::Done);
  EXPECT_EQ(net.eta, 1);
  EXPECT_EQ(net.W[0][0], -1);
  for (int c = 0; c < kCells; ++c) EXPECT_EQ(net.W[0][c + 1], kI[static_cast<size_t>(c)]);
  EXPECT_EQ(sumFor(net, 0, kI), 31);
}

TEST(Training, IAndLGiveTheWorkedRows) {
  Network net = iAndL();
  ASSERT_EQ(train(net), Outcome::Done);
  const Input xi = inputFromRow(kI);
  const Input xl = inputFromRow(kL);
  for (int i = 0; i < kWeights; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(net.W[0][i], xi[i] - xl[i]);  // "I": first sample's X minus the second's
    EXPECT_EQ(net.W[1][i], xl[i]);          // "L": the second sample's X
  }
  EXPECT_EQ(net.W[0][1 + 2], 2);
  EXPECT_EQ(net.W[0][1 + 27], 0);
  EXPECT_EQ(net.W[0][1 + 0], -2);
  EXPECT_EQ(sumFor(net, 0, kI), 28);
  EXPECT_EQ(sumFor(net, 1, kI), 3);
  EXPECT_EQ(sumFor(net, 0, kL), -28);
  EXPECT_EQ(sumFor(net, 1, kL), 31);
}

TEST(Training, CorrectsUntilTheTargetIsReachedInStepsOf31) {
  // Start neuron 0 at s = -40 on a positive sample: floor(40 / 31) + 1 = 2 corrections.
  Network net;
  addSample(net, "A", kI);
  net.neuronLabels = {"A"};
  net.eta = 1;
  const Input x = inputFromRow(kI);
  for (int i = 0; i < 40; ++i)
    net.W[0][i % kWeights] = static_cast<int16_t>(net.W[0][i % kWeights] - x[i % kWeights]);
  ASSERT_EQ(sumFor(net, 0, kI), -40);
  ASSERT_TRUE(Apprendi(net, 0));
  EXPECT_EQ(sumFor(net, 0, kI), -40 + 2 * 31);

  // The same input as a negative sample at s = 22 needs ceil(22 / 31) = 1 correction.
  net.sampleLabels = {"B"};
  ASSERT_TRUE(Apprendi(net, 0));
  EXPECT_EQ(sumFor(net, 0, kI), 22 - 31);
}

TEST(Training, NegativeExampleOnZeroWeightsChangesNothing) {
  Network net;
  addSample(net, "B", kL);
  net.neuronLabels = {"A"};
  ASSERT_EQ(train(net), Outcome::Done);
  for (int i = 0; i < kWeights; ++i) EXPECT_EQ(net.W[0][i], 0);
}

TEST(Training, SinglePassLeavesEarlierSamplesAsTheyFall) {
  // The order of the samples changes the weights one pass produces.
  Network forward = iAndL();
  Network backward;
  addSample(backward, "L", kL);
  addSample(backward, "I", kI);
  backward.neuronLabels = {"I", "L"};
  train(forward);
  train(backward);
  EXPECT_NE(forward.W[1], backward.W[1]);
}

TEST(Training, RepeatsRowsZeroToNineteenButContinuesRowTwenty) {
  Network net;
  for (int n = 0; n < kMaxNeurons; ++n) {
    SampleRow row;
    row.fill(-1);
    row[static_cast<size_t>(n)] = 1;
    addSample(net, std::string(1, static_cast<char>('a' + n)), row);
    net.neuronLabels.push_back(net.sampleLabels.back());
  }
  ASSERT_EQ(train(net), Outcome::Done);
  const auto first = net.W;
  ASSERT_EQ(train(net), Outcome::Done);
  for (int n = 0; n < kZeroedNeurons; ++n) EXPECT_EQ(net.W[n], first[n]) << "neuron " << n;
  // Row 20 is not zeroed: the second pass starts from weights that misjudge sample 0.
  EXPECT_NE(net.W[20], first[20]);
}

TEST(Training, RefusesWithoutNeuronsAndKeepsTheWeights) {
  Network net;
  net.W[3][4] = 9;
  EXPECT_EQ(train(net), Outcome::NoNeurons);
  EXPECT_EQ(net.eta, 1);
  EXPECT_EQ(net.W[3][4], 9);
}

TEST(Training, CompletesWithNeuronsButNoSamples) {
  Network net;
  net.neuronLabels = {"A"};
  net.W[0][1] = 7;
  EXPECT_EQ(train(net), Outcome::Done);
  EXPECT_EQ(net.W[0], WeightRow{});  // zeroed, then a pass that visits nothing
}

TEST(Training, StopsOnAWeightLeavingSixteenBitsAndKeepsTheOldTable) {
  // Row 20 keeps its weights between trainings, so a correction can push one past 32767.
  Network net;
  for (int n = 0; n < kMaxNeurons; ++n) net.neuronLabels.push_back("n" + std::to_string(n));
  addSample(net, "n20", rowWithBlack({0, 1}));
  net.W[20][1] = 32767;
  net.W[20][2] = -32767;  // s = 0, so the positive sample needs a correction
  net.W[3][4] = 9;
  const auto before = net.W;
  EXPECT_EQ(train(net), Outcome::Overflow);
  EXPECT_EQ(net.W, before);
}

TEST(Training, StopsOnAProductLeavingSixteenBits) {
  Network net;
  SampleRow big;
  big.fill(32767);
  addSample(net, "A", big);  // after one correction W[i] * X[i] = 32767 * 32767
  net.neuronLabels = {"A"};
  EXPECT_EQ(train(net), Outcome::Overflow);
  EXPECT_EQ(net.W[0], WeightRow{});
}

TEST(Recognition, FirstPositiveNeuronWinsAndZeroDoesNotFire) {
  Network net = iAndL();
  train(net);
  EXPECT_EQ(firstFiringNeuron(net, inputFromRow(kI)), 0);  // 28 and 3: both fire, first wins
  EXPECT_EQ(firstFiringNeuron(net, inputFromRow(kL)), 1);  // -28 and 31

  Network untrained = iAndL();
  EXPECT_EQ(firstFiringNeuron(untrained, inputFromRow(kI)), -1);
  Network none;
  EXPECT_EQ(firstFiringNeuron(none, inputFromRow(kI)), -1);
}

TEST(Recognition, ReportsAProductLeavingSixteenBits) {
  Network net;
  net.neuronLabels = {"A"};
  net.W[0][0] = -32768;  // times the bias input -1
  EXPECT_EQ(firstFiringNeuron(net, inputFromRow(kI)), std::nullopt);
}

TEST(Encoding, OnlyExactBlackIsPainted) {
  Grid grid;
  grid.fill(kWhite);
  grid[0] = kBlack;
  grid[1] = 0x000001;
  const Input x = inputFromGrid(grid);
  EXPECT_EQ(x[0], -1);
  EXPECT_EQ(x[1], 1);
  EXPECT_EQ(x[2], -1);
  EXPECT_EQ(x[3], -1);
}

}  // namespace
}  // namespace segno
