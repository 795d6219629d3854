#!/usr/bin/env python3
"""Writes shaped_lines.txt: Arabic sentences shaped with HarfBuzz and real
Arabic fonts (Amiri; Noto Kufi and Noto Naskh for tashkeel), laid out the way
a word processor paints them (visual order, contextual forms, zero-advance
marks at their shaped offsets), for the line-building tests.

Each line of the fixture:
  line <name> <size>          starts a painted line (font size in points)
  expect <hex code points>    the sentence in logical order, as a reader types it
  check exact|letters         whether the marks are expected on their letters
  map <code> <hex code points> the ToUnicode entry of a glyph code (the glyph id)
  g <code> <x> <y> <advance>  one painted glyph, in painting order
  end

Run: python3 gen_shaped_lines.py > shaped_lines.txt
"""
import sys
import unicodedata

import uharfbuzz as hb
from fontTools.ttLib import TTFont

FONTS = {
    "amiri": "/usr/share/fonts/opentype/fonts-hosny-amiri/Amiri-Regular.ttf",
    # Debian package fonts-noto-core
    "naskh": "/usr/share/fonts/truetype/noto/NotoNaskhArabic-Bold.ttf",
    "kufi": "/usr/share/fonts/truetype/noto/NotoKufiArabic-Regular.ttf",
}

# Sentences as bidi runs in logical order; numbers and Latin words are their
# own left-to-right runs, everything else right to left.
# Fields: name, font, runs, expected text when it differs from the runs, how
# the glyphs' ToUnicode entries are written (presentation forms, as Word and
# many generators do, or base letters), and how much of the text line building
# is expected to get right: "exact", or "letters" where the font sets some
# marks' origins left of their letter's left edge, so that they sort with the
# neighbouring letter (Noto Naskh: one mark of fifteen). Amiri does so for most
# of its marks, which then also eat word spaces; it is left out of tashkeel.
TASHKEEL = [("rtl", "كَتَبَ الوَلَدُ الدَّرْسَ فِي دَفْتَرِهِ")]
SENTENCES = [
    ("plain", "amiri", [("rtl", "ذهب الطالب إلى المدرسة في الصباح الباكر")], None, "base", "exact"),
    ("greeting", "amiri", [("rtl", "السلام عليكم ورحمة الله وبركاته")], None, "forms", "exact"),
    ("tashkeel", "kufi", TASHKEEL, None, "forms", "exact"),
    ("tashkeel_naskh", "naskh", TASHKEEL, None, "forms", "letters"),
    ("number_latin", "amiri", [("rtl", "صدر التقرير عام "), ("ltr", "2023"), ("rtl", " بصيغة "),
                               ("ltr", "PDF"), ("rtl", " لجميع القراء")], None, "forms", "exact"),
    ("kashida", "amiri", [("rtl", "هذا كتاب جمـــيل جدا")], "هذا كتاب جميل جدا", "forms", "exact"),
]
FORM_TAGS = {"init": "<initial>", "medi": "<medial>", "fina": "<final>", "isol": "<isolated>"}


def presentation_forms():
    """(tag, letters) -> the presentation-form character standing for them."""
    table = {}
    for cp in list(range(0xFB50, 0xFE00)) + list(range(0xFE70, 0xFF00)):
        d = unicodedata.decomposition(chr(cp)).split()
        if len(d) >= 2 and d[0].startswith("<"):
            table.setdefault((d[0], "".join(chr(int(h, 16)) for h in d[1:])), chr(cp))
    return table


def as_presentation_form(text, glyph_name, forms):
    """The presentation form of a glyph's letters, read from the glyph's name
    (uni0628.medi, uni0644_uni0627.fina...); the letters when there is none."""
    if not text or any(unicodedata.combining(c) for c in text):
        return text
    suffix = glyph_name.split(".", 1)[1] if "." in glyph_name else ""
    form = next((f for f in ("init", "medi", "fina") if suffix.startswith(f)), "isol")
    return forms.get((FORM_TAGS[form], text), text)
SIZE = 12.0
LEFT = 72.0
BASELINE = 700.0


def shape(font, text, direction):
    buf = hb.Buffer()
    buf.add_codepoints([ord(c) for c in text])
    buf.direction = direction
    buf.script = "Arab" if direction == "rtl" else "Latn"
    buf.language = "ar" if direction == "rtl" else "en"
    hb.shape(font, buf)
    return buf.glyph_infos, buf.glyph_positions


def name_text(glyph_name):
    """The characters a glyph name spells (uni0628.medi, uni0644_uni0627.fina),
    or None for a name that spells none."""
    base = glyph_name.split(".", 1)[0]
    chars = []
    for part in base.split("_"):
        if part.startswith("uni") and len(part) == 7:
            chars.append(chr(int(part[3:], 16)))
        else:
            return None
    return "".join(chars)


def letters_of(text):
    """The base characters a text stands for: presentation forms decomposed."""
    return unicodedata.normalize("NFKC", text).replace(" ", "")


def glyph_texts(text, infos, reverse_cmap, glyph_order):
    """The text each glyph stands for: the character the font maps to it when
    that belongs to its cluster, else what its name spells, else what is left
    of its cluster."""
    starts = sorted({i.cluster for i in infos})
    cluster_text = {}
    for k, s in enumerate(starts):
        e = starts[k + 1] if k + 1 < len(starts) else len(text)
        cluster_text[s] = text[s:e]
    texts = [None] * len(infos)
    for n, info in enumerate(infos):
        chars = cluster_text[info.cluster]
        for cp in reverse_cmap.get(info.codepoint, []):
            if chr(cp) in chars:
                texts[n] = chr(cp)
                break
        if texts[n] is None:
            spelled = name_text(glyph_order[info.codepoint])
            if spelled and all(c in chars for c in letters_of(spelled)):
                texts[n] = spelled
    for n, info in enumerate(infos):
        if texts[n] is None:
            rest = cluster_text[info.cluster]
            for m, other in enumerate(infos):
                if m != n and other.cluster == info.cluster and texts[m]:
                    for c in letters_of(texts[m]):
                        rest = rest.replace(c, "", 1)
            texts[n] = rest
    return texts


def hexes(text):
    return " ".join("%04X" % ord(c) for c in text) if text else "-"


def load_font(path):
    face = hb.Face(hb.Blob.from_file_path(path))
    tt = TTFont(path)
    glyph_order = tt.getGlyphOrder()
    name_to_gid = {n: i for i, n in enumerate(glyph_order)}
    reverse_cmap = {}
    for cp, name in sorted(tt.getBestCmap().items()):
        reverse_cmap.setdefault(name_to_gid[name], []).append(cp)
    return hb.Font(face), face.upem, glyph_order, reverse_cmap


def main():
    fonts = {key: load_font(path) for key, path in FONTS.items()}
    forms = presentation_forms()
    out = sys.stdout
    out.write("# generated by gen_shaped_lines.py (uharfbuzz %s)\n" % hb.__version__)
    for name, font_key, runs, expect, mapping_style, check in SENTENCES:
        font, upem, glyph_order, reverse_cmap = fonts[font_key]
        scale = SIZE / upem
        logical = "".join(t for _, t in runs)
        expect = unicodedata.normalize("NFKC", expect or logical)
        out.write("# %s, %s\nline %s %g\nexpect %s\ncheck %s\n" % (logical, font_key, name, SIZE, hexes(expect), check))
        mapping, glyphs = {}, []
        pen = LEFT
        # a right-to-left paragraph: its runs are laid out from the last to the first
        for direction, text in reversed(runs):
            infos, positions = shape(font, text, direction)
            for info, pos, gtext in zip(infos, positions, glyph_texts(text, infos, reverse_cmap, glyph_order)):
                if mapping_style == "forms":
                    gtext = as_presentation_form(gtext, glyph_order[info.codepoint], forms)
                mapping.setdefault(info.codepoint, gtext)
                x = pen + pos.x_offset * scale
                y = BASELINE + pos.y_offset * scale
                glyphs.append((info.codepoint, x, y, pos.x_advance * scale))
                pen += pos.x_advance * scale
        for code in sorted(mapping):
            out.write("map %d %s\n" % (code, hexes(mapping[code])))
        for code, x, y, adv in glyphs:
            out.write("g %d %.3f %.3f %.3f\n" % (code, x, y, adv))
        out.write("end\n")


if __name__ == "__main__":
    main()
