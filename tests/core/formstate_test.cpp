#include "formstate.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace segno {
namespace {

// Centre of cell i's hit area, in twips.
float hitX(int i) {
  return static_cast<float>(kGridLeft + kCellSize * (i % kGridCols) + 180);
}
float hitY(int i) {
  return static_cast<float>(kGridTop + kCellSize * (i / kGridCols) + 180);
}

FormState freshForm() {
  FormState state;
  formLoad(state);
  return state;
}

void draw(FormState& state, std::initializer_list<int> cells) {
  for (int i : cells) formMouseDown(state, kLeftButton, 0, hitX(i), hitY(i));
}

void store(FormState& state, const std::string& label, std::initializer_list<int> cells) {
  draw(state, cells);
  text1Change(state, label);
  ASSERT_EQ(memo(state), std::nullopt);
}

TEST(Memo, FirstSampleCreatesTheFirstNeuronAndClearsTheGrid) {
  FormState state = freshForm();
  store(state, "A", {0, 29});
  EXPECT_EQ(state.net.sampleLabels, std::vector<std::string>{"A"});
  EXPECT_EQ(state.net.neuronLabels, std::vector<std::string>{"A"});
  EXPECT_EQ(state.LBNneuroni, "1");
  EXPECT_EQ(state.net.MatM[0][0], 1);
  EXPECT_EQ(state.net.MatM[0][1], -1);
  EXPECT_EQ(state.net.MatM[0][29], 1);
  for (Colour c : state.grid) EXPECT_EQ(c, kWhite);
  EXPECT_EQ(state.LBch, "");
  EXPECT_EQ(state.Label2, texts::kAssign);
}

TEST(Memo, NewnessIsCaseSensitiveAndDecidedByEarlierSamples) {
  FormState state = freshForm();
  store(state, "A", {});
  store(state, "A", {});
  EXPECT_EQ(state.net.neuronLabels.size(), 1u);
  store(state, "a", {});
  EXPECT_EQ(state.net.neuronLabels, (std::vector<std::string>{"A", "a"}));
  EXPECT_EQ(state.LBNneuroni, "2");

  // As after loading a file whose neuron list disagrees with its samples.
  state.net.neuronLabels = {"Z"};
  store(state, "A", {});
  EXPECT_EQ(state.net.neuronLabels, std::vector<std::string>{"Z"});
  store(state, "Z", {});
  EXPECT_EQ(state.net.neuronLabels, (std::vector<std::string>{"Z", "Z"}));
}

TEST(Memo, RefusesAnEmptyLabelAndKeepsTheDrawing) {
  FormState state = freshForm();
  draw(state, {4});
  EXPECT_EQ(memo(state), texts::kTypeCharacter);
  EXPECT_EQ(state.grid[4], kBlack);
  EXPECT_TRUE(state.net.sampleLabels.empty());
  text1Change(state, " ");  // a blank is a label like any other
  EXPECT_EQ(memo(state), std::nullopt);
}

TEST(Memo, RefusesATwentyThirdSampleAndATwentySecondNeuron) {
  FormState state = freshForm();
  for (int n = 0; n < kMaxNeurons; ++n)
    store(state, std::string(1, static_cast<char>('a' + n)), {});
  draw(state, {1});
  text1Change(state, "Z");
  EXPECT_EQ(memo(state), texts::kTooManyNeurons);
  EXPECT_EQ(state.grid[1], kBlack);
  EXPECT_EQ(state.net.sampleLabels.size(), 21u);

  text1Change(state, "a");  // an existing label still fits
  EXPECT_EQ(memo(state), std::nullopt);
  draw(state, {2});
  text1Change(state, "b");
  const FormState before = state;
  EXPECT_EQ(memo(state), texts::kMemoryFull);
  EXPECT_EQ(state.net.sampleLabels, before.net.sampleLabels);
  EXPECT_EQ(state.grid, before.grid);
  EXPECT_EQ(state.LBNneuroni, "21");
}

TEST(Browsing, SelectedSampleReplacesTheDrawingAndEmptiesTheLabel) {
  FormState state = freshForm();
  store(state, "I", {2, 7});
  draw(state, {0, 1});
  text1Change(state, "x");
  list1Click(state, 0);
  EXPECT_EQ(state.LBch, "");
  for (int i = 0; i < kCells; ++i) EXPECT_EQ(state.grid[i], (i == 2 || i == 7) ? kBlack : kWhite);

  text1Change(state, "y");
  list1Click(state, -1);  // nothing selected: nothing happens
  EXPECT_EQ(state.LBch, "y");
}

TEST(Addestra, AnOverflowLeavesWeightsAndStatusAsTheyWere) {
  FormState state = freshForm();
  store(state, "A", {0});
  state.net.MatM[0].fill(32767);  // as a loaded file may hold
  EXPECT_EQ(addestra(state), texts::kTrainingOverflow);
  EXPECT_EQ(state.Label7, "");
  EXPECT_EQ(state.net.W[0], WeightRow{});
}

TEST(Visualizza, ShowsTheAnswerThenOnlyTheStatusOnAFailure) {
  FormState state = freshForm();
  store(state, "I", {2, 7, 12, 17, 22, 27});
  store(state, "L", {0, 5, 10, 15, 20, 25, 26, 27, 28, 29});
  addestra(state);
  draw(state, {0, 5, 10, 15, 20, 25, 26, 27, 28, 29});
  EXPECT_EQ(visualizza(state), std::nullopt);
  EXPECT_EQ(state.list2Selection, 1);
  EXPECT_EQ(state.LBch, "L");
  EXPECT_EQ(state.Label2, texts::kRecognised);
  EXPECT_EQ(state.Label7, texts::kAnalysis);
  for (int i : {0, 5, 10}) EXPECT_EQ(state.grid[i], kBlack);  // the grid stays

  // A new neuron that no training reached has a zero row and never fires.
  state.net.W[1].fill(0);
  EXPECT_EQ(visualizza(state), std::nullopt);
  EXPECT_EQ(state.list2Selection, -1);
  EXPECT_EQ(state.Label7, texts::kNotRecognised);
  EXPECT_EQ(state.LBch, "L");
  EXPECT_EQ(state.Label2, texts::kRecognised);
}

TEST(Visualizza, AnOverflowChangesNothing) {
  FormState state = freshForm();
  store(state, "A", {0});
  addestra(state);
  draw(state, {0});
  visualizza(state);
  state.net.W[0][0] = -32768;
  const FormState before = state;
  EXPECT_EQ(visualizza(state), texts::kRecognitionOverflow);
  EXPECT_EQ(state.list2Selection, before.list2Selection);
  EXPECT_EQ(state.Label7, before.Label7);
  EXPECT_EQ(state.LBch, before.LBch);
}

}  // namespace
}  // namespace segno
