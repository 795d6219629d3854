"""Page verdicts, document views and the repr forms, on built PDFs."""

import pytest

import inkra
from pdfbuilder import PdfBuilder, ref


def latin_font(b: PdfBuilder) -> str:
    widths = " ".join(["500"] * 95)
    f = b.add(f"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding "
              f"/FirstChar 32 /LastChar 126 /Widths [{widths}] >>")
    return f"/Font << /F1 {ref(f)} >>"


def text_page(b, text, extra_ops="", fonts=None):
    content = f"BT /F1 12 Tf {extra_ops} 72 700 Td ({text}) Tj ET"
    return b.page(content=content, resources=f"<< {fonts or latin_font(b)} >>", extra="/MediaBox [0 0 612 792]")


def scan_page(b):
    img = b.add_stream(b"\x80" * 16, "/Type /XObject /Subtype /Image /Width 4 /Height 4 "
                                     "/ColorSpace /DeviceGray /BitsPerComponent 8")
    return b.page(content=b"q 612 0 0 792 0 0 cm /Im0 Do Q", resources=f"<< /XObject << /Im0 {ref(img)} >> >>",
                  extra="/MediaBox [0 0 612 792]")


def test_clean_page(tmp_path):
    b = PdfBuilder()
    text_page(b, "Hello world")
    doc = inkra.Document(b.write(tmp_path / "hello.pdf"))
    page = doc.page(1)
    assert (page.verdict, page.needs_ocr, page.reasons, page.confidence) == ("ok", False, [], 1.0)
    assert page.text == "Hello world" == str(page) == doc.text
    assert repr(page) == "<Page 1 612x792pt ok confidence=1.00>"
    [line] = page.lines
    assert (line.text, line.direction, line.font, line.color, line.confidence) == (
        "Hello world", "ltr", "F1", "#000000", 1.0)
    assert line.size == pytest.approx(12.0) and line.baseline == pytest.approx(700.0)
    assert str(line) == line.text
    assert repr(line) == '<Line 12.0pt "Hello world">'


def test_scan_and_text_pages(tmp_path):
    b = PdfBuilder()
    text_page(b, "First page")
    scan_page(b)
    doc = inkra.Document(b.write(tmp_path / "mixed.pdf"))
    first, scan = doc.pages
    assert scan.verdict == "needs_ocr" and scan.needs_ocr and scan.confidence == 0.0
    assert scan.reasons == ["no text layer: the page paints no glyphs at all"]
    assert doc.text == "First page"
    assert doc.pages_needing_ocr == [2]
    assert doc.confidence == pytest.approx(first.confidence / 2)
    assert repr(doc) == "<Document 2 page(s), confidence=0.50, 1 needing OCR>"


def test_invisible_text_is_degraded(tmp_path):
    b = PdfBuilder()
    text_page(b, "Hidden OCR layer", extra_ops="3 Tr")
    page = inkra.Document(b.write(tmp_path / "ocr-layer.pdf")).page(1)
    assert page.verdict == "degraded"
    assert page.reasons == ["text is painted invisibly \u2014 this looks like an OCR layer over a scan"]
    assert page.confidence == pytest.approx(0.9)


@pytest.mark.parametrize("length, shown", [(30, "x" * 30 + '"'), (31, "x" * 30 + '"\u2026')])
def test_line_repr_cuts_at_thirty_characters(tmp_path, length, shown):
    b = PdfBuilder()
    text_page(b, "x" * length)
    [line] = inkra.Document(b.write(tmp_path / "long.pdf")).page(1).lines
    assert repr(line) == f'<Line 12.0pt "{shown}>'


def test_glyph_flood_is_cut_off(tmp_path):
    # 20 KB of compressed content asks for ten million glyphs.
    b = PdfBuilder()
    b.page(content=b"BT /F1 10 Tf 10 10 Td (" + b"a" * 10_000_000 + b") Tj ET", resources=f"<< {latin_font(b)} >>",
           flate=True)
    page = inkra.Document(b.write(tmp_path / "flood.pdf")).page(1)
    assert page.verdict == "degraded"
    assert page.reasons == ["the page paints more than 262144 glyphs; only the first 262144 were read"]
    assert page.text == "a" * 262144


def test_form_drawn_a_million_times_is_cut_short(tmp_path):
    # A few kilobytes that would run a 4000-operation form two million times.
    b = PdfBuilder()
    font = latin_font(b)
    form = b.add_stream(b"BT /F1 10 Tf " + b"10 10 Td (ab) Tj " * 1000 + b"ET",
                        f"/Type /XObject /Subtype /Form /BBox [0 0 100 100] /Resources << {font} >>", flate=True)
    b.page(content=b"/Fm0 Do " * 2_000_000, resources=f"<< /XObject << /Fm0 {ref(form)} >> >>", flate=True)
    page = inkra.Document(b.write(tmp_path / "forms.pdf")).page(1)
    assert page.verdict == "degraded"
    assert "the page runs more than 33554432 content operations; only the first 33554432 were run" in page.reasons


def test_image_drawn_millions_of_times_is_kept_a_bounded_number_of_times(tmp_path):
    b = PdfBuilder()
    img = b.add_stream(b"\x80" * 16, "/Type /XObject /Subtype /Image /Width 4 /Height 4 "
                                     "/ColorSpace /DeviceGray /BitsPerComponent 8")
    b.page(content=b"q 10 0 0 10 0 0 cm /Im0 Do Q " * 1_000_000, resources=f"<< /XObject << /Im0 {ref(img)} >> >>",
           flate=True)
    page = inkra.Document(b.write(tmp_path / "images.pdf")).page(1)
    assert len(page.images) == 65536
