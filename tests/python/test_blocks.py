"""Blocks, tables, cells and images as Python objects, on built PDFs."""

import inspect

import pytest

import inkra
from pdfbuilder import PdfBuilder, ref
from test_pages import latin_font


def text_doc(tmp_path, runs, name="text.pdf"):
    """One page with one line per (size, y, text) run."""
    b = PdfBuilder()
    ops = " ".join(f"BT /F1 {size} Tf 72 {y} Td ({text}) Tj ET" for size, y, text in runs)
    b.page(content=ops, resources=f"<< {latin_font(b)} >>", extra="/MediaBox [0 0 612 792]")
    return inkra.Document(b.write(tmp_path / name))


def image_doc(tmp_path, image_dict, samples, name="image.pdf"):
    """One page drawing a single image over the whole page."""
    b = PdfBuilder()
    img = b.add_stream(samples, "/Type /XObject /Subtype /Image " + image_dict)
    b.page(content=b"q 612 0 0 792 0 0 cm /Im0 Do Q", resources=f"<< /XObject << /Im0 {ref(img)} >> >>",
           extra="/MediaBox [0 0 612 792]")
    return inkra.Document(b.write(tmp_path / name))


def only_image(doc):
    [image] = doc.page(1).images
    return image


def test_module_attributes_in_order():
    names = [n for n in vars(inkra) if not n.startswith("__") or n == "__doc__"]
    assert names[names.index("__doc__"):] == [
        "__doc__", "InkraError", "Document", "Page", "Line", "TextBlock", "ImageBlock", "TableBlock", "Cell",
        "extract_text"]


@pytest.mark.parametrize("obj, doc", [
    (inkra.TextBlock, "A run of text: a paragraph, a heading, one card's contents."),
    (inkra.ImageBlock, "A picture drawn on the page."),
    (inkra.TableBlock, "A table reconstructed from the lines ruled around it."),
    (inkra.Cell, "One cell of a reconstructed table."),
    (inkra.Page.images, "Just the images on this page."),
    (inkra.TextBlock.reading_index, "Position in the page's reading order, counting from 0."),
    (inkra.ImageBlock.height, "Pixel height."),
    (inkra.TableBlock.to_rows, "The table as a list of rows of strings \u2014 the shape `csv.writer` wants."),
    (inkra.ImageBlock.save, "Write the image to a file.\n\nRaises `ValueError` for an image that could not be "
                            "decoded \u2014 the bytes\nsimply do not exist, and writing an empty file would hide that."),
])
def test_docstrings(obj, doc):
    assert obj.__doc__ == doc


@pytest.mark.parametrize("method, signature", [
    (inkra.Document.to_html, "($self, *, include_images=True, include_color=True, title=None)"),
    (inkra.Document.to_json, "($self)"),
    (inkra.Document.heading_sizes, "($self)"),
    (inkra.ImageBlock.save, "($self, path)"),
    (inkra.TableBlock.to_rows, "($self)"),
])
def test_signatures_are_published(method, signature):
    assert method.__text_signature__ == signature
    inspect.signature(method)  # and it parses


def test_classes_are_read_only_and_not_constructible(tmp_path):
    doc = text_doc(tmp_path, [(12, 700, "Hello")])
    [block] = doc.page(1).blocks
    with pytest.raises(AttributeError):
        block.text = "x"
    for cls in (inkra.TextBlock, inkra.ImageBlock, inkra.TableBlock, inkra.Cell):
        with pytest.raises(TypeError):
            cls()


def test_text_block(tmp_path):
    doc = text_doc(tmp_path, [(12, 700, "Hello world"), (12, 686, "second line")])
    page = doc.page(1)
    [block] = page.blocks
    assert isinstance(block, inkra.TextBlock)
    assert (block.kind, block.reading_index, block.confidence) == ("text", 0, 1.0)
    assert block.text == "Hello world\nsecond line" == str(block) == page.text
    x0, y0, x1, y1 = block.bbox
    assert x0 < x1 and y0 < y1 and x0 == pytest.approx(72, abs=1)
    assert [l.text for l in block.lines] == [l.text for l in page.lines]
    # The block's lines are its own objects, but stable across accesses.
    assert block.lines[0] is not page.lines[0]
    assert block.lines[0] is block.lines[0]
    assert page.blocks[0] is block and page.images == [] and page.tables == []
    assert repr(block) == '<TextBlock 0 "Hello world\\nsecond line"\u2026>'


def test_text_block_repr_cuts_at_thirty_characters(tmp_path):
    text = "abcdefghij" * 4
    [block] = text_doc(tmp_path, [(12, 700, text)]).page(1).blocks
    assert repr(block) == f'<TextBlock 0 "{text[:30]}"\u2026>'


def test_heading_sizes(tmp_path):
    doc = text_doc(tmp_path, [(24, 740, "Title"), (12, 700, "A body line of some length"),
                              (12, 680, "and another one of it")])
    assert doc.heading_sizes() == (12.0, [(24.0, 1)])
    flat = text_doc(tmp_path, [(12, 700, "only body")], "flat.pdf")
    assert flat.heading_sizes() == (12.0, [])


def test_decoded_image(tmp_path):
    doc = image_doc(tmp_path, "/Width 4 /Height 2 /ColorSpace /DeviceGray /BitsPerComponent 8", b"\x80" * 8)
    image = only_image(doc)
    assert doc.page(1).blocks == [image]
    assert (image.kind, image.reading_index, image.is_background, image.text) == ("image", 0, True, "")
    assert (image.width, image.height, image.format, image.file_name) == (4, 2, "png", "Im0.png")
    assert image.unsupported_reason is None and image.dropped_transparency is False
    assert image.bbox == (0.0, 0.0, 612.0, 792.0)
    assert image.data.startswith(b"\x89PNG\r\n\x1a\n") and image.data is not image.data
    assert repr(image) == "<ImageBlock 0 Im0.png 4x2>"
    target = tmp_path / "out.png"
    target.write_bytes(b"old contents")
    image.save(target)
    assert target.read_bytes() == image.data
    with pytest.raises(OSError):
        image.save(tmp_path / "missing-dir" / "x.png")


@pytest.mark.parametrize("image_dict, reason", [
    ("/Width 4 /Height 4 /ColorSpace /DeviceGray /BitsPerComponent 1", "1-bit samples are not yet unpacked"),
    ("/Width 4294967295 /Height 4294967295 /ColorSpace /DeviceRGB /BitsPerComponent 8", "image dimensions overflow"),
])
def test_undecoded_image(tmp_path, image_dict, reason):
    image = only_image(image_doc(tmp_path, image_dict, b"\x00" * 8))
    assert image.unsupported_reason == reason
    assert (image.width, image.height, image.format, image.file_name, image.data) == (None,) * 5
    assert image.dropped_transparency is False
    assert repr(image) == f"<ImageBlock 0 undecoded: {reason}>"
    target = tmp_path / "never.png"
    with pytest.raises(ValueError, match=f"^{reason}$"):
        image.save(target)
    assert not target.exists()


def ruled_table_doc(tmp_path):
    """A 2 x 2 table drawn with rules, one word per cell."""
    b = PdfBuilder()
    rules = " ".join(f"{x} 500 m {x} 560 l S" for x in (100, 200, 300)) + " " + \
        " ".join(f"100 {y} m 300 {y} l S" for y in (500, 530, 560))
    words = [("aa", 110, 540), ("bb", 210, 540), ("cc", 110, 510), ("dd", 210, 510)]
    text = " ".join(f"BT /F1 12 Tf {x} {y} Td ({w}) Tj ET" for w, x, y in words)
    b.page(content=f"1 w {rules} {text}", resources=f"<< {latin_font(b)} >>", extra="/MediaBox [0 0 612 792]")
    return inkra.Document(b.write(tmp_path / "table.pdf"))


def test_table_block(tmp_path):
    page = ruled_table_doc(tmp_path).page(1)
    [table] = page.tables
    assert table in page.blocks and table.kind == "table"
    assert (table.row_count, table.column_count) == (2, 2)
    assert table.to_rows() == [["aa", "bb"], ["cc", "dd"]]
    assert table.text == "aa\tbb\ncc\tdd"
    rows = table.rows
    assert rows is not table.rows and rows[0][0] is table.rows[0][0]
    cell = rows[1][0]
    assert (cell.text, cell.row, cell.column, str(cell)) == ("cc", 1, 0, "cc")
    assert repr(cell) == '<Cell r1 c0 "cc">'
    assert repr(table) == f"<TableBlock {table.reading_index} 2x2 confidence={table.confidence:.2f}>"
    x0, y0, x1, y1 = table.bbox
    assert (x0, y0, x1, y1) == pytest.approx((100, 500, 300, 560))
