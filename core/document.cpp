#include "document.hpp"

#include "parser.hpp"

namespace inkra {

namespace {

std::string join_nonempty(const std::vector<std::string>& parts, std::string_view sep) {
    std::string out;
    for (const auto& p : parts) {
        if (p.empty()) continue;
        if (!out.empty()) out += sep;
        out += p;
    }
    return out;
}

Result<Page> extract_page(const Pdf& pdf, const PageInfo& info) {
    auto content = pdf.page_content(info.number);
    if (!content) return std::unexpected(content.error());

    Page page;
    page.width = info.media_box.x1 - info.media_box.x0;
    page.height = info.media_box.y1 - info.media_box.y0;
    page.number = info.number;
    page.rotation = info.rotation;
    page.assessment.page = info.number;
    return page;
}

}  // namespace

std::string Page::text() const {
    return join_nonempty({}, "\n");
}

Result<Document> Document::open(std::string_view path) {
    auto pdf = Pdf::open(path);
    if (!pdf) return std::unexpected(pdf.error());

    Document doc;
    for (const PageInfo& info : pdf->pages()) {
        auto page = extract_page(*pdf, info);
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
