#!/usr/bin/python3
"""Makes every image the program loads, deterministically (same inputs, byte-identical files).

Usage: make_images.py OUTPUT_DIR [--font PATH]

OUTPUT_DIR receives:
  font.png      16 x 16 grid of 16-pixel ASCII glyphs (cell = character code), white with alpha
  orbelle.png   lens overlay: glass rim glow, highlight and reticle, alpha outside the lens 0
  lensBack.png  lens housing: opaque bezel and corners, fully transparent lens window
  menu.png      button cells, seek-bar pieces and position marker at the layout's fixed rectangles
  ball.bmp, stripes.bmp, noise.bmp, spiral.bmp
                tileable 256 x 256 greyscale patterns; magenta (255, 0, 255) is the transparent key
  ようこそ.bmp  welcome picture
  説明書.bmp    help picture
Text uses VL Gothic (Debian's fonts-vlgothic) unless --font names another Japanese-capable face.
"""

import math
import os
import subprocess
import sys

from PIL import Image, ImageDraw, ImageFont

SS = 4  # supersampling factor for vector art; downsampled with a box filter
MAGENTA = (255, 0, 255)
FONT_PATHS = ("/usr/share/fonts/truetype/vlgothic/VL-Gothic-Regular.ttf",)

# Menu texture layout: cells 0-15 are a 8 x 2 grid of 32 x 32, cells 16 and 17 sit below in column 0.
MENU_SIZE = 256
BUTTON_CELLS = {  # name: (normal cell, pressed cell)
    "open": (5, 13),
    "play": (0, 8),
    "pause": (3, 11),
    "stop": (4, 12),
    "prev": (1, 9),
    "next": (2, 10),
    "sound_on": (6, 14),
    "sound_off": (7, 15),
    "help": (16, 17),
}
TRACK_A = (0, 192, 200, 5)
TRACK_B = (0, 197, 200, 5)
FRAME_LEFT = (200, 192, 2, 5)
FRAME_MIDDLE = (202, 192, 2, 5)
FRAME_RIGHT = (206, 192, 2, 5)
MARKER = (0, 224, 12, 9)


def cell_rect(cell):
    if cell < 16:
        return (32 * (cell % 8), 32 * (cell // 8), 32, 32)
    return (0, 64 + 32 * (cell - 16), 32, 32)


def find_font(explicit):
    if explicit:
        if not os.path.isfile(explicit):
            sys.exit(f"make_images: font file {explicit} not found")
        return explicit
    for path in FONT_PATHS:
        if os.path.isfile(path):
            return path
    try:
        path = subprocess.run(["fc-match", "-f", "%{file}", "VL Gothic:lang=ja"], capture_output=True,
                              text=True, check=True).stdout.strip()
    except (OSError, subprocess.CalledProcessError):
        path = ""
    if not path or "VL" not in os.path.basename(path):
        sys.exit("make_images: VL Gothic not found (install fonts-vlgothic or pass --font)")
    return path


def clamp(v, lo=0.0, hi=1.0):
    return lo if v < lo else hi if v > hi else v


def smoothstep(e0, e1, x):
    t = clamp((x - e0) / (e1 - e0))
    return t * t * (3 - 2 * t)


def mix(a, b, t):
    return tuple(int(round(p + (q - p) * t)) for p, q in zip(a, b))


def downsample(img, size):
    return img.resize(size, Image.Resampling.BOX)


def vertical_gradient(size, top, bottom):
    w, h = size
    img = Image.new("RGB", size)
    d = ImageDraw.Draw(img)
    for y in range(h):
        d.line([(0, y), (w - 1, y)], fill=mix(top, bottom, y / max(1, h - 1)))
    return img


# ---------------------------------------------------------------------------------------------------------
# Button icons, drawn as coverage masks on a 32 x 32 grid scaled by SS.


def scaled(points, dx=0.0, dy=0.0):
    return [((x + dx) * SS, (y + dy) * SS) for x, y in points]


def speaker(d):
    d.polygon(scaled([(6, 13), (10, 13), (15.5, 8), (15.5, 24), (10, 19), (6, 19)]), fill=255)


def icon_mask(name, font_path):
    m = Image.new("L", (32 * SS, 32 * SS), 0)
    d = ImageDraw.Draw(m)
    if name == "play":
        d.polygon(scaled([(11, 7.5), (11, 24.5), (25, 16)]), fill=255)
    elif name == "pause":
        d.rectangle(scaled([(9.5, 8), (14, 24)]), fill=255)
        d.rectangle(scaled([(18, 8), (22.5, 24)]), fill=255)
    elif name == "stop":
        d.rectangle(scaled([(9, 9), (23, 23)]), fill=255)
    elif name == "prev":
        d.rectangle(scaled([(7.5, 9), (10.5, 23)]), fill=255)
        d.polygon(scaled([(24.5, 8.5), (24.5, 23.5), (11.5, 16)]), fill=255)
    elif name == "next":
        d.rectangle(scaled([(21.5, 9), (24.5, 23)]), fill=255)
        d.polygon(scaled([(7.5, 8.5), (7.5, 23.5), (20.5, 16)]), fill=255)
    elif name == "open":
        # Folder: the back with its tab, then the front flap tilted open, cut out by a thin gap.
        d.polygon(scaled([(5, 9), (12, 9), (14, 11), (25, 11), (25, 24), (5, 24)]), fill=255)
        d.polygon(scaled([(7.5, 14), (28, 14), (25, 25), (4.5, 25)]), fill=0)
        d.polygon(scaled([(9, 15.5), (27, 15.5), (24.5, 24), (6, 24)]), fill=255)
    elif name == "sound_on":
        speaker(d)
        for r in (5, 9.5):
            box = scaled([(15.5 - r, 16 - r), (15.5 + r, 16 + r)])
            d.arc(box, -50, 50, fill=255, width=int(2.2 * SS))
    elif name == "sound_off":
        speaker(d)
        w = int(2.6 * SS)
        d.line(scaled([(18.5, 12), (26, 20)]), fill=255, width=w)
        d.line(scaled([(18.5, 20), (26, 12)]), fill=255, width=w)
    elif name == "help":
        font = ImageFont.truetype(font_path, 25 * SS)
        d.text((16 * SS, 16.5 * SS), "?", font=font, fill=255, anchor="mm", stroke_width=int(1.2 * SS),
               stroke_fill=255)
    else:
        raise ValueError(name)
    return m


def shifted(mask, dx, dy):
    out = Image.new("L", mask.size, 0)
    out.paste(mask, (dx, dy))
    return out


def button_cell(name, pressed, font_path):
    """One 32 x 32 RGBA button: a rounded bevelled face with a light glyph; pressed is sunken and amber."""
    size = 32 * SS
    body = Image.new("L", (size, size), 0)
    ImageDraw.Draw(body).rounded_rectangle((SS // 2, SS // 2, size - SS // 2 - 1, size - SS // 2 - 1),
                                           radius=6 * SS, fill=255)
    bevel = Image.new("L", (size, size), 0)
    ImageDraw.Draw(bevel).rounded_rectangle((int(1.5 * SS), int(1.5 * SS), size - int(1.5 * SS) - 1,
                                             size - int(1.5 * SS) - 1), radius=5 * SS, fill=255)
    face_mask = Image.new("L", (size, size), 0)
    ImageDraw.Draw(face_mask).rounded_rectangle((int(2.5 * SS), int(2.5 * SS), size - int(2.5 * SS) - 1,
                                                 size - int(2.5 * SS) - 1), radius=4 * SS, fill=255)
    outline = (8, 16, 34)
    if pressed:
        rim_top, rim_bottom = (10, 20, 40), (70, 110, 170)
        face_top, face_bottom = (18, 34, 64), (52, 88, 146)
        ink, shade, offset = (255, 212, 80), (0, 0, 0), SS
    else:
        rim_top, rim_bottom = (170, 200, 245), (30, 56, 100)
        face_top, face_bottom = (92, 132, 196), (28, 56, 104)
        ink, shade, offset = (255, 255, 255), (6, 14, 32), 0
    rgb = Image.new("RGB", (size, size), outline)
    rgb.paste(vertical_gradient((size, size), rim_top, rim_bottom), mask=bevel)
    rgb.paste(vertical_gradient((size, size), face_top, face_bottom), mask=face_mask)
    if not pressed:  # soft gloss over the upper half of the face
        gloss = Image.new("L", (size, size), 0)
        ImageDraw.Draw(gloss).rounded_rectangle((3 * SS, 3 * SS, size - 3 * SS - 1, 14 * SS), radius=3 * SS,
                                                fill=40)
        rgb.paste((255, 255, 255), mask=gloss)
    glyph = icon_mask(name, font_path)
    rgb.paste(shade, mask=shifted(glyph, offset + SS, offset + SS))
    rgb.paste(ink, mask=shifted(glyph, offset, offset))
    cell = downsample(rgb, (32, 32)).convert("RGBA")
    cell.putalpha(downsample(body, (32, 32)))
    return cell


def seek_pieces(menu):
    px = menu.load()
    # Track: a raised rounded bar, darker notches every 50 texels (a twelfth of the 600-pixel bar).
    rows = (96, 168, 232, 255, 150)
    for x0, y0, w, h in (TRACK_A, TRACK_B):
        for x in range(w):
            notch = x % 50 == 0 or x % 50 == 49
            for y in range(h):
                v = rows[y]
                if notch and 0 < y < h - 1:
                    v = v * 5 // 8
                px[x0 + x, y0 + y] = (v, v, v, 255)
    # Frame: top and bottom edges everywhere, closed on the left and the right by the caps; open inside
    # so that the track shows through.
    def frame(rect, closed_column):
        x0, y0, w, h = rect
        for x in range(w):
            for y in range(h):
                edge = y in (0, h - 1) or x == closed_column
                corner = x == closed_column and y in (0, h - 1)
                px[x0 + x, y0 + y] = (255, 255, 255, 160 if corner else 255) if edge else (255, 255, 255, 0)
    frame(FRAME_LEFT, 0)
    frame(FRAME_MIDDLE, -1)
    frame(FRAME_RIGHT, 1)
    # Position marker: an amber knob with a dark outline and a centre line.
    x0, y0, w, h = MARKER
    knob = Image.new("RGB", (w * SS, h * SS), (20, 12, 0))
    mask = Image.new("L", knob.size, 0)
    ImageDraw.Draw(mask).rounded_rectangle((0, 0, w * SS - 1, h * SS - 1), radius=3 * SS, fill=255)
    inner = Image.new("L", knob.size, 0)
    ImageDraw.Draw(inner).rounded_rectangle((SS, SS, w * SS - SS - 1, h * SS - SS - 1), radius=2 * SS, fill=255)
    knob.paste(vertical_gradient(knob.size, (255, 236, 150), (220, 120, 10)), mask=inner)
    ImageDraw.Draw(knob).rectangle((w * SS // 2 - SS // 2, 2 * SS, w * SS // 2 + SS // 2 - 1, h * SS - 2 * SS - 1),
                                   fill=(90, 40, 0))
    small = downsample(knob, (w, h)).convert("RGBA")
    small.putalpha(downsample(mask, (w, h)))
    menu.paste(small, (x0, y0))


def make_menu(font_path):
    menu = Image.new("RGBA", (MENU_SIZE, MENU_SIZE), (0, 0, 0, 0))
    for name, (normal, pressed) in BUTTON_CELLS.items():
        for cell, is_pressed in ((normal, False), (pressed, True)):
            x, y, _, _ = cell_rect(cell)
            menu.paste(button_cell(name, is_pressed, font_path), (x, y))
    seek_pieces(menu)
    return menu


# ---------------------------------------------------------------------------------------------------------
# Lens layers. Both are drawn 128 x 128 on screen from 256 x 256 with point sampling, so every feature is at
# least two texels wide.

LENS_C = 128.0
LENS_WINDOW = 112.0  # radius of the clear window
LENS_BEZEL = 126.0  # outer radius of the bezel


def make_lens_back():
    img = Image.new("RGBA", (256, 256))
    px = img.load()
    for y in range(256):
        for x in range(256):
            dx, dy = x + 0.5 - LENS_C, y + 0.5 - LENS_C
            r = math.hypot(dx, dy)
            # Metal lit from the upper left; the bevel profile brightens the middle of the ring.
            light = 0.5 - 0.5 * (dx + dy) / (r * math.sqrt(2) + 1e-9)
            t = clamp((r - LENS_WINDOW) / (LENS_BEZEL - LENS_WINDOW))
            profile = math.sin(math.pi * t)
            v = 40 + 150 * light * profile + 50 * profile
            metal = (int(v * 0.9), int(v * 0.95), int(min(255, v * 1.1)))
            groove = smoothstep(0, 1.5, abs(r - (LENS_WINDOW + 3)))  # dark line inside the rim
            metal = mix((10, 10, 14), metal, groove)
            outer = smoothstep(LENS_BEZEL - 1, LENS_BEZEL + 1, r)
            colour = mix(metal, (0, 0, 0), outer)
            alpha = smoothstep(LENS_WINDOW - 1, LENS_WINDOW + 1, r)
            px[x, y] = colour + (int(round(255 * alpha)),) if alpha > 0 else (0, 0, 0, 0)
    return img


def make_orbelle():
    """White-ish glass: a rim glow, a highlight crescent and a reticle; the scene fades it to 1-73 alpha."""
    img = Image.new("RGBA", (256, 256))
    px = img.load()
    for y in range(256):
        for x in range(256):
            dx, dy = x + 0.5 - LENS_C, y + 0.5 - LENS_C
            r = math.hypot(dx, dy)
            inside = 1 - smoothstep(LENS_WINDOW, LENS_WINDOW + 2, r)
            if inside <= 0:
                px[x, y] = (0, 0, 0, 0)
                continue
            glow = (r / LENS_WINDOW) ** 3
            colour, a = (170, 215, 255), 40 + 200 * glow
            # Highlight: a crescent at the upper left between two offset circles.
            hr1 = math.hypot(dx + 18, dy + 18)
            hr2 = math.hypot(dx + 8, dy + 8)
            crescent = (1 - smoothstep(86, 90, hr1)) * smoothstep(84, 90, hr2)
            if crescent > 0:
                colour, a = mix(colour, (255, 255, 255), crescent), max(a, 255 * crescent)
            # Reticle: four short bars around the centre and a ring of ticks.
            ax, ay = abs(dx), abs(dy)
            bar = (ax < 1.5 and 14 < ay < 40) or (ay < 1.5 and 14 < ax < 40)
            angle = math.atan2(dy, dx) % (math.pi / 6)
            tick = 96 < r < 104 and min(angle, math.pi / 6 - angle) * r < 1.5
            if bar or tick:
                colour, a = (255, 255, 255), 255
            px[x, y] = colour + (int(round(a * inside)),)
    return img


# ---------------------------------------------------------------------------------------------------------
# Moire patterns: 256 x 256 (a power of two, so the loaded texture wraps without padding), greyscale where
# visible and exact magenta where transparent. Edges fade toward black, never toward magenta, so no
# pinkish pixel escapes the colour key.


def keyed(coverage, grey):
    if coverage <= 0:
        return MAGENTA
    v = int(round(clamp(grey) * clamp(coverage) * 255))
    return (v, v, v)


def pattern(fn):
    img = Image.new("RGB", (256, 256))
    px = img.load()
    for y in range(256):
        for x in range(256):
            px[x, y] = fn(x + 0.5, y + 0.5)
    return img


def ball(x, y):
    period, radius = 64, 24.0
    dx, dy = (x % period) - period / 2, (y % period) - period / 2
    d = math.hypot(dx, dy)
    coverage = clamp(radius - d + 0.5)
    if coverage <= 0:
        return MAGENTA
    nx, ny = dx / radius, dy / radius
    nz = math.sqrt(max(0.0, 1 - nx * nx - ny * ny))
    lx, ly, lz = -0.45, -0.55, 0.70
    diffuse = max(0.0, nx * lx + ny * ly + nz * lz)
    specular = max(0.0, nz * 0.96 + (nx * lx + ny * ly) * 0.5) ** 24
    return keyed(coverage, 0.2 + 0.7 * diffuse + 0.5 * specular)


def stripes(x, y):
    p = math.cos(2 * math.pi * x / 16)
    return keyed(p * 4, 0.35 + 0.65 * math.sqrt(max(0.0, p)))


def lattice(ix, iy, period, seed):
    ix, iy = ix % period, iy % period
    h = (ix * 374761393 + iy * 668265263 + seed * 362437) & 0xFFFFFFFF
    h = ((h ^ (h >> 13)) * 1274126177) & 0xFFFFFFFF
    return ((h ^ (h >> 16)) & 0xFFFF) / 65535.0


def value_noise(x, y, period, seed):
    fx, fy = x * period / 256.0, y * period / 256.0
    ix, iy = math.floor(fx), math.floor(fy)
    tx, ty = fx - ix, fy - iy
    tx, ty = tx * tx * (3 - 2 * tx), ty * ty * (3 - 2 * ty)
    a, b = lattice(ix, iy, period, seed), lattice(ix + 1, iy, period, seed)
    c, d = lattice(ix, iy + 1, period, seed), lattice(ix + 1, iy + 1, period, seed)
    return (a + (b - a) * tx) * (1 - ty) + (c + (d - c) * tx) * ty


def noise(x, y):
    v = 0.5 * value_noise(x, y, 8, 1) + 0.3 * value_noise(x, y, 16, 2) + 0.2 * value_noise(x, y, 64, 3)
    return keyed((v - 0.5) * 25, 0.4 + 1.2 * (v - 0.5))


def spiral(x, y):
    dx, dy = x - 128, y - 128
    r = math.hypot(dx, dy)
    arms = math.cos(4 * math.atan2(dy, dx) + 2 * math.pi * r / 28)
    edge = clamp((120 - r) / 3)
    core = 1 - smoothstep(5, 9, r)
    coverage = max(arms * 3 * edge, core * edge)
    return keyed(coverage, 1.0 - 0.55 * r / 120)


# ---------------------------------------------------------------------------------------------------------
# Bitmap font: ASCII 32-126 at cell (code % 16, code // 16) of a 16 x 16 grid of 16-pixel cells.


def make_font_sheet(font_path):
    font = ImageFont.truetype(font_path, 15)
    alpha = Image.new("L", (256, 256), 0)
    d = ImageDraw.Draw(alpha)
    for code in range(32, 127):
        cx, cy = 16 * (code % 16) + 8, 16 * (code // 16) + 8
        d.text((cx, cy), chr(code), font=font, fill=255, anchor="mm")
    sheet = Image.new("RGBA", (256, 256), (255, 255, 255, 0))
    sheet.putalpha(alpha)
    return sheet


# ---------------------------------------------------------------------------------------------------------
# Welcome and help pictures (640 x 480, the logical screen size, so at 100 % they fill the view).

PICTURE_SIZE = (640, 480)


def text(d, xy, s, font, fill, anchor="la", shadow=(0, 0, 0)):
    x, y = xy
    if shadow is not None:
        d.text((x + 2, y + 2), s, font=font, fill=shadow, anchor=anchor)
    d.text((x, y), s, font=font, fill=fill, anchor=anchor)


def starry_background(size, top, bottom, seed, stars):
    img = vertical_gradient(size, top, bottom)
    d = ImageDraw.Draw(img)
    w, h = size
    for i in range(stars):
        x = int(lattice(i, 0, 1 << 30, seed) * w)
        y = int(lattice(i, 1, 1 << 30, seed) * h)
        r = 1 + int(lattice(i, 2, 1 << 30, seed) * 3)
        v = 110 + int(lattice(i, 3, 1 << 30, seed) * 100)
        d.ellipse((x - r, y - r, x + r, y + r), fill=(v, v, min(255, v + 30)))
    return img


def rich_line(img, d, xy, parts, font, fill, menu):
    """Draws text pieces and inline button icons (pieces named by a BUTTON_CELLS key) left to right."""
    x, y = xy
    for part in parts:
        if part in BUTTON_CELLS:
            cx, cy, _, _ = cell_rect(BUTTON_CELLS[part][0])
            cell = menu.crop((cx, cy, cx + 32, cy + 32))
            img.paste(cell, (int(x) + 4, y - 16), cell)
            x += 40
        else:
            text(d, (x, y), part, font, fill, anchor="lm")
            x += font.getlength(part)


def make_welcome(font_path, menu):
    img = starry_background(PICTURE_SIZE, (26, 40, 96), (120, 50, 110), seed=7, stars=70)
    d = ImageDraw.Draw(img)
    # A big friendly magnifying glass beside the title.
    d.ellipse((430, 36, 594, 200), outline=(255, 220, 120), width=8)
    d.line((578, 186, 620, 228), fill=(255, 220, 120), width=14)
    big, mid, small = (ImageFont.truetype(font_path, s) for s in (76, 30, 21))
    text(d, (48, 50), "ようこそ", big, (255, 236, 140))
    text(d, (54, 150), "Orbelle-Player へ！", mid, (255, 255, 255))
    lines = [
        ["マウスを動かすと、レンズの中に絵が見えます。"],
        ["ホイールでズーム、右ボタンでカメラ固定。"],
        ["カメラ固定中は、左ボタンでレンズを動かせます。"],
        ["右下の", "open", "ボタンで動画や絵を開いてください。"],
        ["右上の", "help", "ボタンで説明書を表示します。"],
    ]
    for i, parts in enumerate(lines):
        rich_line(img, d, (54, 236 + 38 * i), parts, small, (235, 240, 255), menu)
    text(d, (54, 450), "楽しい鑑賞を！", mid, (255, 200, 230), anchor="lm")
    return img


HELP_BUTTONS = [  # in their order on the screen: five in the left column, four in the right
    ("open", "ファイルを開く"),
    ("play", "再生"),
    ("pause", "一時停止"),
    ("stop", "停止（最初に戻る）"),
    ("prev", "前のファイル"),
    ("next", "次のファイル"),
    ("sound_on", "サウンド：オン"),
    ("sound_off", "サウンド：オフ"),
    ("help", "この説明書"),
]


def make_help(font_path, menu):
    img = vertical_gradient(PICTURE_SIZE, (16, 44, 60), (20, 24, 48))
    d = ImageDraw.Draw(img)
    for i in range(0, 640, 32):  # a faint grid, so that moving the lens over blank parts shows movement
        d.line((i, 0, i, 479), fill=(34, 58, 78))
        if i < 480:
            d.line((0, i, 639, i), fill=(34, 58, 78))
    title, head, body, note = (ImageFont.truetype(font_path, s) for s in (34, 22, 18, 16))
    d.rectangle((0, 0, 639, 52), fill=(240, 200, 90))
    text(d, (20, 8), "説明書　Orbelle-Player の使い方", title, (40, 24, 0), shadow=None)
    text(d, (24, 62), "マウス", head, (255, 220, 120))
    mouse = [
        "動かす　：レンズが付いてきます",
        "ホイール：ズーム（23％〜303％）",
        "右ボタン：カメラ固定のオン／オフ",
        "左ボタン：カメラ固定中、レンズをその場所へ移動",
    ]
    for i, line in enumerate(mouse):
        text(d, (44, 94 + 25 * i), line, body, (255, 255, 255))
    text(d, (24, 196), "ボタン", head, (255, 220, 120))
    for i, (name, caption) in enumerate(HELP_BUTTONS):
        x, y, _, _ = cell_rect(BUTTON_CELLS[name][0])
        cell = menu.crop((x, y, x + 32, y + 32))
        left, top = (44, 228 + 36 * i) if i < 5 else (330, 228 + 36 * (i - 5))
        img.paste(cell, (left, top), cell)
        text(d, (left + 44, top + 16), caption, body, (255, 255, 255), anchor="lm")
    text(d, (24, 414), "開けるファイル：avi・wmv・mpg（動画）、bmp・jpg・gif（絵）", note, (200, 220, 255))
    text(d, (24, 442), "前／次は同じフォルダのファイルを順に開きます。　Esc：終了", note, (200, 220, 255))
    return img


# ---------------------------------------------------------------------------------------------------------


def save(img, out_dir, name):
    path = os.path.join(out_dir, name)
    tmp = path + ".tmp"
    if name.endswith(".png"):
        img.save(tmp, "PNG")
    else:
        img.convert("RGB").save(tmp, "BMP")
    os.replace(tmp, path)


def main(argv):
    args = argv[1:]
    font = None
    if "--font" in args:
        i = args.index("--font")
        font = args[i + 1]
        del args[i:i + 2]
    if len(args) != 1:
        sys.exit(__doc__)
    out_dir = args[0]
    os.makedirs(out_dir, exist_ok=True)
    font_path = find_font(font)
    menu = make_menu(font_path)
    save(make_font_sheet(font_path), out_dir, "font.png")
    save(make_orbelle(), out_dir, "orbelle.png")
    save(make_lens_back(), out_dir, "lensBack.png")
    save(menu, out_dir, "menu.png")
    for name, fn in (("ball", ball), ("stripes", stripes), ("noise", noise), ("spiral", spiral)):
        save(pattern(fn), out_dir, name + ".bmp")
    save(make_welcome(font_path, menu), out_dir, "ようこそ.bmp")
    save(make_help(font_path, menu), out_dir, "説明書.bmp")


if __name__ == "__main__":
    main(sys.argv)
