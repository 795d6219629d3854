// Reads the font programs written by tests/fonts/make_fonts.py.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace inkra::test {

inline std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline std::string font_fixture(const std::string& name) {
    const char* dir = std::getenv("INKRA_TESTDATA");
    std::string data = read_file(std::string(dir ? dir : "tests/data") + "/fonts/" + name);
    if (data.empty()) ADD_FAILURE() << "missing font fixture " << name;
    return data;
}

}  // namespace inkra::test
