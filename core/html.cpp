#include "html.hpp"

#include <cstdio>
#include <type_traits>
#include <variant>

#include "document.hpp"
#include "headings.hpp"
#include "unicode.hpp"

namespace inkra {

namespace {

constexpr std::string_view kStylesheet = R"(
:root { color-scheme: light dark; }
body {
  margin: 0 auto; padding: 2rem 1rem; max-width: 46rem;
  font-family: 'Noto Naskh Arabic', 'Amiri', 'Segoe UI', system-ui, sans-serif;
  font-size: 1.05rem; line-height: 1.9;
}
.page { position: relative; padding-top: 2.5rem; }
.page + .page { border-top: 1px solid rgba(128,128,128,.35); margin-top: 3rem; }
.page-number {
  position: absolute; top: .75rem; inset-inline-end: 0;
  font-size: .75rem; opacity: .5; font-family: system-ui, sans-serif;
}
h1, h2, h3, h4, h5, h6 { line-height: 1.4; margin: 1.6em 0 .6em; }
p { margin: 0 0 1em; }
table { border-collapse: collapse; margin: 1.5em 0; width: 100%; font-size: .95rem; }
th, td { border: 1px solid rgba(128,128,128,.45); padding: .4em .6em; text-align: start; }
th { font-weight: 600; background: rgba(128,128,128,.12); }
img { max-width: 100%; height: auto; margin: 1em 0; }
img.background { opacity: .55; }
.needs-ocr, .undecoded {
  font-family: system-ui, sans-serif; font-size: .85rem;
  opacity: .7; font-style: italic;
}
)";

struct Context {
    const HtmlOptions& options;
    Headings headings;
    std::string_view dir;
};

std::string_view media_type(ImageFormat f) {
    switch (f) {
    case ImageFormat::Jpg: return "image/jpeg";
    case ImageFormat::Jp2: return "image/jp2";
    case ImageFormat::Png: return "image/png";
    }
    return "image/png";
}

// Black is the page's own colour and light ones would vanish on a light
// background, so only the colours that carry meaning are kept.
std::string color_attribute(const Color& color) {
    auto [r, g, b] = color.to_rgb8();
    if (r == 0 && g == 0 && b == 0) return {};
    double luminance = (0.2126 * r + 0.7152 * g + 0.0722 * b) / 255.0;
    if (luminance > 0.85) return {};
    char buf[40];
    std::snprintf(buf, sizeof buf, " style=\"color:#%02x%02x%02x\"", r, g, b);
    return buf;
}

void text_block(std::string& out, const TextBlock& block, const Context& ctx) {
    std::string text;
    for (std::size_t i = 0; i < block.lines.size(); ++i) {
        if (i > 0) text += ' ';
        text += block.lines[i].text;
    }
    std::string tag = "p";
    std::string attributes;
    if (!block.lines.empty()) {
        const TextLine& first = block.lines.front();
        if (std::uint8_t level = heading_level(ctx.headings, first.size)) tag = {'h', static_cast<char>('0' + level)};
        if (ctx.options.include_color) attributes += color_attribute(first.color);
        if (!first.rtl) attributes += " dir=\"ltr\"";
    }
    if (block.confidence < 1.0) attributes += " data-confidence=\"" + two_decimals(block.confidence) + "\"";
    out += '<';
    out += tag;
    out += attributes;
    out += '>';
    out += escape(text);
    out += "</";
    out += tag;
    out += ">\n";
}

bool full_row(const std::vector<Cell>& row) {
    if (row.empty()) return false;
    for (const Cell& c : row)
        if (c.text.empty()) return false;
    return true;
}

void table_block(std::string& out, const TableBlock& table, const Context& ctx) {
    out += "<table dir=\"" + std::string(ctx.dir) + "\" data-confidence=\"" + two_decimals(table.confidence) + "\">\n";
    // Everything up to and including the first fully filled row is header:
    // producers often leave a corner cell of a header row empty.
    std::size_t header = 0;
    for (std::size_t i = 0; i < table.rows.size(); ++i)
        if (full_row(table.rows[i])) {
            header = i + 1;
            break;
        }
    for (std::size_t i = 0; i < table.rows.size(); ++i) {
        if (i == 0 && header > 0) out += "<thead>\n";
        if (i == header) out += header > 0 ? "</thead>\n<tbody>\n" : "<tbody>\n";
        std::string_view tag = i < header ? "th" : "td";
        out += "<tr>";
        for (const Cell& c : table.rows[i]) {
            out += '<';
            out += tag;
            out += '>';
            out += escape(c.text);
            out += "</";
            out += tag;
            out += '>';
        }
        out += "</tr>\n";
    }
    if (!table.rows.empty()) out += header == table.rows.size() ? "</thead>\n" : "</tbody>\n";
    out += "</table>\n";
}

void image_block(std::string& out, const ImageBlock& block, const Context& ctx) {
    if (const auto* undecoded = std::get_if<UndecodedImage>(&block.image.image)) {
        out += "<p class=\"undecoded\">[image: " + escape(undecoded->reason) + "]</p>\n";
        return;
    }
    const Image& image = std::get<Image>(block.image.image);
    if (!ctx.options.include_images) {
        out += "<p class=\"undecoded\">[image: " + escape(image.file_name()) + "]</p>\n";
        return;
    }
    out += "<img";
    if (block.is_background) out += " class=\"background\"";
    out += " alt=\"" + escape(image.file_name()) + "\" width=\"" + std::to_string(image.width) + "\" height=\"" +
           std::to_string(image.height) + "\" src=\"data:" + std::string(media_type(image.format)) + ";base64,";
    out += base64(image.data);
    out += "\">\n";
}

}  // namespace

std::string escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string base64(std::string_view bytes) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    auto at = [&](std::size_t k) { return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[k])); };
    for (; i + 3 <= bytes.size(); i += 3) {
        std::uint32_t v = at(i) << 16 | at(i + 1) << 8 | at(i + 2);
        for (int s = 18; s >= 0; s -= 6) out += kAlphabet[(v >> s) & 63];
    }
    std::size_t rest = bytes.size() - i;
    if (rest > 0) {
        std::uint32_t v = at(i) << 16 | (rest == 2 ? at(i + 1) << 8 : 0);
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::string two_decimals(double value) {
    // glibc's printf rounds the exact binary value, an exact tie to even.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f", value);
    return buf;
}

std::string to_html(const Document& document, const HtmlOptions& options) {
    std::size_t total = 0, rtl = 0;
    for (const Page& page : document.pages)
        for (const TextLine& line : page.lines) {
            std::size_t n = to_code_points(line.text).size();
            total += n;
            if (line.rtl) rtl += n;
        }
    bool arabic = 2 * rtl > total;
    Context ctx{options, analyse(document), arabic ? "rtl" : "ltr"};

    std::string out = "<!DOCTYPE html>\n<html lang=\"";
    out += arabic ? "ar" : "en";
    out += "\" dir=\"" + std::string(ctx.dir) +
           "\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>";
    out += escape(options.title);
    out += "</title>\n<style>";
    out += kStylesheet;
    out += "</style>\n</head>\n<body>\n";

    for (const Page& page : document.pages) {
        std::string number = std::to_string(page.number);
        out += "<section class=\"page\" id=\"page-" + number + "\" data-confidence=\"" +
               two_decimals(page.assessment.confidence) + "\">\n<div class=\"page-number\">" + number + "</div>\n";
        if (page.assessment.verdict == Verdict::NeedsOcr) {
            out += "<p class=\"needs-ocr\">No text layer on this page \u2014 it needs OCR.";
            if (!page.assessment.reasons.empty()) out += " (" + escape(page.assessment.reasons.front()) + ")";
            out += "</p>\n";
        }
        for (const Block& block : page.blocks)
            std::visit(
                [&](const auto& b) {
                    using T = std::decay_t<decltype(b)>;
                    if constexpr (std::is_same_v<T, TextBlock>) text_block(out, b, ctx);
                    else if constexpr (std::is_same_v<T, TableBlock>) table_block(out, b, ctx);
                    else image_block(out, b, ctx);
                },
                block.content);
        out += "</section>\n";
    }
    out += "</body>\n</html>\n";
    return out;
}

}  // namespace inkra
