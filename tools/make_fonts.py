#!/usr/bin/env python3
"""Builds Ombrix's two fonts into resources/fonts/ with FontForge's Python module (python3-fontforge).

- oxfont.ttf ("oxfont-Regular"): the text face, taken from DejaVu Sans (fonts-dejavu-core), cut to the scripts
  the interface shows and renamed, as its licence asks of modified copies.
- ombrixeglyph.ttf ("OmbrixeGlyph"): our own symbols, drawn here: "1" full star, "2" left half star, "3" speaker,
  "4" play, "5" pause, and a blank space of the same advance.

Usage: python3 tools/make_fonts.py [output folder]   (or: fontforge -script tools/make_fonts.py)
"""
import math
import os
import sys

try:
    import fontforge
except ImportError:
    # Debian's module is built for the system interpreter; another python3 first on PATH lacks it.
    if sys.executable != "/usr/bin/python3" and os.path.exists("/usr/bin/python3"):
        os.execv("/usr/bin/python3", ["/usr/bin/python3"] + sys.argv)
    raise

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEJAVU = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"

# Unicode ranges kept in the text face: Latin, combining marks, Greek, Cyrillic, punctuation, currency, letterlike.
KEEP = [(0x0020, 0x024F), (0x0300, 0x036F), (0x0370, 0x03FF), (0x0400, 0x04FF), (0x1E00, 0x1EFF),
        (0x2000, 0x206F), (0x20A0, 0x20CF), (0x2100, 0x214F), (0x2190, 0x21FF), (0x25A0, 0x25FF)]


def set_names(font, family, style, postscript, full, notice):
    font.fontname = postscript
    font.familyname = family
    font.fullname = full
    font.weight = "Book" if style == "Regular" else style
    font.copyright = notice
    # Replace the name table: no trace of the source's names may remain in a renamed copy.
    names = []
    for entry in font.sfnt_names:
        lang, key, _ = entry
        if key in ("Family", "SubFamily", "Fullname", "PostScriptName", "UniqueID", "Preferred Family",
                   "Preferred Styles", "WWS Family", "WWS Subfamily", "Compatible Full", "Trademark",
                   "Version"):
            continue
        names.append(entry)
    font.sfnt_names = tuple(names)
    for key, value in (("Family", family), ("SubFamily", style), ("Fullname", full),
                       ("PostScriptName", postscript), ("UniqueID", postscript + " 1.0"),
                       ("Version", "Version 1.0")):
        font.appendSFNTName("English (US)", key, value)


def make_text_font(out):
    font = fontforge.open(DEJAVU)
    font.selection.all()
    font.unlinkReferences()
    doomed = []
    for glyph in font.glyphs():
        u = glyph.unicode
        if u < 0:
            continue
        if not any(lo <= u <= hi for lo, hi in KEEP):
            doomed.append(glyph.glyphname)
    for name in doomed:
        font.removeGlyph(name)
    # Only kerning is kept of the layout tables: the other lookups serve scripts that were cut.
    for lookup in font.gsub_lookups + font.gpos_lookups:
        features = font.getLookupInfo(lookup)[2]
        if not any(tag == "kern" for tag, _ in features):
            font.removeLookup(lookup)
    notice = (font.copyright or "") + "\nModified for Ombrix: subset and renamed to oxfont (DejaVu Sans changes are " \
        "in the public domain; Bitstream Vera licence applies)."
    set_names(font, "oxfont", "Regular", "oxfont-Regular", "oxfont Regular", notice)
    font.generate(out)
    font.close()


def star_points(cx, cy, outer, inner):
    pts = []
    for k in range(10):
        r = outer if k % 2 == 0 else inner
        a = math.pi / 2 + k * math.pi / 5  # first point straight up, then counter-clockwise
        pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    return pts


def clip_left(poly, x0):
    """Sutherland-Hodgman: the part of the polygon with x <= x0."""
    out = []
    for i in range(len(poly)):
        a, b = poly[i], poly[(i + 1) % len(poly)]
        ina, inb = a[0] <= x0, b[0] <= x0
        if ina:
            out.append(a)
        if ina != inb:
            t = (x0 - a[0]) / (b[0] - a[0])
            out.append((x0, a[1] + t * (b[1] - a[1])))
    return out


def draw(glyph, polygons, width):
    pen = glyph.glyphPen()
    for poly in polygons:
        pen.moveTo(tuple(round(v) for v in poly[0]))
        for p in poly[1:]:
            pen.lineTo(tuple(round(v) for v in p))
        pen.closePath()
    pen = None
    glyph.width = width
    glyph.removeOverlap()
    glyph.correctDirection()


def arc_band(cx, cy, r_in, r_out, a0, a1, steps=16):
    outer = [(cx + r_out * math.cos(a0 + (a1 - a0) * i / steps), cy + r_out * math.sin(a0 + (a1 - a0) * i / steps))
             for i in range(steps + 1)]
    inner = [(cx + r_in * math.cos(a1 - (a1 - a0) * i / steps), cy + r_in * math.sin(a1 - (a1 - a0) * i / steps))
             for i in range(steps + 1)]
    return outer + inner


def make_glyph_font(out):
    font = fontforge.font()
    font.encoding = "UnicodeBmp"
    font.em = 1000
    font.ascent = 800
    font.descent = 200
    advance = 900
    # Small, close-set and in the descent, so a row of stars sits on the footer's genre line, clear of the title.
    star_advance = 460
    cx, cy, outer = 230, -20, 190
    star = star_points(cx, cy, outer, outer * 0.382)

    font.createChar(0x20, "space").width = advance
    draw(font.createChar(ord("1"), "one"), [star], star_advance)
    draw(font.createChar(ord("2"), "two"), [clip_left(star, cx)], star_advance)
    speaker = [(120, 250), (280, 250), (470, 80), (470, 640), (280, 470), (120, 470)]
    waves = [arc_band(480, 360, 120, 185, -0.8, 0.8), arc_band(480, 360, 250, 315, -0.9, 0.9)]
    draw(font.createChar(ord("3"), "three"), [speaker] + waves, advance)
    draw(font.createChar(ord("4"), "four"), [[(230, 40), (770, 360), (230, 680)]], advance)
    draw(font.createChar(ord("5"), "five"), [[(220, 40), (390, 40), (390, 680), (220, 680)],
                                            [(510, 40), (680, 40), (680, 680), (510, 680)]], advance)
    set_names(font, "OmbrixeGlyph", "Regular", "OmbrixeGlyph", "OmbrixeGlyph",
              "Copyright (c) Ombrix. Drawn for Ombrix by tools/make_fonts.py.")
    font.generate(out)
    font.close()


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "resources", "fonts")
    os.makedirs(folder, exist_ok=True)
    make_text_font(os.path.join(folder, "oxfont.ttf"))
    make_glyph_font(os.path.join(folder, "ombrixeglyph.ttf"))
    print("fonts written to", folder)


if __name__ == "__main__":
    main()
