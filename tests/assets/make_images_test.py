#!/usr/bin/python3
"""Checks the generated images against what the drawing code relies on.

Usage: make_images_test.py IMAGE_DIR GENERATOR FONT
IMAGE_DIR is the build's image folder, GENERATOR the script that made it, FONT the face it was given.
"""

import itertools
import os
import struct
import subprocess
import sys
import tempfile
import unittest

from PIL import Image

IMAGE_DIR, GENERATOR, FONT = sys.argv[1:4]
MAGENTA = (255, 0, 255)

# Menu texture contract: the button cells (normal, pressed) and the seek-bar rectangles.
BUTTONS = {"open": (5, 13), "play": (0, 8), "pause": (3, 11), "stop": (4, 12), "prev": (1, 9), "next": (2, 10),
           "sound_on": (6, 14), "sound_off": (7, 15), "help": (16, 17)}
TRACK = [(0, 192, 200, 5), (0, 197, 200, 5)]
FRAME_LEFT, FRAME_MIDDLE, FRAME_RIGHT = (200, 192, 2, 5), (202, 192, 2, 5), (206, 192, 2, 5)
MARKER = (0, 224, 12, 9)


def cell_rect(cell):
    return (32 * (cell % 8), 32 * (cell // 8), 32, 32) if cell < 16 else (0, 64 + 32 * (cell - 16), 32, 32)


def crop(img, rect):
    x, y, w, h = rect
    return img.crop((x, y, x + w, y + h))


def load(name):
    return Image.open(os.path.join(IMAGE_DIR, name))


def bmp_header(name):
    with open(os.path.join(IMAGE_DIR, name), "rb") as f:
        data = f.read(54)
    magic, = struct.unpack_from("<2s", data, 0)
    size, width, height, planes, bits, compression = struct.unpack_from("<IiiHHI", data, 14)
    return magic, size, width, height, bits, compression


def glyph(cell):
    """Set of bright pixels (the icon's ink) of a 32 x 32 RGBA cell."""
    return {(x, y) for y in range(32) for x in range(32) if sum(cell.getpixel((x, y))[:3]) > 600}


def mean_diff(a, b):
    pa, pb = list(a.getdata()), list(b.getdata())
    return sum(abs(p - q) for u, v in zip(pa, pb) for p, q in zip(u, v)) / len(pa)


class MenuTexture(unittest.TestCase):
    def setUp(self):
        self.menu = load("menu.png").convert("RGBA")

    def test_power_of_two_texture_holding_every_rectangle(self):
        w, h = self.menu.size
        self.assertEqual((w & (w - 1), h & (h - 1)), (0, 0))
        self.assertGreaterEqual(min(w, h), 256)  # the marker reaches row 232, the track column 208

    def test_button_cells_are_opaque_readable_and_distinct(self):
        cells = {c: crop(self.menu, cell_rect(c)) for pair in BUTTONS.values() for c in pair}
        for c, img in cells.items():
            alpha = [p[3] for p in img.getdata()]
            self.assertGreater(sum(a == 255 for a in alpha), 0.8 * 32 * 32, f"cell {c} is not a solid button")
            lum = [sum(p[:3]) for p in img.getdata()]
            self.assertGreater(max(lum) - min(lum), 300, f"cell {c} has no contrasting icon")
            self.assertNotIn(MAGENTA + (255,), img.getdata(), f"cell {c} holds the transparent key colour")
        for a, b in itertools.combinations(cells, 2):
            self.assertGreater(mean_diff(cells[a], cells[b]), 8, f"cells {a} and {b} look alike")
        # Icons differ in shape, not only in colour: their ink overlaps little between any two buttons.
        shapes = {name: glyph(cells[normal]) for name, (normal, _) in BUTTONS.items()}
        for a, b in itertools.combinations(shapes, 2):
            union = shapes[a] | shapes[b]
            self.assertLess(len(shapes[a] & shapes[b]) / len(union), 0.7, f"icons {a} and {b} share their shape")
        for name, (normal, pressed) in BUTTONS.items():
            self.assertGreater(mean_diff(cells[normal], cells[pressed]), 25, f"{name} looks the same pressed")

    def test_seek_bar_pieces(self):
        for rect in TRACK:
            self.assertTrue(all(p[3] == 255 for p in crop(self.menu, rect).getdata()))
        # The frame is opaque along its outline and open inside, so the track shows through it.
        def alpha(rect, x, y):
            return self.menu.getpixel((rect[0] + x, rect[1] + y))[3]
        for x in range(2):
            self.assertEqual([alpha(FRAME_MIDDLE, x, y) > 0 for y in range(5)], [True, False, False, False, True])
        self.assertTrue(all(alpha(FRAME_LEFT, 0, y) > 0 for y in range(5)))
        self.assertTrue(all(alpha(FRAME_RIGHT, 1, y) > 0 for y in range(5)))
        self.assertEqual(alpha(FRAME_LEFT, 1, 2) + alpha(FRAME_RIGHT, 0, 2), 0)
        marker = crop(self.menu, MARKER)
        self.assertGreater(sum(p[3] == 255 for p in marker.getdata()), 0.6 * 12 * 9)


class LensLayers(unittest.TestCase):
    def test_background_is_a_frame_around_a_clear_window(self):
        back = load("lensBack.png").convert("RGBA")
        self.assertEqual(back.size, (256, 256))
        self.assertEqual(back.getpixel((128, 128))[3], 0)
        self.assertEqual(back.getpixel((128, 40))[3], 0)
        for corner in ((0, 0), (255, 0), (0, 255), (255, 255)):
            self.assertEqual(back.getpixel(corner)[3], 255)

    def test_overlay_survives_the_alpha_test_at_its_faintest(self):
        overlay = load("orbelle.png").convert("RGBA")
        self.assertEqual(overlay.size, (256, 256))
        alphas = [p[3] for p in overlay.getdata()]
        # Drawn with vertex alpha down to 32/255 against a reference of 8: texels need alpha 64 to show.
        self.assertGreater(sum(a >= 64 for a in alphas), 2000)
        self.assertGreater(sum(a == 0 for a in alphas), 2000)
        self.assertEqual(overlay.getpixel((0, 0))[3], 0)


class MoirePatterns(unittest.TestCase):
    def test_keyed_tileable_24_bit(self):
        for name in ("ball.bmp", "stripes.bmp", "noise.bmp", "spiral.bmp"):
            with self.subTest(name=name):
                magic, header, width, height, bits, compression = bmp_header(name)
                self.assertEqual((magic, header, bits, compression), (b"BM", 40, 24, 0))
                self.assertEqual((width & (width - 1), height & (height - 1)), (0, 0))
                img = load(name).convert("RGB")
                px = list(img.getdata())
                keyed = sum(p == MAGENTA for p in px) / len(px)
                self.assertTrue(0.1 < keyed < 0.9, f"{keyed:.2f} of the pattern is transparent")
                # Near-magenta would survive the colour key as a pink fringe.
                fringe = [p for p in px if p != MAGENTA and p[0] > 150 and p[2] > 150 and p[1] < 80]
                self.assertEqual(fringe, [])
                # Wrapping from the last column or row to the first is no harsher than any step inside.
                w, h = img.size
                def col_step(a, b):
                    return sum(abs(p - q) for y in range(h) for p, q in zip(px[y * w + a], px[y * w + b])) / h
                def row_step(a, b):
                    return sum(abs(p - q) for x in range(w) for p, q in zip(px[a * w + x], px[b * w + x])) / w
                inner = max(max(col_step(x, x + 1) for x in range(w - 1)),
                            max(row_step(y, y + 1) for y in range(h - 1)))
                self.assertLessEqual(max(col_step(w - 1, 0), row_step(h - 1, 0)), inner)


class Pictures(unittest.TestCase):
    def find_icon(self, picture, cell):
        """True when the opaque middle row of the cell appears somewhere in the picture, pixel for pixel."""
        row = bytes(v for x in range(4, 28) for v in cell.getpixel((x, 16))[:3])
        w, h = picture.size
        data = picture.tobytes()
        for y in range(h):
            line = data[y * w * 3:(y + 1) * w * 3]
            i = line.find(row)
            while i >= 0:
                if i % 3 == 0:
                    return True
                i = line.find(row, i + 1)
        return False

    def test_welcome_and_help_show_the_buttons_they_explain(self):
        menu = load("menu.png").convert("RGBA")
        expected = {"ようこそ.bmp": ("open", "help"), "説明書.bmp": tuple(BUTTONS)}
        for name, icons in expected.items():
            with self.subTest(name=name):
                magic, header, width, height, bits, compression = bmp_header(name)
                self.assertEqual((magic, header, bits, compression), (b"BM", 40, 24, 0))
                self.assertEqual((width, height), (640, 480))
                picture = load(name).convert("RGB")
                for icon in icons:
                    cell = crop(menu, cell_rect(BUTTONS[icon][0]))
                    self.assertTrue(self.find_icon(picture, cell), f"{name} lacks the {icon} icon")


class Generator(unittest.TestCase):
    def test_same_inputs_give_identical_files_matching_the_build(self):
        with tempfile.TemporaryDirectory() as a, tempfile.TemporaryDirectory() as b:
            for out in (a, b):
                subprocess.run([sys.executable, GENERATOR, out, "--font", FONT], check=True)
            names = sorted(os.listdir(a))
            self.assertEqual(names, sorted(os.listdir(b)))
            self.assertEqual(len(names), 10)
            for name in names:
                with open(os.path.join(a, name), "rb") as fa, open(os.path.join(b, name), "rb") as fb, \
                        open(os.path.join(IMAGE_DIR, name), "rb") as fc:
                    data = fa.read()
                    self.assertEqual(data, fb.read(), name)
                    self.assertEqual(data, fc.read(), f"{name} in the build is stale")

    def test_missing_font_is_a_clear_failure(self):
        with tempfile.TemporaryDirectory() as out:
            run = subprocess.run([sys.executable, GENERATOR, out, "--font", os.path.join(out, "none.ttf")],
                                 capture_output=True, text=True)
            self.assertNotEqual(run.returncode, 0)
            self.assertIn("none.ttf", run.stderr)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
