// Content streams: our own lexer from bytes to operations, and the
// interpreter that runs a page's operations (and its forms') into PageGlyphs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "types.hpp"

namespace inkra {

// ---- Lexer ----

// One operand as the lexer found it. Bytes are views into the content and
// are decoded only when read (operand_bytes, name_bytes), so lexing allocates
// nothing once its buffers have grown.
struct Operand {
    enum class Kind : std::uint8_t {
        Number,     // `number`; `integer` when written without a point
        Name,       // `raw`: the bytes after '/', #xx escapes not yet decoded
        String,     // `raw`: between the parentheses, escapes not yet decoded
        HexString,  // `raw`: between the angle brackets
        Array,      // elements [first, first + count) of Operation::elements
        Dict,       // keys and values alternating, like Array
        Bool,       // `integer` holds the value
        Null,
        Keyword,    // a bare word inside an array or dictionary
        Ref,        // "n g R" inside an array or dictionary
    };
    Kind kind = Kind::Null;
    bool integer = false;
    bool escaped = false;  // String / Name: `raw` needs decoding
    double number = 0;
    std::string_view raw;
    std::uint32_t first = 0, count = 0;
};

// One operator with its operands. The spans stay valid until the next read.
struct Operation {
    std::string_view op;
    std::span<const Operand> operands;
    std::span<const Operand> elements;  // the children of array and dict operands

    std::span<const Operand> children(const Operand& container) const {
        return elements.subspan(container.first, container.count);
    }
};

// Reads operations one at a time. A syntax error is, narrowly: an
// unterminated literal string, hex string, array or dictionary; a stray or
// mismatched `]` or `>>` (or a lone `>`); a non-hex character in a hex
// string; an inline image (BI ... ID) whose data has no EI after it. Anything
// else — unknown operators, malformed numbers, missing operands — is left for
// the interpreter to ignore. Inline images are skipped whole and never
// reported; operands left over at the end are dropped.
class ContentReader {
public:
    explicit ContentReader(std::string_view content) : s_(content) {}

    // The next operation; false at the end or at a syntax error.
    bool next(Operation& out);
    bool failed() const { return failed_; }

private:
    bool fail();
    bool skip_inline_image();

    struct Open {
        Operand::Kind kind;
        std::size_t base;  // index into work_ of the first child
    };
    std::string_view s_;
    std::size_t pos_ = 0;
    bool failed_ = false;
    bool in_inline_image_ = false;
    std::vector<Operand> work_;
    std::vector<Operand> elements_;
    std::vector<Open> open_;
};

// Whether the whole content lexes without a syntax error.
bool content_is_well_formed(std::string_view content);

// The bytes of a String or HexString operand (empty for anything else),
// decoded into `scratch` when they need it.
std::string_view operand_bytes(const Operand& operand, std::string& scratch);
// The bytes of a Name operand with #xx escapes decoded (empty otherwise).
std::string_view name_bytes(const Operand& operand, std::string& scratch);

// ---- Interpreter ----

// Runs the page content, and the forms it draws in place, into the page's
// glyphs, XObject uses, ActualText and MCID spans and ruled lines. Content
// with a syntax error gives nothing at all; a form with one contributes
// nothing.
PageGlyphs interpret_with_forms(std::string_view content, std::span<const FontInfo> fonts,
                                std::span<const RawForm> forms, const GlyphWidths& widths);

// A PDF text string as UTF-8: UTF-16BE after FE FF, UTF-8 after EF BB BF,
// otherwise each byte as the code point of the same value.
std::string pdf_text_string(std::string_view bytes);

}  // namespace inkra
