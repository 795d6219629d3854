// Heading inference: which type sizes of a document are body text and which
// larger sizes serve as heading levels 1 to 6.
#pragma once

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace inkra {

struct Document;

struct Headings {
    std::map<std::uint64_t, std::uint8_t> levels;  // size key -> level 1..6; empty without heading sizes
    double body_size = 0.0;                        // points; 0.0 for a document without lines
};

// A type size in half points, so that 11.9, 12.1 and 12.2 pt count as one size.
std::uint64_t size_key(double size);

// Every line of every page, whatever the page's verdict.
Headings analyse(const Document& document);

// (size in points, level) per heading size, largest first.
std::vector<std::pair<double, std::uint8_t>> inferred(const Headings& headings);

// The heading level of a line of this size; 0 for body text.
std::uint8_t heading_level(const Headings& headings, double size);

}  // namespace inkra
