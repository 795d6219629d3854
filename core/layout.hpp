// Recursive XY-cut: boxes into reading regions.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "types.hpp"

namespace inkra {

struct Item {
    Rect bbox;
    double size = 0;  // type size; 0 for non-text obstacles
};

// Regions as lists of item indices, in reading order.
std::vector<std::vector<std::size_t>> segment(std::span<const Item> items, bool right_to_left);

}  // namespace inkra
