#include "form1.h"

#include <QtTest>
#include <QtWidgets>

#include "gridcell.h"

// Form1 driven through real events as a user would, in a fresh folder each time; message
// boxes are recorded and answered. The checks hold whatever the Qt 6, style, fonts and scale.
class Form1Test : public QObject {
  Q_OBJECT

  std::unique_ptr<QTemporaryDir> folder;
  std::unique_ptr<Form1> form;
  QStringList messages;
  QMessageBox::StandardButton answer = QMessageBox::No;

  QWidget* find(const QString& name) { return form->findChild<QWidget*>(name); }
  QListWidget* list(const char* name) { return form->findChild<QListWidget*>(name); }
  // What the window shows, a field a line: painted cells, three labels, and both lists with
  // their selected entry starred.
  QStringList shown() {
    QStringList fields{"cells"};
    for (auto* square : form->findChildren<GridCell*>())
      if (square->colour() == segno::kBlack) fields[0] += ' ' + square->objectName().mid(2);
    for (const char* label : {"LBch", "Label7", "LBNneuroni"})
      fields << label + (' ' + find(label)->property("text").toString());
    for (const char* name : {"List1", "List2"}) {
      fields << name;
      for (auto* item : list(name)->findItems("*", Qt::MatchWildcard))
        fields.last() += ' ' + item->text() + (item->isSelected() ? "*" : "");
    }
    return fields;
  }
  // The colour that reached the screen at a point of the window, once pending paints are done.
  QColor onScreen(QPoint at) {
    QCoreApplication::processEvents();
    const QImage shot = form->screen()->grabWindow(form->winId()).toImage();
    return shot.pixelColor(at * shot.devicePixelRatio());
  }
  static QRect pixels(QRect twips) {
    return {twips.topLeft() / segno::kTwipsPerPixel, twips.size() / segno::kTwipsPerPixel};
  }
  // The middle of the area that the hit-test gives to cell i, in pixels.
  static QPoint cell(int i) {
    return QPoint(segno::hitCentreX(i), segno::hitCentreY(i)) / segno::kTwipsPerPixel;
  }
  // Whether each text shows whole in `control` in `font`: its ink and its advance, from the top
  // of its line (all its lines, wrapped), inside the rectangle where the control draws text and
  // below any frame line. That rectangle is a button's contents a pixel clear of the bevel, or a
  // label's, less for a framed one the indent Qt documents: half an 'x' (LBch, at its top).
  static bool showsWhole(const QWidget* control, const QFont& font, const QStringList& texts) {
    QStyleOptionButton option;
    option.initFrom(control);
    QRectF room = control->contentsRect();
    if (control->inherits("QPushButton"))
      room =
          QRectF(control->style()->subElementRect(QStyle::SE_PushButtonContents, &option, control))
              .adjusted(1, 0, -1, 0);
    else if (control->property("frameShape").toInt() != QFrame::NoFrame)
      room.setTop(room.top() + QFontMetrics(font).horizontalAdvance('x') / 2);
    // A group box draws its line above its contents (across their top, in Fusion).
    const int belowLine = control->parentWidget()->contentsRect().top() - control->y();
    const QFontMetricsF metrics(font, control);
    for (const QString& text : texts) {
      const QRectF ink = control->property("wordWrap").toBool()
                             ? metrics.boundingRect({0, 0, room.width(), 0}, Qt::TextWordWrap, text)
                             : metrics.tightBoundingRect(text).translated(0, metrics.ascent()) |
                                   QRectF(0, metrics.ascent(), metrics.horizontalAdvance(text), 0);
      if (ink.width() > room.width() || ink.bottom() > room.height()) return false;
      if (room.top() + ink.top() < belowLine) return false;
    }
    return true;
  }
  // Sent where the window system sends it: to the control under the point, if any.
  void mouse(QEvent::Type type, QPoint at, Qt::MouseButtons held, Qt::KeyboardModifiers keys = {}) {
    QWidget* target = form->childAt(at) ? form->childAt(at) : form.get();
    const auto button = type == QEvent::MouseMove ? Qt::NoButton : Qt::MouseButton(held.toInt());
    QMouseEvent event(type, target->mapFrom(form.get(), QPointF(at)),
                      form->mapToGlobal(QPointF(at)), button, held, keys);
    QApplication::sendEvent(target, &event);
  }
  void click(const char* button) { QTest::mouseClick(find(button), Qt::LeftButton); }
  // Presses the left button over each cell, then types `label` over what the box held; MEMO.
  void draw(const QList<int>& cells, const QString& label = "", bool store = false) {
    for (int i : cells) mouse(QEvent::MouseButtonPress, cell(i), Qt::LeftButton);
    QTest::keyClicks(find("Text1"), '\b' + label);
    if (store) click("Command5");
  }
  void pick(int entry, const char* name = "List1") {
    QTest::mouseClick(list(name)->viewport(), Qt::LeftButton, {},
                      list(name)->visualItemRect(list(name)->item(entry)).center());
  }

 private slots:
  void init() {
    messages.clear();
    answer = QMessageBox::No;
    folder = std::make_unique<QTemporaryDir>();
    QFile::link(folder->filePath("segno"), folder->filePath("program"));
    form = std::make_unique<Form1>(folder->filePath("program").toStdString());
    form->setMessageBoxHook([this](const QString& text, QMessageBox::StandardButtons buttons) {
      messages << text;
      return buttons.testFlag(QMessageBox::Yes) ? answer : QMessageBox::Ok;
    });
    form->show();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
  }
  void cleanup() { form.reset(); }

  // Each text whole, whatever face stands in for the design's, at any hinting, scale and style,
  // in the design's font wherever that fits.
  void theFocusStartsOnClearMatrixAndTabFollowsTheDesignedOrder() {
    QStringList order;
    for (int press = 0; press < 10; ++press) {
      order << QApplication::focusWidget()->objectName();
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(order.join(' '),
             "Command1 Command3 List1 List2 Command2 Command5 Command6 Command7 Text1 Command1");
  }

  void everyControlIsLaidOutAsDesignedWithItsTextWhole() {
    const QPalette window = form->palette();
    const QColor plain = window.color(QPalette::WindowText), navy(0x000080), blue(0x0000C0), none;
    const QColor face = window.color(QPalette::ButtonText), typed = window.color(QPalette::Text);
    const QColor highlight = window.color(QPalette::Highlight);
    const QColor titleText = window.color(QPalette::HighlightedText);
    const QStringList status{"", "Addestramento Neuroni completato", "Analisi ...",
                             "Carattere non riconosciuto"};
    struct Design {
      const char* name;
      QRect twips;  // place and size within its parent
      qreal points;
      QColor text;
      QColor background;  // none: the parent's
      QStringList shows;  // the caption at start, then any other text it takes
    };
    const Design controls[] = {
        {"Text1", {1560, 2520, 492, 372}, 9.6, typed, none, {""}},
        {"Frame1", {2400, 0, 5892, 4692}, 8, QColor(0xFF0000), none, {"CONTROL  PANNEL"}},
        {"Command7", {1320, 3000, 732, 372}, 8, face, none, {"LOAD"}},
        {"Command6", {1320, 3480, 1572, 372}, 8, face, none, {"ADDESTRA"}},
        {"Command5", {120, 3480, 1092, 372}, 8, face, none, {"MEMO"}},
        {"Command2", {2160, 3000, 732, 372}, 8, face, none, {"SAVE"}},
        {"List2", {4920, 1080, 612, 1776}, 8, typed, none, {""}},
        {"List1", {3720, 480, 1092, 2352}, 8, typed, none, {""}},
        {"Command3", {3000, 3480, 1572, 372}, 8, face, none, {"RICONOSCI"}},
        {"Command1", {120, 3000, 1092, 372}, 8, face, none, {"CLEAR MATRIX"}},
        {"Label7", {120, 4080, 4452, 372}, 9.6, plain, QColor(0xFFFFC0), status},
        {"Label6", {4920, 480, 732, 492}, 8, navy, none, {"Neuroni associati"}},
        {"LBNneuroni", {1680, 1920, 852, 252}, 8, plain, titleText, {"", "21"}},
        {"Label5", {120, 1920, 1572, 252}, 8, navy, none, {"N° Neuroni in uscita:"}},
        {"Label4", {3720, 240, 972, 252}, 8, navy, none, {"N° Cicli:"}},
        {"Label2", {360, 360, 1332, 612}, 9.6, blue, none, {"Assegna:", "Carattere Riconosciuto:"}},
        {"LBch", {1800, 360, 852, 612}, 24, blue, QColor(0xFFE0C0), {"", "É"}},
        {"Label1", {360, 2520, 972, 252}, 9.6, highlight, none, {"Carattere:"}}};
    for (const Design& design : controls) {  // each compared with its name, so a failure names it
      const QString name = design.name;
      QWidget* control = find(name);
      const QPalette colours = control->palette();
      const QString caption =
          control->property(control->inherits("QGroupBox") ? "title" : "text").toString();
      const QColor background =
          control->autoFillBackground() ? colours.color(QPalette::Window) : none;
      QCOMPARE(std::pair(name, control->geometry()), std::pair(name, pixels(design.twips)));
      QCOMPARE(std::pair(name, caption), std::pair(name, design.shows.first()));
      const auto role =
          control->inherits("QAbstractItemView") ? QPalette::Text : control->foregroundRole();
      QCOMPARE(std::pair(name, colours.color(role)), std::pair(name, design.text));
      QCOMPARE(std::pair(name, background), std::pair(name, design.background));
      const bool fitted = control->inherits("QLabel") || control->inherits("QPushButton");
      if (fitted) QVERIFY2(showsWhole(control, control->font(), design.shows), design.name);
      QFont designed = control->font();
      designed.setPointSizeF(design.points);
      designed.setStretch(QFont::AnyStretch);
      if (control->font() != designed)  // only a text that would not show whole in it
        QVERIFY2(fitted && !showsWhole(control, designed, design.shows), design.name);
    }
  }

  // As when the desktop's style changes; a change of fonts or screen goes the same way.
  void eachTextIsFittedAgainWhenTheStyleChanges() {
    QWidget* caption = find("Label5");
    const QFont fitted = caption->font();
    caption->setFont(QFont("Liberation Sans", 20));
    QEvent styleChange(QEvent::StyleChange);
    QApplication::sendEvent(form.get(), &styleChange);
    QCoreApplication::processEvents();  // the fit runs once the events of the change are done
    QCOMPARE(caption->font(), fitted);
  }

  void theMouseDrawsOnTheGridAtOnce() {
    mouse(QEvent::MouseButtonPress, cell(2), Qt::RightButton);
    QCOMPARE(onScreen(cell(2)), Qt::black);
    mouse(QEvent::MouseMove, cell(7), Qt::LeftButton);
    QCOMPARE(onScreen(cell(7)), Qt::black);
    mouse(QEvent::MouseMove, cell(0), Qt::LeftButton | Qt::RightButton);
    mouse(QEvent::MouseButtonPress, cell(1), Qt::LeftButton, Qt::ShiftModifier | Qt::AltModifier);
    mouse(QEvent::MouseButtonPress, cell(2), Qt::LeftButton, Qt::ShiftModifier);
    QCOMPARE(shown()[0], "cells 1 7");
    mouse(QEvent::MouseMove, cell(1), Qt::LeftButton, Qt::ControlModifier);
    QCOMPARE(onScreen(cell(1)), Qt::white);
    QCOMPARE(onScreen(find("CH29")->geometry().bottomRight()), Qt::black);  // the grid's outline
    mouse(QEvent::MouseButtonPress, {30, 175}, Qt::LeftButton);  // on the label "Carattere:"
    mouse(QEvent::MouseMove, cell(6), Qt::LeftButton);           // belongs to the label
    QCOMPARE(shown()[0], "cells 7");
  }

  void eachControlReachesItsOperationAndSaveAsksFirst() {
    click("Command2");  // no neuron: nothing to ask, nothing to write
    draw({0}, "I", true);
    click("Command2");
    QVERIFY(!QFile::exists(folder->filePath("supply.txt")));
    answer = QMessageBox::Yes;
    click("Command2");
    draw({1}, "L", true);
    click("Command6");
    draw({0});
    click("Command3");
    pick(1, "List2");  // only recognition chooses there
    QCOMPARE(shown(), QStringList({"cells 0", "LBch I", "Label7 Analisi ...", "LBNneuroni 2",
                                   "List1 I L", "List2 I* L"}));
    for (int pass = 0; pass < 2; ++pass) {  // the second click is on the entry already chosen
      pick(1);
      QCOMPARE(shown().mid(0, 2) << shown()[4], QStringList({"cells 1", "LBch ", "List1 I L*"}));
      draw({3}, "x");
    }
    click("Command1");
    click("Command7");
    QCOMPARE(shown(), QStringList({"cells", "LBch ", "Label7 Analisi ...", "LBNneuroni 1",
                                   "List1 I", "List2 I"}));
    pick(0);  // the drawing read back
    QCOMPARE(shown()[0], "cells 0");
    click("Command7");  // a loaded file replaces List1 whole, and with it the selection
    const QStringList loaded = shown();
    QCOMPARE(loaded[4], "List1 I");
    QFile::remove(folder->filePath("program"));  // nothing names the program's folder now
    click("Command2");
    click("Command7");
    QCOMPARE(shown(), loaded);
    QCOMPARE(
        messages,
        QStringList({"Aggiornare supply.txt?", "Aggiornare supply.txt?", "Aggiornare supply.txt?",
                     "Impossibile salvare supply.txt: cartella del programma non trovata",
                     "Impossibile caricare supply.txt: cartella del programma non trovata"}));
  }
};

QTEST_MAIN(Form1Test)
#include "form1_test.moc"
