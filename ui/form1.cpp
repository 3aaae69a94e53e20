#include "form1.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalBlocker>
#include <QWindow>

#include "gridcell.h"
#include "labelvalidator.h"
#include "supplyfile.h"
#include "textfit.h"

namespace {

const QString kTitle = QStringLiteral("Segno");

constexpr int kClientWidth = 8496;  // twips
constexpr int kClientHeight = 4884;

int pixels(int twips) {
  return qRound(twips / double{segno::kTwipsPerPixel});
}

float twips(qreal pixels) {
  return static_cast<float>(pixels * segno::kTwipsPerPixel);
}

// A rectangle given in twips from the parent's top-left corner.
QRect twipsRect(int left, int top, int width, int height) {
  return {pixels(left), pixels(top), pixels(width), pixels(height)};
}

template <class Control>
Control* place(Control* control, const QString& name, const QRect& geometry) {
  control->setObjectName(name);
  control->setGeometry(geometry);
  return control;
}

QPushButton* makeButton(QWidget* parent, const char* name, const char* text, const QRect& rect) {
  auto* button = place(new QPushButton(QString::fromUtf8(text), parent), name, rect);
  button->setAutoDefault(false);
  return button;
}

QLabel* makeLabel(QWidget* parent, const char* name, const char* text, const QRect& rect) {
  auto* label = place(new QLabel(QString::fromUtf8(text), parent), name, rect);
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return label;
}

QListWidget* makeList(QWidget* parent, const char* name, const QRect& rect) {
  return place(new QListWidget(parent), name, rect);
}

QFont sansSerif(qreal pointSize) {
  QFont font;
  font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans")});
  font.setStyleHint(QFont::SansSerif);
  font.setPointSizeF(pointSize);
  return font;
}

void setColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(role, colour);
  widget->setPalette(palette);
}

void setBackground(QLabel* label, const QColor& colour) {
  label->setAutoFillBackground(true);
  setColour(label, QPalette::Window, colour);
}

QColor rgb(segno::Colour colour) {
  return QColor::fromRgb(colour);
}

int16_t buttonBits(Qt::MouseButtons buttons) {
  int bits = 0;
  if (buttons & Qt::LeftButton) bits |= 1;
  if (buttons & Qt::RightButton) bits |= 2;
  if (buttons & Qt::MiddleButton) bits |= 4;
  return static_cast<int16_t>(bits);
}

int16_t shiftBits(Qt::KeyboardModifiers modifiers) {
  int bits = 0;
  if (modifiers & Qt::ShiftModifier) bits |= 1;
  if (modifiers & Qt::ControlModifier) bits |= 2;
  if (modifiers & Qt::AltModifier) bits |= 4;
  return static_cast<int16_t>(bits);
}

QString qt(const std::string& text) {
  return QString::fromStdString(text);
}

// Appends what is new; rebuilds only when an existing entry differs, so a selection survives.
void syncList(QListWidget* list, const std::vector<std::string>& labels) {
  const int count = list->count();
  bool samePrefix = count <= static_cast<int>(labels.size());
  for (int row = 0; samePrefix && row < count; ++row)
    samePrefix = list->item(row)->text() == qt(labels[static_cast<size_t>(row)]);
  if (!samePrefix) list->clear();
  for (size_t row = static_cast<size_t>(list->count()); row < labels.size(); ++row)
    list->addItem(qt(labels[row]));
}

// Selects entry row, or nothing for -1, whatever selection mode the list lets users have.
void selectRow(QListWidget* list, int row) {
  QItemSelectionModel* selection = list->selectionModel();
  const QModelIndex index = list->model()->index(row, 0);
  selection->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
  if (!index.isValid()) {
    selection->clearSelection();
    return;
  }
  selection->select(index, QItemSelectionModel::ClearAndSelect);
  list->scrollTo(index);
}

int selectedRow(const QListWidget* list) {
  const QModelIndexList rows = list->selectionModel()->selectedIndexes();
  return rows.isEmpty() ? -1 : rows.first().row();
}

}  // namespace

Form1::Form1(std::string programLink, QWidget* parent)
    : QWidget(parent), programFolder(std::move(programLink)) {
  createControls();
  applyAppearance();
  connectEvents();
  Form_Load();
}

QMessageBox::StandardButton Form1::messageBox(const QString& text,
                                              QMessageBox::StandardButtons buttons) {
  if (messageBoxHook) return messageBoxHook(text, buttons);
  QMessageBox box(QMessageBox::NoIcon, kTitle, text, buttons, this);
  if (buttons.testFlag(QMessageBox::Yes)) box.setDefaultButton(QMessageBox::Yes);
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

void Form1::setMessageBoxHook(MessageBoxHook hook) {
  messageBoxHook = std::move(hook);
}

// A press on a label or the panel reaches the window only because they ignore it; it and the
// drag it starts belong to that control, not to the window's own surface.
void Form1::mousePressEvent(QMouseEvent* event) {
  const QPointF at = event->position();
  strokeOnControl = childAt(at.toPoint()) != nullptr;
  if (strokeOnControl) return;
  Form_MouseDown(buttonBits(event->button()), shiftBits(event->modifiers()), twips(at.x()),
                 twips(at.y()));
}

void Form1::mouseMoveEvent(QMouseEvent* event) {
  if (strokeOnControl && event->buttons() != Qt::NoButton) return;
  const QPointF at = event->position();
  Form_MouseMove(buttonBits(event->buttons()), shiftBits(event->modifiers()), twips(at.x()),
                 twips(at.y()));
}

// The face, the style or the screen that the text was fitted to has changed.
void Form1::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) fitTextLater();
  QWidget::changeEvent(event);
}

void Form1::showEvent(QShowEvent* event) {
  if (const QWindow* window = windowHandle())  // none while the window sits inside another
    connect(window, &QWindow::screenChanged, this, &Form1::fitTextLater, Qt::UniqueConnection);
  QWidget::showEvent(event);
}

// Remembers List1's selection before a press, to tell a re-click from a change of entry.
bool Form1::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (watched == List1->viewport() &&
      (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick))
    list1RowAtPress = selectedRow(List1);
  return QWidget::eventFilter(watched, event);
}

void Form1::createControls() {
  Text1 = place(new QLineEdit(this), "Text1", twipsRect(1560, 2520, 492, 372));
  Frame1 = place(new QGroupBox(QStringLiteral("CONTROL  PANNEL"), this), "Frame1",
                 twipsRect(2400, 0, 5892, 4692));
  createPanel();
  Label1 = makeLabel(this, "Label1", "Carattere:", twipsRect(360, 2520, 972, 252));
  createGrid();
}

// In creation order, which is also the stacking order.
void Form1::createPanel() {
  Command7 = makeButton(Frame1, "Command7", "LOAD", twipsRect(1320, 3000, 732, 372));
  Command6 = makeButton(Frame1, "Command6", "ADDESTRA", twipsRect(1320, 3480, 1572, 372));
  Command5 = makeButton(Frame1, "Command5", "MEMO", twipsRect(120, 3480, 1092, 372));
  Command2 = makeButton(Frame1, "Command2", "SAVE", twipsRect(2160, 3000, 732, 372));
  List2 = makeList(Frame1, "List2", twipsRect(4920, 1080, 612, 1776));
  List1 = makeList(Frame1, "List1", twipsRect(3720, 480, 1092, 2352));
  Command3 = makeButton(Frame1, "Command3", "RICONOSCI", twipsRect(3000, 3480, 1572, 372));
  Command1 = makeButton(Frame1, "Command1", "CLEAR MATRIX", twipsRect(120, 3000, 1092, 372));
  Label7 = makeLabel(Frame1, "Label7", "", twipsRect(120, 4080, 4452, 372));
  Label6 = makeLabel(Frame1, "Label6", "Neuroni associati", twipsRect(4920, 480, 732, 492));
  LBNneuroni = makeLabel(Frame1, "LBNneuroni", "", twipsRect(1680, 1920, 852, 252));
  Label5 = makeLabel(Frame1, "Label5", "N° Neuroni in uscita:", twipsRect(120, 1920, 1572, 252));
  Label4 = makeLabel(Frame1, "Label4", "N° Cicli:", twipsRect(3720, 240, 972, 252));
  Label2 = makeLabel(Frame1, "Label2", segno::texts::kAssign, twipsRect(360, 360, 1332, 612));
  LBch = makeLabel(Frame1, "LBch", "", twipsRect(1800, 360, 852, 612));
}

void Form1::createGrid() {
  for (size_t i = 0; i < CH.size(); ++i) {
    const int cell = static_cast<int>(i);
    const QRect rect =
        twipsRect(segno::cellLeft(cell), segno::cellTop(cell), segno::kCellSize, segno::kCellSize);
    CH[i] = place(new GridCell(this), QStringLiteral("CH%1").arg(cell), rect);
  }
}

void Form1::applyAppearance() {
  setWindowTitle(kTitle);
  setFixedSize(pixels(kClientWidth), pixels(kClientHeight));
  applyFonts();
  new LabelValidator(Text1);
  // The caption takes the frame's text colour; a style sheet would cost start-up time.
  const QColor plainText = palette().color(QPalette::WindowText);
  setColour(Frame1, QPalette::WindowText, rgb(0xFF0000));
  for (QLabel* label : {Label7, LBNneuroni}) setColour(label, QPalette::WindowText, plainText);
  setBackground(Label7, rgb(0xFFFFC0));
  for (QLabel* caption : {Label6, Label5, Label4})
    setColour(caption, QPalette::WindowText, rgb(0x000080));
  // QPalette has no title-bar roles: text on a highlight stands in for title-bar text.
  setBackground(LBNneuroni, palette().color(QPalette::HighlightedText));
  setColour(Label2, QPalette::WindowText, rgb(0x0000C0));
  setBackground(LBch, rgb(0xFFE0C0));
  setColour(LBch, QPalette::WindowText, rgb(0x0000C0));
  LBch->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  LBch->setFrameStyle(QFrame::Box | QFrame::Plain);
  setColour(Label1, QPalette::WindowText, palette().color(QPalette::Highlight));
  Label2->setWordWrap(true);
  Label6->setWordWrap(true);
  // Users may look at List2 but never choose in it: only recognition selects there.
  List2->setSelectionMode(QAbstractItemView::NoSelection);
}

void Form1::applyFonts() {
  setFont(sansSerif(8));
  fitText();
  connect(qApp, &QGuiApplication::fontDatabaseChanged, this, &Form1::fitTextLater);
}

// Each control's text in the design's font where it fits, else narrowed or made smaller.
void Form1::fitText() {
  const QFont plain = sansSerif(8);
  keepBelowFrameLine(Label4, plain);  // the one caption that starts above the panel's contents
  for (QWidget* control : std::initializer_list<QWidget*>{
           Command1, Command2, Command3, Command5, Command6, Command7, Label4, Label5, Label6})
    fitFont(control, plain, {control->property("text").toString()});
  const QFont larger = sansSerif(9.6);
  Text1->setFont(larger);  // a line, in a box far taller than any face makes it
  fitFont(Label1, larger, {Label1->text()});
  fitFont(Label2, larger, {qt(segno::texts::kAssign), qt(segno::texts::kRecognised)});
  fitFont(
      Label7, larger,
      {qt(segno::texts::kTrained), qt(segno::texts::kAnalysis), qt(segno::texts::kNotRecognised)});
  fitFont(LBNneuroni, plain);
  fitFont(LBch, sansSerif(24));
}

// Once every control has taken in the change.
void Form1::fitTextLater() {
  QMetaObject::invokeMethod(this, &Form1::fitText, Qt::QueuedConnection);
}

void Form1::connectEvents() {
  setMouseTracking(true);
  connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
  connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
  connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
  connect(Command5, &QPushButton::clicked, this, &Form1::Command5_Click);
  connect(Command6, &QPushButton::clicked, this, &Form1::Command6_Click);
  connect(Command7, &QPushButton::clicked, this, &Form1::Command7_Click);
  connect(Text1, &QLineEdit::textChanged, this, &Form1::Text1_Change);
  connect(List1, &QListWidget::itemSelectionChanged, this, &Form1::List1_Click);
  connect(List1, &QAbstractItemView::pressed, this, &Form1::onList1Pressed);
  List1->viewport()->installEventFilter(this);
  orderFocus();
}

void Form1::orderFocus() {
  const std::array<QWidget*, 9> chain{Command1, Command3, List1,    List2, Command2,
                                      Command5, Command6, Command7, Text1};
  for (size_t i = 1; i < chain.size(); ++i) setTabOrder(chain[i - 1], chain[i]);
  Command1->setFocus();
}

void Form1::Form_Load() {
  segno::formLoad(state);
  refresh();
  const QSignalBlocker quiet(List1);
  selectRow(List1, -1);
}

void Form1::Command1_Click() {
  segno::command1Click(state);
  refresh();
}

void Form1::Command2_Click() {
  if (!segno::canSave(state)) return;
  const QString question = qt(segno::texts::kConfirmSave);
  if (messageBox(question, QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) return;
  const segno::Result<segno::Replaced> saved = segno::saveSupply(state, programFolder);
  if (!saved.ok()) return showOutcome(saved.failure());
  if (!saved.value().remark.empty()) messageBox(qt(saved.value().remark));
}

void Form1::Command3_Click() {
  showOutcome(segno::visualizza(state));
}

void Form1::Command5_Click() {
  showOutcome(segno::memo(state));
}

void Form1::Command6_Click() {
  showOutcome(segno::addestra(state));
}

void Form1::Command7_Click() {
  const segno::Result<> loaded = segno::loadSupply(state, programFolder);
  // A loaded file replaces List1 whole, so no earlier selection survives it.
  if (loaded.ok()) List1->clear();
  showOutcome(loaded);
}

void Form1::Text1_Change() {
  segno::text1Change(state, Text1->text().toStdString());
  refresh();
}

void Form1::List1_Click() {
  segno::list1Click(state, selectedRow(List1));
  refresh();
}

void Form1::Form_MouseDown(int16_t Button, int16_t Shift, float X, float Y) {
  segno::formMouseDown(state, Button, Shift, X, Y);
  refresh();
}

void Form1::Form_MouseMove(int16_t Button, int16_t Shift, float X, float Y) {
  segno::formMouseMove(state, Button, Shift, X, Y);
  refresh();
}

// A press on the entry already selected changes no selection, yet shows that sample again.
void Form1::onList1Pressed() {
  if (selectedRow(List1) == list1RowAtPress) List1_Click();
}

// The window shows what the operation did before any message about it.
void Form1::showOutcome(const segno::Result<>& outcome) {
  refresh();
  if (!outcome.ok()) messageBox(qt(outcome.reason()));
}

void Form1::refresh() {
  for (size_t i = 0; i < CH.size(); ++i) CH[i]->setColour(state.grid[i]);
  LBch->setText(qt(state.LBch));
  const segno::Captions captions = segno::captions(state);
  Label2->setText(qt(captions.Label2));
  Label7->setText(qt(captions.Label7));
  LBNneuroni->setText(qt(captions.LBNneuroni));
  // Entries and selections set here are the program's, so List1_Click must not run.
  const QSignalBlocker quiet(List1);
  syncList(List1, state.net.sampleLabels);
  syncList(List2, state.net.neuronLabels);
  selectRow(List2, state.list2Selection);
}
