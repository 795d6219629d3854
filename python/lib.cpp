// The Python module `inkra`: read-only snapshots of the core's records.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include "arabic.hpp"
#include "document.hpp"
#include "headings.hpp"
#include "html.hpp"
#include "json.hpp"

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
// ellipsis when there were more (unless the caller writes its own).
std::string quoted(std::string_view text, std::size_t limit, bool mark_cut = true) {
    std::string out = "\"";
    std::size_t count = 0;
    const auto* s = reinterpret_cast<const std::uint8_t*>(text.data());
    auto n = static_cast<std::int32_t>(text.size());
    std::int32_t pos = 0;
    while (pos < n) {
        if (count == limit) return out + (mark_cut ? "\"\u2026" : "\"");
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

py::tuple as_tuple(const inkra::Rect& r) { return py::make_tuple(r.x0, r.y0, r.x1, r.y1); }

py::list as_list(const std::vector<py::object>& items) {
    py::list out;
    for (const auto& o : items) out.append(o);
    return out;
}

struct PyCell {
    std::string text;
    std::size_t row = 0, column = 0;
    inkra::Rect bbox;
};

struct PyTextBlock {
    std::size_t reading_index = 0;
    inkra::Rect bbox;
    std::string text;
    double confidence = 1.0;
    std::vector<py::object> lines;

    explicit PyTextBlock(const inkra::TextBlock& b)
        : reading_index(b.reading_index), bbox(b.bbox), text(b.text()), confidence(b.confidence) {
        for (const auto& l : b.lines) lines.push_back(py::cast(PyLine(l)));
    }
};

struct PyImageBlock {
    std::size_t reading_index = 0;
    std::optional<inkra::Rect> bbox;
    bool is_background = false;
    std::optional<std::uint32_t> width, height;
    std::optional<std::string> format, file_name, unsupported_reason;
    std::optional<inkra::ImageBytes> data;  // shared with the core's copy, not duplicated
    bool dropped_transparency = false;

    explicit PyImageBlock(const inkra::ImageBlock& b)
        : reading_index(b.reading_index), bbox(b.image.bbox), is_background(b.is_background) {
        if (const auto* image = std::get_if<inkra::Image>(&b.image.image)) {
            width = image->width;
            height = image->height;
            format = std::string(inkra::extension(image->format));
            file_name = image->file_name();
            data = image->data;
            dropped_transparency = image->dropped_transparency;
        } else {
            unsupported_reason = std::get<inkra::UndecodedImage>(b.image.image).reason;
        }
    }
};

struct PyTableBlock {
    std::size_t reading_index = 0;
    inkra::Rect bbox;
    double confidence = 0;
    std::size_t column_count = 0;
    std::vector<std::vector<py::object>> rows;
    std::vector<std::vector<std::string>> texts;

    explicit PyTableBlock(const inkra::TableBlock& b)
        : reading_index(b.reading_index), bbox(b.bbox), confidence(b.confidence),
          column_count(b.rows.empty() ? 0 : b.rows.front().size()) {
        for (const auto& row : b.rows) {
            auto& cells = rows.emplace_back();
            auto& strings = texts.emplace_back();
            for (const auto& c : row) {
                cells.push_back(py::cast(PyCell{c.text, c.row, c.column, c.bbox}));
                strings.push_back(c.text);
            }
        }
    }

    std::string text() const {
        std::string out;
        for (std::size_t r = 0; r < texts.size(); ++r) {
            if (r > 0) out += '\n';
            for (std::size_t c = 0; c < texts[r].size(); ++c) {
                if (c > 0) out += '\t';
                out += texts[r][c];
            }
        }
        return out;
    }
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
    std::vector<py::object> blocks, images, tables;

    explicit PyPage(const inkra::Page& p)
        : number(p.number), width(p.width), height(p.height), rotation(p.rotation * 90u), text(p.text()),
          verdict(inkra::verdict_text(p.assessment.verdict)), confidence(p.assessment.confidence),
          reasons(p.assessment.reasons), tagged(p.tagged) {
        for (const auto& l : p.lines) lines.push_back(py::cast(PyLine(l)));
        for (const auto& b : p.blocks) {
            std::visit(
                [&](const auto& x) {
                    using T = std::decay_t<decltype(x)>;
                    if constexpr (std::is_same_v<T, inkra::TextBlock>) {
                        blocks.push_back(py::cast(PyTextBlock(x)));
                    } else if constexpr (std::is_same_v<T, inkra::ImageBlock>) {
                        blocks.push_back(py::cast(PyImageBlock(x)));
                        images.push_back(blocks.back());
                    } else {
                        blocks.push_back(py::cast(PyTableBlock(x)));
                        tables.push_back(blocks.back());
                    }
                },
                b.content);
        }
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
    py::class_<PyTextBlock> text_block(m, "TextBlock", "A run of text: a paragraph, a heading, one card's contents.");
    py::class_<PyImageBlock> image_block(m, "ImageBlock", "A picture drawn on the page.");
    py::class_<PyTableBlock> table_block(m, "TableBlock", "A table reconstructed from the lines ruled around it.");
    py::class_<PyCell> cell(m, "Cell", "One cell of a reconstructed table.");

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
        .def(
            "to_html",
            [](const PyDocument& d, bool include_images, bool include_color, std::optional<std::string> title) {
                inkra::HtmlOptions options{title ? std::move(*title) : "Extracted document", include_images,
                                           include_color};
                py::gil_scoped_release unlocked;
                return inkra::to_html(*d.core, options);
            },
            py::kw_only(), py::arg("include_images") = true, py::arg("include_color") = true,
            py::arg("title") = py::none(),
            "to_html($self, *, include_images=True, include_color=True, title=None)\n--\n\n"
            "Render the document as a complete, standalone HTML page.\n\n"
            "Reading order, headings inferred from type size, colour, tables with\n"
            "their direction stated, and images inlined as `data:` URIs.\n\n"
            "`include_images=False` leaves the pictures out, which for a\n"
            "picture-heavy document is the difference between a few kilobytes and a\n"
            "few megabytes.")
        .def(
            "to_json",
            [](const PyDocument& d) {
                std::expected<std::string, std::string> json;
                {
                    py::gil_scoped_release unlocked;
                    json = inkra::to_json(*d.core);
                }
                if (!json) throw std::runtime_error(json.error());
                return *json;
            },
            "to_json($self)\n--\n\n"
            "Serialize the extracted document as pretty-printed JSON.\n\n"
            "This is a presentation layer over the existing extraction model and\n"
            "does not rerun extraction or modify the extracted document.")
        .def(
            "heading_sizes",
            [](const PyDocument& d) {
                inkra::Headings headings = inkra::analyse(*d.core);
                py::list levels;
                for (auto [size, level] : inkra::inferred(headings)) levels.append(py::make_tuple(size, int{level}));
                return py::make_tuple(headings.body_size, levels);
            },
            "heading_sizes($self)\n--\n\n"
            "The type size the document's body text is set in, and the heading levels\n"
            "inferred from it.\n\n"
            "Returned as `(body_size, [(size, level), ...])`, largest first. A PDF\n"
            "never says \"this is a heading\" \u2014 it says some text is larger \u2014 so this\n"
            "is a guess, and one worth being able to inspect. A document that signals\n"
            "headings by weight or colour rather than size comes back with an empty\n"
            "list: flat, not wrong.")
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
        .def_property_readonly(
            "blocks", [](const PyPage& p) { return as_list(p.blocks); },
            "The page's content as typed blocks, in reading order.\n\n"
            "A mixed list of `TextBlock`, `ImageBlock` and `TableBlock`. Each carries\n"
            "a `kind` of `\"text\"`, `\"image\"` or `\"table\"`, so a caller can branch on\n"
            "that rather than on `isinstance`.")
        .def_property_readonly(
            "images", [](const PyPage& p) { return as_list(p.images); }, "Just the images on this page.")
        .def_property_readonly(
            "tables", [](const PyPage& p) { return as_list(p.tables); }, "Just the tables on this page.")
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

    text_block
        .def_property_readonly(
            "kind", [](const PyTextBlock&) { return "text"; },
            "Always `\"text\"`. Lets a caller sort a mixed list of blocks without\nreaching for `isinstance`.")
        .def_property_readonly(
            "reading_index", [](const PyTextBlock& b) { return b.reading_index; },
            "Position in the page's reading order, counting from 0.")
        .def_property_readonly(
            "bbox", [](const PyTextBlock& b) { return as_tuple(b.bbox); }, "`(x0, y0, x1, y1)` in PDF points.")
        .def_property_readonly(
            "text", [](const PyTextBlock& b) { return b.text; }, "The block's text, lines joined with newlines.")
        .def_property_readonly(
            "confidence", [](const PyTextBlock& b) { return b.confidence; },
            "Fraction of the block's glyphs that resolved, 0.0 to 1.0.")
        .def_property_readonly(
            "lines", [](const PyTextBlock& b) { return as_list(b.lines); }, "The block's lines, in reading order.")
        .def("__str__", [](const PyTextBlock& b) { return b.text; })
        .def("__repr__", [](const PyTextBlock& b) {
            return format("<TextBlock %zu ", b.reading_index) + quoted(b.text, 30, false) + "\u2026>";
        });

    image_block
        .def_property_readonly(
            "kind", [](const PyImageBlock&) { return "image"; }, "Always `\"image\"`.")
        .def_property_readonly(
            "reading_index", [](const PyImageBlock& b) { return b.reading_index; },
            "Position in the page's reading order.")
        .def_property_readonly(
            "bbox", [](const PyImageBlock& b) -> py::object { return b.bbox ? py::object(as_tuple(*b.bbox)) : py::object(py::none()); },
            "`(x0, y0, x1, y1)` in PDF points, or `None` when we never saw the image\n"
            "drawn \u2014 almost certainly because it lives inside a form XObject we do\n"
            "not enter. Not proof it is absent from the page.")
        .def_property_readonly(
            "is_background", [](const PyImageBlock& b) { return b.is_background; },
            "True when the image covers most of the page: a background, not a figure.")
        .def_property_readonly(
            "width", [](const PyImageBlock& b) { return b.width; },
            "Pixel width, or `None` if the image could not be decoded.")
        .def_property_readonly(
            "height", [](const PyImageBlock& b) { return b.height; }, "Pixel height.")
        .def_property_readonly(
            "format", [](const PyImageBlock& b) { return b.format; },
            "`\"jpg\"`, `\"jp2\"` or `\"png\"`, or `None` if undecoded.")
        .def_property_readonly(
            "file_name", [](const PyImageBlock& b) { return b.file_name; },
            "A conventional file name such as `\"Im0.jpg\"`.")
        .def_property_readonly(
            "unsupported_reason", [](const PyImageBlock& b) { return b.unsupported_reason; },
            "Why the image could not be decoded, or `None` when it was.\n\n"
            "Always one or the other: an undecodable image is reported with its\n"
            "reason rather than dropped.")
        .def_property_readonly(
            "dropped_transparency", [](const PyImageBlock& b) { return b.dropped_transparency; },
            "True when the image declared an `/SMask` we did not composite.\n\n"
            "Stronger than it sounds: a logo is routinely stored as a *blank* image\n"
            "whose whole shape lives in the mask, so the extraction can be\n"
            "byte-correct and visually empty.")
        .def_property_readonly(
            "data",
            [](const PyImageBlock& b) -> py::object { return b.data ? py::bytes(b.data->data(), b.data->size()) : py::object(py::none()); },
            "The encoded image file's bytes, ready to write to disk.")
        .def_property_readonly(
            "text", [](const PyImageBlock&) { return ""; },
            "Always empty: a picture contributes no text.\n\n"
            "Present so that every block kind answers `text`, and a caller walking\n"
            "`page.blocks` never has to special-case one.")
        .def(
            "save",
            [](const PyImageBlock& b, const py::object& path) {
                if (!b.data) {
                    bool reason = b.unsupported_reason && !b.unsupported_reason->empty();
                    throw py::value_error(reason ? *b.unsupported_reason : "image was not decoded");
                }
                std::string p = fs_path(path);
                std::FILE* f = std::fopen(p.c_str(), "wb");
                bool ok = f && std::fwrite(b.data->data(), 1, b.data->size(), f) == b.data->size();
                int error = errno;
                if (f && std::fclose(f) != 0 && ok) {
                    ok = false;
                    error = errno;
                }
                if (!ok) {
                    errno = error;
                    PyErr_SetFromErrnoWithFilenameObject(PyExc_OSError, path.ptr());
                    throw py::error_already_set();
                }
            },
            py::arg("path"),
            "save($self, path)\n--\n\n"
            "Write the image to a file.\n\n"
            "Raises `ValueError` for an image that could not be decoded \u2014 the bytes\n"
            "simply do not exist, and writing an empty file would hide that.")
        .def("__repr__", [](const PyImageBlock& b) {
            if (b.file_name)
                return format("<ImageBlock %zu %s %ux%u>", b.reading_index, b.file_name->c_str(), *b.width, *b.height);
            if (b.unsupported_reason && !b.unsupported_reason->empty())
                return format("<ImageBlock %zu undecoded: ", b.reading_index) + *b.unsupported_reason + ">";
            return format("<ImageBlock %zu>", b.reading_index);
        });

    table_block
        .def_property_readonly(
            "kind", [](const PyTableBlock&) { return "table"; }, "Always `\"table\"`.")
        .def_property_readonly(
            "reading_index", [](const PyTableBlock& b) { return b.reading_index; },
            "Position in the page's reading order.")
        .def_property_readonly(
            "bbox", [](const PyTableBlock& b) { return as_tuple(b.bbox); }, "`(x0, y0, x1, y1)` in PDF points.")
        .def_property_readonly(
            "confidence", [](const PyTableBlock& b) { return b.confidence; },
            "How much of the grid was actually drawn, 0.0 to 1.0.\n\n"
            "Reconstruction is best-effort; this says how much to trust it.")
        .def_property_readonly(
            "row_count", [](const PyTableBlock& b) { return b.rows.size(); }, "Number of rows.")
        .def_property_readonly(
            "column_count", [](const PyTableBlock& b) { return b.column_count; }, "Number of columns.")
        .def_property_readonly(
            "rows",
            [](const PyTableBlock& b) {
                py::list out;
                for (const auto& row : b.rows) out.append(as_list(row));
                return out;
            },
            "The cells, by row and then by column in reading order.")
        .def_property_readonly(
            "text", [](const PyTableBlock& b) { return b.text(); },
            "The table flattened: cells joined by tabs, rows by newlines.\n\n"
            "Every block kind exposes `text`, so a caller can walk `page.blocks` and\n"
            "join them without asking what each one is \u2014 which is exactly what\n"
            "`page.text` does.")
        .def(
            "to_rows", [](const PyTableBlock& b) { return b.texts; },
            "to_rows($self)\n--\n\n"
            "The table as a list of rows of strings \u2014 the shape `csv.writer` wants.")
        .def("__repr__", [](const PyTableBlock& b) {
            return format("<TableBlock %zu %zux%zu confidence=%.2f>", b.reading_index, b.rows.size(), b.column_count,
                          b.confidence);
        });

    cell.def_property_readonly(
            "text", [](const PyCell& c) { return c.text; }, "The cell's text, its lines joined with spaces.")
        .def_property_readonly(
            "row", [](const PyCell& c) { return c.row; }, "Row index, counting from the top.")
        .def_property_readonly(
            "column", [](const PyCell& c) { return c.column; },
            "Column index **in reading order** \u2014 0 is the rightmost cell on an\n"
            "Arabic page, the leftmost on a Latin one.")
        .def_property_readonly(
            "bbox", [](const PyCell& c) { return as_tuple(c.bbox); },
            "`(x0, y0, x1, y1)` in PDF points from the bottom-left of the page.")
        .def("__str__", [](const PyCell& c) { return c.text; })
        .def("__repr__", [](const PyCell& c) {
            return format("<Cell r%zu c%zu ", c.row, c.column) + quoted(c.text, std::string::npos) + ">";
        });

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
