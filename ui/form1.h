#pragma once

#include <QMessageBox>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "formstate.h"
#include "programfolder.h"

class GridCell;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

// The program's one window: the drawing grid, the label box and the control panel. It shows
// a segno::FormState and hands each user event to the one core operation that handles it.
class Form1 : public QWidget {
  Q_OBJECT

 public:
  // Stands in for a message box: gets its text and buttons, returns the button pressed.
  using MessageBoxHook = std::function<QMessageBox::StandardButton(
      const QString& text, QMessageBox::StandardButtons buttons)>;

  // SAVE and LOAD use supply.txt in the folder of the program that `programLink` names, the
  // folder it was in when the window opened.
  explicit Form1(std::string programLink = segno::kThisProgram, QWidget* parent = nullptr);

  // Modal box titled "Segno" with no icon and the given buttons, Yes the default when offered;
  // returns the button pressed. Asks the hook instead when one is set.
  QMessageBox::StandardButton messageBox(const QString& text,
                                         QMessageBox::StandardButtons buttons = QMessageBox::Ok);

  // Answers every later message box through hook; an empty hook brings back the real box.
  void setMessageBoxHook(MessageBoxHook hook);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void createControls();
  void createPanel();
  void createGrid();
  void applyAppearance();
  void applyFonts();
  void fitText();
  void fitTextLater();
  void connectEvents();
  void orderFocus();

  void Form_Load();
  void Command1_Click();
  void Command2_Click();
  void Command3_Click();
  void Command5_Click();
  void Command6_Click();
  void Command7_Click();
  void Text1_Change();
  void List1_Click();
  void Form_MouseDown(int16_t Button, int16_t Shift, float X, float Y);
  void Form_MouseMove(int16_t Button, int16_t Shift, float X, float Y);

  void onList1Pressed();
  void showOutcome(const segno::Result<>& outcome);
  void refresh();

  segno::FormState state;
  const segno::ProgramFolder programFolder;
  MessageBoxHook messageBoxHook;
  int list1RowAtPress = -1;
  bool strokeOnControl = false;  // the buttons went down over a control, not the grid

  QLineEdit* Text1 = nullptr;
  QGroupBox* Frame1 = nullptr;
  QPushButton* Command7 = nullptr;
  QPushButton* Command6 = nullptr;
  QPushButton* Command5 = nullptr;
  QPushButton* Command2 = nullptr;
  QListWidget* List2 = nullptr;
  QListWidget* List1 = nullptr;
  QPushButton* Command3 = nullptr;
  QPushButton* Command1 = nullptr;
  QLabel* Label7 = nullptr;
  QLabel* Label6 = nullptr;
  QLabel* LBNneuroni = nullptr;
  QLabel* Label5 = nullptr;
  QLabel* Label4 = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* LBch = nullptr;
  QLabel* Label1 = nullptr;
  std::array<GridCell*, segno::kCells> CH{};
};
