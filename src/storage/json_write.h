#pragma once

// The JSON writers of the fixed-layout formats (journal lines, the .zmd
// payload, the signed envelope, the update manifest): byte-exact output
// that the byte-level scanner in json_scan.h reads back.

#include <string>
#include <string_view>

namespace zelmar {

// Appends `"` + the escaped UTF-8 bytes + `"`.
void appendJsonString(std::string& out, std::string_view text);

// Appends the shortest decimal text that reads back to the same double; a
// whole value keeps ".0", magnitudes below 1e-4 or from 1e16 on use an
// exponent ("1e-05", "1.5e+20").
void appendJsonNumber(std::string& out, double value);

} // namespace zelmar
