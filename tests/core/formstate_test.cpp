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
  text1Change(state, label);
  return state;
}

// A window that stored sample k under labels[k], drawn as drawings[k].
FormState stored(const std::string& labels, const std::vector<std::vector<int>>& drawings) {
  FormState state;
  formLoad(state);
  for (size_t k = 0; k < drawings.size(); ++k)
    EXPECT_TRUE(memo(draw(state, drawings[k], {labels[k]})).ok());
  return state;
}

}  // namespace

TEST(Training, IAndLGiveTheWorkedRowsAndTheFirstFiringNeuronWins) {
  Network net = stored("IL", {kI, kL}).net;
  const Input i = inputFromRow(net.MatM[0]), l = inputFromRow(net.MatM[1]);
  ASSERT_TRUE(train(net).ok());
  for (size_t w = 0; w < kWeights; ++w) EXPECT_EQ(net.W[0][w], i[w] - l[w]) << w;
  EXPECT_EQ(net.W[1], l);  // no correction on "I", one on "L"
  EXPECT_EQ(weightedSum(net.W[1], i), 3);
  EXPECT_EQ(firstFiringNeuron(net, i).value(), 0);  // both fire: the first wins
  EXPECT_EQ(firstFiringNeuron(net, l).value(), 1);  // -28 and 31
}

TEST(Training, StartsRowsZeroToNineteenAfreshButContinuesRowTwentyAndStopsAtSixteenBits) {
  std::vector<std::vector<int>> drawings;
  for (int n = 0; n < kMaxNeurons; ++n) drawings.push_back({n});
  Network net = stored("abcdefghijklmnopqrstu", drawings).net;
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
  EXPECT_EQ(firstFiringNeuron(net, inputFromRow(net.MatM[0])).reason(),
            "Riconoscimento interrotto: valore oltre i 16 bit");
}

TEST(Mouse, APressActsWithAnyButtonAMoveWithTheLeftAlone) {
  // Press or move, Button and Shift, then what the cell undergoes: Paint, Erase, or - nothing.
  const std::tuple<bool, int16_t, int16_t, char> cases[] = {
      {true, 1, 0, 'P'},  {true, 2, 0, 'P'},  {true, 1, 1, 'E'},  {true, 2, 1, 'E'},
      {true, 1, 2, 'P'},  {true, 1, 3, 'P'},  {false, 1, 0, 'P'}, {false, 1, 1, 'E'},
      {false, 1, 2, 'E'}, {false, 1, 3, 'E'}, {false, 2, 0, '-'}, {false, 3, 0, '-'}};
  for (const auto& [press, button, shift, action] : cases) {
    SCOPED_TRACE(testing::Message()
                 << (press ? "press" : "move") << ", button " << button << ", shift " << shift);
    FormState state;
    state.grid.fill(kWhite);
    // A cell that the action changes, and that any other write would change too.
    state.grid[12] = action == 'P' ? kWhite : action == 'E' ? kBlack : 0x808080;
    state.LBch = "A";
    Grid expected = state.grid;
    expected[12] = action == 'P' ? kBlack : action == 'E' ? kWhite : 0x808080;
    (press ? formMouseDown : formMouseMove)(state, button, shift, 1290, 1050);  // cell 12
    EXPECT_EQ(state.grid, expected);
    EXPECT_EQ(state.LBch, press ? "" : "A");
  }
}

TEST(LabelBox, TakesAnEditAsIfTypedAndHoldsOneCharacter) {
  // The characters before, those after and the cursor among them, then what the box keeps.
  const std::tuple<const char*, Characters, Characters, size_t, Characters> cases[] = {
      {"typed into the empty box", {}, {"A"}, 1, {"A"}},
      {"a paste over the selected one", {"A"}, {"B", "C"}, 2, {"B"}},
      {"a line with its end", {}, {"A", "\r\n", "B"}, 3, {"A"}},
      {"a character before the one there", {"A"}, {"B", "A"}, 1, {"A"}}};
  for (const auto& [name, before, after, cursor, kept] : cases) {
    SCOPED_TRACE(name);
    EXPECT_EQ(labelBoxText(before, after, cursor), kept);
  }
}

TEST(Memo, StoresTheDrawingWithANeuronForEachLabelNoEarlierSampleCarriesUpToTheLimits) {
  FormState state = stored("", {});
  EXPECT_EQ(memo(draw(state, {0, 29})).reason(), "Digitare il carattere da Apprendere");
  state.Label2 = texts::kRecognised;
  ASSERT_TRUE(memo(draw(state, {}, "A")).ok());
  list1Click(state, 0);
  EXPECT_EQ(painted(state), (std::vector<int>{0, 29}));
  state.net.neuronLabels.push_back("Z");  // as a loaded file may leave them
  for (const char* label : {"A", "a", "Z"}) ASSERT_TRUE(memo(draw(state, {}, label)).ok());
  EXPECT_EQ(state.net.sampleLabels, (std::vector<std::string>{"A", "A", "a", "Z"}));
  EXPECT_EQ(state.net.neuronLabels, (std::vector<std::string>{"A", "Z", "a", "Z"}));
  EXPECT_EQ(std::tie(state.LBNneuroni, state.Label2, state.LBch), std::tuple("4", "Assegna:", ""));
  for (int n = 0; n < kMaxNeurons - 4; ++n)
    ASSERT_TRUE(memo(draw(state, {}, {static_cast<char>('b' + n)})).ok());
  EXPECT_EQ(memo(draw(state, {5}, "?")).reason(), "Troppi caratteri: al massimo 21 neuroni");
  ASSERT_TRUE(memo(draw(state, {}, "A")).ok());  // the 22nd sample
  EXPECT_EQ(memo(draw(state, {6}, "a")).reason(), "Memoria piena: al massimo 22 campioni");
  EXPECT_EQ(std::pair(state.LBch, painted(state)), std::pair(std::string("a"), std::vector{6}));
  list1Click(state, 21);
  EXPECT_EQ(painted(state), std::vector<int>{5});
}

TEST(TrainingAndRecognition, ShowTheirOutcomeOrSayWhyNot) {
  FormState state = stored("", {});
  EXPECT_EQ(addestra(draw(state, {}, "x")).reason(), "E' effettuare inserire almeno un carattere!");
  EXPECT_EQ(state.LBch, "");
  state = stored("IL", {kI, kL});
  EXPECT_EQ(visualizza(draw(state, kL)).reason(), "E' necessario prima addestrare la rete!");
  ASSERT_TRUE(addestra(draw(state, {}, "x")).ok());
  ASSERT_TRUE(visualizza(state).ok());
  EXPECT_EQ(std::tie(state.LBch, state.Label2, state.Label7, state.list2Selection),
            std::tuple("L", "Carattere Riconosciuto:", "Analisi ...", 1));
  state.net.W[1].fill(0);  // a sum of 0 never fires, a sum of 1 does
  ASSERT_TRUE(visualizza(state).ok());
  EXPECT_EQ(std::tie(state.LBch, state.Label2, state.Label7, state.list2Selection),
            std::tuple("L", "Carattere Riconosciuto:", "Carattere non riconosciuto", -1));
  state.net.W[1][1] = 1;  // cell 0 alone decides, and it is painted
  EXPECT_TRUE(visualizza(state).ok() && state.list2Selection == 1);
  state.net.MatM[0].fill(32767);  // as a loaded file may hold
  EXPECT_FALSE(addestra(state).ok());
  EXPECT_EQ(state.Label7, "Analisi ...");
}
