#pragma once
// The one case fold of the command line: option values, type names, CSV
// headers and file name extensions are matched in any case, ASCII only.
#include <string>

inline std::string AsciiLower(std::string s)
{
    for (char& c : s) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return s;
}
