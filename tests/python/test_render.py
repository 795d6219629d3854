"""The HTML page, the JSON document and their options, from Python."""

import json
import re
from pathlib import Path

import pytest

import inkra
from test_blocks import text_doc

E2E = Path(__file__).resolve().parent.parent / "data" / "e2e"


def test_html_defaults_and_options(tmp_path):
    doc = text_doc(tmp_path, [(24, 740, "Big <Title>"), (12, 700, "Body & more text than the title")])
    html = doc.to_html()
    assert html.startswith('<!DOCTYPE html>\n<html lang="en" dir="ltr">\n')
    assert "<title>Extracted document</title>" in html
    assert '<h1 dir="ltr">Big &lt;Title&gt;</h1>\n<p dir="ltr">Body &amp; more text than the title</p>\n' in html
    assert html.endswith("</section>\n</body>\n</html>\n")
    assert "<title>Q&amp;A &quot;1&quot;</title>" in doc.to_html(title='Q&A "1"')
    assert doc.to_html(include_images=False, include_color=False, title=None) == html


@pytest.mark.parametrize("call", [
    lambda d: d.to_html(True),
    lambda d: d.to_html(title=3),
    lambda d: d.to_html(colour=True),
])
def test_html_rejects_wrong_arguments(tmp_path, call):
    doc = text_doc(tmp_path, [(12, 700, "x")])
    with pytest.raises(TypeError):
        call(doc)


def test_json_holds_the_page(tmp_path):
    doc = text_doc(tmp_path, [(12, 700, "Hello world")])
    text = doc.to_json()
    assert text.startswith('{\n  "page_count": 1,\n  "pages": [\n') and text.endswith("}")
    data = json.loads(text)
    [page] = data["pages"]
    assert (page["number"], page["width"], page["height"], page["rotation"]) == (1, 612.0, 792.0, 0)
    assert (page["verdict"], page["confidence"], page["reasons"], page["tagged"]) == ("ok", 1.0, [], False)
    [block] = page["blocks"]
    assert list(block) == ["reading_index", "bbox", "type", "text", "confidence", "lines"]
    assert (block["type"], block["text"]) == ("text", "Hello world")
    assert list(block["lines"][0]) == ["text", "bbox", "baseline", "font", "size", "color", "direction",
                                       "confidence"]
    assert block["lines"][0]["direction"] == "ltr" and block["lines"][0]["color"] == "#000000"
    assert '"width": 612.0' in text


@pytest.mark.parametrize("name", ["chromium-columns", "xetex-mixed"])
def test_real_arabic_document(name):
    doc = inkra.Document(E2E / f"{name}.pdf")
    html = doc.to_html()
    assert html.startswith('<!DOCTYPE html>\n<html lang="ar" dir="rtl">\n')
    assert html.count('<section class="page"') == len(doc)
    # Right-to-left paragraphs inherit the page's direction; only
    # left-to-right ones say so.
    ltr = sum(1 for p in doc for b in p.blocks if b.kind == "text" and b.lines[0].direction == "ltr")
    assert html.count(' dir="ltr"') == ltr
    for table in re.findall(r"<table [^>]*>", html):
        assert 'dir="rtl"' in table

    data = json.loads(doc.to_json())
    assert data["page_count"] == len(doc)
    for page, jpage in zip(doc, data["pages"]):
        texts = [b["text"] for b in jpage["blocks"] if b["type"] == "text"]
        assert "\n".join(t for t in texts if t) == page.text
    assert "\\u06" not in doc.to_json()
