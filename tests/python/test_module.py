import inspect
import os
import threading

import pytest

import inkra
from pdfbuilder import PdfBuilder


def three_pages(path):
    b = PdfBuilder()
    root = b.root()
    mid = b.reserve()
    p1 = b.page(extra="/MediaBox [0 0 612 792]")
    p2 = b.page(parent=mid, extra="/Rotate 90")
    p3 = b.page(parent=mid, extra="/MediaBox [420 595 0 0] /Rotate -90")
    b.pages_node([p2, p3], 2, "/Rotate 180", parent=root, number=mid)
    b._kids = [p1, mid]
    b.pages_node(b._kids, 3, "/MediaBox [0 0 300 200]", number=root)
    return b.write(path)


def test_module_surface():
    assert inkra.__doc__ == "Arabic PDF text extraction without OCR."
    assert inkra.InkraError.__qualname__ == "InkraError"
    assert f"{inkra.InkraError.__module__}.{inkra.InkraError.__name__}" == "inkra.InkraError"
    assert inkra.InkraError.__bases__ == (Exception,)
    assert inkra.InkraError.__doc__ == "Raised when a PDF cannot be parsed."
    assert str(inspect.signature(inkra.extract_text)) == "(path)"
    assert str(inspect.signature(inkra.Document)) == "(path)"
    assert inkra.Document.page.__text_signature__ == "($self, number)"
    assert str(inspect.signature(inkra.Document.page)) == "(number)"
    assert "An extracted PDF document.\n\nExtraction happens once" in inkra.Document.__doc__
    assert inkra.Page.__doc__ == "One page of a document."


def test_page_geometry_and_rotation(tmp_path):
    doc = inkra.Document(three_pages(tmp_path / "three.pdf"))
    assert len(doc) == 3 and len(doc.pages) == 3
    got = [(p.number, p.width, p.height, p.rotation) for p in doc]
    assert got == [(1, 612.0, 792.0, 0), (2, 300.0, 200.0, 90), (3, 420.0, 595.0, 270)]
    assert doc.page(2) is doc.pages[1]
    assert [p.number for p in doc] == [1, 2, 3]


@pytest.mark.parametrize("number", [0, 4])
def test_page_lookup_out_of_range(tmp_path, number):
    doc = inkra.Document(three_pages(tmp_path / "three.pdf"))
    with pytest.raises(IndexError, match=f"^no page {number}$"):
        doc.page(number)


def test_error_mapping(tmp_path):
    with pytest.raises(FileNotFoundError) as e:
        inkra.extract_text(tmp_path / "missing.pdf")
    assert str(e.value).startswith("could not read `")
    text = tmp_path / "notes.txt"
    text.write_text("hello\n")
    with pytest.raises(inkra.InkraError) as e:
        inkra.Document(str(text))
    assert str(e.value).startswith("malformed PDF: ")
    with pytest.raises(OSError) as e:
        inkra.Document(tmp_path)
    assert not isinstance(e.value, (FileNotFoundError, PermissionError))
    if os.geteuid() != 0:
        locked = tmp_path / "locked.pdf"
        three_pages(locked)
        locked.chmod(0)
        with pytest.raises(PermissionError):
            inkra.Document(locked)
    with pytest.raises(TypeError, match="path"):
        inkra.Document(42)


def test_empty_document_views(tmp_path):
    b = PdfBuilder()
    doc = inkra.Document(b.write(tmp_path / "empty.pdf"))
    assert len(doc) == 0
    assert doc.text == "" and doc.confidence == 0.0 and doc.pages_needing_ocr == []
    assert repr(doc) == "<Document 0 page(s), confidence=0.00, 0 needing OCR>"


def test_threads_match_serial(tmp_path):
    paths = []
    for i in range(6):
        b = PdfBuilder()
        for j in range(i + 1):
            b.page(extra=f"/MediaBox [0 0 {100 + i} {200 + j}] /Rotate {90 * j}")
        paths.append(b.write(tmp_path / f"d{i}.pdf"))

    def summary(path):
        d = inkra.Document(path)
        return [(p.number, p.width, p.height, p.rotation) for p in d], d.text

    serial = [summary(p) for p in paths]
    results = [None] * len(paths)

    def work(i):
        for _ in range(5):
            results[i] = summary(paths[i])

    threads = [threading.Thread(target=work, args=(i,)) for i in range(len(paths))]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert results == serial
