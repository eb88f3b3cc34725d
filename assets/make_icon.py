#!/usr/bin/python3
"""Makes the program's desktop icon, deterministically, from the same art as the lens.

Usage: make_icon.py OUTPUT_DIR

OUTPUT_DIR receives orbelle-player-SIZE.png for SIZE 48, 128 and 256: the lens housing and glass
over a coloured spiral, transparent outside the bezel.
"""

import math
import os
import sys

from PIL import Image

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_images as art  # noqa: E402

SIZES = (48, 128, 256)


def make_icon():
    # The spiral pattern seen through the lens, tinted from deep blue to violet.
    spiral = Image.new("RGBA", (256, 256))
    px = spiral.load()
    for y in range(256):
        for x in range(256):
            grey = art.spiral(x + 0.5, y + 0.5)
            v = 0.0 if grey == art.MAGENTA else grey[0] / 255
            base = art.mix((20, 30, 90), (120, 60, 170), y / 255)
            px[x, y] = art.mix(base, (190, 220, 255), v) + (255,)
    icon = Image.alpha_composite(spiral, art.make_lens_back())
    icon = Image.alpha_composite(icon, art.make_orbelle())
    # Nothing outside the bezel: the housing's square corners are not part of the icon.
    alpha = icon.getchannel("A")
    apx = alpha.load()
    for y in range(256):
        for x in range(256):
            r = math.hypot(x + 0.5 - art.LENS_C, y + 0.5 - art.LENS_C)
            edge = 1 - art.smoothstep(art.LENS_BEZEL - 0.5, art.LENS_BEZEL + 0.5, r)
            apx[x, y] = int(round(apx[x, y] * edge))
    icon.putalpha(alpha)
    return icon


def main(argv):
    if len(argv) != 2:
        sys.exit(__doc__)
    out_dir = argv[1]
    os.makedirs(out_dir, exist_ok=True)
    icon = make_icon()
    for size in SIZES:
        img = icon if size == 256 else icon.resize((size, size), Image.Resampling.LANCZOS)
        path = os.path.join(out_dir, f"orbelle-player-{size}.png")
        img.save(path + ".tmp", "PNG")
        os.replace(path + ".tmp", path)


if __name__ == "__main__":
    main(sys.argv)
