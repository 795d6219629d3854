#include "headings.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "document.hpp"
#include "unicode.hpp"

namespace inkra {

std::uint64_t size_key(double size) {
    double twice = size * 2.0;
    if (!(twice > 0.0)) return 0;  // negative and NaN
    if (twice >= 18446744073709551616.0) return std::numeric_limits<std::uint64_t>::max();
    return static_cast<std::uint64_t>(std::round(twice));
}

Headings analyse(const Document& document) {
    std::map<std::uint64_t, std::size_t> chars;
    for (const Page& page : document.pages)
        for (const TextLine& line : page.lines) chars[size_key(line.size)] += to_code_points(line.text).size();

    Headings out;
    if (chars.empty()) return out;

    // Ascending keys with a strict comparison: among tied counts the smaller
    // size is the body, so a document split evenly never promotes its text.
    auto body = chars.begin();
    for (auto it = chars.begin(); it != chars.end(); ++it)
        if (it->second > body->second) body = it;
    out.body_size = static_cast<double>(body->first) / 2.0;

    std::uint8_t level = 1;
    for (auto it = chars.rbegin(); it != chars.rend(); ++it) {
        if (static_cast<double>(it->first) / 2.0 < out.body_size * 1.15) break;
        out.levels[it->first] = level;
        if (level < 6) ++level;
    }
    return out;
}

std::vector<std::pair<double, std::uint8_t>> inferred(const Headings& headings) {
    std::vector<std::pair<double, std::uint8_t>> out;
    for (auto it = headings.levels.rbegin(); it != headings.levels.rend(); ++it)
        out.emplace_back(static_cast<double>(it->first) / 2.0, it->second);
    return out;
}

std::uint8_t heading_level(const Headings& headings, double size) {
    auto it = headings.levels.find(size_key(size));
    return it == headings.levels.end() ? 0 : it->second;
}

}  // namespace inkra
