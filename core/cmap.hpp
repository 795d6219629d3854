// ToUnicode CMaps: a forgiving reader of the bfchar and bfrange sections.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

namespace inkra {

struct BfRange {
    std::uint32_t lo = 0, hi = 0;  // inclusive
    // A base text whose last character counts up with the code, or one text
    // per code.
    std::variant<std::string, std::vector<std::string>> dest;
};

struct CMap {
    std::unordered_map<std::uint32_t, std::string> chars;
    std::vector<BfRange> ranges;  // file order decides between overlaps

    // Never fails: whatever cannot be read is skipped.
    static CMap parse(std::string_view bytes);

    // Single mappings first, then the first range that answers.
    std::optional<std::string> get(std::uint32_t code) const;
    bool empty() const { return chars.empty() && ranges.empty(); }
};

// Destination bytes as UTF-16BE: a final odd byte ignored, unpaired
// surrogates as U+FFFD.
std::string utf16be_to_string(std::string_view bytes);

}  // namespace inkra
