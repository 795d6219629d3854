// The pipeline's entry point and the finished, immutable document records.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "arabic.hpp"
#include "blocks.hpp"
#include "detect.hpp"
#include "error.hpp"
#include "types.hpp"

namespace inkra {

struct Page {
    std::vector<TextLine> lines;
    Assessment assessment;
    std::vector<Block> blocks;
    double width = 0;
    double height = 0;
    std::uint32_t number = 0;
    bool tagged = false;
    std::uint8_t rotation = 0;  // quarter turns clockwise

    // The page's blocks' texts, empty ones skipped, joined with "\n".
    std::string text() const;
};

struct Document {
    std::vector<Page> pages;

    static Result<Document> open(std::string_view path);

    // Pages not needing OCR, empty texts skipped, joined with a blank line.
    std::string text() const;
    // Mean page confidence; 0.0 without pages.
    double confidence() const;
    std::vector<std::uint32_t> pages_needing_ocr() const;
};

Result<std::string> extract_text(std::string_view path);

}  // namespace inkra
