#include "document.hpp"

#include "blocks.hpp"
#include "content.hpp"
#include "font.hpp"
#include "images.hpp"
#include "parser.hpp"
#include "structure.hpp"

namespace inkra {

namespace {

template <class Texts>
std::string join_nonempty(const Texts& parts, std::string_view sep) {
    std::string out;
    for (const auto& p : parts) {
        if (p.empty()) continue;
        if (!out.empty()) out += sep;
        out += p;
    }
    return out;
}

// One page through every stage; the page's working data dies with the call.
Result<Page> extract_page(const Pdf& pdf, const PageInfo& info, const RawStructure& structure) {
    const std::uint32_t n = info.number;

    auto raw_fonts = pdf.page_raw_fonts(n);
    if (!raw_fonts) return std::unexpected(raw_fonts.error());
    std::vector<FontInfo> font_infos;
    font_infos.reserve(raw_fonts->size());
    for (const auto& f : *raw_fonts) font_infos.push_back(f.info);
    const FontMap fonts = FontMap::from_raw(std::move(*raw_fonts));

    PageGlyphs glyphs;
    {  // the content and the forms' streams are dropped once interpreted
        auto content = pdf.page_content(n);
        if (!content) return std::unexpected(content.error());
        auto forms = pdf.page_forms(n);
        if (!forms) return std::unexpected(forms.error());
        glyphs = interpret_with_forms(*content, font_infos, *forms, fonts);
    }

    std::optional<ReadingOrder> order =
        ReadingOrder::from_structure(structure, n, glyphs.mcid_spans, glyphs.glyphs.size());

    auto raw_images = pdf.page_raw_images(n);
    if (!raw_images) return std::unexpected(raw_images.error());
    const std::vector<PlacedImage> placed = extract_placed(std::move(*raw_images), glyphs.xobjects);

    PageBlocks assembled = assemble(glyphs, fonts, placed, info.media_box, order);

    Page page;
    page.assessment = assess(n, glyphs, fonts, assembled.lines);
    page.lines = std::move(assembled.lines);
    page.blocks = std::move(assembled.blocks);
    page.width = info.media_box.x1 - info.media_box.x0;
    page.height = info.media_box.y1 - info.media_box.y0;
    page.number = n;
    page.tagged = order.has_value();
    page.rotation = info.rotation;
    return page;
}

}  // namespace

std::string Page::text() const {
    std::vector<std::string> texts;
    texts.reserve(blocks.size());
    for (const auto& b : blocks) texts.push_back(b.text());
    return join_nonempty(texts, "\n");
}

Result<Document> Document::open(std::string_view path) {
    auto pdf = Pdf::open(path);
    if (!pdf) return std::unexpected(pdf.error());
    const std::vector<PageInfo> infos = pdf->pages();
    const RawStructure structure = pdf->structure();

    Document doc;
    doc.pages.reserve(infos.size());
    for (const PageInfo& info : infos) {
        auto page = extract_page(*pdf, info, structure);
        if (!page) return std::unexpected(page.error());
        doc.pages.push_back(std::move(*page));
    }
    return doc;
}

std::string Document::text() const {
    std::vector<std::string> texts;
    for (const auto& p : pages)
        if (p.assessment.verdict != Verdict::NeedsOcr) texts.push_back(p.text());
    return join_nonempty(texts, "\n\n");
}

double Document::confidence() const {
    if (pages.empty()) return 0.0;
    double sum = 0;
    for (const auto& p : pages) sum += p.assessment.confidence;
    return sum / static_cast<double>(pages.size());
}

std::vector<std::uint32_t> Document::pages_needing_ocr() const {
    std::vector<std::uint32_t> out;
    for (const auto& p : pages)
        if (p.assessment.verdict == Verdict::NeedsOcr) out.push_back(p.number);
    return out;
}

Result<std::string> extract_text(std::string_view path) {
    auto doc = Document::open(path);
    if (!doc) return std::unexpected(doc.error());
    return doc->text();
}

}  // namespace inkra
