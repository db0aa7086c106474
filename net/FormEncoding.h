#pragma once
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Form fields in the order they are sent: name (ASCII) and value (UTF-16).
using FormFields = std::vector<std::pair<std::string, std::u16string>>;

// One field value, percent-encoded on its own: letters, digits and - . _ ~ raw;
// other ASCII as %XX; a code page 936 character as its bytes (%XX%XX for a
// double-byte one); a character the code page lacks as its UTF-8 bytes.
std::string UrlEncode(std::u16string_view value);

// name=value pairs joined with raw "=" and "&".
std::string FormBody(const FormFields& fields);
