#!/usr/bin/env python3
"""Writes the small font programs the C++ font tests read.

Well-formed programs are built with fontTools. Where an unusual or lying
table is the point of a test (record order, a count that claims too much, a
CID-keyed Top DICT), the generator assembles just that part by hand and says
so. Run from anywhere; files go to tests/data/fonts/.

    python3 tests/fonts/make_fonts.py
"""

import io
import os
import struct

# Reproducible bytes: fontTools stamps head.created/modified from this.
os.environ.setdefault("SOURCE_DATE_EPOCH", "0")

from fontTools.cffLib import CFFFontSet
from fontTools.fontBuilder import FontBuilder
from fontTools.pens.t2CharStringPen import T2CharStringPen
from fontTools.pens.ttGlyphPen import TTGlyphPen
from fontTools.ttLib import TTFont, newTable
from fontTools.ttLib.tables.DefaultTable import DefaultTable
from fontTools.ttLib.tables._c_m_a_p import CmapSubtable
from fontTools.ttLib.tables._g_l_y_f import Glyph, GlyphComponent

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "data", "fonts")
AMIRI = [
    "/usr/share/fonts/truetype/amiri/Amiri-Regular.ttf",
    "/usr/share/fonts/opentype/fonts-hosny-amiri/Amiri-Regular.ttf",
]


def write(name, data):
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)


# ---- CFF (bare tables, as /FontFile3 carries them) ----

def box_charstring(width=500):
    pen = T2CharStringPen(width, None)
    pen.moveTo((0, 0))
    pen.lineTo((100, 0))
    pen.lineTo((100, 100))
    pen.closePath()
    return pen.getCharString()


def cff_program(glyphs, codes):
    """A name-keyed CFF whose built-in encoding maps code -> glyph name."""
    fb = FontBuilder(1000, isTTF=False)
    fb.setupGlyphOrder(glyphs)
    fb.setupCFF("InkraTest", {}, {g: box_charstring() for g in glyphs}, {})
    cff = fb.font["CFF "].cff
    encoding = [".notdef"] * 256
    for code, glyph in codes.items():
        encoding[code] = glyph
    cff.topDictIndex[0].Encoding = encoding
    out = io.BytesIO()
    cff.compile(out, fb.font)
    return out.getvalue()


def cff_offsets(data):
    cff = CFFFontSet()
    cff.decompile(io.BytesIO(data), None)
    return cff.topDictIndex[0].rawDict


def make_cff():
    # ISOAdobe charset (string id = glyph id) and a format 0 encoding.
    write("cff_isoadobe.cff", cff_program([".notdef", "space", "exclam"], {0x41: "space", 0x42: "exclam"}))

    # Three custom names (string ids 391..393): a format 1 charset range.
    custom = [".notdef", "uni0628", "alef.fina", "uni066B"]
    data = cff_program(custom, {0x41: "uni0628", 0x42: "alef.fina", 0x2C: "uni066B"})
    top = cff_offsets(data)
    assert data[top["charset"]] == 1, "expected a format 1 charset"
    write("cff_custom.cff", data)

    # Consecutive codes 250..255 on glyphs 1..6 give a format 1 encoding range;
    # the copy with count-left patched from 5 to 10 claims codes past 255.
    glyphs = [".notdef"] + ["g%02d" % i for i in range(1, 12)]
    data = cff_program(glyphs, {250 + i: glyphs[1 + i] for i in range(6)})
    enc = cff_offsets(data)["Encoding"]
    assert data[enc] == 1 and data[enc + 1] == 1 and data[enc + 2:enc + 4] == bytes([250, 5]), data[enc:enc + 4].hex()
    write("cff_range250.cff", data)
    patched = bytearray(data)
    patched[enc + 3] = 10
    write("cff_range250_overflow.cff", bytes(patched))

    # A realistic Arabic simple font: glyph names as producers write them.
    arabic = [".notdef", "space", "uni0627", "uni0628", "uni062A", "lam_alef", "period", "comma", "uni066B", "alef-ar"]
    codes = {0x20: "space", 0x41: "uni0627", 0x42: "uni0628", 0x43: "uni062A", 0x44: "lam_alef",
             0x2E: "period", 0x2C: "uni066B", 0x2D: "comma", 0x45: "alef-ar"}
    write("cff_arabic.cff", cff_program(arabic, codes))


def dict_int(v):
    return bytes([29]) + struct.pack(">i", v)


def index(objects):
    if not objects:
        return b"\0\0"
    offsets = [1]
    for o in objects:
        offsets.append(offsets[-1] + len(o))
    return struct.pack(">HB", len(objects), 4) + b"".join(struct.pack(">I", o) for o in offsets) + b"".join(objects)


def assembled_cff(extra_top=b"", encoding=None, charset=None, strings=()):
    """Hand-assembled CFF for the Top DICT and encoding shapes that fontTools
    will not write (supplements, ROS in a name-keyed font, reals)."""
    glyph_count = 4
    charstrings = index([bytes([14])] * glyph_count)  # endchar

    def layout(offsets):
        top = extra_top + dict_int(offsets["charstrings"]) + bytes([17])
        if charset is not None:
            top += dict_int(offsets["charset"]) + bytes([15])
        if encoding is not None:
            top += dict_int(offsets["encoding"]) + bytes([16])
        head = bytes([1, 0, 4, 4]) + index([b"T"]) + index([top]) + index([s.encode() for s in strings]) + index([])
        body = head
        pos = {}
        for key, blob in (("charset", charset), ("encoding", encoding), ("charstrings", charstrings)):
            if blob is not None:
                pos[key] = len(body)
                body += blob
        return body, pos

    offsets = {"charstrings": 0, "charset": 0, "encoding": 0}
    data, pos = layout(offsets)
    data, pos2 = layout(pos)
    assert pos == pos2
    return data


def make_cff_by_hand():
    fmt0 = bytes([0, 2, 0x41, 0x42])
    write("cffh_plain.cff", assembled_cff(encoding=fmt0))
    # The supplement flag with a count of 200 three-byte entries that are not there:
    # the encoding is the last structure before the CharStrings, so make it last of all.
    lie = assembled_cff(encoding=bytes([0x80, 2, 0x41, 0x42, 200]))
    write("cffh_supplement_lie.cff", lie)
    # One honest supplement entry.
    write("cffh_supplement_ok.cff", assembled_cff(encoding=bytes([0x80, 2, 0x41, 0x42, 1, 0x43, 0, 1])))
    # ROS (12 30) marks a CID-keyed font.
    write("cffh_ros.cff", assembled_cff(extra_top=dict_int(391) + dict_int(392) + dict_int(0) + bytes([12, 30]),
                                        encoding=fmt0, strings=("Adobe", "Identity")))
    # Encoding offset 0 (the predefined Standard encoding) written explicitly.
    write("cffh_standard_encoding.cff", assembled_cff(extra_top=dict_int(0) + bytes([16])))
    # A format 2 charset naming glyphs 1..3 from the String INDEX.
    write("cffh_charset2.cff", assembled_cff(encoding=bytes([0, 3, 0x61, 0x62, 0x63]),
                                             charset=bytes([2]) + struct.pack(">HH", 391, 2),
                                             strings=("alef", "beh", "teh")))


# ---- TrueType ----

def rect(x0, y0, x1, y1):
    pen = TTGlyphPen(None)
    pen.moveTo((x0, y0))
    pen.lineTo((x0, y1))
    pen.lineTo((x1, y1))
    pen.lineTo((x1, y0))
    pen.closePath()
    return pen.glyph()


def truetype(glyphs, cmap):
    """glyphs: name -> glyf Glyph; cmap: code -> name."""
    order = list(glyphs)
    fb = FontBuilder(1000, isTTF=True)
    fb.setupGlyphOrder(order)
    fb.setupCharacterMap(cmap)
    fb.setupGlyf(glyphs)
    fb.setupHorizontalMetrics({g: (600, 0) for g in order})
    fb.setupHorizontalHeader(ascent=800, descent=-200)
    fb.setupNameTable({"familyName": "InkraTest", "styleName": "Regular"})
    fb.setupOS2()
    fb.setupPost()
    return fb.font


def font_bytes(font):
    out = io.BytesIO()
    font.save(out)
    return out.getvalue()


# Glyph order of tt_arabic.ttf after .notdef: one glyph per character.
ARABIC_CHARS = [0x0627, 0x0628, 0x062A, 0x062B, 0x062C, 0x062D, 0x062E, 0x062F, 0x0630, 0x0631,
                0x0632, 0x0633, 0x0634, 0x0635, 0x0636, 0x0637, 0x0638, 0x0639, 0x063A, 0x0641,
                0x0642, 0x0643, 0x0644, 0x0645, 0x0646, 0x0647, 0x0648, 0x064A, 0x0640, 0x066C,
                0x066B, 0x0028, 0x0029, 0x0661, 0xFEFB, 0x002C, 0x002E, 0x0031]


def make_truetype():
    # Arabic letters, tatweel, separators, brackets, a digit, a ligature.
    glyphs = {".notdef": rect(0, 0, 500, 700)}
    cmap = {}
    for i, c in enumerate(ARABIC_CHARS):
        name = "g%04X" % c
        glyphs[name] = rect(0, 0, 100 + i, 500)
        cmap[c] = name
    write("tt_arabic.ttf", font_bytes(truetype(glyphs, cmap)))

    # Preference: one glyph from U+0627, U+FE8D and U+FE8E; one from U+0041 and
    # U+0391; one from U+0628 and U+FE8F; one from a private-use code only.
    glyphs = {n: rect(0, 0, 300, 300) for n in (".notdef", "alef", "latinA", "beh", "pua")}
    cmap = {0x0627: "alef", 0xFE8D: "alef", 0xFE8E: "alef", 0x0041: "latinA", 0x0391: "latinA",
            0x0628: "beh", 0xFE8F: "beh", 0xE001: "pua"}
    write("tt_prefer.ttf", font_bytes(truetype(glyphs, cmap)))

    # A supplementary-plane code: fontTools adds a (3,10) format 12 subtable.
    glyphs = {n: rect(0, 0, 300, 300) for n in (".notdef", "A", "mathalef")}
    write("tt_format12.ttf", font_bytes(truetype(glyphs, {0x41: "A", 0x1EE00: "mathalef"})))

    # Stretched tatweel copies: same contours, xMin, yMin and yMax, wider.
    glyphs = {
        ".notdef": rect(0, 0, 500, 700),
        "tatweel": rect(0, -20, 300, 60),
        "tatweel.600": rect(0, -20, 600, 60),
        "tatweel.900": rect(0, -20, 900, 60),
        "tatweel.tall": rect(0, -20, 600, 70),
        "beh": rect(0, -20, 300, 60),  # encoded: keeps its own character
    }
    write("tt_tatweel.ttf", font_bytes(truetype(glyphs, {0x0640: "tatweel", 0x0628: "beh"})))

    # A composite tatweel: no copies are recognised, even identical composites.
    def composite(base, dx):
        g = Glyph()
        comp = GlyphComponent()
        comp.glyphName, comp.x, comp.y, comp.flags = base, dx, 0, 0x4
        g.components = [comp]
        g.numberOfContours = -1
        return g
    glyphs = {".notdef": rect(0, 0, 500, 700), "bar": rect(0, -20, 300, 60),
              "tatweel": composite("bar", 0), "tatweel.copy": composite("bar", 0)}
    write("tt_tatweel_composite.ttf", font_bytes(truetype(glyphs, {0x0640: "tatweel"})))

    # An empty tatweel glyph (no outline).
    empty = Glyph()
    glyphs = {".notdef": rect(0, 0, 500, 700), "tatweel": empty, "other": Glyph()}
    write("tt_tatweel_empty.ttf", font_bytes(truetype(glyphs, {0x0640: "tatweel"})))

    make_cmap_layouts()


def subtable(fmt, platform, encoding, mapping, font):
    st = CmapSubtable.newSubtable(fmt)
    st.platformID, st.platEncID, st.language = platform, encoding, 0
    st.cmap = mapping
    if fmt == 12:
        st.format, st.reserved, st.length, st.nGroups = 12, 0, 0, 0
    return st.compile(font)


def with_cmap(records, lie=False):
    """A font whose cmap table is assembled from compiled subtables in the
    given record order (fontTools would sort them), optionally with a record
    count that claims more records than fit. records: (platform, encoding, format, mapping)."""
    names = [".notdef", "one", "two", "three"]
    font = truetype({n: rect(0, 0, 300, 300) for n in names}, {0x41: "one"})
    chunks = [subtable(fmt, p, e, m, font) for p, e, fmt, m in records]
    header = b""
    offset = 4 + 8 * len(records)
    body = b""
    for (p, e, _, _), chunk in zip(records, chunks):
        header += struct.pack(">HHL", p, e, offset + len(body))
        body += chunk
    size = 4 + len(header) + len(body)
    n = len(records) if not lie else (size - 4) // 8 + 1  # one record more than the table can hold
    table = DefaultTable("cmap")
    table.data = struct.pack(">HH", 0, n) + header + body
    font["cmap"] = table
    return font_bytes(font)


def make_cmap_layouts():
    a = {0x41: "one"}
    b = {0x41: "two"}
    c = {0x41: "three"}
    write("cm_12_after_4.ttf", with_cmap([(3, 1, 4, a), (3, 10, 12, b)]))
    write("cm_12_before_4.ttf", with_cmap([(3, 10, 12, b), (3, 1, 4, a)]))
    write("cm_two_bmp.ttf", with_cmap([(3, 1, 4, a), (3, 1, 4, c)]))
    write("cm_unicode_platform_only.ttf", with_cmap([(0, 3, 4, a)]))
    write("cm_mac_only.ttf", with_cmap([(1, 0, 4, a)]))
    write("cm_symbol_and_bmp.ttf", with_cmap([(3, 0, 4, b), (3, 1, 4, a)]))
    write("cm_count_lies.ttf", with_cmap([(3, 1, 4, a)], lie=True))


def fnv1a64(data):
    h = 0xCBF29CE484222325
    for b in data:
        h = ((h ^ b) * 0x100000001B3) & 0xFFFFFFFFFFFFFFFF
    return h


def make_amiri_expectation():
    """What a peer reader (fontTools) says Amiri's Arabic glyphs encode, for
    the integration test; keyed by the font file's digest so that another
    Amiri build skips rather than fails."""
    path = next((p for p in AMIRI if os.path.exists(p)), None)
    if path is None:
        return
    data = open(path, "rb").read()
    font = TTFont(io.BytesIO(data))
    order = font.getGlyphOrder()
    best = font.getBestCmap()
    reverse = {}
    for code, name in best.items():
        reverse.setdefault(name, []).append(code)
    lines = ["size %d fnv1a64 %016x" % (len(data), fnv1a64(data))]
    for name, codes in sorted(reverse.items(), key=lambda kv: order.index(kv[0])):
        if len(codes) != 1:
            continue
        c = codes[0]
        if 0x0621 <= c <= 0x064A or 0xFB50 <= c <= 0xFDFF or 0xFE70 <= c <= 0xFEFC:
            lines.append("%d %04X" % (order.index(name), c))
    with open(os.path.join(OUT, "amiri_regular_arabic.txt"), "w") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    os.makedirs(OUT, exist_ok=True)
    make_cff()
    make_cff_by_hand()
    make_truetype()
    make_amiri_expectation()
