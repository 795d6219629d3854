// The Python module `inkra`: read-only snapshots of the core's records.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include "arabic.hpp"
#include "document.hpp"

namespace py = pybind11;

namespace {

PyObject* g_inkra_error = nullptr;  // owned by the module object

std::string format(const char* fmt, auto... args) {
    int n = std::snprintf(nullptr, 0, fmt, args...);
    std::string out(static_cast<std::size_t>(n), '\0');
    std::snprintf(out.data(), out.size() + 1, fmt, args...);
    return out;
}

[[noreturn]] void raise(const inkra::Error& e) {
    PyObject* type = nullptr;
    switch (e.kind) {
    case inkra::Error::Kind::Io:
        type = e.is_not_found() ? PyExc_FileNotFoundError
             : e.is_permission_denied() ? PyExc_PermissionError
             : PyExc_OSError;
        break;
    case inkra::Error::Kind::MalformedPdf: type = g_inkra_error; break;
    case inkra::Error::Kind::PageNotFound: type = PyExc_IndexError; break;
    }
    PyErr_SetString(type, e.text().c_str());
    throw py::error_already_set();
}

// str or path-like, through os.fspath, then the file-system encoding.
std::string fs_path(const py::object& path) {
    PyObject* p = PyOS_FSPath(path.ptr());
    if (!p) {
        PyErr_Clear();
        throw py::type_error("argument 'path': expected str or os.PathLike, not " +
                             std::string(Py_TYPE(path.ptr())->tp_name));
    }
    py::object fspath = py::reinterpret_steal<py::object>(p);
    if (PyUnicode_Check(p)) fspath = py::reinterpret_steal<py::object>(PyUnicode_EncodeFSDefault(p));
    if (!fspath) throw py::error_already_set();
    return std::string(py::bytes(fspath));
}

inkra::Document open_document(const py::object& path) {
    std::string p = fs_path(path);
    inkra::Result<inkra::Document> doc;
    {
        py::gil_scoped_release unlocked;
        doc = inkra::Document::open(p);
    }
    if (!doc) raise(doc.error());
    return std::move(*doc);
}

// The text as a double-quoted literal, escaped so that a repr never shows
// invisible or combining characters raw; at most `limit` characters, with an
// ellipsis when there were more.
std::string quoted(std::string_view text, std::size_t limit) {
    std::string out = "\"";
    std::size_t count = 0;
    const auto* s = reinterpret_cast<const std::uint8_t*>(text.data());
    auto n = static_cast<std::int32_t>(text.size());
    std::int32_t pos = 0;
    while (pos < n) {
        if (count == limit) return out + "\"\u2026";
        std::int32_t start = pos;
        UChar32 c;
        U8_NEXT(s, pos, n, c);
        ++count;
        if (c < 0) c = 0xFFFD;
        switch (c) {
        case '"': out += "\\\""; continue;
        case '\\': out += "\\\\"; continue;
        case '\t': out += "\\t"; continue;
        case '\r': out += "\\r"; continue;
        case '\n': out += "\\n"; continue;
        case 0: out += "\\0"; continue;
        default: break;
        }
        auto cat = U_GET_GC_MASK(c);
        bool invisible = (cat & (U_GC_C_MASK | U_GC_ZL_MASK | U_GC_ZP_MASK)) || ((cat & U_GC_ZS_MASK) && c != ' ');
        if (invisible || u_hasBinaryProperty(c, UCHAR_GRAPHEME_EXTEND)) {
            char buf[16];
            std::snprintf(buf, sizeof buf, "\\u{%x}", static_cast<unsigned>(c));
            out += buf;
        } else {
            out.append(text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(pos - start)));
        }
    }
    return out + "\"";
}

struct PyLine {
    std::string text;
    double baseline = 0;
    bool rtl = false;
    std::string font;
    double size = 0;
    std::string color;
    double confidence = 1.0;

    explicit PyLine(const inkra::TextLine& l)
        : text(l.text), baseline(l.baseline), rtl(l.rtl), font(l.font), size(l.size), color(l.color.to_css_hex()),
          confidence(l.glyph_count == 0 ? 1.0
                                        : 1.0 - static_cast<double>(l.unresolved) / static_cast<double>(l.glyph_count)) {}
};

struct PyPage {
    std::uint32_t number = 0;
    double width = 0, height = 0;
    unsigned rotation = 0;
    std::string text;
    std::string verdict;
    double confidence = 0;
    std::vector<std::string> reasons;
    bool tagged = false;
    std::vector<py::object> lines;

    explicit PyPage(const inkra::Page& p)
        : number(p.number), width(p.width), height(p.height), rotation(p.rotation * 90u), text(p.text()),
          verdict(inkra::verdict_text(p.assessment.verdict)), confidence(p.assessment.confidence),
          reasons(p.assessment.reasons), tagged(p.tagged) {
        for (const auto& l : p.lines) lines.push_back(py::cast(PyLine(l)));
    }
};

struct PyDocument {
    std::shared_ptr<const inkra::Document> core;
    std::vector<py::object> pages;
    std::string text;
    double confidence = 0;
    std::vector<std::uint32_t> ocr;

    explicit PyDocument(const py::object& path) {
        auto doc = std::make_shared<const inkra::Document>(open_document(path));
        for (const auto& p : doc->pages) pages.push_back(py::cast(PyPage(p)));
        text = doc->text();
        confidence = doc->confidence();
        ocr = doc->pages_needing_ocr();
        core = std::move(doc);
    }
};

py::list as_list(const std::vector<py::object>& items) {
    py::list out;
    for (const auto& o : items) out.append(o);
    return out;
}

constexpr const char* kDocumentDoc =
    "Document(path)\n--\n\n"
    "An extracted PDF document.\n\n"
    "Extraction happens once, when the object is constructed, so every property\n"
    "below is a plain lookup that cannot fail.";

}  // namespace

PYBIND11_MODULE(inkra, m) {
    py::options options;
    options.disable_function_signatures();

    m.doc() = "Arabic PDF text extraction without OCR.";

    g_inkra_error = PyErr_NewExceptionWithDoc("inkra.InkraError", "Raised when a PDF cannot be parsed.",
                                              PyExc_Exception, nullptr);
    if (!g_inkra_error) throw py::error_already_set();
    m.add_object("InkraError", py::handle(g_inkra_error));

    py::class_<PyDocument> document(m, "Document", kDocumentDoc);
    py::class_<PyPage> page(m, "Page", "One page of a document.");
    py::class_<PyLine> line(m, "Line", "One line of extracted text, with its geometry and styling.");

    document
        .def(py::init<const py::object&>(), py::arg("path"),
             "__init__(self, path)\n--\n\nExtract the document at `path`.")
        .def_property_readonly(
            "text", [](const PyDocument& d) { return d.text; },
            "The whole document's text, pages separated by a blank line.\n\n"
            "**Pages needing OCR contribute nothing.** A page whose text layer is\n"
            "missing or unreadable must not quietly return plausible-looking garbage\n"
            "that a caller mistakes for a result \u2014 see `pages_needing_ocr` for what\n"
            "was left out, or read `page.text` to see it anyway.")
        .def_property_readonly(
            "confidence", [](const PyDocument& d) { return d.confidence; },
            "Mean per-page confidence, 0.0 to 1.0.\n\n"
            "Pages needing OCR count as 0, so a document that is half scans scores\n"
            "about 0.5 rather than a misleading 1.0.")
        .def_property_readonly(
            "pages_needing_ocr", [](const PyDocument& d) { return d.ocr; },
            "The 1-based numbers of the pages that `text` omitted. Hand these to an\nOCR engine.")
        .def_property_readonly(
            "pages", [](const PyDocument& d) { return as_list(d.pages); }, "Every page, in document order.")
        .def(
            "page",
            [](const PyDocument& d, std::uint32_t number) {
                for (const auto& p : d.pages)
                    if (p.cast<const PyPage&>().number == number) return p;
                throw py::index_error("no page " + std::to_string(number));
            },
            py::arg("number"),
            "page($self, number)\n--\n\n"
            "Look up a page by its 1-based number.\n\n"
            "Raises `IndexError` if there is no such page.")
        .def("__len__", [](const PyDocument& d) { return d.pages.size(); })
        .def("__iter__", [](const PyDocument& d) { return as_list(d.pages).attr("__iter__")(); })
        .def("__repr__", [](const PyDocument& d) {
            return format("<Document %zu page(s), confidence=%.2f, %zu needing OCR>", d.pages.size(), d.confidence,
                          d.ocr.size());
        });

    page.def_property_readonly("number", [](const PyPage& p) { return p.number; }, "1-based page number.")
        .def_property_readonly("width", [](const PyPage& p) { return p.width; }, "Page width in points.")
        .def_property_readonly("height", [](const PyPage& p) { return p.height; }, "Page height in points.")
        .def_property_readonly(
            "rotation", [](const PyPage& p) { return p.rotation; },
            "Display rotation in degrees clockwise: 0, 90, 180 or 270.")
        .def_property_readonly(
            "text", [](const PyPage& p) { return p.text; },
            "The page's text, lines joined with newlines.\n\n"
            "Returned whatever the verdict \u2014 a caller who has checked `needs_ocr` may\n"
            "still want to inspect degraded text. It is `Document.text` that declines\n"
            "to hand back the untrustworthy pages.")
        .def_property_readonly(
            "verdict", [](const PyPage& p) { return p.verdict; }, "`\"ok\"`, `\"degraded\"` or `\"needs_ocr\"`.")
        .def_property_readonly(
            "needs_ocr", [](const PyPage& p) { return p.verdict == "needs_ocr"; },
            "True when this page has no usable text layer and should go to OCR.")
        .def_property_readonly(
            "confidence", [](const PyPage& p) { return p.confidence; },
            "How far the extracted text can be trusted, 0.0 to 1.0.")
        .def_property_readonly(
            "reasons", [](const PyPage& p) { return p.reasons; },
            "Human-readable reasons behind the verdict; empty when the page is clean.")
        .def_property_readonly(
            "tagged", [](const PyPage& p) { return p.tagged; },
            "True when this page's reading order came from the document's own\n"
            "structure tree rather than from geometry.\n\n"
            "The lucky case: the writer stated the order and we followed it. `False`\n"
            "means we reconstructed it, which is best-effort.")
        .def_property_readonly(
            "lines", [](const PyPage& p) { return as_list(p.lines); },
            "The page's lines, in reading order \u2014 columns already resolved.")
        .def("__str__", [](const PyPage& p) { return p.text; })
        .def("__repr__", [](const PyPage& p) {
            return format("<Page %u %.0fx%.0fpt %s confidence=%.2f>", p.number, std::round(p.width),
                          std::round(p.height), p.verdict.c_str(), p.confidence);
        });

    line.def_property_readonly(
            "text", [](const PyLine& l) { return l.text; },
            "The text, in logical order and normalised \u2014 base letters, not\npresentation forms.")
        .def_property_readonly(
            "baseline", [](const PyLine& l) { return l.baseline; },
            "The y coordinate of the line's baseline, in PDF points from the bottom\nof the page.")
        .def_property_readonly(
            "direction", [](const PyLine& l) { return l.rtl ? "rtl" : "ltr"; },
            "`\"rtl\"` or `\"ltr\"`: the base direction this line was reordered with.")
        .def_property_readonly(
            "font", [](const PyLine& l) { return l.font; }, "The font resource name most of the line was set in.")
        .def_property_readonly(
            "size", [](const PyLine& l) { return l.size; },
            "Effective type size in points \u2014 composed from the text matrix, not the\n"
            "`Tf` operand, which is often a meaningless 1.")
        .def_property_readonly(
            "color", [](const PyLine& l) { return l.color; },
            "The line's colour as a CSS hex string, e.g. `\"#04684b\"`.")
        .def_property_readonly(
            "confidence", [](const PyLine& l) { return l.confidence; },
            "Fraction of this line's glyphs that resolved to characters, 0.0 to 1.0.")
        .def("__str__", [](const PyLine& l) { return l.text; })
        .def("__repr__", [](const PyLine& l) { return format("<Line %.1fpt ", l.size) + quoted(l.text, 30) + ">"; });

    m.def(
        "extract_text",
        [](const py::object& path) {
            std::string p = fs_path(path);
            inkra::Result<std::string> text;
            {
                py::gil_scoped_release unlocked;
                text = inkra::extract_text(p);
            }
            if (!text) raise(text.error());
            return *text;
        },
        py::arg("path"),
        "extract_text(path)\n--\n\n"
        "Extract a document's text in one call.\n\n"
        "Equivalent to `Document(path).text`, and the simplest way in.");
}
