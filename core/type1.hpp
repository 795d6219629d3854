// Embedded Type 1 programs: the encoding built into the font, which TeX and
// other producers rely on when the PDF gives no /Encoding and no ToUnicode.
#pragma once

#include <string_view>

#include "encoding.hpp"

namespace inkra::type1 {

// The program's own /Encoding: StandardEncoding, or the codes its
// "dup <code> /<name> put" entries assign. Empty when the program names
// none or cannot be read; never fails.
Encoding builtin_encoding(std::string_view program);

}  // namespace inkra::type1
