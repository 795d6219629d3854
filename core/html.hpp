// The HTML renderer: a finished document as one standalone page — sections
// per page, headings inferred from type size, tables with their direction,
// images inlined as data: URIs.
#pragma once

#include <string>
#include <string_view>

namespace inkra {

struct Document;

struct HtmlOptions {
    std::string title;
    bool include_images = true;  // false: each decoded image becomes a one-line note
    bool include_color = true;
};

// Never fails; reads the document and leaves it as it was.
std::string to_html(const Document& document, const HtmlOptions& options);

// The five characters that could break out of text or an attribute value.
std::string escape(std::string_view text);

// RFC 4648 Base64, padded, without line breaks.
std::string base64(std::string_view bytes);

// A confidence with exactly two decimals, ties to even on the exact binary value.
std::string two_decimals(double value);

}  // namespace inkra
