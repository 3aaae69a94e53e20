// The window's state and the network beneath it: drawing, storing, training, recognising.
#include "formstate.h"

#include <gtest/gtest.h>

using namespace segno;

namespace {

const std::vector<int> kI{2, 7, 12, 17, 22, 27}, kL{0, 5, 10, 15, 20, 25, 26, 27, 28, 29};

std::vector<int> painted(const FormState& state) {
  std::vector<int> cells;
  for (int i = 0; i < kCells; ++i)
    if (state.grid[i] == kBlack) cells.push_back(i);
  return cells;
}

// Presses the left button in the middle of the area that the hit-test gives to each cell in
// turn, then types `label`.
FormState& draw(FormState& state, const std::vector<int>& cells, const std::string& label = "") {
  for (const int i : cells)  // NOLINTNEXTLINE(bugprone-integer-division): the cell's row
    formMouseDown(state, kLeftButton, 0, float(546 + 372 * (i % 5)), float(306 + 372 * (i / 5)));
  return text1Change(state, label), state;
}

}  // namespace

TEST(Training, IAndLGiveTheWorkedRowsAndRecognitionShowsTheFirstNeuronThatFires) {
  FormState state;
  formLoad(state);
  ASSERT_TRUE(memo(draw(state, kI, "I")).ok() && memo(draw(state, kL, "L")).ok());
  ASSERT_TRUE(addestra(state).ok());
  const Input i = inputFromRow(state.net.MatM[0]), l = inputFromRow(state.net.MatM[1]);
  for (size_t w = 0; w < kWeights; ++w) EXPECT_EQ(state.net.W[0][w], i[w] - l[w]) << w;
  EXPECT_EQ(state.net.W[1], l);  // no correction on "I", one on "L"
  EXPECT_EQ(weightedSum(state.net.W[1], i), 3);
  EXPECT_EQ(firstFiringNeuron(state.net, i).value(), 0);  // both fire: the first wins
  ASSERT_TRUE(visualizza(draw(state, kL)).ok());          // -28 and 31
  EXPECT_EQ(std::tie(state.LBch, state.Label2, state.Label7, state.list2Selection),
            std::tuple("L", "Carattere Riconosciuto:", "Analisi ...", 1));
  state.net.W[1].fill(0);  // a sum of 0 never fires
  ASSERT_TRUE(visualizza(state).ok());
  EXPECT_EQ(std::tie(state.LBch, state.Label2, state.Label7, state.list2Selection),
            std::tuple("L", "Carattere Riconosciuto:", "Carattere non riconosciuto", -1));
  state.net.W[1][1] = state.net.W[2][1] = 1;  // cell 0 alone decides, and it is painted
  EXPECT_TRUE(visualizza(state).ok() && state.list2Selection == 1);
  state.net.W[1].fill(0);
  EXPECT_TRUE(visualizza(state).ok() && state.list2Selection == -1);  // row 2 has no neuron
  EXPECT_TRUE(memo(state).ok() && state.Label2 == "Assegna:");        // MEMO then asks for a label
}

TEST(Memo, StoresTheDrawingWithANeuronForEachLabelNoEarlierSampleCarriesUpToTheLimits) {
  FormState state;
  formLoad(state);
  EXPECT_EQ(memo(draw(state, {0, 29})).reason(), "Digitare il carattere da Apprendere");
  EXPECT_EQ(addestra(draw(state, {}, "x")).reason() + state.LBch,  // emptied all the same
            "E' effettuare inserire almeno un carattere!");
  EXPECT_EQ(visualizza(state).reason(), "E' necessario prima addestrare la rete!");
  state.net.neuronLabels.push_back("Z");  // as a loaded file may leave them
  for (const char* label : {"A", "A", "a", "Z"}) ASSERT_TRUE(memo(draw(state, {}, label)).ok());
  EXPECT_EQ(state.net.neuronLabels, (std::vector<std::string>{"Z", "A", "a", "Z"}));
  for (char c = 'b'; c <= 'r'; ++c) ASSERT_TRUE(memo(draw(state, {}, {c})).ok());  // 21 neurons
  EXPECT_EQ(memo(draw(state, {5}, "?")).reason(), "Troppi caratteri: al massimo 21 neuroni");
  ASSERT_TRUE(memo(draw(state, {}, "A")).ok());  // the 22nd sample
  EXPECT_EQ(memo(draw(state, {6}, "a")).reason(), "Memoria piena: al massimo 22 campioni");
  EXPECT_EQ(std::pair(state.LBch, painted(state)), std::pair(std::string("a"), std::vector{6}));
  list1Click(state, 0);  // the drawing that MEMO refused without a label, then stored
  EXPECT_EQ(painted(state), (std::vector<int>{0, 29}));
}
