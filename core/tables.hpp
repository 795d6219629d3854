// The table records that detection produces and block assembly carries.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "types.hpp"

namespace inkra {

struct Grid {
    std::vector<double> xs;
    std::vector<double> ys;
    Rect bbox;
    double confidence = 0;
    bool ruled = false;
};

struct Cell {
    std::string text;
    Rect bbox;
    std::size_t row = 0;
    std::size_t column = 0;
};

struct Table {
    std::vector<std::vector<Cell>> rows;
    Rect bbox;
    double confidence = 0;
};

}  // namespace inkra
