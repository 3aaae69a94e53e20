"""The real program under a private X server, driven with the pointer and the keyboard and
checked only through what the screen shows and what lands on disk.

    python3 -B test_window.py --segno path/to/segno [TestClass ...]"""

import argparse
import os
import shutil
import sys
import unittest

import segnodriver as d
from segnodriver import CHAR_I, CHAR_L, CLEAR, LOAD, MEMO, RECOGNISE, SAVE, TRAIN, BUTTONS

PROGRAM = None  # the built executable, from the command line
X = None  # one X server for all tests of this run


def setUpModule():
    global X
    X = d.Xvfb()


def tearDownModule():
    X.close()


def record(cells, label):
    """One sample record of supply.txt: 30 cell values, the quoted label, CR LF."""
    return ",".join("1" if c in cells else "-1" for c in range(30)) + f',"{label}"\r\n'


EMPTY_RECORD = "0," * 30 + '""\r\n'  # a row never filled


def supply(samples, neurons):
    """The bytes of a whole supply.txt: 21 records, then one line per neuron label."""
    text = "".join(record(cells, label) for cells, label in samples)
    text += EMPTY_RECORD * (21 - len(samples))
    text += "".join(f'"{label}"\r\n' for label in neurons)
    return text.encode("ascii")


class WindowTest(unittest.TestCase):
    """Each test gets a fresh copy of the program in a folder of its own, started from a
    different current folder, so that a supply.txt written anywhere but beside the
    executable shows up."""

    def setUp(self):
        self.folder = d.scratch_dir("segno-e2e-")
        self.addCleanup(d.remove_dir, self.folder)
        self.elsewhere = d.scratch_dir("segno-e2e-cwd-")
        self.addCleanup(d.remove_dir, self.elsewhere)
        program = os.path.join(self.folder, "segno")
        shutil.copy2(PROGRAM, program)
        self.supply = os.path.join(self.folder, "supply.txt")
        self.app = d.Segno(X, program, cwd=self.elsewhere)
        self.addCleanup(self.app.close)

    def refused(self, control, while_open=None):
        """Clicks a button, expects a modal box titled "Segno" that belongs to the window,
        does `while_open()` if given, and closes the box with Return."""
        self.app.click(control)
        box = self.app.message_box()
        self.assertIn("_NET_WM_STATE_MODAL", self.app.window_property(box, "_NET_WM_STATE"))
        owner = self.app.window_property(box, "WM_TRANSIENT_FOR").split()[-1]
        self.assertEqual(int(owner, 16), int(self.app.window))
        if while_open:
            while_open()
        self.app.answer("Return")

    def assert_no_supply(self):
        self.assertFalse(os.path.exists(self.supply), "supply.txt was written")
        self.assertEqual(os.listdir(self.elsewhere), [], "the current folder was written")

    def wait_supply(self, expected):
        """Waits for supply.txt beside the program to hold exactly `expected`."""
        def read():
            try:
                with open(self.supply, "rb") as f:
                    return f.read()
            except FileNotFoundError:
                return None

        try:
            d.wait_until(lambda: read() == expected, "supply.txt")
        except d.Timeout:
            self.assertEqual(read(), expected)  # shows the difference
        self.assertEqual(os.listdir(self.elsewhere), [], "the current folder was written")


class Drawing(WindowTest):
    def test_window_has_its_fixed_size_and_opens_blank(self):
        self.assertEqual(self.app.size, d.CLIENT_SIZE)
        self.app.wait_painted(set())

    def test_presses_and_drags_paint_and_erase_the_cells_under_the_pointer(self):
        app = self.app
        blank = app.area("LBch")
        app.type_label("A")
        app.wait_area("LBch", blank, equal=False)
        typed = app.area("LBch")

        # A press exactly on the grid's left edge (X = 360) is outside it: no cell, and the
        # typed label stays. Dragged on into the grid, the stroke paints.
        x_edge = d.pixel(d.GRID_LEFT)
        self.assertEqual(x_edge * d.TWIPS_PER_PIXEL, 360)
        app.move(x_edge, d.cell_point(5)[1])
        app.x.xdotool("mousedown", 1)
        try:
            app.move(*d.cell_point(6))
        finally:
            app.x.xdotool("mouseup", 1)
        app.wait_painted({6})
        self.assertEqual(app.area("LBch"), typed, "a press outside the grid emptied LBch")

        # A press inside empties the label.
        app.press_cell(0)
        app.wait_painted({0, 6})
        app.wait_area("LBch", blank)

        # Over the left edge of the drawn column-4 square (1800 to 1847 twips) the hit-test
        # still answers column 3; from 1848 on, column 4.
        x_band, y_row0 = 122, d.cell_point(3)[1]
        self.assertTrue(1800 <= x_band * d.TWIPS_PER_PIXEL <= 1847)
        self.assertTrue(d.cell_rect(4)[0] < x_band < d.cell_rect(4)[0] + d.cell_rect(4)[2])
        app.press_at(x_band, y_row0)
        app.wait_painted({0, 3, 6})
        x_past = 124
        self.assertTrue(1848 <= x_past * d.TWIPS_PER_PIXEL < 2172)
        app.press_at(x_past, d.cell_point(9)[1])
        app.wait_painted({0, 3, 6, 9})
        # Likewise over the top of the drawn row-5 square (1920 to 1979 twips): row 4.
        y_band = 130
        self.assertTrue(1920 <= y_band * d.TWIPS_PER_PIXEL <= 1979)
        app.press_at(d.cell_point(20)[0], y_band)
        app.wait_painted({0, 3, 6, 9, 20})

        app.click(CLEAR)
        app.wait_painted(set())

        # Left drag paints; Shift erases on the press and on every move.
        app.draw([10, 11, 12, 13, 14])
        app.press_cell(12, shift=True)
        app.wait_painted({10, 11, 13, 14})
        app.drag([13, 14], modifier="shift")
        app.wait_painted({10, 11})

        # Ctrl: the press paints, the move erases.
        app.drag([12, 11], modifier="ctrl")
        app.wait_painted({10, 12})

        # Any button's press paints; a drag with the right button does nothing, which the
        # left press after it proves has been handled.
        app.press_cell(29, button=3)
        app.wait_painted({10, 12, 29})
        app.drag([29, 28, 23], button=3)
        app.press_cell(24)
        app.wait_painted({10, 12, 24, 29})

        app.click(CLEAR)
        app.wait_painted(set())


class Refusals(WindowTest):
    def test_refused_actions_show_a_modal_box_that_return_closes(self):
        app = self.app
        app.press_cell(7)
        app.wait_painted({7})

        # Before any training, without neurons, without a label; the box keeps the pointer
        # from reaching the window while it is open.
        self.refused(RECOGNISE, while_open=lambda: app.press_cell(8))
        self.refused(TRAIN)
        self.refused(MEMO)
        app.press_cell(9)
        app.wait_painted({7, 9})  # 8 was pressed under the box; MEMO left the drawing

        # LOAD without a file.
        self.refused(LOAD)

        # SAVE with no neuron does nothing at all: the press after it is handled with no box
        # in between, and no file appears.
        app.click(SAVE)
        app.press_cell(14)
        app.wait_painted({7, 9, 14})
        self.assertEqual(app.windows(), [app.window])
        self.assert_no_supply()

    def test_memo_refuses_a_22nd_character_and_a_23rd_sample(self):
        app = self.app
        labels = "abcdefghijklmnopqrstu"  # 21 characters, one neuron each
        for k, label in enumerate(labels):
            app.press_cell(k)
            app.wait_painted({k})
            app.store(label)

        app.press_cell(21)
        app.type_label("v")
        self.refused(MEMO)
        app.wait_painted({21})  # the drawing stays
        app.store("a")  # a 22nd sample of a known character still fits

        app.press_cell(22)
        app.type_label("b")
        self.refused(MEMO)
        app.wait_painted({22})

        # No writes nothing; Yes (the default, Return) writes samples 0 to 20 and every
        # neuron label: the refused ones are nowhere, the 22nd sample is not in the file.
        app.click(SAVE)
        app.message_box()
        app.answer("Escape")
        app.press_cell(23)
        app.wait_painted({22, 23})
        self.assert_no_supply()
        app.click(SAVE)
        app.message_box()
        app.answer("Return")
        self.wait_supply(supply([({k}, label) for k, label in enumerate(labels)], labels))


class Journey(WindowTest):
    def test_draw_store_train_recognise_store_the_answer_and_save(self):
        app = self.app
        blank = app.area("LBch")
        assign = app.area("Label2")
        untrained = app.area("Label7")

        app.draw(d.STROKE_I)
        app.type_label("I")
        app.wait_area("LBch", blank, equal=False)
        app.click(MEMO)
        app.wait_painted(set())
        app.wait_area("LBch", blank)

        app.draw(d.STROKE_L)
        app.type_label("L")
        app.wait_area("LBch", blank, equal=False)
        typed_l = app.area("LBch")
        app.click(MEMO)
        app.wait_painted(set())

        app.click(TRAIN)
        app.wait_area("Label7", untrained, equal=False)
        app.wait_area("LBch", blank)

        # An L one square short: neuron "I" sums -24, "L" 29, so the answer is "L", shown
        # in LBch as typing it showed it, with the prompt changed from "Assegna:".
        short_l = d.STROKE_L[:-1]
        app.draw(short_l)
        app.click(RECOGNISE)
        app.wait_area("LBch", typed_l)
        app.wait_area("Label2", assign, equal=False)
        app.wait_painted(short_l)

        # The answer is the current label: MEMO stores the drawing under it.
        app.click(MEMO)
        app.wait_painted(set())
        app.wait_area("Label2", assign)
        app.wait_area("LBch", blank)

        app.click(SAVE)
        app.message_box()
        app.answer("Return")
        self.wait_supply(JOURNEY_FILE)


# The journey's supply.txt, written out: the I, the L, the short L, 18 rows never filled.
JOURNEY_FILE = (
    b'-1,-1,1,-1,-1,-1,-1,1,-1,-1,-1,-1,1,-1,-1,-1,-1,1,-1,-1,-1,-1,1,-1,-1,-1,-1,1,-1,-1,'
    b'"I"\r\n'
    b'1,-1,-1,-1,-1,1,-1,-1,-1,-1,1,-1,-1,-1,-1,1,-1,-1,-1,-1,1,-1,-1,-1,-1,1,1,1,1,1,'
    b'"L"\r\n'
    b'1,-1,-1,-1,-1,1,-1,-1,-1,-1,1,-1,-1,-1,-1,1,-1,-1,-1,-1,1,-1,-1,-1,-1,1,1,1,1,-1,'
    b'"L"\r\n'
    + b'0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,""\r\n' * 18
    + b'"I"\r\n'
    b'"L"\r\n')


# A prepared file: six samples, five neurons.
CHAR_T = frozenset({0, 1, 2, 3, 4, 7, 12, 17, 22, 27})
CHAR_O = frozenset({0, 1, 2, 3, 4, 5, 9, 10, 14, 15, 19, 20, 24, 25, 26, 27, 28, 29})
CHAR_I_SERIFS = frozenset({1, 2, 3, 7, 12, 17, 22, 26, 27, 28})
CHAR_C = frozenset({0, 1, 2, 3, 4, 5, 10, 15, 20, 25, 26, 27, 28, 29})
PREPARED = [
    # cells, label, the answer one training pass gives when the sample is shown again
    (CHAR_I, "I", "I"),
    (CHAR_L, "L", "L"),  # "L" sums 13 and fires before "C" (23)
    (CHAR_T, "T", "I"),  # "I" sums 16 and fires first; "T" would sum only 8
    (CHAR_O, "O", "O"),
    (CHAR_I_SERIFS, "I", "I"),
    (CHAR_C, "C", "C"),
]
PREPARED_NEURONS = "ILTOC"


class LoadAndRecognise(WindowTest):
    def list1_rows(self):
        """Selects List1's first entry and measures the entries' height from its
        highlight; returns a function giving the pixel row to click for entry k."""
        app = self.app
        x, y, w, h = d.rect("List1")
        probe_x = x + w - 8  # right of any label text
        app.click_at(probe_x, y + 6)
        app.wait_painted(PREPARED[0][0])
        shot = app.shot()

        def highlighted(row):  # the selection is shaded, so no one colour marks it
            colour = shot.pixel(probe_x, row)
            return colour not in (d.WHITE, shot.pixel(x, row)) and colour[2] > colour[0] + 40

        top = bottom = y + 6
        self.assertTrue(highlighted(top), "List1's first entry is not highlighted")
        while highlighted(top - 1):
            top -= 1
        while highlighted(bottom + 1):
            bottom += 1
        height = bottom - top + 1
        self.assertTrue(10 <= height <= 40, f"List1 entries seem {height} pixels high")
        return lambda k: (probe_x, top + k * height + height // 2)

    def test_load_train_and_recognise_every_sample_then_refuse_broken_files(self):
        app = self.app
        prepared = supply([(cells, label) for cells, label, _ in PREPARED], PREPARED_NEURONS)
        with open(self.supply, "wb") as f:
            f.write(prepared)
        blank = app.area("LBch")
        untrained = app.area("Label7")

        app.click(LOAD)
        row = self.list1_rows()
        self.assertEqual(app.windows(), [app.window])

        # What each label looks like in LBch, typed by hand.
        looks = {}
        for label in PREPARED_NEURONS:
            app.type_label(label)
            app.wait_area("LBch", blank, equal=False)
            looks[label] = app.area("LBch")
        self.assertEqual(len(set(looks.values())), len(looks))

        app.click(TRAIN)
        app.wait_area("Label7", untrained, equal=False)

        def shown_label():
            picture = app.area("LBch")
            return next((label for label, look in looks.items() if look == picture), None)

        for k, (cells, label, answer) in enumerate(PREPARED):
            with self.subTest(sample=k, label=label):
                app.click_at(*row(k))
                app.wait_painted(cells)
                app.wait_area("LBch", blank)
                app.click(RECOGNISE)
                shown = d.wait_until(shown_label, f"an answer for sample {k}")
                self.assertEqual(shown, answer)
                app.wait_painted(cells)  # recognition leaves the drawing

        # A failed LOAD reports in a box and leaves the window as it was. The buttons are
        # left out of the comparison: the one clicked keeps the focus and the pointer.
        # The file on disk is not touched either.
        buttons = [d.rect(b) for b in BUTTONS]
        before = app.settled().masked(buttons)
        broken = {
            "missing": None,
            "ends inside the records": prepared[:prepared.index(b"\r\n", 500) + 2],
            "a cell that is no number": prepared.replace(b"-1,", b"x,", 1),
            "a quote never closed": prepared + b'"Z\r\n',
        }
        for what, content in broken.items():
            with self.subTest(broken=what):
                if content is None:
                    os.remove(self.supply)
                else:
                    with open(self.supply, "wb") as f:
                        f.write(content)
                app.click(LOAD)
                app.message_box()
                app.answer("Return")
                after = app.settled().masked(buttons)
                self.assertTrue(after == before, f"a LOAD ({what}) changed the window")
                if content is not None:
                    with open(self.supply, "rb") as f:
                        self.assertEqual(f.read(), content)


def main():
    global PROGRAM
    parser = argparse.ArgumentParser()
    parser.add_argument("--segno", required=True, help="the built program")
    args, rest = parser.parse_known_args()
    PROGRAM = os.path.abspath(args.segno)
    unittest.main(argv=[sys.argv[0], "-v"] + rest)


if __name__ == "__main__":
    main()
