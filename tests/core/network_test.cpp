#include "network.h"

#include <gtest/gtest.h>

using namespace segno;

namespace {

Input inputWithBlack(const std::vector<int>& cells) {
  SampleRow row;
  row.fill(-1);
  for (const int c : cells) row[static_cast<size_t>(c)] = 1;
  return inputFromRow(row);
}

const Input kI = inputWithBlack({2, 7, 12, 17, 22, 27});
const Input kL = inputWithBlack({0, 5, 10, 15, 20, 25, 26, 27, 28, 29});

// One neuron and one sample per character of `labels`, sample k drawn as inputs[k].
Network networkOf(const std::string& labels, const std::vector<Input>& inputs) {
  Network net;
  for (size_t k = 0; k < inputs.size(); ++k) {
    std::copy(inputs[k].begin() + 1, inputs[k].end(), net.MatM[k].begin());
    net.sampleLabels.emplace_back(1, labels[k]);
    net.neuronLabels.emplace_back(1, labels[k]);
  }
  return net;
}

}  // namespace

TEST(Training, IAndLGiveTheWorkedRowsAndTheFirstFiringNeuronWins) {
  Network net = networkOf("IL", {kI, kL});
  ASSERT_TRUE(train(net).ok());
  for (size_t i = 0; i < kWeights; ++i) EXPECT_EQ(net.W[0][i], kI[i] - kL[i]) << i;
  EXPECT_EQ(net.W[1], kL);  // no correction on "I", one on "L"
  EXPECT_EQ(weightedSum(net.W[0], kI), 28);
  EXPECT_EQ(weightedSum(net.W[1], kI), 3);
  EXPECT_EQ(firstFiringNeuron(net, kI).value(), 0);  // both fire: the first wins
  EXPECT_EQ(firstFiringNeuron(net, kL).value(), 1);  // -28 and 31
  net.W[1].fill(0);                                  // a sum of 0 never fires, a sum of 1 does
  EXPECT_EQ(firstFiringNeuron(net, kL).value(), -1);
  net.W[1][0] = -1;
  EXPECT_EQ(firstFiringNeuron(net, kL).value(), 1);
}

TEST(Training, StartsRowsZeroToNineteenAfreshButContinuesRowTwentyAndStopsAtSixteenBits) {
  std::vector<Input> inputs;
  for (int n = 0; n < kMaxNeurons; ++n) inputs.push_back(inputWithBlack({n}));
  Network net = networkOf("abcdefghijklmnopqrstu", inputs);
  ASSERT_TRUE(train(net).ok());
  const auto first = net.W;
  net.W[3][4] = 9;  // gone again: rows 0 to 19 start from zero
  ASSERT_TRUE(train(net).ok());
  for (int n = 0; n < kZeroedNeurons; ++n) EXPECT_EQ(net.W[n], first[n]) << n;
  EXPECT_NE(net.W[20], first[20]);
  net.W[20].fill(0);
  net.W[20][1] = net.W[20][21] = 32767;  // s = 0 on "u", whose correction adds 1 to W[20][21]
  const auto before = net.W;
  EXPECT_EQ(train(net).reason(), "Addestramento interrotto: peso oltre i 16 bit");
  EXPECT_EQ(net.W, before);
  net.W[0][0] = -32768;  // times the bias input -1
  EXPECT_EQ(firstFiringNeuron(net, kI).reason(),
            "Riconoscimento interrotto: valore oltre i 16 bit");
}
