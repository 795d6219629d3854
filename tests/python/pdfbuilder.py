"""Writes small PDFs object by object for the tests.

    b = PdfBuilder()
    font = b.add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>")
    b.page(content=b"BT /F1 12 Tf (hi) Tj ET", resources=f"<< /Font << /F1 {ref(font)} >> >>")
    b.write(path)

Objects are given as PDF source text (str or bytes); `add_stream` writes
streams, raw or Flate-compressed; `page` and `pages_node` build page trees
with whatever inherited entries a test needs.
"""

from __future__ import annotations

import zlib
from pathlib import Path


def ref(n: int) -> str:
    return f"{n} 0 R"


def _b(x) -> bytes:
    return x if isinstance(x, bytes) else x.encode("latin-1")


class PdfBuilder:
    def __init__(self) -> None:
        self.objects: list[bytes | None] = []
        self.catalog: int | None = None
        self._root: int | None = None
        self._kids: list[int] = []
        self.trailer_extra = ""

    def reserve(self) -> int:
        self.objects.append(None)
        return len(self.objects)

    def add(self, body) -> int:
        self.objects.append(_b(body))
        return len(self.objects)

    def set(self, number: int, body) -> None:
        self.objects[number - 1] = _b(body)

    def add_stream(self, data, dict_extra: str = "", flate: bool = False, filters: str | None = None) -> int:
        data = _b(data)
        if flate:
            data = zlib.compress(data, 9)
            dict_extra += " /Filter /FlateDecode"
        elif filters:
            dict_extra += f" /Filter {filters}"
        return self.add(b"<< " + _b(dict_extra) + b" /Length %d >>\nstream\n" % len(data) + data + b"\nendstream")

    def root(self) -> int:
        """The /Pages root that `page` adds to (created on first use)."""
        if self._root is None:
            self._root = self.reserve()
        return self._root

    def page(self, content=b"", resources: str = "", extra: str = "", parent: int | None = None,
             flate: bool = False) -> int:
        """A page under `parent` (default: the root); returns its number."""
        c = self.add_stream(content, flate=flate)
        par = parent if parent is not None else self.root()
        res = f"/Resources {resources}" if resources else ""
        p = self.add(f"<< /Type /Page /Parent {ref(par)} /Contents {ref(c)} {res} {extra} >>")
        if parent is None:
            self._kids.append(p)
        return p

    def pages_node(self, kids: list[int], count: int, extra: str = "", parent: int | None = None,
                   number: int | None = None) -> int:
        body = f"<< /Type /Pages /Kids [{' '.join(ref(k) for k in kids)}] /Count {count} {extra}"
        if parent is not None:
            body += f" /Parent {ref(parent)}"
        body += " >>"
        if number is None:
            return self.add(body)
        self.set(number, body)
        return number

    def build(self, root_extra: str = "", catalog_extra: str = "") -> bytes:
        if self.catalog is None:
            root = self.root()
            if self.objects[root - 1] is None:
                self.pages_node(self._kids, len(self._kids), root_extra, number=root)
            self.catalog = self.add(f"<< /Type /Catalog /Pages {ref(root)} {catalog_extra} >>")
        out = bytearray(b"%PDF-1.7\n%\xe2\xe3\xcf\xd3\n")
        offsets = []
        for i, body in enumerate(self.objects, 1):
            offsets.append(len(out))
            out += b"%d 0 obj\n" % i + (body if body is not None else b"null") + b"\nendobj\n"
        xref = len(out)
        out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(self.objects) + 1)
        for off in offsets:
            out += b"%010d 00000 n \n" % off
        out += b"trailer\n<< /Size %d /Root %d 0 R %s >>\nstartxref\n%d\n%%%%EOF\n" % (
            len(self.objects) + 1, self.catalog, _b(self.trailer_extra), xref)
        return bytes(out)

    def write(self, path, **kw) -> Path:
        path = Path(path)
        path.write_bytes(self.build(**kw))
        return path
