// Page block assembly: one interpreted page turned into typed blocks (text,
// image, table) in reading order, plus the page's lines.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "arabic.hpp"
#include "images.hpp"
#include "structure.hpp"
#include "tables.hpp"
#include "types.hpp"

namespace inkra {

class FontMap;

struct TextBlock {
    std::vector<TextLine> lines;  // reading order
    Rect bbox;                    // the whole region's box, even when a table cut it
    std::size_t reading_index = 0;
    double confidence = 1.0;

    // The lines joined with "\n".
    std::string text() const;
};

struct ImageBlock {
    PlacedImage image;
    std::size_t reading_index = 0;
    bool is_background = false;
};

struct TableBlock {
    std::vector<std::vector<Cell>> rows;
    Rect bbox;
    double confidence = 0;
    std::size_t reading_index = 0;
};

// One typed block of a page; it owns its payload outright.
struct Block {
    std::variant<TextBlock, ImageBlock, TableBlock> content;

    // Text blocks: their lines joined with "\n"; tables: rows joined with
    // "\n", cells with "\t"; images: empty.
    std::string text() const;
    std::size_t reading_index() const;
};

struct PageBlocks {
    std::vector<Block> blocks;    // reading_index == position
    std::vector<TextLine> lines;  // every region's lines, region after region
};

// `page_box` is the page's media box; `order` the structure tree's reading
// order when the page is tagged.
PageBlocks assemble(const PageGlyphs& page, const FontMap& fonts, std::span<const PlacedImage> images,
                    const Rect& page_box, const std::optional<ReadingOrder>& order);

Block image_block(const PlacedImage& image, std::size_t reading_index, bool is_background);

}  // namespace inkra
