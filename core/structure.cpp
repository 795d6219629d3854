#include "structure.hpp"

#include <algorithm>
#include <array>
#include <string_view>
#include <unordered_map>

namespace inkra {

namespace {

using Range = std::pair<std::size_t, std::size_t>;

constexpr std::array<std::string_view, 15> kInlineRoles{
    "RB", "RT", "RP", "WT", "WP", "Span", "Note", "Code", "Link", "Ruby", "Quote", "Annot", "Warichu", "BibEntry",
    "Reference",
};

// Structure types whose content continues the current run, compared byte
// for byte; every other type, custom ones included, opens a run.
bool is_inline_role(std::string_view role) {
    return std::find(kInlineRoles.begin(), kInlineRoles.end(), role) != kInlineRoles.end();
}

}  // namespace

std::optional<ReadingOrder> ReadingOrder::from_structure(const RawStructure& structure, std::uint32_t page,
                                                         std::span<const McidSpan> spans, std::size_t glyph_count) {
    if (spans.empty() || glyph_count == 0) return std::nullopt;

    // Ranges are kept within the page's glyphs so that a run never points
    // past them.
    std::unordered_map<std::uint32_t, std::vector<Range>> by_mcid;
    by_mcid.reserve(spans.size());
    for (const auto& s : spans) {
        std::size_t end = std::min(s.end, glyph_count);
        std::size_t start = std::min(s.start, end);
        by_mcid[s.mcid].emplace_back(start, end);
    }

    std::vector<StructRun> runs;
    std::size_t covered = 0;
    std::vector<Range> gathered;
    for (const auto& el : structure.elements) {
        if (el.page && *el.page != page) continue;
        gathered.clear();
        for (auto mcid : el.mcids) {
            auto it = by_mcid.find(mcid);
            if (it != by_mcid.end()) gathered.insert(gathered.end(), it->second.begin(), it->second.end());
        }
        if (!is_inline_role(el.role)) runs.push_back({el.role, {}, el.depth});
        if (gathered.empty()) continue;
        // Glyphs referred to twice count twice.
        for (const auto& [start, end] : gathered) covered += end - start;
        if (runs.empty()) runs.push_back({el.role, {}, el.depth});
        auto& ranges = runs.back().ranges;
        ranges.insert(ranges.end(), gathered.begin(), gathered.end());
    }

    std::erase_if(runs, [](const StructRun& r) { return r.ranges.empty(); });
    if (runs.empty()) return std::nullopt;
    if (static_cast<double>(covered) < 0.8 * static_cast<double>(glyph_count)) return std::nullopt;
    return ReadingOrder{std::move(runs)};
}

}  // namespace inkra
