#!/usr/bin/python3
"""Makes the program's two interface fonts from the VL Gothic fonts of Debian's fonts-vlgothic.

The program registers font/cinecaption2.24.TTF and font/FAMania2.6.TTF and asks for the
families "しねきゃぷしょん" and "FAMania". VL Gothic's licences (M+ FONTS, Sazanami, BSD-3-Clause)
allow a modified, renamed copy; the licence notice is written beside the fonts.

Usage: make_fonts.py OUTPUT_DIR [VLGOTHIC_DIR]
The output is deterministic: the same input fonts give the same bytes.
"""
import os
import shutil
import sys

from fontTools.ttLib import TTFont

FONTS = [
    # (output file, source file, family, PostScript name)
    ("cinecaption2.24.TTF", "VL-PGothic-Regular.ttf", "しねきゃぷしょん", "Cinecaption-Regular"),
    ("FAMania2.6.TTF", "VL-Gothic-Regular.ttf", "FAMania", "FAMania-Regular"),
]
# Name ids that carry the family; every record of these is replaced.
RENAMED_IDS = {1, 2, 3, 4, 6, 16, 17, 18, 21, 22}
WINDOWS, UNICODE_BMP = 3, 1
LANGS = (0x409, 0x411)  # English (United States) and Japanese


def rename(source, target, family, ps_name):
    font = TTFont(source, recalcTimestamp=False)
    table = font["name"]
    table.names = [n for n in table.names if n.nameID not in RENAMED_IDS]
    # Mac Roman cannot hold a Japanese family; drop the Mac records and keep the Windows ones,
    # which are what both Windows and fontconfig read.
    table.names = [n for n in table.names if n.platformID == WINDOWS]
    for lang in LANGS:
        table.setName(family, 1, WINDOWS, UNICODE_BMP, lang)
        table.setName("Regular", 2, WINDOWS, UNICODE_BMP, lang)
        table.setName("Orbelle-Player: " + family, 3, WINDOWS, UNICODE_BMP, lang)
        table.setName(family, 4, WINDOWS, UNICODE_BMP, lang)
        table.setName(ps_name, 6, WINDOWS, UNICODE_BMP, lang)
    font.save(target, reorderTables=True)


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    out_dir = sys.argv[1]
    src_dir = sys.argv[2] if len(sys.argv) == 3 else "/usr/share/fonts/truetype/vlgothic"
    os.makedirs(out_dir, exist_ok=True)
    for target, source, family, ps_name in FONTS:
        rename(os.path.join(src_dir, source), os.path.join(out_dir, target), family, ps_name)
    notice = os.path.join(out_dir, "LICENSE-VLGothic.txt")
    with open(notice, "w", encoding="utf-8") as out:
        out.write("cinecaption2.24.TTF is VL PGothic and FAMania2.6.TTF is VL Gothic (Debian package\n"
                  "fonts-vlgothic), renamed to the families the program asks for. The fonts' licence:\n\n")
        with open("/usr/share/doc/fonts-vlgothic/copyright", encoding="utf-8") as src:
            shutil.copyfileobj(src, out)


if __name__ == "__main__":
    main()
