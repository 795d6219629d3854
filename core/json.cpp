#include "json.hpp"

#include <type_traits>

#include <nlohmann/json.hpp>

#include "document.hpp"

namespace inkra {

namespace {

using Json = nlohmann::ordered_json;

Json rect(const Rect& r) { return Json::array({r.x0, r.y0, r.x1, r.y1}); }

Json line(const JsonLine& view) {
    const TextLine& l = *view.line;
    Json out = Json::object();
    out["text"] = l.text;
    out["bbox"] = rect(l.bbox);
    out["baseline"] = l.baseline;
    out["font"] = l.font;
    out["size"] = l.size;
    out["color"] = l.color.to_css_hex();
    out["direction"] = l.rtl ? "rtl" : "ltr";
    out["confidence"] = l.confidence();
    return out;
}

Json cell(const JsonCell& view) {
    const Cell& c = *view.cell;
    Json out = Json::object();
    out["text"] = c.text;
    out["row"] = c.row;
    out["column"] = c.column;
    out["bbox"] = rect(c.bbox);
    return out;
}

Json block(const JsonBlock& view) {
    Json out = Json::object();
    out["reading_index"] = view.reading_index;
    if (view.bbox) out["bbox"] = rect(*view.bbox);
    std::visit(
        [&](const auto& c) {
            using T = std::decay_t<decltype(c)>;
            if constexpr (std::is_same_v<T, JsonText>) {
                out["type"] = "text";
                out["text"] = c.text;
                out["confidence"] = c.confidence;
                out["lines"] = Json::array();
                for (const JsonLine& l : c.lines) out["lines"].push_back(line(l));
            } else if constexpr (std::is_same_v<T, JsonTable>) {
                out["type"] = "table";
                out["confidence"] = c.confidence;
                out["row_count"] = c.row_count;
                out["column_count"] = c.column_count;
                out["rows"] = Json::array();
                for (const auto& row : c.rows) {
                    Json cells = Json::array();
                    for (const JsonCell& x : row) cells.push_back(cell(x));
                    out["rows"].push_back(std::move(cells));
                }
            } else {
                out["type"] = "image";
                out["is_background"] = c.is_background;
                if (c.image) {
                    out["width"] = c.image->width;
                    out["height"] = c.image->height;
                    out["format"] = extension(c.image->format);
                    out["file_name"] = c.image->file_name();
                    out["dropped_transparency"] = c.image->dropped_transparency;
                } else {
                    out["unsupported_reason"] = c.unsupported_reason;
                }
            }
        },
        view.content.kind);
    return out;
}

Json page(const JsonPage& view) {
    const Page& p = *view.page;
    Json out = Json::object();
    out["number"] = p.number;
    out["width"] = p.width;
    out["height"] = p.height;
    out["rotation"] = static_cast<unsigned>(p.rotation) * 90u;
    out["verdict"] = verdict_text(p.assessment.verdict);
    out["confidence"] = p.assessment.confidence;
    out["reasons"] = p.assessment.reasons;
    out["tagged"] = p.tagged;
    out["blocks"] = Json::array();
    for (const JsonBlock& b : view.blocks) out["blocks"].push_back(block(b));
    return out;
}

}  // namespace

std::vector<std::vector<JsonCell>> Content::table(std::span<const std::vector<Cell>> rows) {
    std::vector<std::vector<JsonCell>> out;
    for (const auto& row : rows) {
        auto& cells = out.emplace_back();
        for (const Cell& c : row) cells.emplace_back(c);
    }
    return out;
}

JsonBlock::JsonBlock(const Block& b) : reading_index(b.reading_index()), bbox(nullptr) {
    std::visit(
        [&](const auto& x) {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, TextBlock>) {
                bbox = &x.bbox;
                JsonText text{x.text(), x.confidence, {}};
                for (const TextLine& l : x.lines) text.lines.emplace_back(l);
                content.kind = std::move(text);
            } else if constexpr (std::is_same_v<T, TableBlock>) {
                bbox = &x.bbox;
                content.kind = JsonTable{x.confidence, x.rows.size(), x.rows.empty() ? 0 : x.rows.front().size(),
                                              Content::table(x.rows)};
            } else {
                if (x.image.bbox) bbox = &*x.image.bbox;
                JsonPicture picture{x.is_background, nullptr, {}};
                if (const auto* decoded = std::get_if<Image>(&x.image.image)) picture.image = decoded;
                else picture.unsupported_reason = std::get<UndecodedImage>(x.image.image).reason;
                content.kind = picture;
            }
        },
        b.content);
}

JsonPage::JsonPage(const Page& p) : page(&p) {
    for (const Block& b : p.blocks) blocks.emplace_back(b);
}

std::expected<std::string, std::string> to_json(const Document& document) {
    try {
        Json out = Json::object();
        out["page_count"] = document.pages.size();
        out["pages"] = Json::array();
        for (const Page& p : document.pages) out["pages"].push_back(page(JsonPage(p)));
        // Resource names come straight from the file and need not be UTF-8;
        // a stray byte must not cost the caller the whole document.
        return out.dump(2, ' ', false, Json::error_handler_t::replace);
    } catch (const std::exception&) {
        return std::unexpected(std::string(kJsonInvariant));
    }
}

}  // namespace inkra
