// The JSON renderer: a finished document as one pretty-printed JSON text,
// pages with their geometry and verdict, blocks with their lines, cells or
// image description. Image bytes stay out.
#pragma once

#include <cstddef>
#include <expected>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace inkra {

struct Document;
struct Page;
struct Block;
struct Cell;
struct TextLine;
struct Image;
struct Rect;

// ---- views over the document, key for key the JSON format; they point
// into the document and must not outlive it ----

struct JsonLine {
    const TextLine* line;
    explicit JsonLine(const TextLine& l) : line(&l) {}
};

struct JsonCell {
    const Cell* cell;
    explicit JsonCell(const Cell& c) : cell(&c) {}
};

struct JsonText {
    std::string text;
    double confidence = 1.0;
    std::vector<JsonLine> lines;
};

struct JsonTable {
    double confidence = 0;
    std::size_t row_count = 0;
    std::size_t column_count = 0;
    std::vector<std::vector<JsonCell>> rows;
};

struct JsonPicture {
    bool is_background = false;
    const Image* image = nullptr;         // decoded
    std::string_view unsupported_reason;  // undecoded
};

// What a block holds after its common keys.
struct Content {
    std::variant<JsonText, JsonTable, JsonPicture> kind;

    static std::vector<std::vector<JsonCell>> table(std::span<const std::vector<Cell>> rows);
};

struct JsonBlock {
    std::size_t reading_index;
    const Rect* bbox;  // null for an image never seen drawn
    Content content;

    explicit JsonBlock(const Block& block);
};

struct JsonPage {
    const Page* page;
    std::vector<JsonBlock> blocks;

    explicit JsonPage(const Page& page);
};

// The message of the one way serialising could ever fail.
inline constexpr std::string_view kJsonInvariant =
    "JSON serialization of in-memory extraction data should not fail";

// Fails only if the invariant above is broken; the error is its message.
std::expected<std::string, std::string> to_json(const Document& document);

}  // namespace inkra
