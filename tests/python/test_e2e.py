"""Real producers' Arabic documents come out as their source text."""

import unicodedata
from pathlib import Path

import pytest

import inkra

DATA = Path(__file__).resolve().parent.parent / "data"


def normalised(text: str) -> str:
    # What the library does to every line: compatibility forms folded,
    # kashida dropped, runs of white space made one space.
    text = unicodedata.normalize("NFKC", text).replace("\u0640", "")
    return " ".join(text.split())


CASES = sorted(p.with_suffix("") for p in (DATA / "e2e").glob("*.pdf"))


@pytest.mark.parametrize("stem", CASES, ids=[c.name for c in CASES])
def test_text_matches_source(stem):
    source = stem.with_suffix(".txt").read_text(encoding="utf-8")
    doc = inkra.Document(stem.with_suffix(".pdf"))
    assert doc.pages_needing_ocr == []
    assert normalised(doc.text) == normalised(source)
    assert all(line.direction == "rtl" for page in doc for line in page.lines if any(
        "\u0600" <= ch <= "\u06ff" for ch in line.text))


def test_tagged_document_reports_tagged():
    doc = inkra.Document(DATA / "e2e" / "chromium-columns.pdf")
    assert [p.tagged for p in doc] == [True]


def test_example_in_readme():
    example = DATA.parent.parent / "examples"
    text = inkra.extract_text(example / "arabic.pdf")
    assert normalised(text) == normalised((example / "arabic.txt").read_text(encoding="utf-8"))
